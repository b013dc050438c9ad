// Single-polygon exports: rw_ini_onepoly .. rw_end_onepoly over the library's one-polygon
// table (one_polygon.h), which no engine session owns.

#include "engine_limits.h"
#include "one_polygon.h"
#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

OnePolygonTable& table() { return library().one_polygon; }

// Status of a read past the last record (the readers end with 1, not -1).
constexpr int32_t kNoMorePoints = 1;

}  // namespace

extern "C" {

RW_API int32_t rw_ini_onepoly(void) {
    table().release();
    return 0;
}

// Releasing also ends the sequence: a later rw_set_onepoly starts a new one, and until then
// the table reads as empty, so nothing is read from or written to released records.
RW_API int32_t rw_end_onepoly(void) {
    table().release();
    return 0;
}

RW_API int32_t rw_set_onepoly(int32_t x, int32_t y, int32_t key) {
    if (!in_domain(x, y)) return kOutOfRange;
    return guarded(kPolygonPointOverflow, [&] {
        table().append(x, y, key);
        return 0;
    });
}

RW_API int32_t rw_exe_onepoly(int32_t* out_count) {
    OnePolygonTable& t = table();
    const int32_t status = guarded(kPolygonPointOverflow, [&] {
        mark_bridges(t.points.rows());
        return 0;
    });
    if (status != 0) return status;
    put(out_count, t.points.count());
    return 0;
}

RW_API int32_t rw_getfirst_onepoly(int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    table().rewind();
    return rw_getnext_onepoly(out_x, out_y, out_key, out_ring);
}

RW_API int32_t rw_getnext_onepoly(int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    int32_t x = 0, y = 0, key = 0, ring = 0;
    if (!table().read_next(x, y, key, ring)) return kNoMorePoints;
    put(out_x, x);
    put(out_y, y);
    put(out_key, key);
    put(out_ring, ring);
    return 0;
}

}  // extern "C"
