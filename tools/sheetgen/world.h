// The generated world: one deterministic, endless town plan in absolute coordinates.
//
// Streets follow a jittered lattice; every cell between four street corners is a block
// (or a stretch of river); blocks hold buildings, some are parks with ponds, school
// grounds or shrine grounds; town areas (町丁目) are groups of cells bounded by street
// centre lines and belong to municipalities split along north-south stripes; railways
// replace some east-west streets and rivers some rows of cells.
//
// Everything is a pure function of the seed and of lattice indexes, never of the order
// in which sheets are asked for, so any sheet can be generated alone and two
// neighbouring sheets always agree where they meet. Polygons of one layer share their
// common edges vertex for vertex, and no vertex lies on a sheet edge line, so that
// clipping to a sheet never creates an edge along the frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry.h"

namespace sheetgen {

struct Density {
    std::string name;
    double cell_east_m;       // street spacing east-west
    double cell_north_m;      // street spacing north-south
    int lots_per_row;         // building lots along one side of a block
    double build_probability; // chance that a lot holds a building
    double control_point_rate;// control points per cell
};

// "sparse" (the committed sample), "normal" (the default), "dense" (city centre).
const Density* FindDensity(const std::string& name);

struct Municipality {
    std::string code;  // five digits
    std::string name;  // UTF-8
};

struct WorldSettings {
    uint64_t seed = 2500;
    Density density;
    std::vector<Municipality> municipalities;  // at least one
    // East coordinates (cm) where municipality k+1 begins; size municipalities - 1.
    std::vector<int64_t> municipality_bounds;
};

// A polygon feature. `values` are the attribute values in the layer's field order.
struct WorldPolygon {
    std::string code;
    std::vector<std::string> values;
    Ring outer;               // clockwise
    std::vector<Ring> holes;  // anticlockwise
    int municipality = -1;    // town areas only: index into the settings' municipalities
};

// A line feature running in its own direction; `stored_reversed` asks for the arc to be
// stored against it (the attribute record then carries the negated id).
struct WorldLine {
    std::string code;
    int line_tag = 1;
    std::vector<std::string> values;
    std::vector<Point> points;
    bool stored_reversed = false;
};

struct WorldPoint {
    std::string code;
    std::vector<std::string> values;
    Point at;
};

// Everything of the world near one rectangle, in a fixed order.
struct WorldExtract {
    std::vector<WorldPolygon> towns;      // TYOME; municipalities derive from them
    std::vector<WorldPolygon> blocks;     // GAIKU
    std::vector<WorldPolygon> grounds;    // ZYOUTI
    std::vector<WorldPolygon> waters;     // MIZU
    std::vector<WorldPolygon> buildings;  // TATEMONO
    std::vector<WorldLine> roads;
    std::vector<WorldLine> railways;
    std::vector<WorldPoint> stations;
    std::vector<WorldPoint> control_points;
};

class World {
public:
    World(WorldSettings settings, int coordinate_system);

    // The features whose extent meets `area` (cm).
    WorldExtract Extract(const Rect& area) const;

    const WorldSettings& Settings() const { return settings_; }

private:
    struct CellRange {
        int64_t i0, i1, j0, j1;  // inclusive cell indexes
    };

    double Jitter(uint64_t tag, int64_t i, int64_t j) const;  // -1..1
    double Unit(uint64_t tag, int64_t i, int64_t j) const;    // 0..1
    uint64_t Hash(uint64_t tag, int64_t i, int64_t j) const;

    Point Node(int64_t i, int64_t j) const;
    int64_t ColumnLineEast(int64_t j) const;
    int64_t RowLineNorth(int64_t i) const;
    bool IsRailRow(int64_t i) const;
    bool IsRiverCellRow(int64_t i) const;
    bool IsMainRow(int64_t i) const;
    bool IsMainColumn(int64_t j) const;
    bool CrossesRailway(int64_t j) const;
    double RowHalfWidth(int64_t i) const;
    double ColumnHalfWidth(int64_t j) const;
    CellRange CellsAround(const Rect& area, int64_t margin) const;
    int64_t TownRowOf(int64_t i) const;
    int64_t TownColumnOf(int64_t town_row, int64_t j) const;
    int64_t TownFirstColumn(int64_t town_row, int64_t town_column) const;

    void AddTowns(const Rect& area, WorldExtract& out) const;
    void AddCells(const Rect& area, WorldExtract& out) const;
    // Grounds, ponds and buildings of the block of cell (i, j).
    void AddBlockContents(int64_t i, int64_t j, const Ring& block, WorldExtract& out) const;
    WorldPoint ControlPoint(int64_t i, int64_t j, Point at) const;
    void AddRivers(const Rect& area, WorldExtract& out) const;
    void AddRoads(const Rect& area, WorldExtract& out) const;
    void AddRailways(const Rect& area, WorldExtract& out) const;

    struct TownInfo {
        int municipality;
        std::string city_code, town_code, town_name;
        int64_t first_row, first_column;  // first cell of the town
        int64_t columns;                  // cells per row
    };
    TownInfo TownOfCell(int64_t i, int64_t j) const;

    WorldSettings settings_;
    int coordinate_system_;
    int64_t cell_e_, cell_n_;  // lattice spacing, cm
    int64_t town_rows_, town_columns_;
    int64_t rail_period_, river_period_;
};

}  // namespace sheetgen
