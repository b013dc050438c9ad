#include "overlay_helpers.h"

#include "ringweld.h"

namespace overlay_test {

void put_shape(int32_t group, int32_t code, const std::vector<XY>& corners, int32_t first_key) {
    int32_t key = first_key;
    for (const XY& p : corners) ex_put_shapeline(group, key++, p.x, p.y, code);
    ex_put_shapeline(group, key, corners.front().x, corners.front().y, code);
}

void put_cell(int32_t group, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const XY corners[] = {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}, {x0, y0}};
    int32_t key = 1;
    for (const XY& p : corners) ex_put_meshline(group, 0, p.x, p.y, key++);
}

void put_mesh(int32_t x0, int32_t y0, int32_t side, int32_t columns, int32_t rows) {
    int32_t group = 1;
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < columns; ++c)
            put_cell(group++, x0 + c * side, y0 + r * side, x0 + (c + 1) * side, y0 + (r + 1) * side);
}

int32_t cut(Dedup dedup) {
    ex_cal_meshcut(nullptr, nullptr, nullptr, nullptr);
    rw_start(1000, 1000, 1000, 2000);
    ex_mesh_line(0);
    int32_t n = 0;
    if (dedup == Dedup::keep_one) rw_create_miniline(&n);
    else rw_create_miniline_dupcut(&n);
    rw_create_arcline(&n);
    return rw_create_polygon(&n);
}

std::ostream& operator<<(std::ostream& os, const Piece& p) {
    return os << "piece face " << p.face << " (" << p.npoints << " points) label (" << p.label_x << ","
              << p.label_y << ") shape " << p.shape << " mesh " << p.mesh << " area " << p.area << " status "
              << p.status;
}

std::vector<Piece> read_pieces(int32_t unset_area) {
    std::vector<Piece> out;
    Piece p;
    p.area = unset_area;
    for (p.status = ex_first_polylink(&p.face, &p.npoints, &p.label_x, &p.label_y, &p.shape, &p.mesh, &p.area);
         p.status == 0 || p.status == 101;
         p.status = ex_next_polylink(&p.face, &p.npoints, &p.label_x, &p.label_y, &p.shape, &p.mesh, &p.area)) {
        int32_t x, y, key;
        while (ex_next_polyldat(&x, &y, &key) == 0) {
            p.points.push_back({x, y});
            p.keys.push_back(key);
        }
        out.push_back(p);
        p = Piece{};
        p.area = unset_area;
    }
    return out;
}

double run_area(const std::vector<XY>& p) {
    const std::size_t n = p.size();
    if (n < 3) return 0;
    double s = 0;
    const XY& last = p[n - 1];
    for (std::size_t k = 0; k + 2 < n; ++k)
        s += double(last.x - p[k + 1].x) * double(p[k].y - last.y) +
             double(p[k].x - last.x) * double(p[k + 1].y - last.y);
    return -0.5 * s;
}

}  // namespace overlay_test
