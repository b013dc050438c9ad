// The engine's one sort: the classic in-place heap sort over a 1-based view a[1..n].
//
// It is not stable, and which of several equal records ends up where is part of the
// engine's results (it decides which duplicate survives). Every sort whose order of equal
// records can show in output must go through this function, unchanged.
//
// `before(x, y)` is the strict "x comes before y" order.
#pragma once

#include <cstddef>
#include <utility>

namespace ringweld {

template <typename Record, typename Before>
void heap_sort(Record* first, std::size_t count, Before before) {
    if (count < 2) return;
    auto a = [first](std::size_t i) -> Record& { return first[i - 1]; };  // a(1..count)
    std::size_t n = count;
    constexpr std::size_t kRecordsPerLine = sizeof(Record) >= 64 ? 1 : 64 / sizeof(Record);

    auto sift_down = [&](std::size_t k) {
        Record t = std::move(a(k));
        std::size_t c = 2 * k;
        while (c <= n) {
            // Fetch the descendants four levels down while this level is compared: on
            // large tables each level of the descent is otherwise a cache miss, and one
            // level ahead is too little to hide it. Changes no result.
            if (16 * k + 15 <= n) {
                for (std::size_t q = 0; q < 16; q += kRecordsPerLine) __builtin_prefetch(&a(16 * k + q));
                __builtin_prefetch(&a(16 * k + 15));
            }
            if (c < n && before(a(c), a(c + 1))) ++c;
            if (!before(t, a(c))) break;
            a(k) = std::move(a(c));
            k = c;
            c = 2 * c;
        }
        a(k) = std::move(t);
    };

    for (std::size_t k = n / 2; k >= 1; --k) sift_down(k);
    while (n > 1) {
        std::swap(a(1), a(n));
        --n;
        sift_down(1);
    }
}

}  // namespace ringweld
