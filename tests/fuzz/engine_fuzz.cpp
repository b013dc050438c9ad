// Call sequences of the ringweld API over arbitrary segments and table sizes. The input is a
// small program: a header (table sizes, coordinate scale, direction flag), then operations
// (put lines, stage and copy lines, overlay outlines and cells, assemble and read back
// everything, restart, save and load arcs, single-polygon marking). What must hold: no
// crash or sanitizer report, every iterator ends within the size of its table, and no two
// minilines cross or overlap except at shared end points (the exact integer test below).
// Cut points are rounded to integers, and a rounded point may land beside or across a
// neighbouring line; so the minilines are checked when cutting is exact: every line put in
// runs along an axis.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_targets.h"
#include "ringweld.h"

namespace gridora::fuzz {
namespace {

constexpr int kMaxOperations = 48;
constexpr int kMaxLines = 40;
constexpr int32_t kMaxCrossingCheck = 1500;  // minilines checked pair by pair

struct Segment {
    int64_t x1, y1, x2, y2;
};

int Sign(int64_t v) { return (v > 0) - (v < 0); }

// The orientation of c relative to a->b; exact, since every coordinate is below 2^31.
int Orientation(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t cx, int64_t cy) {
    return Sign((bx - ax) * (cy - ay) - (by - ay) * (cx - ax));
}

// Whether c, known to lie on the line of a-b, lies within the segment.
bool WithinBox(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t cx, int64_t cy) {
    return std::min(ax, bx) <= cx && cx <= std::max(ax, bx) && std::min(ay, by) <= cy && cy <= std::max(ay, by);
}

bool IsEndPoint(const Segment& s, int64_t x, int64_t y) {
    return (s.x1 == x && s.y1 == y) || (s.x2 == x && s.y2 == y);
}

bool SameGeometry(const Segment& a, const Segment& b) {
    return (a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2) ||
           (a.x1 == b.x2 && a.y1 == b.y2 && a.x2 == b.x1 && a.y2 == b.y1);
}

// Whether a line runs along an axis. Lines of integer coordinates that all do meet on
// integers or stay at least one unit apart, so cutting them is exact: cut points of slanted
// lines are rounded, and a line passing within a unit of another's end is cut there.
bool RunsAlongAxis(const Segment& s) { return s.x1 == s.x2 || s.y1 == s.y2; }

// Two minilines may meet only at a point that is an end point of both. Identical ones are
// allowed: collinear lines of two parents may leave equal pieces.
bool MeetProperly(const Segment& a, const Segment& b) {
    if (SameGeometry(a, b)) return true;
    const int o1 = Orientation(a.x1, a.y1, a.x2, a.y2, b.x1, b.y1);
    const int o2 = Orientation(a.x1, a.y1, a.x2, a.y2, b.x2, b.y2);
    const int o3 = Orientation(b.x1, b.y1, b.x2, b.y2, a.x1, a.y1);
    const int o4 = Orientation(b.x1, b.y1, b.x2, b.y2, a.x2, a.y2);
    if (o1 == 0 && o2 == 0) {
        // Collinear: the overlap along the line must be empty or a single point.
        const bool by_x = a.x1 != a.x2;
        const int64_t a_lo = by_x ? std::min(a.x1, a.x2) : std::min(a.y1, a.y2);
        const int64_t a_hi = by_x ? std::max(a.x1, a.x2) : std::max(a.y1, a.y2);
        const int64_t b_lo = by_x ? std::min(b.x1, b.x2) : std::min(b.y1, b.y2);
        const int64_t b_hi = by_x ? std::max(b.x1, b.x2) : std::max(b.y1, b.y2);
        return std::min(a_hi, b_hi) <= std::max(a_lo, b_lo);
    }
    if (o1 * o2 < 0 && o3 * o4 < 0) return false;  // a proper crossing
    // Touching: an end point of one on the other must be an end point of both.
    if (o1 == 0 && WithinBox(a.x1, a.y1, a.x2, a.y2, b.x1, b.y1) && !IsEndPoint(a, b.x1, b.y1)) return false;
    if (o2 == 0 && WithinBox(a.x1, a.y1, a.x2, a.y2, b.x2, b.y2) && !IsEndPoint(a, b.x2, b.y2)) return false;
    if (o3 == 0 && WithinBox(b.x1, b.y1, b.x2, b.y2, a.x1, a.y1) && !IsEndPoint(b, a.x1, a.y1)) return false;
    if (o4 == 0 && WithinBox(b.x1, b.y1, b.x2, b.y2, a.x2, a.y2) && !IsEndPoint(b, a.x2, a.y2)) return false;
    return true;
}

// GRIDORA_FUZZ_TRACE=1 prints the calls a program makes, to turn a finding into a test.
bool Tracing() {
    static const bool tracing = std::getenv("GRIDORA_FUZZ_TRACE") != nullptr;
    return tracing;
}

class EngineProgram {
public:
    explicit EngineProgram(InputCursor& in) : in_(in) {}

