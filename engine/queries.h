// Polygon queries: the ray reading of a polygon's record run, point in polygon, the label
// scan, the fan area and the repeated-vertex check.
//
// Expects: the polygon tables as polygon assembly leaves them (polygons in ascending face
// order, one per face; each polygon's record run contiguous in the polygon-point table:
// every ring, the closing records between them, normally closed so that the last record
// repeats the first). The queries read x and y of the records only.
// Leaves behind: nothing in the tables. The point query keeps an index of the polygons'
// bounding boxes (PolygonQueryCache), built on first use and dropped whenever the polygon
// tables are rebuilt or freed.
//
// The run is read as a chain of segments from each record to the next. Where the chain
// arrives on the horizontal line through the query point and runs along it, the records on
// the line are followed to where the chain leaves; a run of on-line records that passes the
// last record continues once from the first, and then ends the reading (the records after
// it were read at the start, so nothing is counted twice).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "box_index.h"
#include "polygons.h"

namespace ringweld {

using RecordRun = std::span<const PolygonPoint>;

// The records of one polygon (or ring record), clipped to the table.
RecordRun record_run(const WorkTable<PolygonPoint>& points, const PolygonRecord& r);

// What the segment from record i to record i+1 contributes on the line y = `y`.
struct LineEvent {
    enum class Kind : uint8_t {
        none,     // off the line, or not crossing it, or on the line (read from its arrival)
        crossing, // the segment's ends lie strictly on opposite sides; `t` is the rounded abscissa
        arrival,  // the chain arrives on the line at record i+1
    };
    Kind kind = Kind::none;
    int32_t t = 0;           // crossing abscissa, or x of the first record on the line
    int32_t p = 0;           // arrival: x of the last record on the line
    bool along = false;      // arrival: the records on the line do not all lie at t
    bool opposite = false;   // arrival: the chain leaves to the other side of the line
};
LineEvent line_event(RecordRun run, std::size_t i, int32_t y);

// Odd number of crossings of the ray from (x, y) towards larger x.
bool run_contains(RecordRun run, int32_t x, int32_t y);

// A crossing of the label scan line; `marked` where the chain touched or ran along it.
struct ScanCrossing {
    int32_t x = 0;
    bool marked = false;
    friend bool operator==(const ScanCrossing&, const ScanCrossing&) = default;
};
// The crossings of the run with the line y = `y`, in reading order (appended to `out`).
void scan_crossings(RecordRun run, int32_t y, std::vector<ScanCrossing>& out);

// The middle of the widest stretch between paired crossings (sorted by x, paired 1st with
// 2nd, 3rd with 4th ..., pairs of two marked crossings skipped; the earlier pair wins a tie),
// or `start_x` when no pair qualifies. `crossings` is reordered.
int32_t widest_stretch_middle(std::vector<ScanCrossing>& crossings, int32_t start_x);

// Label point on the line y = start.y of the run: the start point with x moved.
struct LabelPoint {
    int32_t x = 0;
    int32_t y = 0;
};
LabelPoint label_point(RecordRun run, LabelPoint start);
// Start points from the bounding box: rounded halves to even, or truncating division.
LabelPoint box_middle_rounded(const PolygonRecord& r);
LabelPoint box_middle_truncated(const PolygonRecord& r);

// The fan area from the last record: positive for a clockwise run (x right, y up).
double run_area(RecordRun run);

// Whether two records of the run, the last one left out, have equal x and y.
bool repeats_vertex(RecordRun run);

// 0-based index of the face's polygon, found by binary search, or -1.
int32_t polygon_index_of(const WorkTable<PolygonRecord>& polygons, int32_t face);

// The segments of one long run grouped by horizontal bands, so that a point test reads only
// the segments that reach the point's line (the only ones that contribute to its count).
class RunBands {
public:
    explicit RunBands(RecordRun run);
    bool contains(RecordRun run, int32_t x, int32_t y) const;

private:
    int32_t band_of(int32_t y) const;
    int32_t min_y_ = 0;
    double height_ = 1;
    int32_t bands_ = 1;
    std::vector<int32_t> first_;     // per band, into segments_; bands_ + 1 entries
    std::vector<int32_t> segments_;  // segment i runs from record i to i + 1, ascending per band
};

// Runs at least this long get bands when a point test first reads them.
inline constexpr std::size_t kBandedRun = 256;

// The box index of the point query and the bands of long runs.
struct PolygonQueryCache {
    BoxIndex boxes;
    bool built = false;
    std::vector<int32_t> candidates;  // reused by each query
    std::vector<std::unique_ptr<RunBands>> bands;  // per polygon, made on first use
    void reset() {
        boxes.clear();
        built = false;
        std::vector<int32_t>().swap(candidates);
        std::vector<std::unique_ptr<RunBands>>().swap(bands);
    }
};

// 0-based index of the first polygon in table order that contains (x, y), or -1.
int32_t find_containing(const PolygonTables& p, PolygonQueryCache& cache, int32_t x, int32_t y);

}  // namespace ringweld
