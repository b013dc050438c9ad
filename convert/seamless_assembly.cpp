// Expects: in the output folder, per polygon layer the base table <layer>.dbf (or the
// store's table <layer>), the side files <layer>_arc.txt and <layer>_pgn.txt, and
// <layer>_pgn when the sheets wrote it.
// Leaves: the rebuilt polygons appended to <layer>_pgn, the side files and zuyo.txt gone,
// label points in no polygon in the error file.
#include "convert/seamless_assembly.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <shapefil.h>

#include "convert/attribute_table.h"
#include "convert/buffered_file_hooks.h"
#include "convert/engine_session.h"
#include "convert/layer_catalogue.h"
#include "convert/layer_writers.h"
#include "convert/seamless_shapes.h"
#include "convert/sheet_output.h"
#include "convert/side_file_formats.h"
#include "input/conversion_error.h"
#include "input/data_file.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "platform/ini_file.h"
#include "ringweld.h"

namespace gridora {
namespace {

// One engine session per layer, sized for the segments of a whole run.
constexpr int32_t kSessionLines = 10000, kSessionArcs = 10000, kSessionPolygons = 10000, kSessionPoints = 20000;
// Every segment enters the engine with these tags.
constexpr int32_t kSegmentEnt = 2, kSegmentLin = 2, kSegmentKey = 2;

struct TableCloser {
    void operator()(DBFInfo* table) const { DBFClose(table); }
};
using SourceTable = std::unique_ptr<DBFInfo, TableCloser>;

void RemoveQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// A layer's drawing spans every sheet of the run: across a region's buildings one scan line
// of face labelling crosses more arcs than the engine allows by default (error 71, which
// would leave every cut polygon of the layer unassembled). Lifted for this thread's
// session while the object lives; a drawing within the limit gives the same result.
class UnlimitedScanLines {
public:
    UnlimitedScanLines() { rw_set_max_crossings(0); }
    ~UnlimitedScanLines() { rw_set_max_crossings(RW_DEFAULT_MAX_CROSSINGS); }
    UnlimitedScanLines(const UnlimitedScanLines&) = delete;
    UnlimitedScanLines& operator=(const UnlimitedScanLines&) = delete;
};

// Feeds every segment of an _arc.txt's text to the open engine session.
void PutSegments(std::string_view text) {
    LineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const SegmentLine s = ParseSegmentLine(line);
        rw_put_line(kSegmentEnt, kSegmentLin, s.x1, s.y1, s.x2, s.y2, kSegmentKey);
    }
}

// Splits the segments, removes the duplicates, chains the arcs and traces the polygons,
// each step whatever the one before returned. The first error number a step returned, 0
// when none did; no arc that bounds a face (RW_ERR_NO_ARC_DATA) is an empty layer, not an error.
int32_t TracePolygons() {
    int32_t count = 0;
    int32_t first_error = 0;
    const auto note = [&first_error](int32_t status) {
        if (first_error == 0 && status > 0 && status != RW_ERR_NO_ARC_DATA) first_error = status;
    };
    note(rw_create_miniline_dupcut(&count));
    note(rw_create_arcline(&count));
    // Only arc assembly reads the minilines; the polygon tables and the label queries
    // after them need none.
    rw_init_line();
    note(rw_create_polygon(&count));
    return first_error;
}

// A layer whose polygons the engine could not all trace: the polygons it made are still
// written, and the labels outside them reach the error file.
void ReportEngineError(std::string_view layer, int32_t status, MessagePort& port) {
    const char* text = "";
    rw_get_errormsg(status, &text);
    port.ShowMessage(ToCp932("error:シームレス処理:") + std::string(layer) + ":" + std::to_string(status) + ":" +
                     text);
}

// Copies the attributes of source record `from` into output record `to`, field by field
// by position: field 0 and every numeric field as an integer, the others as text. A
// field the source lacks or holds empty stays empty.
bool CopyAttributes(DBFHandle source, int from, DBFHandle output, int to) {
    const int source_fields = DBFGetFieldCount(source);
    const int fields = DBFGetFieldCount(output);
    bool ok = true;
    for (int f = 0; f < fields; ++f) {
        if (f >= source_fields || DBFIsAttributeNULL(source, from, f)) {
            ok = DBFWriteNULLAttribute(output, to, f) && ok;
        } else if (f == 0 || DBFGetFieldInfo(output, f, nullptr, nullptr, nullptr) == FTInteger) {
            ok = WriteAttributeInteger(output, to, f, DBFReadIntegerAttribute(source, from, f)) && ok;
        } else {
            const char* text = DBFReadStringAttribute(source, from, f);
            ok = WriteAttributeText(output, to, f, text ? text : "") && ok;
        }
    }
    return ok;
}

// Locates every label in the engine's polygons (its face, 0 for none) and returns the
// indices of those in none.
std::vector<std::size_t> LocateLabels(std::vector<LabelPoint>& labels) {
    std::vector<std::size_t> missing;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        int32_t face = 0;
        if (rw_findxy_polygon(EngineCoordinate(labels[i].x), EngineCoordinate(labels[i].y), &face) == 0 && face > 0)
            labels[i].face = face;
        else
            missing.push_back(i);
    }
    return missing;
}

