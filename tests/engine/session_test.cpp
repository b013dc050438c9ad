#include <gtest/gtest.h>

#include <cstring>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "assembly_digest_helpers.h"
#include "heap_sort.h"
#include "ringweld.h"

namespace {

TEST(Session, StartAndEndAreSafeInAnyOrder) {
    EXPECT_EQ(rw_end(), 0);
    EXPECT_EQ(rw_end(), 0);
    EXPECT_EQ(rw_start(1, 1, 1, 1), 0);
    EXPECT_EQ(rw_start(1000, 1000, 1000, 2000), 0);
    EXPECT_EQ(rw_end(), 0);
    EXPECT_EQ(rw_end(), 0);
}

TEST(Session, ErrorTextsAreStaticCp932) {
    const char* text = nullptr;
    EXPECT_EQ(rw_get_errormsg(61, &text), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find("(4000)"), std::string::npos);

    // 11 and 32 share "線分バッファ(linsize)オーバーフロー".
    const char* t11 = nullptr;
    const char* t32 = nullptr;
    EXPECT_EQ(rw_get_errormsg(11, &t11), 0);
    EXPECT_EQ(rw_get_errormsg(32, &t32), 0);
    EXPECT_STREQ(t11, t32);
    EXPECT_EQ(std::string(t11, 4), "\x90\xFC\x95\xAA");  // 線分

    // "修復不可能な..." holds 能 = 94 5C, whose second byte is a backslash.
    const char* t94 = nullptr;
    EXPECT_EQ(rw_get_errormsg(94, &t94), 0);
    EXPECT_NE(std::string(t94).find("\x94\x5C\x82\xC8"), std::string::npos);
}

TEST(Session, UnknownErrorNumbersGiveAnEmptyText) {
    for (int32_t code : {0, 1, 12, 70, 100, 102, -1}) {
        const char* text = "unset";
        EXPECT_EQ(rw_get_errormsg(code, &text), 1) << code;
        EXPECT_STREQ(text, "") << code;
    }
}

// Each thread has a session of its own: whole assemblies run at once on several threads,
// started together, give what they give one after the other, and the calling thread's
// open session keeps its lines meanwhile. Labelled `parallel`: the ThreadSanitizer build
// runs it.
TEST(ConcurrentSessions, AssembliesOnSeveralThreadsAtOnceGiveTheirSequentialResults) {
    using assembly_digest::crowded_lattice;
    using assembly_digest::generated;
    using segment_sets::Kind;
    struct Assembly {
        std::vector<assembly_digest::Line> lines;
        bool cancel_pairs;
    };
    const std::vector<Assembly> assemblies = {
        {crowded_lattice(1, 1500), false},      {crowded_lattice(2, 1500), true},
        {generated(Kind::blocks, 8000), false}, {generated(Kind::sheets, 8000), true},
        {generated(Kind::random, 3000), false}, {crowded_lattice(3, 600), true},
        // Tables past large_pages.h's threshold: blocks mapped and unmapped by several threads.
        {generated(Kind::sheets, 200000), true},
    };
    std::vector<uint64_t> sequential;
    for (const Assembly& a : assemblies) sequential.push_back(assembly_digest::assemble_and_digest(a.lines, a.cancel_pairs));

    ASSERT_EQ(rw_start(10, 10, 10, 10), 0);
    ASSERT_EQ(rw_put_line(1, 1, 0, 0, 10, 0, 7), 0);
    for (int round = 0; round < 2; ++round) {
        std::vector<uint64_t> concurrent(assemblies.size());
        std::latch start(static_cast<std::ptrdiff_t>(assemblies.size()));
        {
            std::vector<std::jthread> threads;
            for (std::size_t i = 0; i < assemblies.size(); ++i)
                threads.emplace_back([&, i] {
                    start.arrive_and_wait();
                    concurrent[i] = assembly_digest::assemble_and_digest(assemblies[i].lines, assemblies[i].cancel_pairs);
                });
        }
        EXPECT_EQ(concurrent, sequential) << "round " << round;
    }
    int32_t v[7] = {};
    EXPECT_EQ(rw_getxy_miniline(0, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]), 0);
    EXPECT_EQ(v[6], 7);
    EXPECT_NE(rw_getxy_miniline(1, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]), 0);
    rw_end();
}

TEST(HeapSort, EqualRecordsEndInHeapOrder) {
    // Records sorted by key only; the tag shows where equal keys end up.
    struct R { int key; char tag; };
    std::vector<R> v = {{2, 'a'}, {1, 'b'}, {2, 'c'}, {1, 'd'}, {2, 'e'}};
    ringweld::heap_sort(v.data(), v.size(), [](const R& x, const R& y) { return x.key < y.key; });
    std::string order;
    for (const R& r : v) order += r.tag;
    // Traced through the 1-based sift-down by hand: the sort is not stable, and the
    // later equal keys 'c' and 'e' come out ahead of 'a'.
    EXPECT_EQ(order, "bdcea");
}

}  // namespace