    void Run() {
        rw_set_rdir(in_.Byte() & 1);
        scale_ = int32_t{1} << (in_.Byte() % 15);  // |coordinate| <= 2^15 * 2^14 = 2^29
        Start();
        for (int op = 0; op < kMaxOperations && !in_.AtEnd(); ++op) Step(in_.Byte());
        Assemble(in_.Byte());
        rw_end();
        ex_end();
        rw_end_onepoly();
    }

private:
    void Start() {
        // Sizes are hints; small and odd ones make the tables grow often.
        const auto size = [&] { return static_cast<int32_t>(in_.Byte()) * (1 + in_.Byte() % 16); };
        const int32_t sizes[4] = {size(), size(), size(), size()};
        if (Tracing()) std::fprintf(stderr, "rw_start(%d, %d, %d, %d)\n", sizes[0], sizes[1], sizes[2], sizes[3]);
        FUZZ_CHECK(rw_start(sizes[0], sizes[1], sizes[2], sizes[3]) == 0, "rw_start returns 0");
        lines_ = 0;
        put_.clear();
        untracked_ = false;
    }

    int32_t Coordinate() { return static_cast<int32_t>(in_.Int16()) * scale_; }
    // Small coordinates meet and overlap often: every other operation uses a 16 x 16 grid.
    int32_t GridCoordinate() { return static_cast<int32_t>(in_.Byte() % 16) * scale_; }

    void PutLine(bool staged, bool on_grid) {
        if (++lines_ > kMaxLines) return;
        const int32_t ent = in_.Byte() % 8;
        const int32_t lin = in_.Int16();
        int32_t c[4];
        for (int32_t& v : c) v = on_grid ? GridCoordinate() : Coordinate();
        // Most grid lines run along an axis, where cutting is exact and fully checked.
        if (on_grid && (ent & 4) == 0) {
            if (ent & 1) c[2] = c[0]; else c[3] = c[1];
        }
        const int32_t key = in_.Int16();
        if (Tracing())
            std::fprintf(stderr, "%s(%d, %d, %d, %d, %d, %d, %d)\n", staged ? "rw_put_line_ext" : "rw_put_line", ent,
                         lin, c[0], c[1], c[2], c[3], key);
        put_.push_back({c[0], c[1], c[2], c[3]});
        const int32_t r = staged ? rw_put_line_ext(ent, lin, c[0], c[1], c[2], c[3], key)
                                 : rw_put_line(ent, lin, c[0], c[1], c[2], c[3], key);
        FUZZ_CHECK(r == 0, "a line inside the domain is taken");
    }

    void PutOverlay() {
        ex_start(in_.Byte(), in_.Byte(), in_.Byte(), in_.Byte());
        const int points = in_.Byte() % 12;
        for (int i = 0; i < points; ++i)
            ex_put_shapeline(in_.Byte() % 3, in_.Int16(), GridCoordinate(), GridCoordinate(), in_.Int16());
        const int cells = in_.Byte() % 12;
        for (int i = 0; i < cells; ++i) ex_put_meshline(in_.Byte() % 3, 0, GridCoordinate(), GridCoordinate(), in_.Int16());
        int32_t counts[4];
        if (in_.Byte() & 1) ex_cal_meshcut(&counts[0], &counts[1], &counts[2], &counts[3]);
        ex_mesh_line(0);
        untracked_ = true;  // the overlay's lines are the engine's to make
        lines_ += points + cells;
    }

    void MarkOnePolygon() {
        rw_ini_onepoly();
        const int points = in_.Byte() % 24;
        for (int i = 0; i < points; ++i) rw_set_onepoly(GridCoordinate(), GridCoordinate(), in_.Int16());
        int32_t count = -1;
        FUZZ_CHECK(rw_exe_onepoly(&count) == 0 && count == points, "marking counts the sequence");
        int32_t x, y, key, ring;
        int32_t read = 0;
        for (int32_t r = rw_getfirst_onepoly(&x, &y, &key, &ring); r == 0; r = rw_getnext_onepoly(&x, &y, &key, &ring))
            FUZZ_CHECK(++read <= count, "the single-polygon reading ends");
        FUZZ_CHECK(read == count, "the single-polygon reading gives every record");
    }

