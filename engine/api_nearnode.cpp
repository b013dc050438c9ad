// Near-node bridging exports: joining a polygon's rings into one walk.

#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

constexpr int32_t kNotBuilt = -1;

}  // namespace

extern "C" {

RW_API int32_t rw_nearnode_connectpolygon(int32_t) { return kNotBuilt; }
RW_API int32_t rw_nearnode_getfirstXY(int32_t*, int32_t*, int32_t*, int32_t*) { return kNotBuilt; }
RW_API int32_t rw_nearnode_getnextXY(int32_t*, int32_t*, int32_t*, int32_t*) { return kNotBuilt; }
RW_API int32_t rw_nearnode_connectclose(void) { return 0; }

}  // extern "C"
