// Polygon query exports: finding a face's polygon or the polygon around a point, label
// points, areas and the repeated-vertex check.

#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

constexpr int32_t kNotBuilt = -1;

}  // namespace

extern "C" {

RW_API int32_t rw_find_polygon(int32_t) { return kNotBuilt; }
RW_API int32_t rw_findxy_polygon(int32_t, int32_t, int32_t*) { return kNotBuilt; }
RW_API int32_t rw_center_polygon(int32_t, int32_t*, int32_t*) { return kNotBuilt; }
RW_API int32_t rw_center_polygondef(int32_t, int32_t*, int32_t*) { return kNotBuilt; }
RW_API int32_t rw_calarea_polygon(int32_t, int32_t*) { return kNotBuilt; }
RW_API int32_t rw_calareaD_polygon(int32_t, double*) { return kNotBuilt; }
RW_API int32_t rw_check1pol_polygondef(void) { return kNotBuilt; }

}  // extern "C"
