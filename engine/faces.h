// Face labelling: which face lies on each side of every arc.
//
// Expects: the arc table as tracing leaves it (provisional states -1, -2, -3 on both sides,
// start/end holding end-point indices), the end-points numbered into nodes, and the
// arc-segment and midpoint tables of every arc that is not dangling.
// Leaves behind: both face numbers of arcs 1..N renumbered to 0 (outside) and 1, 2, ...
// (faces in the order their labels were made), start/end replaced by node numbers, the
// placeholder arc 0 all zero, and the segment and midpoint tables sorted.
//
// The labels come from horizontal scan lines through the arcs' mid-heights, merged with a
// union-find table, carried round junction nodes by the angular order of their arcs, then
// resolved to their roots and renumbered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "arcs.h"
#include "ringweld.h"
#include "work_table.h"

namespace ringweld {

// By default one scan line holds at most this many crossings; more is error 71.
inline constexpr int32_t kMaxCrossings = RW_DEFAULT_MAX_CROSSINGS;
inline constexpr int32_t kTooManyCrossings = RW_ERR_TOO_MANY_CROSSINGS;

inline constexpr uint8_t kCrossAtUpper = 0x80;  // the scan line passes through the segment's upper point
inline constexpr uint8_t kCrossAtLower = 0x40;  // ... through its lower point
inline constexpr uint8_t kDownBit = 0x01;

enum CrossingKind : uint8_t {
    kProper = 0,
    kThroughVertex = 1,
    kAtSegmentEnd = 2,  // also every member of a run of crossings at one x
    kHorizontal = 3,
};

struct Crossing {
    int32_t arc = 0;
    int32_t x = 0;
    uint8_t flags = 0;
    uint8_t kind = kProper;
    int32_t segment = 0;  // index in the arc-segment table
};

// The face-label table: entry i is the parent of label i; label 0 is the outside.
class FaceLabels {
public:
    explicit FaceLabels(int32_t step);
    int32_t make();  // a new root label
    int32_t count() const { return count_; }
    bool contains(int32_t label) const { return label >= 0 && label <= count_; }
    int32_t parent(int32_t label) const { return table_[label]; }
    int32_t root(int32_t label) const;
    // The scan lines' merge: parents of a and b (not their roots) are linked to the smaller.
    void merge(int32_t a, int32_t b);
    // Junction propagation's unify of two arc sides.
    void unify(int32_t& p, int32_t& q);
    // Every entry := its root.
    void resolve();

private:
    WorkTable<int32_t> table_{kPolygonOverflow};
    int32_t count_ = 0;
};

struct LabellingOptions {
    // Cast perturbed scan lines for closed loops left unlabelled and for an outside that
    // never met a proper crossing (keeping the plain numbering where the faces agree).
    // Off gives the plain scan-line pass.
    bool rescan_missed = true;
    // Crossings one scan line may hold before labelling stops with error 71; 0: no limit.
    int32_t max_crossings = kMaxCrossings;
};

// Labels both sides of every arc. Returns 0, or 71 when a scan line has too many crossings
// (the arc table then holds provisional or partial faces).
int32_t label_faces(ArcTables& t, int32_t polsize, const LabellingOptions& options = {});

// Finds, in table order, the segments whose y-range holds a height. The segments must be
// sorted by ylow; a max-tree over yhigh lets every scan skip the segments that end below it,
// so a scan costs the segments it meets, wherever it lies.
class SegmentIndex {
public:
    explicit SegmentIndex(const WorkTable<ArcSegment>& segments);
    const WorkTable<ArcSegment>& segments() const { return segments_; }

    // Calls visit(i) for every segment i with ylow <= y and yhigh >= y (yhigh > y when
    // strictly_above), in ascending i; stops and returns false when visit returns false.
    template <typename Visit>
    bool for_each_containing(int32_t y, bool strictly_above, Visit visit) const {
        const std::size_t end = prefix_through(y);
        if (end == 0) return true;
        const int64_t need = strictly_above ? int64_t{y} + 1 : int64_t{y};
        return walk(1, 0, size_, end, need, visit);
    }

private:
    std::size_t prefix_through(int32_t y) const;  // number of segments with ylow <= y

    template <typename Visit>
    bool walk(std::size_t node, std::size_t lo, std::size_t hi, std::size_t end, int64_t need, Visit& visit) const {
        if (lo >= end || max_high_[node] < need) return true;
        if (hi - lo == 1) return visit(static_cast<int32_t>(lo));
        const std::size_t mid = lo + (hi - lo) / 2;
        return walk(2 * node, lo, mid, end, need, visit) && walk(2 * node + 1, mid, hi, end, need, visit);
    }

    const WorkTable<ArcSegment>& segments_;
    std::size_t size_ = 1;
    TableVector<int32_t> max_high_;
};

// The crossings of a scan line at y: one per segment with ylow <= y <= yhigh, in
// segment-table order. Returns false when there are more than `limit` (0: no limit).
bool collect_crossings(const SegmentIndex& index, int32_t y, std::vector<Crossing>& out,
                       int32_t limit = kMaxCrossings);

// Sorts by x and resolves runs of crossings at one x (removing pairs that touch the scan
// line and keeping one of a pair that passes through a vertex).
void settle_crossings(std::vector<Crossing>& crossings);
// Room the sort reuses from one scan line to the next.
struct CrossingScratch {
    std::vector<Crossing> crossings;
    std::vector<uint64_t> keys;
    std::vector<uint64_t> radix;
};
void settle_crossings(std::vector<Crossing>& crossings, CrossingScratch& scratch);

// The crossings of a scan line infinitesimally above y: ylow <= y < yhigh, all proper,
// sorted by x, then by inverse slope, then by arc. Returns false when there are more than
// `limit` (0: no limit).
bool collect_perturbed_crossings(const SegmentIndex& index, int32_t y, std::vector<Crossing>& out,
                                 int32_t limit = kMaxCrossings);


}  // namespace ringweld
