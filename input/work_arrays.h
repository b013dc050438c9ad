// The six work arrays that the readers fill for each data file and the writers read:
// record layouts, capacities and growth steps, and the lookups by identifier.
//
// The conversion run owns one WorkArrays for the whole run. Each reader empties its own
// arrays at the start of a file and appends; capacity only ever grows, by a fixed step,
// and is what the run records in its statistics. Indexes stored in records are 1-based.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gridora {

// A classification code cut to its first 5 bytes.
class ShortCode {
public:
    static constexpr std::size_t kMaxBytes = 5;

    ShortCode() = default;
    explicit ShortCode(std::string_view text)
        : length_(static_cast<uint8_t>(std::min(text.size(), kMaxBytes))) {
        std::copy_n(text.data(), length_, bytes_.data());
    }
    std::string_view View() const { return {bytes_.data(), length_}; }
    friend bool operator==(const ShortCode& a, const ShortCode& b) { return a.View() == b.View(); }

private:
    std::array<char, kMaxBytes> bytes_{};
    uint8_t length_ = 0;
};

struct ArcRecord {
    ShortCode code;
    int32_t line_tag = 0;
    int32_t arc_id = 0;
    int32_t point_count = 0;
    int32_t first_point = 0;    // index in ArcPoints
    int32_t last_point = 0;     // 0 for an arc without points: first..last is then empty
    int32_t right_polygon = 0;  // id of a polygon using the arc forwards
    int32_t left_polygon = 0;   // id of a polygon using the arc backwards
    int16_t right_flag = 0;     // 1 when that polygon lies wholly inside the sheet
    int16_t left_flag = 0;
};

// X north, Y east, relative to the file's origin.
struct ArcPoint {
    double x = 0.0;
    double y = 0.0;
    int32_t line = 0;  // the line of the .ARC file it was read from, for messages
};

struct PgnRecord {
    ShortCode code;
    int32_t polygon_id = 0;
    int32_t arc_count = 0;
    double x = 0.0;                 // representative point, relative to the origin
    double y = 0.0;
    int32_t first_ref = 0;          // index in PgnArcRefs
    int32_t last_ref = 0;           // 0 until the references are read
    int32_t total_point_count = 0;  // points of the referenced arcs that were found
};

struct PntRecord {
    ShortCode code;
    int32_t point_id = 0;
    double x = 0.0;
    double y = 0.0;
};

struct TieRecord {
    int32_t arc_id = 0;
    int32_t start_node = 0;
    int32_t end_node = 0;
};

// A growable array of records with an explicit capacity that grows by a fixed step.
template <typename Record>
class WorkArray {
public:
    WorkArray(int32_t initial_capacity, int32_t growth_step)
        : capacity_(initial_capacity), step_(growth_step) {
        records_.reserve(static_cast<std::size_t>(initial_capacity));
    }

    void Clear() {
        records_.clear();
        ++version_;
    }
    // Appends and returns the new record's 1-based index.
    int32_t Append(const Record& r) {
        if (Count() == capacity_) capacity_ += step_;
        records_.push_back(r);  // the vector itself grows geometrically
        ++version_;
        peak_ = std::max(peak_, Count());
        return Count();
    }

    // The most records held since the last TakePeak, which starts counting afresh.
    int32_t TakePeak() { return std::exchange(peak_, Count()); }
    // Grows the capacity as appending up to `count` records would have: capacity is a
    // function of the most records ever held, so arrays filled apart can report the
    // capacity of one array that held all their records in turn.
    void RaiseCapacityFor(int32_t count) {
        if (count > capacity_ && step_ > 0)
            capacity_ += static_cast<int32_t>((static_cast<int64_t>(count) - capacity_ + step_ - 1) / step_ * step_);
    }

    int32_t Count() const { return static_cast<int32_t>(records_.size()); }
    int32_t Capacity() const { return capacity_; }

