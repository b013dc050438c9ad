// The two assembling calls over a session: rw_create_arcline (arcs, face labelling and the
// ring-link table) and rw_create_polygon (the ring walk), as the flat exports run them.
#pragma once

#include <cstdint>

#include "faces.h"
#include "session.h"

namespace ringweld {

// Rebuilds every arc table from the minilines in s.lines, labels the faces and builds the
// ring-link table. Returns 0 and the arc count, or 61 / 71 (count not written).
int32_t create_arcline(Session& s, int32_t direction, const LabellingOptions& options, int32_t* out_count);

// Builds the ring-link table when it is empty, then walks the rings. Returns 0, 91 or 94;
// the polygon count is written in every case.
int32_t create_polygon(Session& s, int32_t direction, int32_t* out_count);

}  // namespace ringweld
