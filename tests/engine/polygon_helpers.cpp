#include "polygon_helpers.h"

#include <algorithm>
#include <deque>
#include <set>
#include <sstream>
#include <tuple>

#include "ringweld.h"

namespace polygon_test {

std::vector<Seg> ring(const std::vector<XY>& corners, int32_t lin) {
    std::vector<Seg> out;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const XY& a = corners[i];
        const XY& b = corners[(i + 1) % corners.size()];
        out.push_back(Seg{a.x, a.y, b.x, b.y, lin});
    }
    return out;
}

std::vector<Seg> rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t lin) {
    return ring({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, lin);
}

void append(std::vector<Seg>& to, const std::vector<Seg>& more) { to.insert(to.end(), more.begin(), more.end()); }

void start_with_minilines(const std::vector<Seg>& segs, int32_t size) {
    rw_start(size, size, size, 2 * size);
    for (const Seg& s : segs) rw_put_line(s.ent, s.lin, s.x1, s.y1, s.x2, s.y2, 0);
}

std::vector<Seg> unit_pieces(const std::vector<Seg>& segs) {
    std::set<std::tuple<int32_t, int32_t, int32_t, int32_t>> seen;
    std::vector<Seg> out;
    for (const Seg& s : segs) {
        const int32_t dx = (s.x2 > s.x1) - (s.x2 < s.x1);
        const int32_t dy = (s.y2 > s.y1) - (s.y2 < s.y1);
        for (int32_t x = s.x1, y = s.y1; x != s.x2 || y != s.y2; x += dx, y += dy) {
            Seg piece{x, y, x + dx, y + dy, s.lin, s.ent};
            if (std::tie(piece.y1, piece.x1) > std::tie(piece.y2, piece.x2)) {
                std::swap(piece.x1, piece.x2);
                std::swap(piece.y1, piece.y2);
            }
            if (seen.insert({piece.x1, piece.y1, piece.x2, piece.y2}).second) out.push_back(piece);
        }
    }
    return out;
}

std::vector<ArcView> read_arcs() {
    std::vector<ArcView> out;
    int32_t f1, f2, r1, r2, n;
    for (int32_t st = rw_first_arcline(&f1, &f2, &r1, &r2, &n); st == 0; st = rw_next_arcline(&f1, &f2, &r1, &r2, &n)) {
        ArcView a{f1, f2, r1, r2, 0, 0, 0, 0, {}};
        int32_t index;
        rw_getdef_arcline(&index, &a.start, &a.end, &a.first, &a.last);
        int32_t x, y, ent, lin;
        while (rw_next_arcdata(&x, &y, &ent, &lin) == 0) a.points.push_back({x, y});
        out.push_back(a);
    }
    return out;
}

std::vector<PolygonView> read_polygons() {
    std::vector<PolygonView> out;
    int32_t count = 0, points = 0;
    rw_getnum_polygon(&count, &points);
    for (int32_t n = 1; n <= count; ++n) {
        PolygonView p{};
        int32_t npoints = 0, first = 0;
        rw_getpol_polygon(n, &p.face, &p.minx, &p.miny, &p.maxx, &p.maxy, &npoints, &first);
        for (int32_t i = first; i < first + npoints; ++i) {
            PolygonPointView v{};
            rw_getdat_polygon2(i, &v.x, &v.y, &v.key, &v.ring);
            p.points.push_back(v);
        }
        out.push_back(p);
    }
    return out;
}

double engine_area(const std::vector<XY>& run) {
    const std::size_t n = run.size();
    if (n < 3) return 0;
    const XY& last = run[n - 1];
    double sum = 0;
    for (std::size_t k = 0; k + 2 < n; ++k) {
        const XY& a = run[k];
        const XY& b = run[k + 1];
        sum += (double(last.x) - b.x) * (double(a.y) - last.y) + (double(a.x) - last.x) * (double(b.y) - last.y);
    }
    return -0.5 * sum;
}

std::vector<std::vector<XY>> rings_of(const PolygonView& p) {
    std::vector<std::vector<XY>> rings(1);
    int32_t current = 0;
    for (const PolygonPointView& v : p.points) {
        if (v.ring > 0) {
            if (v.ring != current) {
                rings.emplace_back();
                current = v.ring;
            }
            rings.back().push_back({v.x, v.y});
        } else if (current == 0) {
            rings[0].push_back({v.x, v.y});
        }  // else a closing record
    }
    return rings;
}

int32_t CellFaces::at(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= size || y >= size) return 0;
    return component[y * size + x];
}

