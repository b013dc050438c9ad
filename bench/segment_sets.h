// Generated segment sets for the engine's scale benchmarks and the GEOS comparison.
//
// Three kinds, each about `count` segments with integer coordinates:
//   blocks  a grid of city blocks with jittered corners; every block side is cut into one
//           to five exactly collinear pieces (corners lie on multiples of 60, so every cut
//           point is a lattice point of its side).
//   sheets  the same blocks cut into square sheets: block sides crossing a sheet edge are
//           split there, and every sheet edge is entered once from each of its two sheets,
//           as the seamless step receives them (for the engine's dupcut rule).
//   random  segments of random position and direction, long enough that each crosses
//           about one other on average (three minilines per segment).
// The sets depend only on the kind, the count and the seed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace segment_sets {

struct Segment {
    int32_t x1, y1, x2, y2;
};

enum class Kind { blocks, sheets, random };

inline const char* kind_name(Kind k) {
    return k == Kind::blocks ? "blocks" : k == Kind::sheets ? "sheets" : "random";
}

// Whether the engine should cancel equal segments in pairs (rw_create_miniline_dupcut).
inline bool cancels_pairs(Kind k) { return k == Kind::sheets; }

namespace detail {

struct Corner {
    int32_t x, y;
};

constexpr int32_t kLattice = 60;          // divisible by every piece count 1..5
constexpr int32_t kBlock = 60 * kLattice;  // block pitch
constexpr int32_t kBlocksPerSheet = 20;

inline int32_t uniform(std::mt19937& rng, int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
}

// About six pieces per block: two owned sides of about three pieces each.
inline int32_t blocks_per_side(int64_t count) {
    return std::max<int32_t>(2, static_cast<int32_t>(std::sqrt(static_cast<double>(count) / 6.0)));
}

inline std::vector<Segment> city_blocks(int64_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    const int32_t side = blocks_per_side(count);
    std::vector<Corner> corners;
    corners.reserve(static_cast<std::size_t>(side + 1) * (side + 1));
    for (int32_t j = 0; j <= side; ++j) {
        for (int32_t i = 0; i <= side; ++i) {
            const bool frame = i == 0 || j == 0 || i == side || j == side;  // the map frame stays straight
            const int32_t jx = frame ? 0 : uniform(rng, -10, 10) * kLattice;
            const int32_t jy = frame ? 0 : uniform(rng, -10, 10) * kLattice;
            corners.push_back({i * kBlock + jx, j * kBlock + jy});
        }
    }
    auto at = [&](int32_t i, int32_t j) { return corners[static_cast<std::size_t>(j) * (side + 1) + i]; };
    std::vector<Segment> out;
    out.reserve(static_cast<std::size_t>(count) + 16);
    auto cut_side = [&](Corner a, Corner b) {
        const int32_t pieces = uniform(rng, 1, 5);
        const int32_t dx = (b.x - a.x) / pieces, dy = (b.y - a.y) / pieces;
        for (int32_t k = 0; k < pieces; ++k)
            out.push_back({a.x + k * dx, a.y + k * dy, a.x + (k + 1) * dx, a.y + (k + 1) * dy});
    };
    for (int32_t j = 0; j <= side; ++j) {
        for (int32_t i = 0; i <= side; ++i) {
            if (i < side) cut_side(at(i, j), at(i + 1, j));
            if (j < side) cut_side(at(i, j), at(i, j + 1));
        }
    }
    return out;
}

// Where a segment meets the vertical line x = at (rounded y), or false.
inline bool meets_vertical(const Segment& s, int32_t at, int32_t& y) {
    if ((s.x1 < at) == (s.x2 < at) || s.x1 == s.x2) return false;
    const double t = (double(at) - s.x1) / (double(s.x2) - s.x1);
    y = static_cast<int32_t>(std::lround(s.y1 + t * (double(s.y2) - s.y1)));
    return true;
}

inline bool meets_horizontal(const Segment& s, int32_t at, int32_t& x) {
    const Segment swapped{s.y1, s.x1, s.y2, s.x2};
    return meets_vertical(swapped, at, x);
}

// Cuts the block sides at the sheet edges (which lie half a lattice step off every corner)
// and adds each inner sheet edge, piece by piece between the points where sides meet it,
// twice.
inline std::vector<Segment> cut_into_sheets(std::vector<Segment> blocks, int32_t side) {
    const int32_t sheets = std::max<int32_t>(2, (side + kBlocksPerSheet - 1) / kBlocksPerSheet);
    const int32_t extent = side * kBlock;
    std::vector<int32_t> edges;  // inner sheet edges, the same positions in x and in y
    for (int32_t k = 1; k < sheets; ++k)
        edges.push_back(static_cast<int32_t>(int64_t{extent} * k / sheets / kLattice) * kLattice + kLattice / 2);

    std::map<int32_t, std::vector<int32_t>> on_vertical, on_horizontal;  // edge -> cut points along it
    for (int32_t e : edges) {
        on_vertical[e] = {0, extent};
        on_horizontal[e] = {0, extent};
        for (int32_t f : edges) {
            on_vertical[e].push_back(f);
            on_horizontal[e].push_back(f);
        }
    }
    std::vector<Segment> out;
    out.reserve(blocks.size() * 5 / 4);
    for (const Segment& s0 : blocks) {
        // Split at every vertical edge, then every piece at every horizontal edge.
        std::vector<Segment> pieces{s0};
        for (int32_t e : edges) {
            std::vector<Segment> next;
            for (const Segment& s : pieces) {
                int32_t y = 0;
                if (meets_vertical(s, e, y)) {
                    on_vertical[e].push_back(y);
                    next.push_back({s.x1, s.y1, e, y});
                    next.push_back({e, y, s.x2, s.y2});
                } else {
                    next.push_back(s);
                }
            }
            pieces.swap(next);
        }
        for (int32_t e : edges) {
            std::vector<Segment> next;
            for (const Segment& s : pieces) {
                int32_t x = 0;
                if (meets_horizontal(s, e, x)) {
                    on_horizontal[e].push_back(x);
                    next.push_back({s.x1, s.y1, x, e});
                    next.push_back({x, e, s.x2, s.y2});
                } else {
                    next.push_back(s);
                }
            }
            pieces.swap(next);
        }
        for (const Segment& s : pieces)
            if (s.x1 != s.x2 || s.y1 != s.y2) out.push_back(s);
    }
    auto add_edge_pieces = [&out](std::vector<int32_t>& along, bool vertical, int32_t at) {
        std::sort(along.begin(), along.end());
        along.erase(std::unique(along.begin(), along.end()), along.end());
        for (std::size_t k = 0; k + 1 < along.size(); ++k) {
            const Segment s = vertical ? Segment{at, along[k], at, along[k + 1]} : Segment{along[k], at, along[k + 1], at};
            out.push_back(s);
            out.push_back(s);
        }
    };
    for (auto& [e, along] : on_vertical) add_edge_pieces(along, true, e);
    for (auto& [e, along] : on_horizontal) add_edge_pieces(along, false, e);
    return out;
}

inline std::vector<Segment> random_crossings(int64_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    // n segments of length L in a square of area A cross about n^2 L^2 / (pi A) times;
    // L = sqrt(pi A / n) gives one crossing per segment.
    const double extent = 1.0e9 / 2;
    const double length = extent * std::sqrt(M_PI / static_cast<double>(count));
    std::uniform_real_distribution<double> pos(0, extent), dir(0, 2 * M_PI);
    std::vector<Segment> out;
    out.reserve(static_cast<std::size_t>(count));
    while (static_cast<int64_t>(out.size()) < count) {
        const double x = pos(rng), y = pos(rng), a = dir(rng);
        const Segment s{static_cast<int32_t>(x), static_cast<int32_t>(y),
                        static_cast<int32_t>(std::lround(x + length * std::cos(a))),
                        static_cast<int32_t>(std::lround(y + length * std::sin(a)))};
        if (s.x1 != s.x2 || s.y1 != s.y2) out.push_back(s);
    }
    return out;
}

}  // namespace detail

inline std::vector<Segment> generate(Kind kind, int64_t count, uint32_t seed = 20261208u) {
    switch (kind) {
    case Kind::blocks: return detail::city_blocks(count, seed);
    case Kind::sheets: return detail::cut_into_sheets(detail::city_blocks(count, seed), detail::blocks_per_side(count));
    case Kind::random: return detail::random_crossings(count, seed);
    }
    return {};
}

// Peak and current resident memory of this process, in MiB, from /proc/self/status.
inline double status_mib(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    const std::string prefix = std::string(field) + ":";
    double kib = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::string(line).rfind(prefix, 0) == 0) kib = std::atof(line + prefix.size());
    std::fclose(f);
    return kib / 1024.0;
}

}  // namespace segment_sets
