// Walking the stored points of an arc into shape vertices.
#pragma once

#include "convert/attribute_file.h"
#include "input/work_arrays.h"

namespace gridora {

// The point visited last, carried from arc to arc along a polygon's ring.
struct PointTrail {
    bool any = false;
    ArcPoint last;
};

// Appends the points of `arc`, first to last when `forwards`, else last to first, as
// vertices of the last record of `file`, leaving out each point whose stored X and Y
// equal those of the point visited just before it. Returns the number appended.
inline int AppendArcVertices(StagedShapefile& file, const ArcPoints& points, const ArcRecord& arc, bool forwards,
                             const SheetHeader& header, PointTrail& trail) {
    if (arc.last_point < arc.first_point || arc.first_point < 1 || arc.last_point > points.Count()) return 0;
    int appended = 0;
    const int32_t step = forwards ? 1 : -1;
    const int32_t begin = forwards ? arc.first_point : arc.last_point;
    const int32_t end = forwards ? arc.last_point + 1 : arc.first_point - 1;
    for (int32_t i = begin; i != end; i += step) {
        const ArcPoint& p = points.At(i);
        if (trail.any && p.x == trail.last.x && p.y == trail.last.y) continue;
        trail.any = true;
        trail.last = p;
        AddStoredPoint(file, header, p.x, p.y);
        ++appended;
    }
    return appended;
}

// The absolute value of a signed arc reference; references of INT32_MIN name no arc.
inline int32_t ArcIdOf(int32_t reference) {
    return reference == INT32_MIN ? 0 : (reference < 0 ? -reference : reference);
}

}  // namespace gridora
