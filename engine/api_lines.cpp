// Line and miniline exports: intake into the line and staging tables, miniline creation,
// and reading the line table back.

#include <cstdio>
#include <limits>

#include "engine_limits.h"
#include "miniline.h"
#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

// Error number for a miniline index outside the line table.
constexpr int32_t kIndexOutOfRange = 14;

// A stored line: lower endpoint first; a zero-length line is not stored at all.
bool make_line(int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t key,
               LineRecord& out) {
    if (x1 == x2 && y1 == y2) return false;
    LineRecord r;
    r.x1 = x1;
    r.y1 = y1;
    r.x2 = x2;
    r.y2 = y2;
    r.key = key;
    r.ent = static_cast<int16_t>(ent);
    r.lin = static_cast<int16_t>(lin);
    out = lower_first(r);
    return true;
}

int32_t create(int32_t* out_count, DuplicateRule rule) {
    // The split points are the table that grows beyond the input.
    return guarded(kCoordinateOverflow, [&] {
        Session& s = session();
        create_minilines(s.lines.rows(), rule);
        if (out_count) *out_count = s.lines.count();
        return 0;
    });
}

// Stores a line in `table` unless a coordinate lies outside the domain.
int32_t put_into(WorkTable<LineRecord>& table, int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2,
                 int32_t y2, int32_t key) {
    if (!in_domain(x1, y1) || !in_domain(x2, y2)) return kOutOfRange;
    return guarded(table.overflow_code(), [&] {
        LineRecord r;
        if (make_line(ent, lin, x1, y1, x2, y2, key, r)) table.append(r);
        return 0;
    });
}

}  // namespace

extern "C" {

RW_API int32_t rw_init_line(void) {
    session().release_lines();
    return 0;
}

RW_API int32_t rw_put_line(int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           int32_t key) {
    return put_into(session().lines, ent, lin, x1, y1, x2, y2, key);
}

RW_API int32_t rw_put_line_ext(int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                               int32_t key) {
    return put_into(session().staging, ent, lin, x1, y1, x2, y2, key);
}

RW_API int32_t rw_put_line_ext_cpy(int32_t* out_count) {
    Session& s = session();
    const int32_t status = guarded(kLineOverflow, [&] {
        cancel_staged_pairs(s.staging.rows());
        for (const LineRecord& r : s.staging) s.lines.append(r);
        put(out_count, s.staging.count());
        return 0;
    });
    s.staging.release();
    s.staging.configure(kStagingCapacity, kStagingCapacity);
    return status;
}

RW_API int32_t rw_create_miniline(int32_t* out_count) { return create(out_count, DuplicateRule::keep_one); }

RW_API int32_t rw_create_miniline_dupcut(int32_t* out_count) {
    return create(out_count, DuplicateRule::cancel_pairs);
}

RW_API int32_t rw_getnum_miniline(int32_t* out_minilines, int32_t* out_endpoints) {
    const Session& s = session();
    put(out_minilines, s.lines.count());
    put(out_endpoints, s.endpoint_count());
    return 0;
}

RW_API int32_t rw_getxy_miniline(int32_t index, int32_t* out_ent, int32_t* out_lin, int32_t* out_x1,
                                 int32_t* out_y1, int32_t* out_x2, int32_t* out_y2, int32_t* out_key) {
    const Session& s = session();
    if (!s.lines.valid(index)) return kIndexOutOfRange;
    const LineRecord& r = s.lines[static_cast<std::size_t>(index)];
    put(out_ent, r.ent);
    put(out_lin, r.lin);
    put(out_x1, r.x1);
    put(out_y1, r.y1);
    put(out_x2, r.x2);
    put(out_y2, r.y2);
    put(out_key, r.key);
    return 0;
}

RW_API int32_t rw_first_miniline(int32_t* out_ent, int32_t* out_lin, int32_t* out_x1, int32_t* out_y1,
                                 int32_t* out_x2, int32_t* out_y2, int32_t* out_key) {
    session().miniline_cursor = -1;
    return rw_next_miniline(out_ent, out_lin, out_x1, out_y1, out_x2, out_y2, out_key);
}

RW_API int32_t rw_next_miniline(int32_t* out_ent, int32_t* out_lin, int32_t* out_x1, int32_t* out_y1,
                                int32_t* out_x2, int32_t* out_y2, int32_t* out_key) {
    Session& s = session();
    if (s.miniline_cursor < std::numeric_limits<int32_t>::max()) ++s.miniline_cursor;
    if (s.miniline_cursor > s.lines.last_index()) return -1;
    return rw_getxy_miniline(s.miniline_cursor, out_ent, out_lin, out_x1, out_y1, out_x2, out_y2, out_key);
}

RW_API int32_t rw_prt_miniline(const char* path) {
    if (!path) return -1;
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return -1;
    std::fputs("    no   ent       key   lin         x1         y1         x2         y2\r\n", f);
    const Session& s = session();
    for (int32_t i = 0; i < s.lines.count(); ++i) {
        const LineRecord& r = s.lines[static_cast<std::size_t>(i)];
        std::fprintf(f, "%6d%6d%10d%6d%11d%11d%11d%11d\r\n", static_cast<int>(i), static_cast<int>(r.ent),
                     static_cast<int>(r.key), static_cast<int>(r.lin), static_cast<int>(r.x1),
                     static_cast<int>(r.y1), static_cast<int>(r.x2), static_cast<int>(r.y2));
    }
    // A file that could not be written in full is a failure too.
    const bool write_failed = std::ferror(f) != 0;
    if (std::fclose(f) != 0 || write_failed) return -1;
    return 0;
}

}  // extern "C"
