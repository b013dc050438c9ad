// Record layouts of the line stage. Fields are 32-bit unless noted; `ent` and `lin` are
// 16-bit values that cross the API widened to 32 bits.
#pragma once

#include <cstdint>

namespace ringweld {

// A straight segment with its caller's tags. Invariant of every stored record: the first
// endpoint is the lower one (y1 < y2, or y1 == y2 and x1 < x2), never zero length.
struct LineRecord {
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    int32_t key = 0;
    int16_t ent = 0;
    int16_t lin = 0;
};

// A point where a line is to be cut, tagged with the line's index in the sorted table.
struct SplitPoint {
    int32_t line = 0;
    int32_t x = 0;
    int32_t y = 0;
};

}  // namespace ringweld