// Writes the labels in no polygon to the error file under the layer's name and their line.
void WriteMissingLabels(std::span<const LabelPoint> labels, std::span<const std::size_t> missing,
                        std::string_view layer, const std::filesystem::path& error_file, MessagePort& port) {
    if (missing.empty()) return;
    IniFile errors(error_file);
    // In one pass: a layer of a region can leave a million labels in no polygon.
    std::vector<std::pair<std::string, std::string>> entries;
    entries.reserve(missing.size());
    for (std::size_t i : missing)
        entries.emplace_back(std::string(layer) + std::to_string(labels[i].line), MissingPolygonEntry(labels[i]));
    errors.WriteStrings(ToCp932("ポリゴンが見つからない"), entries);
    if (!errors.Save()) ReportUnwritable(error_file, port);
}

// Leaves out, with a message, the labels whose record is not in the base table of
// `records` records.
void DropLabelsWithoutRecord(std::vector<LabelPoint>& labels, int records, const std::filesystem::path& path,
                             MessagePort& port) {
    std::erase_if(labels, [&](const LabelPoint& label) {
        if (label.record >= 0 && label.record < records) return false;
        port.ShowMessage(ToCp932("error:レコード番号が属性テーブルにない:") + PathToCp932(path) + ":" +
                         std::to_string(label.line));
        return true;
    });
}

struct LayerRun {
    const SeamlessRequest& request;
    ShapeBuffers& shape;
    RunStatistics& statistics;
    MessagePort& port;
};

// What a layer's engine work leaves for its writing: everything the layer reads and
// computes, with the messages it gave in their order. Made on any thread, written on the
// calling one, so that the files, the error file and the messages are those of one layer
// after the other.
struct PreparedLayer {
    // The messages from before the layer's output is opened, and those from after.
    MessageLog early, late;
    // False when the layer stops before its output is opened (missing or unreadable inputs).
    bool inputs_read = false;
    // Whether the labels were located, so that those in no polygon reach the error file
    // even when the preparation failed after that.
    bool labels_located = false;
    // What stopped the preparation, raised again where the writing reaches it.
    std::exception_ptr failure;
    SourceTable source;
    std::vector<LabelPoint> labels;    // with their faces
    std::vector<std::size_t> missing;  // indices of the labels in no polygon
    ShapeList polygons;                // every labelled polygon, in the engine's order
    std::vector<int> polygon_labels;   // the label index of each
};