    void Step(uint8_t op) {
        if (Tracing()) std::fprintf(stderr, "operation %d\n", op % 14);
        switch (op % 14) {
        case 0: case 1: PutLine(false, true); break;
        case 2: case 3: PutLine(false, false); break;
        case 4: PutLine(true, true); break;
        case 5: PutLine(true, false); break;
        case 6: {
            int32_t moved = -1;
            FUZZ_CHECK(rw_put_line_ext_cpy(&moved) == 0 && moved >= 0, "staged lines are moved");
            break;
        }
        case 7: Assemble(in_.Byte()); break;
        case 8: rw_init_line(); lines_ = 0; put_.clear(); untracked_ = false; break;
        case 9: Start(); break;
        case 10: rw_save_arcline(); break;
        case 11: rw_load_arcline(); break;
        case 12: PutOverlay(); break;
        case 13: MarkOnePolygon(); break;
        }
    }

    void CheckMinilines(int32_t count) {
        int32_t in_table = -1, endpoints = -1;
        rw_getnum_miniline(&in_table, &endpoints);
        FUZZ_CHECK(in_table == count, "the miniline count is the table's");
        std::vector<Segment> segments;
        int32_t ent, lin, x1, y1, x2, y2, key;
        for (int32_t r = rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key); r == 0;
             r = rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key)) {
            FUZZ_CHECK(static_cast<int32_t>(segments.size()) < count, "the miniline iteration ends");
            segments.push_back({x1, y1, x2, y2});
        }
        FUZZ_CHECK(static_cast<int32_t>(segments.size()) == count, "the miniline iteration gives every record");
        FUZZ_CHECK(rw_getxy_miniline(count, &ent, &lin, &x1, &y1, &x2, &y2, &key) == 14, "reading past the table fails");
        if (count > kMaxCrossingCheck || untracked_ || !CutsAreExact()) return;
        for (std::size_t i = 0; i < segments.size(); ++i)
            for (std::size_t j = i + 1; j < segments.size(); ++j)
                if (!MeetProperly(segments[i], segments[j])) {
                    std::fprintf(stderr, "minilines %zu (%lld,%lld)-(%lld,%lld) and %zu (%lld,%lld)-(%lld,%lld)\n", i,
                                 (long long)segments[i].x1, (long long)segments[i].y1, (long long)segments[i].x2,
                                 (long long)segments[i].y2, j, (long long)segments[j].x1, (long long)segments[j].y1,
                                 (long long)segments[j].x2, (long long)segments[j].y2);
                    FUZZ_CHECK(false, "minilines never cross");
                }
    }

    void ReadArcs() {
        int32_t arcs = -1, points = -1;
        rw_getnum_arcline(&arcs, &points);
        FUZZ_CHECK(arcs >= 0 && points >= 0, "arc counts are counts");
        int32_t f1, f2, r1, r2, n, x, y, ent, lin, index, start, end, first, last;
        int32_t seen = 0;
        for (int32_t r = rw_first_arcline(&f1, &f2, &r1, &r2, &n); r == 0; r = rw_next_arcline(&f1, &f2, &r1, &r2, &n)) {
            FUZZ_CHECK(++seen <= arcs, "the arc iteration ends");
            int32_t arc_points = 0;
            while (rw_next_arcdata(&x, &y, &ent, &lin) == 0)
                FUZZ_CHECK(++arc_points <= points, "an arc's point iteration ends");
            rw_getdef_arcline(&index, &start, &end, &first, &last);
            rw_ext_arcline(&index, &start, &end);
        }
        FUZZ_CHECK(rw_getarc_arcline(arcs + 1, &f1, &f2, &r1, &r2, &start, &end, &first, &last) == -1,
                   "reading past the arcs fails");
        FUZZ_CHECK(rw_getdat_arcline(points, &x, &y, &ent, &lin) == -1, "reading past the arc points fails");
    }

