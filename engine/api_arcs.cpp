// Arc exports: rw_create_arcline, the arc accessors and iterators, save and load.

#include <algorithm>
#include <limits>

#include "assembly.h"
#include "engine_limits.h"
#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

bool is_arc(const ArcTables& t, int32_t index) { return index >= 0 && index <= t.count && t.arcs.valid(index); }

void put_point(const ArcPoint& p, int32_t* out_x, int32_t* out_y, int32_t* out_ent, int32_t* out_lin) {
    put(out_x, p.x);
    put(out_y, p.y);
    put(out_ent, static_cast<uint16_t>(p.ent));
    put(out_lin, static_cast<uint16_t>(p.lin));
}

// The point count of an arc record, which rw_putarc_arcline may have filled with anything.
int32_t point_count(const ArcRecord& a) {
    const int64_t n = int64_t{a.last} - a.first + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

extern "C" {

RW_API int32_t rw_create_arcline(int32_t* out_count) {
    return guarded(kArcOverflow,
                   [&] {
        LabellingOptions options;
        options.max_crossings = library().max_crossings;
        return create_arcline(session(), library().direction, options, out_count);
    });
}

RW_API int32_t rw_getnum_arcline(int32_t* out_arcs, int32_t* out_points) {
    const ArcTables& t = session().arcs;
    put(out_arcs, t.count);
    put(out_points, t.points.count());
    return 0;
}

RW_API int32_t rw_getarc_arcline(int32_t index, int32_t* out_face1, int32_t* out_face2, int32_t* out_ring1,
                                 int32_t* out_ring2, int32_t* out_start, int32_t* out_end, int32_t* out_first,
                                 int32_t* out_last) {
    const ArcTables& t = session().arcs;
    if (!is_arc(t, index)) return -1;
    const ArcRecord& a = t.arcs[index];
    put(out_face1, a.face1);
    put(out_face2, a.face2);
    put(out_ring1, a.ring1);
    put(out_ring2, a.ring2);
    put(out_start, a.start);
    put(out_end, a.end);
    put(out_first, a.first);
    put(out_last, a.last);
    return 0;
}

RW_API int32_t rw_putarc_arcline(int32_t index, int32_t face1, int32_t face2, int32_t ring1, int32_t ring2,
                                 int32_t start, int32_t end, int32_t first, int32_t last) {
    ArcTables& t = session().arcs;
    if (!is_arc(t, index)) return -1;
    t.arcs[index] = ArcRecord{face1, face2, static_cast<uint8_t>(ring1), static_cast<uint8_t>(ring2),
                              start, end, first, last};
    return 0;
}

RW_API int32_t rw_getdat_arcline(int32_t index, int32_t* out_x, int32_t* out_y, int32_t* out_ent, int32_t* out_lin) {
    const ArcTables& t = session().arcs;
    if (!t.points.valid(index)) return -1;
    put_point(t.points[index], out_x, out_y, out_ent, out_lin);
    return 0;
}

RW_API int32_t rw_first_arcline(int32_t* out_face1, int32_t* out_face2, int32_t* out_ring1, int32_t* out_ring2,
                                int32_t* out_npoints) {
    session().arcs.arc_cursor = 0;
    return rw_next_arcline(out_face1, out_face2, out_ring1, out_ring2, out_npoints);
}

RW_API int32_t rw_next_arcline(int32_t* out_face1, int32_t* out_face2, int32_t* out_ring1, int32_t* out_ring2,
                               int32_t* out_npoints) {
    ArcTables& t = session().arcs;
    if (t.arc_cursor > t.count) return -1;
    t.arc_cursor += 1;
    if (!is_arc(t, t.arc_cursor)) {
        t.point_cursor = 0;
        t.point_last = -1;
        return -1;
    }
    const ArcRecord& a = t.arcs[t.arc_cursor];
    t.point_cursor = int64_t{a.first} - 1;
    t.point_last = a.last;
    put(out_face1, a.face1);
    put(out_face2, a.face2);
    put(out_ring1, a.ring1);
    put(out_ring2, a.ring2);
    put(out_npoints, point_count(a));
    return 0;
}

RW_API int32_t rw_next_arcdata(int32_t* out_x, int32_t* out_y, int32_t* out_ent, int32_t* out_lin) {
    ArcTables& t = session().arcs;
    if (t.point_cursor >= t.point_last) return -1;
    t.point_cursor += 1;  // now within [first, last], so it fits 32 bits
    return rw_getdat_arcline(static_cast<int32_t>(t.point_cursor), out_x, out_y, out_ent, out_lin);
}

RW_API int32_t rw_getdef_arcline(int32_t* out_index, int32_t* out_start, int32_t* out_end, int32_t* out_first,
                                 int32_t* out_last) {
    const ArcTables& t = session().arcs;
    if (!is_arc(t, t.arc_cursor)) return -1;
    const ArcRecord& a = t.arcs[t.arc_cursor];
    put(out_index, t.arc_cursor);
    put(out_start, a.start);
    put(out_end, a.end);
    put(out_first, a.first);
    put(out_last, a.last);
    return 0;
}

RW_API int32_t rw_ext_arcline(int32_t* out_index, int32_t* out_start, int32_t* out_end) {
    return rw_getdef_arcline(out_index, out_start, out_end, nullptr, nullptr);
}

RW_API int32_t rw_save_arcline(void) {
    ArcTables& t = session().arcs;
    t.saved.clear();
    t.has_saved = false;
    if (t.arcs.empty()) return 1;
    return guarded(kArcOverflow, [&] {
        t.saved.assign(t.arcs.begin(), t.arcs.begin() + (t.count + 1));
        t.saved_count = t.count;
        t.has_saved = true;
        return 0;
    });
}

RW_API int32_t rw_load_arcline(void) {
    ArcTables& t = session().arcs;
    if (!t.has_saved) {
        t.count = 0;
        return 0;
    }
    return guarded(kArcOverflow, [&] {
        // Arcs rebuilt since the save may be fewer than the saved ones.
        if (t.arcs.count() < t.saved_count + 1) t.arcs.resize(t.saved_count + 1);
        std::copy(t.saved.begin(), t.saved.end(), t.arcs.begin());
        t.count = t.saved_count;
        return 0;
    });
}

}  // extern "C"
