// The engine's session held for a scope. ringweld keeps one session, opened by rw_start and
// freed by rw_end; every caller in the converter opens it through this object, so that
// whatever ends the scope, a throw included, closes it.
#pragma once

#include <cstdint>

#include "ringweld.h"

namespace gridora {

class EngineSession {
public:
    // The initial capacities of the engine's tables, as rw_start takes them.
    EngineSession(int32_t lines, int32_t arcs, int32_t polygons, int32_t points) {
        rw_start(lines, arcs, polygons, points);
    }
    ~EngineSession() { rw_end(); }
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
};

}  // namespace gridora
