#include "sample_feature_helpers.h"

#include <proj.h>
#include <shapefil.h>

#include <algorithm>
#include <cmath>

#include "platform/cp932.h"

namespace gridora::testing {
namespace {

bool Inside(const SHPObject& shape, PlanePoint p) {
    bool inside = false;
    for (int part = 0; part < shape.nParts; ++part) {
        const int begin = shape.panPartStart[part];
        const int end = part + 1 < shape.nParts ? shape.panPartStart[part + 1] : shape.nVertices;
        for (int i = begin, j = end - 1; i < end; j = i++) {
            const double xi = shape.padfX[i], yi = shape.padfY[i], xj = shape.padfX[j], yj = shape.padfY[j];
            if ((yi > p.y) != (yj > p.y) && p.x < (xj - xi) * (p.y - yi) / (yj - yi) + xi) inside = !inside;
        }
    }
    return inside;
}

double EdgeDistance(const SHPObject& shape, PlanePoint p) {
    double best = 1e300;
    for (int i = 0; i + 1 < shape.nVertices; ++i) {
        const double ax = shape.padfX[i], ay = shape.padfY[i], bx = shape.padfX[i + 1], by = shape.padfY[i + 1];
        const double length = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
        const double t = length > 0 ? std::clamp(((p.x - ax) * (bx - ax) + (p.y - ay) * (by - ay)) / length, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(p.x - (ax + t * (bx - ax)), p.y - (ay + t * (by - ay))));
    }
    return best;
}

}  // namespace

NamedBuilding FindNamedBuilding(const std::filesystem::path& base) {
    NamedBuilding best;
    SHPHandle shapes = SHPOpen(base.c_str(), "rb");
    DBFHandle table = DBFOpen(base.c_str(), "rb");
    if (shapes && table) {
        const int name_field = DBFGetFieldIndex(table, "tname1"), id_field = DBFGetFieldIndex(table, "id");
        constexpr int kGrid = 24;
        for (int record = 0; record < DBFGetRecordCount(table); ++record) {
            const std::string name = DBFReadStringAttribute(table, record, name_field);
            if (name.empty()) continue;
            SHPObject* shape = SHPReadObject(shapes, record);
            if (!shape) continue;
            for (int i = 1; i < kGrid; ++i)
                for (int j = 1; j < kGrid; ++j) {
                    const PlanePoint p{shape->dfXMin + (shape->dfXMax - shape->dfXMin) * i / kGrid,
                                       shape->dfYMin + (shape->dfYMax - shape->dfYMin) * j / kGrid};
                    if (!Inside(*shape, p)) continue;
                    if (const double depth = EdgeDistance(*shape, p); depth > best.depth)
                        best = {DBFReadStringAttribute(table, record, id_field), Cp932ToUtf8(name), p, depth};
                }
            SHPDestroyObject(shape);
        }
    }
    if (table) DBFClose(table);
    if (shapes) SHPClose(shapes);
    return best;
}

PlanePoint Transform(PlanePoint p, int from, const char* to) {
    PJ_CONTEXT* context = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(context, ("EPSG:" + std::to_string(from)).c_str(), to, nullptr);
    PJ* transform = proj_normalize_for_visualization(context, raw);
    const PJ_COORD c = proj_trans(transform, PJ_FWD, proj_coord(p.x, p.y, 0, 0));
    proj_destroy(transform);
    proj_destroy(raw);
    proj_context_destroy(context);
    return {c.xy.x, c.xy.y};
}

}  // namespace gridora::testing
