#include "session.h"

namespace ringweld {

Library& library() {
    static Library instance;
    return instance;
}

void Session::configure(const SessionSizes& s) {
    sizes = s;
    lines.configure(s.linsize, s.linsize);
    staging.configure(kStagingCapacity, kStagingCapacity);
}

int32_t Session::endpoint_count() const {
    return 0;
}

void Session::release() {
    release_lines();
    miniline_cursor = -1;
}

void Session::release_lines() {
    lines.release();
    staging.release();
    staging.configure(kStagingCapacity, kStagingCapacity);
}

}  // namespace ringweld
