// The cross-sheet (seamless) assembly: after the last sheet of a run, the polygons that
// sheet edges cut apart are rebuilt whole from the side files the polygon layer writers
// left in the output folder, and appended to the layers' _pgn Shapefiles.
//
// For each of the layers mizu, si_tyo, tyome, zyouti, gaiku and tatemono, in that order,
// whose <layer>_arc.txt exists: the split boundary segments of every sheet go through one
// engine session (shared sheet edges, present once from each side, cancel), which traces
// the polygons; each label point of <layer>_pgn.txt is located in them; every polygon with
// a label gets the attributes of its first label's record of the base table <layer>.dbf
// and is appended to <layer>_pgn. Label points in no polygon go to the error file. The
// side files are consumed and zuyo.txt is deleted.
//
// The engine work of the layers runs on threads of their own, one engine session per
// thread; the calling thread writes each layer, passes on its messages and reports its
// progress in layer order, as the layers are done, so that nothing that leaves the step
// depends on the number of threads or their timing.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/shape_buffers.h"
#include "convert/writer_statistics.h"
#include "platform/message_port.h"

namespace gridora {

// The layers in the order they are assembled (lower-case output names); their position
// + 1 numbers them in the run statistics.
inline constexpr std::array<std::string_view, RunStatistics::kSeamlessLayerCount> kSeamlessLayers = {
    "mizu", "si_tyo", "tyome", "zyouti", "gaiku", "tatemono"};

// Where the step finds a layer's base table and appends its rebuilt polygons when they
// are not the layer's Shapefiles (a GeoPackage): tables named as the Shapefiles are, whose
// record n is the side files' record n.
class SeamlessPolygonStore {
public:
    virtual ~SeamlessPolygonStore() = default;
    // The records of the layer's base table; -1 when it has none.
    virtual int BaseRecordCount(std::string_view layer) = 0;
    // Where a table lies, for messages.
    virtual std::filesystem::path TableLocation(std::string_view table) const = 0;
    // Appends to <layer>_pgn, created when missing, from Begin to End: each polygon in
    // `shape` with the attributes of record `base_record` of the base table. End commits
    // them all at once; any of them throws OutputStopped when the store cannot take them,
    // and then none of the layer's polygons is kept.
    virtual void BeginPolygons(std::string_view layer) = 0;
    virtual void AppendPolygon(const ShapeBuffers& shape, int base_record) = 0;
    virtual void EndPolygons() = 0;
};

struct SeamlessRequest {
    std::filesystem::path output_folder;
    // Holes become inner rings; otherwise each is joined to the outer ring by a bridge.
    bool donut = true;
    // The INI file that receives the label points found in no polygon.
    std::filesystem::path error_file;
    // Written as the .prj of a _pgn Shapefile this step has to create; may be empty.
    std::string projection_wkt;
    // The first layer to assemble (index in kSeamlessLayers): a run that resumes the step
    // skips the layers it finished.
    int first_layer = 0;
    // Called after each layer with the number of layers finished, once the layer's files
    // are closed, and the side files it consumed, which are removed right after (zuyo.txt
    // with the last layer). May be empty.
    std::function<void(int layers_done, const std::vector<std::filesystem::path>& consumed)> after_layer;
    // When set, the side files consumed are added to it (before after_layer is called)
    // instead of being removed: the caller removes them once the step's output is safely on
    // the disk.
    std::vector<std::filesystem::path>* keep_consumed = nullptr;
    // The layers whose engine work runs at the same time, each on a thread of its own: 0
    // for as many as there are cores, 1 for one layer after the other on the calling
    // thread (so always with a store, which is used from the calling thread alone). Whatever the number, the files, messages, statistics and calls of
    // after_layer are those of one layer after the other.
    int jobs = 0;
    // When set, the base tables and _pgn outputs are its tables instead of Shapefiles.
    SeamlessPolygonStore* store = nullptr;
};

// One label point of a layer's _pgn.txt.
struct LabelPoint {
    int32_t record = 0;  // 0-based record index in the layer's base table
    double x = 0.0;      // absolute X (north), data unit
    double y = 0.0;      // absolute Y (east)
    int line = 0;        // 1-based line of _pgn.txt, for the error file
    int32_t face = 0;    // the face of the polygon that contains it; 0 until found
};

// The labels of a _pgn.txt in file order. A line whose coordinates are not numbers is
// reported through `port` (file and line) and left out. Nothing when the file is missing.
std::vector<LabelPoint> ReadLabelFile(const std::filesystem::path& path, MessagePort& port);

// The first label, in table order, of each face; labels with face 0 are left out. Sorted
// by face, so a face's label is found by binary search.
class FirstLabelByFace {
public:
    explicit FirstLabelByFace(std::span<const LabelPoint> labels);
    // The index in the label table of the face's first label, or -1.
    int FirstLabelOf(int32_t face) const;

private:
    std::vector<std::pair<int32_t, int>> first_;  // (face, label index), by face
};

// The error-file value of a label point in no polygon: "%d,%9.3f,%9.3f" of the record
// number and the two coordinates.
std::string MissingPolygonEntry(const LabelPoint& label);

// Runs the assembly over the output folder. Uses `shape` for every polygon written, counts
// the label points in no polygon in `statistics`, raising its largest vertex count, and
// reports what it cannot do through `port`. Throws OutputStopped when a layer's polygons
// would take one of its _pgn files past FileSizeLimit() (none of them is written then) or
// a write of them failed; the layers after it are not assembled, and the caller must stop
// the run.
void SeamlessAssembly(const SeamlessRequest& request, ShapeBuffers& shape, RunStatistics& statistics,
                      MessagePort& port);

}  // namespace gridora