// The engine work of layer `index`: reads its side files and base table, traces the
// polygons in this thread's engine session, locates the labels and builds the shapes of
// the labelled polygons. Touches no output file and no shared state; never throws.
PreparedLayer PrepareLayer(const SeamlessRequest& request, int index) {
    PreparedLayer prepared;
    const std::string_view layer = kSeamlessLayers[static_cast<std::size_t>(index)];
    const std::filesystem::path base = LayerOutputBase(request.output_folder, layer);
    const std::filesystem::path segments = Suffixed(base, "_arc.txt");
    const std::filesystem::path label_file = Suffixed(base, "_pgn.txt");
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(segments, ec)) return prepared;
        std::optional<std::string> segment_text = LoadDataFile(segments);
        if (!segment_text) {
            prepared.early.ShowMessage(ToCp932("error:読み込めない:") + PathToCp932(segments));
            return prepared;
        }
        SeamlessPolygonStore* store = request.store;
        const std::filesystem::path source_path = store ? store->TableLocation(layer) : Suffixed(base, ".dbf");
        prepared.source.reset(store ? nullptr : DBFOpen(source_path.c_str(), "rb"));
        const int source_records = store                ? store->BaseRecordCount(layer)
                                   : prepared.source ? DBFGetRecordCount(prepared.source.get())
                                                     : -1;
        if (source_records < 0) {
            prepared.early.ShowMessage(ToCp932("error:属性テーブルを開けない:") + PathToCp932(source_path));
            return prepared;
        }
        prepared.inputs_read = true;

        prepared.labels = ReadLabelFile(label_file, prepared.late);
        DropLabelsWithoutRecord(prepared.labels, source_records, label_file, prepared.late);

        const EngineSession session(kSessionLines, kSessionArcs, kSessionPolygons, kSessionPoints);
        const UnlimitedScanLines unlimited;
        PutSegments(*segment_text);
        segment_text.reset();
        if (const int32_t status = TracePolygons(); status > 0) ReportEngineError(layer, status, prepared.late);
        prepared.missing = LocateLabels(prepared.labels);
        prepared.labels_located = true;

        const FirstLabelByFace face_labels(prepared.labels);
        ShapeBuffers shape;
        int32_t face = 0, count = 0;
        for (int32_t status = rw_first_polygon(&face, &count); status == 0; status = rw_next_polygon(&face, &count)) {
            if (face <= 0) continue;
            const int label = face_labels.FirstLabelOf(face);
            if (label < 0) continue;
            const std::vector<EnginePoint> points = ReadCurrentPolygon();
            BuildPolygonShape(face, points, request.donut, shape);
            prepared.polygons.Add(shape);
            prepared.polygon_labels.push_back(label);
        }
    } catch (...) {
        prepared.failure = std::current_exception();
    }
    return prepared;
}

