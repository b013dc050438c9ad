#include "input/work_arrays.h"

namespace gridora {

int32_t IdIndex::Lookup(int32_t id) const {
    // Entries sort by id, then by index, so the first entry of an id is its first record.
    auto it = std::lower_bound(entries_.begin(), entries_.end(), std::pair<int32_t, int32_t>(id, 0));
    return (it != entries_.end() && it->first == id) ? it->second : 0;
}

WorkArrayPeaks TakePeaks(WorkArrays& arrays) {
    return WorkArrayPeaks{arrays.arc_records.TakePeak(),  arrays.arc_points.TakePeak(),
                          arrays.pgn_records.TakePeak(),  arrays.pgn_arc_refs.TakePeak(),
                          arrays.pnt_records.TakePeak(),  arrays.tie_records.TakePeak()};
}

void RaiseCapacities(WorkArrays& arrays, const WorkArrayPeaks& peaks) {
    arrays.arc_records.RaiseCapacityFor(peaks.arc_records);
    arrays.arc_points.RaiseCapacityFor(peaks.arc_points);
    arrays.pgn_records.RaiseCapacityFor(peaks.pgn_records);
    arrays.pgn_arc_refs.RaiseCapacityFor(peaks.pgn_arc_refs);
    arrays.pnt_records.RaiseCapacityFor(peaks.pnt_records);
    arrays.tie_records.RaiseCapacityFor(peaks.tie_records);
}

ArcRecord* FindArc(WorkArrays& arrays, int32_t arc_id, int32_t* position) {
    int32_t index = arrays.arc_index.Find(arrays.arc_records, arc_id,
                                          [](const ArcRecord& r) { return r.arc_id; });
    if (position) *position = index;
    return index ? &arrays.arc_records.At(index) : nullptr;
}

TieRecord* FindTie(WorkArrays& arrays, int32_t arc_id, int32_t* position) {
    int32_t index = arrays.tie_index.Find(arrays.tie_records, arc_id,
                                          [](const TieRecord& r) { return r.arc_id; });
    if (position) *position = index;
    return index ? &arrays.tie_records.At(index) : nullptr;
}

PgnRecord* FindPgn(WorkArrays& arrays, int32_t polygon_id) {
    int32_t index = arrays.pgn_index.Find(arrays.pgn_records, polygon_id,
                                          [](const PgnRecord& r) { return r.polygon_id; });
    return index ? &arrays.pgn_records.At(index) : nullptr;
}

PntRecord* FindPnt(WorkArrays& arrays, int32_t point_id) {
    int32_t index = arrays.pnt_index.Find(arrays.pnt_records, point_id,
                                          [](const PntRecord& r) { return r.point_id; });
    return index ? &arrays.pnt_records.At(index) : nullptr;
}

}  // namespace gridora
