#include "session.h"

namespace ringweld {

Library& library() {
    // One per thread: threads that each run their own session never share a table.
    thread_local Library instance;
    return instance;
}

void Session::configure(const SessionSizes& s) {
    sizes = s;
    lines.configure(s.linsize, s.linsize);
    staging.configure(kStagingCapacity, kStagingCapacity);
    arcs.configure(s.linsize, s.arcsize, s.pxysize);
    polygons.configure(s.linsize, s.polsize, s.pxysize);
}

int32_t Session::endpoint_count() const {
    return arcs.endpoints.count();
}

void Session::release() {
    release_lines();
    miniline_cursor = -1;
    arcs.release();
    polygons.release();
    queries.reset();
    nearnode.release();
}

void Session::release_lines() {
    lines.release();
    staging.release();
    staging.configure(kStagingCapacity, kStagingCapacity);
}

}  // namespace ringweld
