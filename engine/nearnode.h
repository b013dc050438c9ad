// Near-node bridging: one polygon's rings joined into a single closed walk.
//
// Expects: the record run of one polygon as polygon assembly writes it: the outer ring
// (ring 0), then each further ring k (its first record with key 0), each normally followed
// by a closing record (key 0, ring 0); every other key is the lin of the segment arriving at
// the record (>= 1 for callers that tag their lines with positive lin values).
// Leaves behind: NearRings, copies of the rings' points: ring 0 as stored (closing records
// at its end), every attached ring rotated to start and end at the point its bridge
// reaches, and for each ring the rings attached at its points, in attachment order. The
// polygon tables are not changed.
//
// A ring is attached by a bridge from the nearest point of the outer ring to its own nearest
// point; when that bridge crosses a boundary segment, from the nearest point of a ring
// attached before (two passes). Nearest pairs are found through a grid of points and the
// crossing test through a grid of segments; both give what the exhaustive search gives, the
// first pair in search order winning a tie of equal distances.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "polygons.h"
#include "ringweld.h"

namespace ringweld {

struct NearPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t key = 0;
};

// A ring attached at a point of another: the point's 1-based position and the ring's number.
struct Attachment {
    int32_t position = 0;
    int32_t ring = 0;
    int32_t order = 0;  // attachment sequence over the whole polygon
};

struct NearRing {
    std::vector<NearPoint> points;
    int32_t self = -1;       // the ring number once the ring has a point
    bool connected = false;  // attached by a bridge
    int32_t connection = 0;  // 1-based position where its bridge arrives, before rotation
    int32_t kind = 0;        // 1: attached to the outer ring, 2: to another ring
    int32_t parent = 0;
    std::vector<Attachment> attached;  // rings attached here, by position, then order
};

inline constexpr int32_t kRingUnattached = RW_ERR_RING_UNATTACHED;

// Builds the bridged rings of one polygon's record run. Returns 0, or 128 when a ring could
// not be attached (it stays out of the walk; every attached ring is still rotated).
int32_t connect_rings(std::span<const PolygonPoint> run, std::vector<NearRing>& rings);

// Whether the segment from a to b crosses a boundary segment of the run (one that ends at a
// record with key >= 1 and shares no end with it). The exhaustive test; the grid in
// connect_rings gives the same answers.
bool bridge_crosses(std::span<const PolygonPoint> run, NearPoint a, NearPoint b);

// The walk over bridged rings: ring 0, detouring at each attachment round the attached
// ring and back to the attachment point, nested.
class RingWalk {
public:
    struct Step {
        NearPoint point;
        int32_t ring = 0;
    };
    void restart();
    // The next point, or false at the end.
    bool next(const std::vector<NearRing>& rings, Step& out);

private:
    struct Frame {
        int32_t ring = 0;
        int32_t position = 0;       // 1-based, 0 before the first point
        std::size_t attach = 0;     // next attachment of the ring not yet walked
    };
    // Enters the next ring attached at the frame's current position, if any.
    void enter_attached(const std::vector<NearRing>& rings);
    Frame at_;
    std::vector<Frame> stack_;
};

// The near-node state of the session: from rw_nearnode_connectpolygon to
// rw_nearnode_connectclose.
struct NearNodeState {
    std::vector<NearRing> rings;
    bool built = false;
    RingWalk walk;
    void release() {
        std::vector<NearRing>().swap(rings);
        built = false;
        walk.restart();
    }
};

}  // namespace ringweld
