#include "assembly_digest_helpers.h"

#include <random>

#include "ringweld.h"

namespace assembly_digest {

namespace {

struct Fnv {
    uint64_t h = 1469598103934665603ull;
    void add(int64_t v) {
        for (int i = 0; i < 8; ++i) {
            h ^= static_cast<uint64_t>(v >> (8 * i)) & 0xff;
            h *= 1099511628211ull;
        }
    }
};

}  // namespace

std::vector<Line> crowded_lattice(uint32_t seed, int count) {
    std::mt19937 rng(seed);
    auto coord = [&rng] { return static_cast<int32_t>(rng() % 9) * 10; };
    std::vector<Line> out;
    while (static_cast<int>(out.size()) < count) {
        const int32_t x1 = coord(), y1 = coord();
        int32_t x2 = coord(), y2 = coord();
        if (rng() % 3 == 0) y2 = y1;  // many horizontal lines, which overlap
        const Line l{static_cast<int32_t>(rng() % 3), static_cast<int32_t>(rng() % 4), x1, y1, x2, y2,
                     static_cast<int32_t>(out.size())};
        out.push_back(l);
        if (rng() % 4 == 0) {  // the same line again under another key, sometimes reversed
            Line again = l;
            again.key = static_cast<int32_t>(out.size()) + 100000;
            if (rng() % 2) {
                std::swap(again.x1, again.x2);
                std::swap(again.y1, again.y2);
            }
            out.push_back(again);
        }
    }
    return out;
}

std::vector<Line> generated(segment_sets::Kind kind, int64_t count) {
    std::vector<Line> out;
    int32_t key = 0;
    for (const segment_sets::Segment& s : segment_sets::generate(kind, count))
        out.push_back(Line{0, 1, s.x1, s.y1, s.x2, s.y2, key++});
    return out;
}

uint64_t assemble_and_digest(const std::vector<Line>& lines, bool cancel_pairs) {
    Fnv f;
    rw_start(64, 64, 64, 64);  // small hints: the tables grow many times
    for (const Line& l : lines) rw_put_line(l.ent, l.lin, l.x1, l.y1, l.x2, l.y2, l.key);
    int32_t count = 0;
    f.add(cancel_pairs ? rw_create_miniline_dupcut(&count) : rw_create_miniline(&count));
    f.add(count);
    int32_t v[9] = {};
    for (int32_t i = 0; rw_getxy_miniline(i, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]) == 0; ++i)
        for (int k = 0; k < 7; ++k) f.add(v[k]);
    int32_t arcs = 0;
    const int32_t arc_status = rw_create_arcline(&arcs);
    f.add(arc_status);
    if (arc_status == 0) {
        f.add(arcs);
        for (int32_t a = 0; a <= arcs; ++a) {
            rw_getarc_arcline(a, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
            for (int k = 0; k < 8; ++k) f.add(v[k]);
        }
        int32_t points = 0;
        rw_getnum_arcline(&arcs, &points);
        for (int32_t i = 0; i < points; ++i) {
            rw_getdat_arcline(i, &v[0], &v[1], &v[2], &v[3]);
            for (int k = 0; k < 4; ++k) f.add(v[k]);
        }
        int32_t minilines = 0, endpoints = 0;
        rw_getnum_miniline(&minilines, &endpoints);
        f.add(endpoints);
        int32_t polygons = 0;
        f.add(rw_create_polygon(&polygons));
        f.add(polygons);
        int32_t records = 0;
        rw_getnum_polygon(&polygons, &records);
        for (int32_t n = 1; n <= polygons; ++n) {
            rw_getpol_polygon(n, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]);
            for (int k = 0; k < 7; ++k) f.add(v[k]);
        }
        for (int32_t i = 1; i <= records; ++i) {
            rw_getdat_polygon2(i, &v[0], &v[1], &v[2], &v[3]);
            for (int k = 0; k < 4; ++k) f.add(v[k]);
        }
    }
    rw_end();
    return f.h;
}

}  // namespace assembly_digest
