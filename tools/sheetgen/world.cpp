#include "world.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "names.h"
#include "sheet_grid.h"

namespace sheetgen {

namespace {

// Tags that keep the hash streams of different decisions apart.
enum HashTag : uint64_t {
    kColumnLine = 1, kRowLine, kNodeEast, kNodeNorth, kTownShift, kMunicipalityWobble, kTownName, kCellKind,
    kPlace, kIsland, kCourtyard, kTerrace, kLot, kLotShape, kLotKind, kPublic, kControl, kControlKind,
    kElevation, kRiverName, kRoadName, kAvenueName, kBend, kRoadDirection, kRailName, kRailDirection,
    kStationPhase, kStationName, kRailPhase, kRiverPhase,
};

const std::array<Density, 3> kDensities = {
    Density{"sparse", 330, 190, 2, 0.35, 0.05},
    Density{"normal", 110, 70, 4, 0.8, 0.03},
    Density{"dense", 85, 55, 7, 0.9, 0.02},
};

struct PublicBuilding {
    const char* code;
    const char* kind;
};
constexpr std::array kPublicBuildings = {
    PublicBuilding{"1101", "郵便局"}, PublicBuilding{"1201", "警察署"}, PublicBuilding{"1301", "消防署"},
    PublicBuilding{"1401", "図書館"}, PublicBuilding{"1501", "病院"},   PublicBuilding{"1601", "区民会館"},
};
constexpr const char* kSchoolCode = "2101";

// Origins of the plane-rectangular systems, for the control points' latitude and longitude.
constexpr std::array<std::array<double, 2>, 19> kSystemOrigins = {{
    {33, 129.5}, {33, 131}, {36, 132.166666}, {33, 133.5}, {36, 134.333333}, {36, 136}, {36, 137.166666},
    {36, 138.5}, {36, 139.833333}, {40, 140.833333}, {44, 140.25}, {44, 142.25}, {44, 144.25}, {26, 142},
    {26, 127.5}, {26, 124}, {26, 131}, {20, 136}, {26, 154},
}};
constexpr std::array kRomanSystems = {"Ⅰ", "Ⅱ", "Ⅲ", "Ⅳ", "Ⅴ", "Ⅵ", "Ⅶ", "Ⅷ", "Ⅸ", "Ⅹ",
                                      "ⅩⅠ", "ⅩⅡ", "ⅩⅢ", "ⅩⅣ", "ⅩⅤ", "ⅩⅥ", "ⅩⅦ", "ⅩⅧ", "ⅩⅨ"};

constexpr double kLocalHalfWidthCm = 350;
constexpr double kMainHalfWidthCm = 800;
constexpr double kRailHalfWidthCm = 700;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

uint64_t Mix(uint64_t x) {
    // SplitMix64's finaliser: a fixed, well-spread mapping of 64-bit values.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Keeps a coordinate off the sheet edge lines of one axis by at least the margin.
int64_t AwayFromLines(int64_t v, int64_t spacing) {
    constexpr int64_t kMarginCm = 20;
    int64_t r = FloorMod(v, spacing);
    if (r < kMarginCm) return v + kMarginCm - r;
    if (r > spacing - kMarginCm) return v - (r - (spacing - kMarginCm));
    return v;
}

// No vertex may lie on a sheet edge line, or clipping would make edges along the frame;
// nor close to one, or the frame would cut off slivers too thin to hold a label point.
Point OffSheetLines(Point p) {
    return {AwayFromLines(p.e, kSheetWidthCm), AwayFromLines(p.n, kSheetHeightCm)};
}

Ring OffSheetLines(Ring ring) {
    for (Point& p : ring) p = OffSheetLines(p);
    return ring;
}

Ring Reversed(Ring ring) {
    std::reverse(ring.begin(), ring.end());
    return ring;
}

// The clockwise quadrilateral u0..u1 x v0..v1 of a block.
Ring SubQuad(const Ring& quad, double u0, double u1, double v0, double v1) {
    return OffSheetLines(Ring{QuadPoint(quad, u0, v0), QuadPoint(quad, u0, v1), QuadPoint(quad, u1, v1),
                              QuadPoint(quad, u1, v0)});
}

// A clockwise octagon centred at (u, v) of a block.
Ring Octagon(const Ring& quad, double u, double v, double ru, double rv) {
    Ring ring;
    for (int k = 0; k < 8; ++k) {
        double angle = M_PI / 2 - k * M_PI / 4 - M_PI / 8;
        ring.push_back(QuadPoint(quad, u + ru * std::cos(angle), v + rv * std::sin(angle)));
    }
    return OffSheetLines(ring);
}

bool BoundsMeet(const Ring& ring, const Rect& area) { return BoundsOf(ring).Overlaps(area); }

std::string Decimal(double value, int digits) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

}  // namespace

const Density* FindDensity(const std::string& name) {
    for (const Density& d : kDensities)
        if (d.name == name) return &d;
    return nullptr;
}

World::World(WorldSettings settings, int coordinate_system)
    : settings_(std::move(settings)), coordinate_system_(coordinate_system) {
    const Density& d = settings_.density;
    cell_e_ = static_cast<int64_t>(d.cell_east_m * 100);
    cell_n_ = static_cast<int64_t>(d.cell_north_m * 100);
    town_columns_ = std::max<int64_t>(2, std::llround(520 / d.cell_east_m));
    town_rows_ = std::max<int64_t>(2, std::llround(380 / d.cell_north_m));
    rail_period_ = std::max<int64_t>(6, std::llround(2400 / d.cell_north_m));
    river_period_ = std::max<int64_t>(8, std::llround(3300 / d.cell_north_m));
}

uint64_t World::Hash(uint64_t tag, int64_t i, int64_t j) const {
    uint64_t h = Mix(settings_.seed ^ Mix(tag));
    h = Mix(h ^ static_cast<uint64_t>(i));
    return Mix(h ^ (static_cast<uint64_t>(j) * 0x632BE59BD9B4E019ull));
}

double World::Unit(uint64_t tag, int64_t i, int64_t j) const {
    return static_cast<double>(Hash(tag, i, j) >> 11) * (1.0 / 9007199254740992.0);
}

double World::Jitter(uint64_t tag, int64_t i, int64_t j) const { return 2 * Unit(tag, i, j) - 1; }

int64_t World::ColumnLineEast(int64_t j) const {
    return j * cell_e_ + std::llround(Jitter(kColumnLine, j, 0) * 0.12 * static_cast<double>(cell_e_));
}

int64_t World::RowLineNorth(int64_t i) const {
    return i * cell_n_ + std::llround(Jitter(kRowLine, i, 0) * 0.12 * static_cast<double>(cell_n_));
}

Point World::Node(int64_t i, int64_t j) const {
    double north_jitter = IsRailRow(i) ? 0.01 : 0.04;  // railways run nearly straight
    return OffSheetLines(Point{
        ColumnLineEast(j) + std::llround(Jitter(kNodeEast, i, j) * 0.04 * static_cast<double>(cell_e_)),
        RowLineNorth(i) + std::llround(Jitter(kNodeNorth, i, j) * north_jitter * static_cast<double>(cell_n_))});
}

bool World::IsRailRow(int64_t i) const {
    return FloorMod(i + static_cast<int64_t>(Hash(kRailPhase, 0, 0) % 1024), rail_period_) == 0;
}

bool World::IsRiverCellRow(int64_t i) const {
    return FloorMod(i + static_cast<int64_t>(Hash(kRiverPhase, 0, 0) % 1024), river_period_) == 0 &&
           !IsRailRow(i) && !IsRailRow(i + 1);
}

bool World::IsMainRow(int64_t i) const { return FloorMod(i, 4) == 0 && !IsRailRow(i); }
bool World::IsMainColumn(int64_t j) const { return FloorMod(j, 4) == 0; }
bool World::CrossesRailway(int64_t j) const { return IsMainColumn(j) || FloorMod(j, 3) == 0; }

double World::RowHalfWidth(int64_t i) const {
    return IsRailRow(i) ? kRailHalfWidthCm : IsMainRow(i) ? kMainHalfWidthCm : kLocalHalfWidthCm;
}

double World::ColumnHalfWidth(int64_t j) const { return IsMainColumn(j) ? kMainHalfWidthCm : kLocalHalfWidthCm; }

World::CellRange World::CellsAround(const Rect& area, int64_t margin) const {
    return {FloorDiv(area.n0, cell_n_) - margin, FloorDiv(area.n1, cell_n_) + margin,
            FloorDiv(area.e0, cell_e_) - margin, FloorDiv(area.e1, cell_e_) + margin};
}

int64_t World::TownRowOf(int64_t i) const { return FloorDiv(i, town_rows_); }

int64_t World::TownColumnOf(int64_t town_row, int64_t j) const {
    int64_t shift = static_cast<int64_t>(Hash(kTownShift, town_row, 0) % static_cast<uint64_t>(town_columns_));
    return FloorDiv(j + shift, town_columns_);
}

int64_t World::TownFirstColumn(int64_t town_row, int64_t town_column) const {
    int64_t shift = static_cast<int64_t>(Hash(kTownShift, town_row, 0) % static_cast<uint64_t>(town_columns_));
    return town_column * town_columns_ - shift;
}

World::TownInfo World::TownOfCell(int64_t i, int64_t j) const {
    int64_t tr = TownRowOf(i), tc = TownColumnOf(tr, j);
    TownInfo town;
    town.first_row = tr * town_rows_;
    town.first_column = TownFirstColumn(tr, tc);
    town.columns = town_columns_;
    int64_t centre = (ColumnLineEast(town.first_column) + ColumnLineEast(town.first_column + town_columns_)) / 2;
    town.municipality = 0;
    for (std::size_t k = 0; k < settings_.municipality_bounds.size(); ++k) {
        // The boundary follows town edges, a town's width either side of the nominal line.
        int64_t wobble = static_cast<int64_t>(Hash(kMunicipalityWobble, tr, static_cast<int64_t>(k)) % 3) - 1;
        if (centre > settings_.municipality_bounds[k] + wobble * town_columns_ * cell_e_)
            town.municipality = static_cast<int>(k) + 1;
    }
    town.city_code = settings_.municipalities[town.municipality].code;
    uint64_t pick = Hash(kTownName, tr, FloorDiv(tc, 3)) % 40;
    int64_t chome = FloorMod(tc, 3) + 1;
    town.town_name = PlaceName(pick) + "町" + KanjiNumber(chome) + "丁目";
    char code[16];
    std::snprintf(code, sizeof code, "%03d%03d", static_cast<int>(pick + 1), static_cast<int>(chome));
    town.town_code = code;
    return town;
}

WorldExtract World::Extract(const Rect& area) const {
    WorldExtract out;
    AddTowns(area, out);
    AddCells(area, out);
    AddRivers(area, out);
    AddRoads(area, out);
    AddRailways(area, out);
    return out;
}

void World::AddTowns(const Rect& area, WorldExtract& out) const {
    CellRange cells = CellsAround(area, 1);
    for (int64_t tr = TownRowOf(cells.i0); tr <= TownRowOf(cells.i1); ++tr) {
        for (int64_t tc = TownColumnOf(tr, cells.j0); tc <= TownColumnOf(tr, cells.j1); ++tc) {
            int64_t i0 = tr * town_rows_, i1 = i0 + town_rows_;
            int64_t j0 = TownFirstColumn(tr, tc), j1 = j0 + town_columns_;
            Ring ring;
            for (int64_t i = i0; i < i1; ++i) ring.push_back(Node(i, j0));
            for (int64_t j = j0; j < j1; ++j) ring.push_back(Node(i1, j));
            for (int64_t i = i1; i > i0; --i) ring.push_back(Node(i, j1));
            for (int64_t j = j1; j > j0; --j) ring.push_back(Node(i0, j));
            if (!BoundsMeet(ring, area)) continue;
            TownInfo town = TownOfCell(i0, j0);
            WorldPolygon polygon{code::kTown, {town.city_code, town.town_code, town.town_name}, std::move(ring), {}, {}};
            polygon.municipality = town.municipality;
            out.towns.push_back(std::move(polygon));
        }
    }
}

WorldPoint World::ControlPoint(int64_t i, int64_t j, Point at) const {
    bool triangulation = Unit(kControlKind, i, j) < 0.4;
    double north_m = static_cast<double>(at.n) / 100, east_m = static_cast<double>(at.e) / 100;
    // Latitude and longitude near enough for the labels, and the third-order mesh code of
    // the 1 km square they fall in.
    const auto& origin = kSystemOrigins[static_cast<std::size_t>(coordinate_system_ - 1)];
    double lat = origin[0] + north_m / 110950.0;
    double lon = origin[1] + east_m / (111320.0 * std::cos(lat * M_PI / 180));
    double lat15 = lat * 1.5, lon100 = lon - 100;
    int p = static_cast<int>(std::floor(lat15)), u = static_cast<int>(std::floor(lon100));
    double lat_rest = (lat15 - p) * 8, lon_rest = (lon100 - u) * 8;
    int q = static_cast<int>(std::floor(lat_rest)), v = static_cast<int>(std::floor(lon_rest));
    int r = static_cast<int>(std::floor((lat_rest - q) * 10)), w = static_cast<int>(std::floor((lon_rest - v) * 10));
    char mesh[32], serial[8];
    std::snprintf(mesh, sizeof mesh, "%02d%02d%d%d%d%d", p, u, q, v, r, w);
    std::snprintf(serial, sizeof serial, "%02d", static_cast<int>(1 + Hash(kControlKind, j, i) % 90));
    std::string place = PlaceName(Hash(kPlace, i, j));
    return {triangulation ? code::kTriangulationPoint : code::kTraversePoint,
            {mesh, std::string(triangulation ? "TR4" : "TR9") + mesh + serial,
             triangulation ? place : place + serial, std::string("NI-54-25-") + std::string(mesh).substr(4, 2),
             Decimal(lat, 6), Decimal(lon, 6), triangulation ? "四等三角点" : "街区多角点",
             kRomanSystems[static_cast<std::size_t>(coordinate_system_ - 1)], Decimal(north_m, 3), Decimal(east_m, 3),
             Decimal(2 + 38 * Unit(kElevation, i, j), 2)},
            at};
}

void World::AddCells(const Rect& area, WorldExtract& out) const {
    CellRange cells = CellsAround(area, 2);
    for (int64_t i = cells.i0; i <= cells.i1; ++i) {
        if (IsRiverCellRow(i)) continue;
        for (int64_t j = cells.j0; j <= cells.j1; ++j) {
            // Control points stand at street corners, just off the crossing's centre.
            if (Unit(kControl, i, j) < settings_.density.control_point_rate) {
                Point corner = Node(i, j);
                Point at = OffSheetLines(Point{corner.e + 230, corner.n + 170});
                if (area.Contains(at)) out.control_points.push_back(ControlPoint(i, j, at));
            }
            Ring quad{Node(i, j), Node(i + 1, j), Node(i + 1, j + 1), Node(i, j + 1)};
            Ring block = OffSheetLines(
                InsetRing(quad, {ColumnHalfWidth(j), RowHalfWidth(i + 1), ColumnHalfWidth(j + 1), RowHalfWidth(i)}));
            if (!BoundsMeet(block, area)) continue;
            TownInfo town = TownOfCell(i, j);
            int64_t number = (i - town.first_row) * town.columns + (j - town.first_column) + 1;
            out.blocks.push_back({code::kBlock, {town.city_code, town.town_code, town.town_name, std::to_string(number)},
                                  block, {}, -1});
            AddBlockContents(i, j, block, out);
        }
    }
}

void World::AddBlockContents(int64_t i, int64_t j, const Ring& block, WorldExtract& out) const {
    auto building = [&](const char* code, std::vector<std::string> values, Ring ring, std::vector<Ring> holes = {}) {
        out.buildings.push_back({code, std::move(values), std::move(ring), std::move(holes), -1});
    };
    std::string place = PlaceName(Hash(kPlace, i, j));
    double kind = Unit(kCellKind, i, j);
    if (kind < 0.025) {
        // A park around a pond, the pond sometimes with an island.
        Ring pond = Octagon(block, 0.5, 0.5, 0.22, 0.25);
        std::vector<Ring> islands;
        if (Unit(kIsland, i, j) < 0.5) islands.push_back(Reversed(Octagon(block, 0.5, 0.5, 0.06, 0.07)));
        out.grounds.push_back({code::kPark, {place + "公園"}, block, {Reversed(pond)}, -1});
        out.waters.push_back({code::kPond, {place + "池"}, pond, islands, -1});
    } else if (kind < 0.05) {
        out.grounds.push_back({code::kSchoolGround, {place + "小学校"}, block, {}, -1});
        building(code::kPublicBuilding, {kSchoolCode, place + "小学校"}, SubQuad(block, 0.12, 0.55, 0.2, 0.85),
                 {Reversed(SubQuad(block, 0.26, 0.41, 0.4, 0.65))});
        building(code::kSturdyBuilding, {}, SubQuad(block, 0.66, 0.9, 0.6, 0.86));
    } else if (kind < 0.065) {
        out.grounds.push_back({code::kShrineGround, {place + "神社"}, block, {}, -1});
        building(code::kBuilding, {}, SubQuad(block, 0.44, 0.6, 0.55, 0.76));
    } else if (Unit(kCourtyard, i, j) < 0.025) {
        building(code::kSturdyBuilding, {}, SubQuad(block, 0.1, 0.9, 0.12, 0.88),
                 {Reversed(SubQuad(block, 0.38, 0.62, 0.36, 0.64))});
    } else {
        // Two rows of lots, one along the south side and one along the north side.
        const Density& density = settings_.density;
        const int lots = density.lots_per_row;
        auto u_at = [&](int k) { return 0.05 + 0.9 * k / lots; };
        for (int side = 0; side < 2; ++side) {
            double va = side == 0 ? 0.06 : 0.56, vb = side == 0 ? 0.44 : 0.94;
            int64_t key = j * 16 + side * 8;
            if (lots >= 2 && Unit(kTerrace, i, key) < 0.18) {
                // Attached houses: neighbours share their dividing wall vertex for vertex.
                std::vector<Point> low, high;
                for (int k = 0; k <= lots; ++k) {
                    low.push_back(OffSheetLines(QuadPoint(block, u_at(k), va)));
                    high.push_back(OffSheetLines(QuadPoint(block, u_at(k), vb)));
                }
                for (int k = 0; k < lots; ++k) building(code::kBuilding, {}, Ring{low[k], high[k], high[k + 1], low[k + 1]});
                continue;
            }
            for (int k = 0; k < lots; ++k) {
                if (Unit(kLot, i, key + k) >= density.build_probability) continue;
                double u0 = u_at(k) + 0.015 + 0.04 * Unit(kLotShape, i, key + k);
                double u1 = u_at(k + 1) - 0.015 - 0.04 * Unit(kLotShape, key + k, i);
                double v0 = va + 0.05 * Unit(kLotShape, i + 7, key + k);
                double v1 = vb - 0.05 * Unit(kLotShape, key + k, i + 7);
                Ring ring = SubQuad(block, u0, u1, v0, v1);
                if (side == 0 && k == 0 && Unit(kPublic, i, j) < 0.06) {
                    const PublicBuilding& pb = kPublicBuildings[Hash(kPublic, j, i) % kPublicBuildings.size()];
                    building(code::kPublicBuilding, {pb.code, place + pb.kind}, std::move(ring));
                } else {
                    building(Unit(kLotKind, i, key + k) < 0.25 ? code::kSturdyBuilding : code::kBuilding, {},
                             std::move(ring));
                }
            }
        }
    }
}

void World::AddRivers(const Rect& area, WorldExtract& out) const {
    CellRange cells = CellsAround(area, 2);
    for (int64_t i = cells.i0; i <= cells.i1; ++i) {
        if (!IsRiverCellRow(i)) continue;
        // The river runs in stretches between the bridges of the main streets.
        for (int64_t s = FloorDiv(cells.j0, 4) - 1; s <= FloorDiv(cells.j1, 4) + 1; ++s) {
            int64_t j0 = 4 * s, j1 = j0 + 4;
            Ring ring;
            std::vector<double> distances;
            ring.push_back(Node(i, j0));
            distances.push_back(ColumnHalfWidth(j0));
            for (int64_t j = j0; j < j1; ++j) {
                ring.push_back(Node(i + 1, j));
                distances.push_back(RowHalfWidth(i + 1));
            }
            ring.push_back(Node(i + 1, j1));
            distances.push_back(ColumnHalfWidth(j1));
            for (int64_t j = j1; j > j0; --j) {
                ring.push_back(Node(i, j));
                distances.push_back(RowHalfWidth(i));
            }
            Ring water = OffSheetLines(InsetRing(ring, distances));
            if (!BoundsMeet(water, area)) continue;
            std::string name = PlaceName(Hash(kRiverName, FloorDiv(i, river_period_), 0)) + "川";
            out.waters.push_back({code::kRiver, {name}, std::move(water), {}, -1});
        }
    }
}

void World::AddRoads(const Rect& area, WorldExtract& out) const {
    CellRange cells = CellsAround(area, 2);
    auto add = [&](Point a, Point b, bool main, std::vector<std::string> values, uint64_t direction_key,
                   int64_t i, int64_t j) {
        std::vector<Point> points{a};
        if (!main && Unit(kBend, i, j * 2 + static_cast<int64_t>(direction_key)) < 0.3) {
            // A gentle bend halfway.
            double de = static_cast<double>(b.e - a.e), dn = static_cast<double>(b.n - a.n);
            double len = std::hypot(de, dn), shift = 80 * Jitter(kBend, j, i);
            points.push_back(OffSheetLines(Point{(a.e + b.e) / 2 + std::llround(dn / len * shift),
                                                 (a.n + b.n) / 2 - std::llround(de / len * shift)}));
        }
        points.push_back(b);
        if (!BoundsMeet(points, area)) return;
        WorldLine line{main ? code::kMainRoad : code::kLocalRoad, main ? kMajorLineTag : kOrdinaryLineTag,
                       std::move(values), std::move(points),
                       Unit(kRoadDirection, i, j * 2 + static_cast<int64_t>(direction_key)) < 0.2};
        out.roads.push_back(std::move(line));
    };
    // A street that stops at a railway it does not cross ends short of the tracks.
    auto pull_back = [](Point from, Point to) {
        double de = static_cast<double>(to.e - from.e), dn = static_cast<double>(to.n - from.n);
        double keep = 1 - (kRailHalfWidthCm + 200) / std::hypot(de, dn);
        return OffSheetLines(Point{from.e + std::llround(de * keep), from.n + std::llround(dn * keep)});
    };
    for (int64_t i = cells.i0; i <= cells.i1 + 1; ++i) {
        if (IsRailRow(i)) continue;
        bool main = IsMainRow(i);
        for (int64_t j = cells.j0; j <= cells.j1; ++j) {
            std::vector<std::string> values;
            if (main) values.push_back(PlaceName(Hash(kRoadName, i, 0)) + "通り");
            add(Node(i, j), Node(i, j + 1), main, std::move(values), 0, i, j);
        }
    }
    for (int64_t j = cells.j0; j <= cells.j1 + 1; ++j) {
        bool main = IsMainColumn(j);
        for (int64_t i = cells.i0; i <= cells.i1; ++i) {
            if (IsRiverCellRow(i) && !main) continue;  // only main streets bridge the river
            Point a = Node(i, j), b = Node(i + 1, j);
            if (IsRailRow(i + 1) && !CrossesRailway(j)) b = pull_back(a, b);
            if (IsRailRow(i) && !CrossesRailway(j)) a = pull_back(b, a);
            std::vector<std::string> values;
            if (main) {
                int64_t route = 300 + static_cast<int64_t>(Hash(kAvenueName, j, 0) % 150);
                values = {"都道" + FullWidthNumber(route) + "号", PlaceName(Hash(kAvenueName, j, 1)) + "大通り"};
            }
            add(a, b, main, std::move(values), 1, i, j);
        }
    }
}

void World::AddRailways(const Rect& area, WorldExtract& out) const {
    CellRange cells = CellsAround(area, 2);
    const int64_t station_period = std::max<int64_t>(3, std::llround(1100 / settings_.density.cell_east_m));
    for (int64_t i = cells.i0; i <= cells.i1 + 1; ++i) {
        if (!IsRailRow(i)) continue;
        std::string name = PlaceName(Hash(kRailName, i, 0)) + "線";
        int64_t phase = static_cast<int64_t>(Hash(kStationPhase, i, 0) % static_cast<uint64_t>(station_period));
        for (int64_t j = cells.j0; j <= cells.j1; ++j) {
            Point a = Node(i, j), b = Node(i, j + 1);
            if (BoundsMeet(Ring{a, b}, area))
                out.railways.push_back({code::kRailway, kOrdinaryLineTag, {name}, {a, b},
                                        Unit(kRailDirection, i, j) < 0.25});
            if (FloorMod(j + phase, station_period) == 0) {
                Point at = OffSheetLines(Point{(a.e + b.e) / 2, (a.n + b.n) / 2});
                if (area.Contains(at))
                    out.stations.push_back({code::kStation, {PlaceName(Hash(kStationName, i, j)) + "駅"}, at});
            }
        }
    }
}

}  // namespace sheetgen