    // By the 1-based index that records store.
    Record& At(int32_t index) { return records_[static_cast<std::size_t>(index - 1)]; }
    const Record& At(int32_t index) const { return records_[static_cast<std::size_t>(index - 1)]; }
    // The used records, 0-based.
    std::span<Record> Records() { return records_; }
    std::span<const Record> Records() const { return records_; }

    // Changes with every Clear and Append; lookups rebuild their index when it changed.
    uint64_t Version() const { return version_; }

private:
    std::vector<Record> records_;
    int32_t capacity_;
    int32_t step_;
    uint64_t version_ = 0;
    int32_t peak_ = 0;
};

// First-match lookup from an identifier to its record's 1-based index, rebuilt lazily
// after the array changed. Identifiers must not be changed in place once read.
class IdIndex {
public:
    template <typename Record, typename IdOf>
    int32_t Find(const WorkArray<Record>& array, int32_t id, IdOf id_of) {
        if (!built_ || version_ != array.Version() || owner_ != &array) {
            Rebuild(array.Records(), id_of);
            version_ = array.Version();
            owner_ = &array;
            built_ = true;
        }
        return Lookup(id);
    }

private:
    template <typename Record, typename IdOf>
    void Rebuild(std::span<const Record> records, IdOf id_of) {
        entries_.clear();
        entries_.reserve(records.size());
        for (std::size_t i = 0; i < records.size(); ++i)
            entries_.emplace_back(id_of(records[i]), static_cast<int32_t>(i + 1));
        std::sort(entries_.begin(), entries_.end());
    }
    int32_t Lookup(int32_t id) const;

    std::vector<std::pair<int32_t, int32_t>> entries_;  // (id, index), sorted
    uint64_t version_ = 0;
    const void* owner_ = nullptr;
    bool built_ = false;
};

using ArcRecords = WorkArray<ArcRecord>;
using ArcPoints = WorkArray<ArcPoint>;
using PgnRecords = WorkArray<PgnRecord>;
using PgnArcRefs = WorkArray<int32_t>;
using PntRecords = WorkArray<PntRecord>;
using TieRecords = WorkArray<TieRecord>;

struct WorkArrays {
    ArcRecords arc_records{4000, 1000};
    ArcPoints arc_points{10000, 1000};
    PgnRecords pgn_records{2000, 1000};
    PgnArcRefs pgn_arc_refs{1000, 1};
    PntRecords pnt_records{4000, 1000};
    TieRecords tie_records{4000, 1000};
    // The CP932 path of the .ARC file the arc arrays were read from, for messages.
    std::string arc_file;

    // Lookup indexes; they follow their arrays by version.
    IdIndex arc_index, pgn_index, pnt_index, tie_index;
};

// The most records each array held while some work was read (see WorkArray::TakePeak).
struct WorkArrayPeaks {
    int32_t arc_records = 0, arc_points = 0, pgn_records = 0, pgn_arc_refs = 0, pnt_records = 0, tie_records = 0;
};
WorkArrayPeaks TakePeaks(WorkArrays& arrays);
// Grows the capacities of `arrays` as if they had held what `peaks` counts.
void RaiseCapacities(WorkArrays& arrays, const WorkArrayPeaks& peaks);

// |id| for the lookups of signed references; the one value without a positive
// counterpart stays as it is.
inline int32_t AbsoluteId(int32_t id) {
    return (id < 0 && id != INT32_MIN) ? -id : id;
}

// The first record with the given identifier, as the 1-based index that FindArc and
// FindTie also call its position; nullptr / 0 when there is none. Duplicated identifiers
// always resolve to their first record.
ArcRecord* FindArc(WorkArrays& arrays, int32_t arc_id, int32_t* position = nullptr);
TieRecord* FindTie(WorkArrays& arrays, int32_t arc_id, int32_t* position = nullptr);
PgnRecord* FindPgn(WorkArrays& arrays, int32_t polygon_id);
PntRecord* FindPnt(WorkArrays& arrays, int32_t point_id);

}  // namespace gridora
