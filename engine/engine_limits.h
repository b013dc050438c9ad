// The engine's numeric domain and its table-overflow reporting.
//
// Coordinates: the pair test and the cutting take coordinate differences in 32-bit integers,
// which stay exact only while |x| and |y| are below RW_COORDINATE_LIMIT; the intake calls
// refuse a line or point outside that range with kOutOfRange and store nothing.
// Tables: a work table that cannot grow (the allocator gives up, or the size is beyond what a
// vector can hold) throws TableOverflow carrying the table's error number; the exports catch
// it (guarded) so that no exception crosses the C boundary and the tables stay readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>

#include "ringweld.h"

namespace ringweld {

// "整数の範囲を超えました": a coordinate outside the domain, or an area beyond 32 bits.
inline constexpr int32_t kOutOfRange = RW_ERR_OUT_OF_RANGE;

// Error numbers of the tables that cannot grow any further, by what they hold.
inline constexpr int32_t kLineOverflow = RW_ERR_LINE_OVERFLOW;        // line-sized tables
inline constexpr int32_t kCoordinateOverflow = RW_ERR_COORDINATE_OVERFLOW;  // point-sized tables
inline constexpr int32_t kArcOverflow = RW_ERR_ARC_OVERFLOW;         // arc-sized tables
inline constexpr int32_t kPolygonOverflow = RW_ERR_POLYGON_OVERFLOW;     // polygon records
inline constexpr int32_t kPolygonPointOverflow = RW_ERR_POLYGON_POINT_OVERFLOW;  // polygon points

inline constexpr bool in_domain(int32_t v) { return v > -RW_COORDINATE_LIMIT && v < RW_COORDINATE_LIMIT; }
inline constexpr bool in_domain(int32_t x, int32_t y) { return in_domain(x) && in_domain(y); }

// A table could not grow; `code` is its error number.
struct TableOverflow {
    int32_t code;
};

// The largest single table allocation in bytes. Unlimited in use; tests lower it to see a
// table run out of memory without exhausting the machine.
inline std::size_t& table_allocation_limit() {
    static std::size_t limit = std::numeric_limits<std::size_t>::max();
    return limit;
}

// Runs an export's body: a table overflow becomes its error number, any other allocation
// failure `fallback` (the number of the table family the export fills).
template <typename Body>
int32_t guarded(int32_t fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (const TableOverflow& e) {
        return e.code;
    } catch (const std::bad_alloc&) {
        return fallback;
    } catch (const std::length_error&) {
        return fallback;
    }
}

}  // namespace ringweld