// Writes a prepared layer: appends its labelled polygons to the output, each with the
// attributes of its first label's record, after measuring them, so that a layer that
// would take a file past the size limit gets none of them (OutputStopped). Returns the side
// files it consumed, which the caller removes once the layer's progress is recorded;
// whatever stops the layer early leaves them in place.
std::vector<std::filesystem::path> WriteLayer(LayerRun& run, int index, PreparedLayer& prepared) {
    const std::string_view layer = kSeamlessLayers[static_cast<std::size_t>(index)];
    const std::filesystem::path base = LayerOutputBase(run.request.output_folder, layer);
    const std::filesystem::path output_base = Suffixed(base, "_pgn");
    run.statistics.polygon_link_errors[static_cast<std::size_t>(index)] = 0;

    prepared.early.ReplayInto(run.port);
    if (!prepared.inputs_read) {
        if (prepared.failure) std::rethrow_exception(prepared.failure);
        return {};
    }
    SeamlessPolygonStore* store = run.request.store;
    OpenOutputFiles::Files output;
    if (!store) {
        output = OpenOrCreateOutput(output_base, SHPT_POLYGON, std::string(layer), true, run.request.projection_wkt);
        if (!output.shapes || !output.table) {
            ReportUnwritable(output_base, run.port);
            return {};
        }
    }
    prepared.late.ReplayInto(run.port);
    if (prepared.failure && !prepared.labels_located) std::rethrow_exception(prepared.failure);

    WriteMissingLabels(prepared.labels, prepared.missing, layer, run.request.error_file, run.port);
    run.statistics.polygon_link_errors[static_cast<std::size_t>(index)] = static_cast<int32_t>(prepared.missing.size());
    if (prepared.failure) std::rethrow_exception(prepared.failure);

    if (store) {
        store->BeginPolygons(layer);
        for (std::size_t i = 0; i < prepared.polygons.Size(); ++i) {
            prepared.polygons.Get(i, run.shape);
            run.statistics.RaiseVertexCount(run.shape.VertexCount());
            store->AppendPolygon(run.shape, prepared.labels[static_cast<std::size_t>(prepared.polygon_labels[i])].record);
        }
        store->EndPolygons();
        return {Suffixed(base, "_pgn.txt"), Suffixed(base, "_arc.txt")};
    }

    OutputGrowth growth;
    for (std::size_t i = 0; i < prepared.polygons.Size(); ++i) {
        growth.shape_bytes += prepared.polygons.RecordBytes(i, SHPT_POLYGON);
        ++growth.records;
    }
    CheckOutputGrowth(output, output_base, growth);

    bool ok = true;
    for (std::size_t i = 0; i < prepared.polygons.Size(); ++i) {
        prepared.polygons.Get(i, run.shape);
        run.statistics.RaiseVertexCount(run.shape.VertexCount());
        const int record = DBFGetRecordCount(output.table.get());
        AppendShape(run.shape, output.shapes.get(), SHPT_POLYGON, output_base, record, run.port);
        const LabelPoint& label = prepared.labels[static_cast<std::size_t>(prepared.polygon_labels[i])];
        ok = CopyAttributes(prepared.source.get(), label.record, output.table.get(), record) && ok;
    }
    if (!ok) ReportUnwritable(output_base, run.port);
    FinishOutput(output, output_base);
    // The side files go only once the rebuilt polygons are in their closed files: a run
    // stopped before finds the layer's material whole and can assemble it again.
    output = {};
    return {Suffixed(base, "_pgn.txt"), Suffixed(base, "_arc.txt")};
}

// Prepares the layers from `first` on, on `jobs` threads of its own, the layers with the
// most line work first; Take hands them over in any order. Destruction lets the layers
// being prepared finish and starts no other.
class LayerPreparation {
public:
    LayerPreparation(const SeamlessRequest& request, int first, int jobs)
        : request_(request), prepared_(static_cast<std::size_t>(RunStatistics::kSeamlessLayerCount)) {
        std::vector<std::pair<std::uintmax_t, int>> by_size;
        for (int index = first; index < RunStatistics::kSeamlessLayerCount; ++index) {
            std::error_code ec;
            const std::uintmax_t size = std::filesystem::file_size(
                Suffixed(LayerOutputBase(request.output_folder, kSeamlessLayers[static_cast<std::size_t>(index)]),
                         "_arc.txt"),
                ec);
            by_size.emplace_back(ec ? 0 : size, index);
        }
        std::stable_sort(by_size.begin(), by_size.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& entry : by_size) order_.push_back(entry.second);
        for (int j = 0; j < jobs; ++j) threads_.emplace_back([this] { Work(); });
    }
    ~LayerPreparation() { stopping_ = true; }

