// Shared helpers for the line-stage tests: building records and reading the line table
// back through the exports.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "large_pages.h"
#include "pair_test.h"
#include "records.h"

namespace ringweld {

// A record as the caller gives it, not yet ordered lower-first.
LineRecord make_record(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t key = 0, int16_t ent = 0,
                       int16_t lin = 0);

bool operator==(const LineRecord& a, const LineRecord& b);
std::ostream& operator<<(std::ostream& os, const LineRecord& r);
void PrintTo(const Point& p, std::ostream* os);

}  // namespace ringweld

namespace lines_test {

// Opens a fresh session with the converter's per-layer sizes.
void start_session();

// Puts each record through rw_put_line.
void put_lines(const ringweld::TableVector<ringweld::LineRecord>& lines);

// Reads the line table through rw_first_miniline / rw_next_miniline.
ringweld::TableVector<ringweld::LineRecord> read_minilines();

// Geometry only, as "(x1,y1)-(x2,y2)" strings, for compact expectations.
std::vector<std::string> geometries(const ringweld::TableVector<ringweld::LineRecord>& lines);

}  // namespace lines_test
