// Shared steps of the mesh overlay tests: putting outlines and cells, running the whole cut
// and reading the pieces back through the ex_ exports.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

namespace overlay_test {

struct XY {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const XY&, const XY&) = default;
};

// A closed outline through the corners (the first corner repeated at the end), one put per
// point, keys 1, 2, ... unless given.
void put_shape(int32_t group, int32_t code, const std::vector<XY>& corners, int32_t first_key = 1);
// A rectangular cell, closed, clockwise (x right, y up).
void put_cell(int32_t group, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Cells of `side` units over [x0, x0 + columns*side] x [y0, y0 + rows*side], row by row from
// the bottom, group ids 1, 2, ...
void put_mesh(int32_t x0, int32_t y0, int32_t side, int32_t columns, int32_t rows);

enum class Dedup { keep_one, cancel_pairs };

// ex_cal_meshcut, a fresh engine session, ex_mesh_line and the three assembling steps.
// Returns the status of rw_create_polygon.
int32_t cut(Dedup dedup = Dedup::keep_one);

struct Piece {
    int32_t status = 0;  // of ex_first_polylink / ex_next_polylink
    int32_t face = 0, npoints = 0, label_x = 0, label_y = 0, shape = 0, mesh = 0, area = 0;
    std::vector<XY> points;
    std::vector<int32_t> keys;
};
std::ostream& operator<<(std::ostream& os, const Piece& p);

// Every piece with its points; area is left at `unset_area` when a piece reports 101.
std::vector<Piece> read_pieces(int32_t unset_area = -7);

// The engine's area formula over a closed run (positive when clockwise).
double run_area(const std::vector<XY>& run);

}  // namespace overlay_test