    PreparedLayer Take(int index) {
        std::unique_lock lock(mutex_);
        std::optional<PreparedLayer>& slot = prepared_[static_cast<std::size_t>(index)];
        ready_.wait(lock, [&] { return slot.has_value(); });
        PreparedLayer prepared = std::move(*slot);
        slot.reset();
        return prepared;
    }

private:
    void Work() {
        for (std::size_t next = next_++; next < order_.size() && !stopping_; next = next_++) {
            const int index = order_[next];
            PreparedLayer prepared = PrepareLayer(request_, index);
            {
                const std::lock_guard lock(mutex_);
                prepared_[static_cast<std::size_t>(index)] = std::move(prepared);
            }
            ready_.notify_all();
        }
    }

    const SeamlessRequest& request_;
    std::vector<int> order_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::optional<PreparedLayer>> prepared_;
    std::vector<std::jthread> threads_;  // last, so that they are joined before the rest goes
};

// The threads that prepare layers: the request's job count, every core when it is 0,
// never more than the layers to assemble; none besides the calling thread with a store.
int PreparationJobs(const SeamlessRequest& request) {
    const int layers = RunStatistics::kSeamlessLayerCount - request.first_layer;
    if (request.store) return 1;  // the store is used from the calling thread alone
    const int jobs = request.jobs > 0 ? request.jobs : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(jobs, 1, std::max(layers, 1));
}

}  // namespace

std::vector<LabelPoint> ReadLabelFile(const std::filesystem::path& path, MessagePort& port) {
    std::vector<LabelPoint> labels;
    const std::optional<std::string> text = LoadDataFile(path);
    if (!text) return labels;
    const std::string path_text = PathToCp932(path);
    LineReader lines(*text);
    std::string_view line;
    while (lines.Next(line)) {
        try {
            const LabelLine read = ParseLabelLine(line, SourceLine{path_text, lines.LineNumber()});
            labels.push_back(LabelPoint{read.record, read.x, read.y, lines.LineNumber(), 0});
        } catch (const ConversionError& e) {
            port.ShowMessage(e.Message());
        }
    }
    return labels;
}

FirstLabelByFace::FirstLabelByFace(std::span<const LabelPoint> labels) {
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (labels[i].face != 0) first_.emplace_back(labels[i].face, static_cast<int>(i));
    // By face, and within a face by label index, so the first of each face stays.
    std::sort(first_.begin(), first_.end());
    first_.erase(std::unique(first_.begin(), first_.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                 first_.end());
}

int FirstLabelByFace::FirstLabelOf(int32_t face) const {
    const auto at = std::lower_bound(first_.begin(), first_.end(), std::pair<int32_t, int>(face, -1));
    return at != first_.end() && at->first == face ? at->second : -1;
}

std::string MissingPolygonEntry(const LabelPoint& label) {
    char text[128];
    std::snprintf(text, sizeof text, "%d,%9.3f,%9.3f", label.record, label.x, label.y);
    return text;
}

void SeamlessAssembly(const SeamlessRequest& request, ShapeBuffers& shape, RunStatistics& statistics,
                      MessagePort& port) {
    LayerRun run{request, shape, statistics, port};
    const int jobs = PreparationJobs(request);
    // One job prepares each layer on the calling thread just before writing it.
    std::optional<LayerPreparation> preparation;
    if (jobs > 1) preparation.emplace(request, request.first_layer, jobs);
    for (int index = request.first_layer; index < RunStatistics::kSeamlessLayerCount; ++index) {
        PreparedLayer prepared = preparation ? preparation->Take(index) : PrepareLayer(request, index);
        std::vector<std::filesystem::path> consumed = WriteLayer(run, index, prepared);
        if (index + 1 == RunStatistics::kSeamlessLayerCount) consumed.push_back(request.output_folder / "zuyo.txt");
        if (request.keep_consumed)
            request.keep_consumed->insert(request.keep_consumed->end(), consumed.begin(), consumed.end());
        if (request.after_layer) request.after_layer(index + 1, consumed);
        if (!request.keep_consumed)
            for (const std::filesystem::path& path : consumed) RemoveQuietly(path);
    }
}

}  // namespace gridora