    void ReadPolygons() {
        int32_t polygons = -1, points = -1;
        rw_getnum_polygon(&polygons, &points);
        FUZZ_CHECK(polygons >= 0 && points >= 0, "polygon counts are counts");
        const int32_t bound = points + 1;
        int32_t face, n, x, y, key, ring, owner, ring_id, ring_no;
        int32_t seen = 0;
        std::vector<int32_t> faces;
        for (int32_t r = rw_first_polygon(&face, &n); r == 0; r = rw_next_polygon(&face, &n)) {
            FUZZ_CHECK(++seen <= polygons, "the polygon iteration ends");
            faces.push_back(face);
            int32_t records = 0;
            while (rw_next_polydata(&x, &y, &key) == 0) FUZZ_CHECK(++records <= bound, "the polygon data ends");
            rw_rewind_polydata();
            records = 0;
            while (rw_next_polydata2(&x, &y, &key, &ring) == 0) FUZZ_CHECK(++records <= bound, "the polygon data ends");
        }
        seen = 0;
        for (int32_t r = rw_first_polygon_ext(&face, &n); r == 0; r = rw_next_polygon_ext(&face, &n)) {
            FUZZ_CHECK(++seen <= polygons + points, "the extended polygon iteration ends");
            int32_t records = 0;
            while (rw_next_polydata_ext(&x, &y, &key, &ring) == 0)
                FUZZ_CHECK(++records <= bound, "the extended polygon data ends");
        }
        seen = 0;
        for (int32_t r = rw_first_polexttabl(&owner, &ring_id, &ring_no); r == 0;
             r = rw_next_polexttabl(&owner, &ring_id, &ring_no))
            FUZZ_CHECK(++seen <= bound, "the ring table iteration ends");
        seen = 0;
        for (int32_t r = rw_first_pol1dat(&face, &x, &y); r == 0; r = rw_next_pol1dat(&face, &x, &y))
            FUZZ_CHECK(++seen <= bound, "the touch point iteration ends");

        for (std::size_t i = 0; i < faces.size() && i < 6; ++i) Query(faces[i], points);
        int32_t lx, ly, shape, mesh, area;
        seen = 0;
        for (int32_t r = ex_first_polylink(&face, &n, &lx, &ly, &shape, &mesh, &area); r != -1;
             r = ex_next_polylink(&face, &n, &lx, &ly, &shape, &mesh, &area)) {
            FUZZ_CHECK(++seen <= polygons, "the piece iteration ends");
            int32_t records = 0;
            while (ex_next_polyldat(&x, &y, &key) == 0) FUZZ_CHECK(++records <= bound, "a piece's data ends");
        }
    }

    void Query(int32_t face, int32_t points) {
        int32_t x = 0, y = 0, area = 0, found = 0, key = 0, ring = 0;
        double area_d = 0;
        FUZZ_CHECK(rw_find_polygon(face) == 0, "a listed face has a polygon");
        rw_check1pol_polygondef();
        rw_center_polygondef(face, &x, &y);
        FUZZ_CHECK(rw_center_polygon(face, &x, &y) == 0, "a listed face has a label point");
        rw_findxy_polygon(x, y, &found);
        rw_calarea_polygon(face, &area);
        rw_calareaD_polygon(face, &area_d);
        rw_nearnode_connectpolygon(face);
        // The walk passes each point once, and bridge points once more per bridge.
        const int32_t bound = 3 * points + 4;
        int32_t walked = 0;
        for (int32_t r = rw_nearnode_getfirstXY(&x, &y, &key, &ring); r == 0; r = rw_nearnode_getnextXY(&x, &y, &key, &ring))
            FUZZ_CHECK(++walked <= bound, "the bridged walk ends");
        rw_nearnode_connectclose();
    }

    void Assemble(uint8_t how) {
        if (Tracing()) std::fprintf(stderr, "assemble %s, stop %d\n", (how & 1) ? "dupcut" : "miniline", how & 6);
        int32_t count = -1;
        FUZZ_CHECK(((how & 1) ? rw_create_miniline_dupcut(&count) : rw_create_miniline(&count)) == 0,
                   "minilines are made");
        CheckMinilines(count);
        if (how & 2) return;  // stop after the minilines, as a caller may
        int32_t arcs = -1;
        if (rw_create_arcline(&arcs) != 0) return;
        ReadArcs();
        if (how & 4) return;
        int32_t polygons = -1;
        rw_create_polygon(&polygons);
        ReadPolygons();
    }

    // Whether cutting the lines put in since the table was emptied is exact.
    bool CutsAreExact() const { return std::all_of(put_.begin(), put_.end(), RunsAlongAxis); }

    InputCursor& in_;
    std::vector<Segment> put_;  // every line put in (a superset of the table's sources)
    bool untracked_ = false;
    int32_t scale_ = 1;
    int lines_ = 0;
};

}  // namespace

int FuzzEngineCalls(const uint8_t* data, std::size_t size) {
    InputCursor in(data, size);
    EngineProgram(in).Run();
    return 0;
}

}  // namespace gridora::fuzz