CellFaces cell_faces(const std::vector<Seg>& unit_segs, int32_t size) {
    // Drawn unit edges: horizontal ones by their left end, vertical ones by their lower end.
    std::set<std::pair<int32_t, int32_t>> horizontal, vertical;
    for (const Seg& s : unit_segs) {
        if (s.y1 == s.y2)
            horizontal.insert({std::min(s.x1, s.x2), s.y1});
        else
            vertical.insert({s.x1, std::min(s.y1, s.y2)});
    }
    CellFaces f;
    f.size = size;
    f.component.assign(static_cast<std::size_t>(size) * size, -1);
    auto fill = [&](std::deque<std::pair<int32_t, int32_t>> queue, int32_t label) {
        int64_t cells = 0;
        while (!queue.empty()) {
            auto [x, y] = queue.front();
            queue.pop_front();
            if (f.component[y * size + x] != -1) continue;
            f.component[y * size + x] = label;
            ++cells;
            auto visit = [&](int32_t nx, int32_t ny, bool blocked) {
                if (blocked || nx < 0 || ny < 0 || nx >= size || ny >= size) return;
                if (f.component[ny * size + nx] == -1) queue.push_back({nx, ny});
            };
            visit(x - 1, y, vertical.count({x, y}) > 0);
            visit(x + 1, y, vertical.count({x + 1, y}) > 0);
            visit(x, y - 1, horizontal.count({x, y}) > 0);
            visit(x, y + 1, horizontal.count({x, y + 1}) > 0);
        }
        f.area.push_back(cells);
    };
    // The outside enters through every border edge that is not drawn.
    std::deque<std::pair<int32_t, int32_t>> border;
    for (int32_t i = 0; i < size; ++i) {
        if (!vertical.count({0, i})) border.push_back({0, i});
        if (!vertical.count({size, i})) border.push_back({size - 1, i});
        if (!horizontal.count({i, 0})) border.push_back({i, 0});
        if (!horizontal.count({i, size})) border.push_back({i, size - 1});
    }
    fill(border, 0);
    f.components = 1;
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x)
            if (f.component[y * size + x] == -1) fill({{x, y}}, f.components++);
    return f;
}

std::vector<Seg> random_drawing(std::mt19937& rng, int32_t size, bool loose_lines, bool crowded) {
    std::uniform_int_distribution<int32_t> coord(0, size);
    std::uniform_int_distribution<int32_t> count(1, crowded ? 9 : 5);
    std::vector<Seg> out;
    auto span = [&](int32_t& a, int32_t& b) {
        do {
            a = coord(rng);
            b = coord(rng);
        } while (a == b);
        if (a > b) std::swap(a, b);
    };
    const int32_t rects = count(rng);
    for (int32_t r = 0; r < rects; ++r) {
        int32_t x0, x1, y0, y1;
        span(x0, x1);
        span(y0, y1);
        if (crowded && rng() % 4 != 0) {
            // Mostly small ones, touching and sharing sides and corners.
            x0 = coord(rng) % (size - 1);
            y0 = coord(rng) % (size - 1);
            x1 = x0 + 1 + static_cast<int32_t>(rng() % 2);
            y1 = y0 + 1 + static_cast<int32_t>(rng() % 2);
        }
        append(out, rect(x0, y0, x1, y1, r + 1));
    }
    if (loose_lines) {
        const int32_t lines = count(rng) - 1;
        for (int32_t l = 0; l < lines; ++l) {
            int32_t a, b;
            span(a, b);
            const int32_t at = coord(rng);
            if (rng() % 2)
                out.push_back(Seg{a, at, b, at, 100 + l});
            else
                out.push_back(Seg{at, a, at, b, 100 + l});
        }
    }
    return out;
}

std::string describe(const std::vector<Seg>& segs) {
    std::ostringstream os;
    for (const Seg& s : segs) os << "(" << s.x1 << "," << s.y1 << ")-(" << s.x2 << "," << s.y2 << ") ";
    return os.str();
}

}  // namespace polygon_test
