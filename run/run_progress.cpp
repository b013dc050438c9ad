#include "run/run_progress.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "convert/buffered_file_hooks.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "run/staging.h"

namespace gridora {
namespace {

constexpr std::string_view kProgressFormat = "gridora-progress 1";
constexpr std::size_t kShapefileHeader = 100;
constexpr std::size_t kShapeRecordHeader = 8;

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text.empty() ? "-" : text;
}

std::string Unhex(std::string_view text) {
    std::string bytes;
    if (text == "-") return bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(std::strtol(std::string(text.substr(i, 2)).c_str(), nullptr, 16));
    return bytes;
}

// Doubles as hexadecimal floating point, read back exactly.
std::string Exact(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

std::optional<std::string> ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
void PutBigEndian32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}
void PutLittleEndian32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// As path.extension() == extension, without taking the path apart: this runs for every
// staged file at every sheet boundary.
bool HasExtension(const std::filesystem::path& path, std::string_view extension) {
    const std::string& name = path.native();
    return name.size() > extension.size() && name.ends_with(extension) &&
           name[name.size() - extension.size() - 1] != '/';
}

// `path` relative to `folder`, for paths found under it.
std::filesystem::path RelativeTo(const std::filesystem::path& folder, const std::filesystem::path& path) {
    const std::string& name = path.native();
    const std::string& prefix = folder.native();
    if (!prefix.empty() && prefix.back() != '/' && name.size() > prefix.size() + 1 && name.starts_with(prefix) &&
        name[prefix.size()] == '/')
        return name.substr(prefix.size() + 1);
    return path.lexically_relative(folder);
}

// The files SQLite keeps beside a database while it writes it ("RUN.gpkg-journal").
bool IsDatabaseCompanion(const std::filesystem::path& path) {
    const std::string name = path.filename().native();
    for (const char* suffix : {".gpkg-journal", ".gpkg-wal", ".gpkg-shm"})
        if (name.ends_with(suffix)) return true;
    return false;
}

// The database a companion file belongs to.
std::filesystem::path DatabaseOf(const std::filesystem::path& companion) {
    std::string name = companion.native();
    return name.substr(0, name.rfind('-'));
}

// The x, y, z, m bounds of a Shapefile's header (bytes 36-99: xmin, ymin, xmax, ymax,
// zmin, zmax, mmin, mmax), as shapelib keeps them (minimums, then maximums).
std::array<double, 8> HeaderBounds(const unsigned char* header) {
    double values[8];
    std::memcpy(values, header + 36, sizeof values);
    return {values[0], values[1], values[4], values[6], values[2], values[3], values[5], values[7]};
}
void PutHeaderBounds(unsigned char* header, const std::array<double, 8>& b) {
    const double values[8] = {b[0], b[1], b[4], b[5], b[2], b[6], b[3], b[7]};
    std::memcpy(header + 36, values, sizeof values);
}

// Cuts a Shapefile back to `mark`: the shapes to its length, the header's length and
// bounds as recorded, and the index rebuilt from the shapes' own record headers.
std::string RestoreShapefile(const std::filesystem::path& shp, const StagedFileMark& mark) {
    std::filesystem::path shx = shp;
    shx.replace_extension(".shx");
    std::fstream shapes(shp, std::ios::binary | std::ios::in | std::ios::out);
    unsigned char header[kShapefileHeader];
    if (!shapes.read(reinterpret_cast<char*>(header), sizeof header)) return "error:読めない:";
    std::string index;
    std::uint64_t offset = kShapefileHeader;
    // The record headers are read through a window of the file: a seek and a read for
    // each of a layer's hundreds of thousands of shapes took seconds.
    std::vector<char> window;
    std::uint64_t window_start = 0;
    for (std::int64_t r = 0; r < mark.records; ++r) {
        if (offset < window_start || offset + kShapeRecordHeader > window_start + window.size()) {
            window.resize(std::size_t{1} << 20);
            shapes.clear();
            shapes.seekg(static_cast<std::streamoff>(offset));
            shapes.read(window.data(), static_cast<std::streamsize>(window.size()));
            window.resize(static_cast<std::size_t>(shapes.gcount()));
            window_start = offset;
            if (window.size() < kShapeRecordHeader) return "error:図形が足りない:";
        }
        const unsigned char* record = reinterpret_cast<const unsigned char*>(window.data() + (offset - window_start));
        const std::uint32_t words = BigEndian32(record + 4);
        unsigned char entry[8];
        PutBigEndian32(entry, static_cast<std::uint32_t>(offset / 2));
        PutBigEndian32(entry + 4, words);
        index.append(reinterpret_cast<char*>(entry), sizeof entry);
        offset += kShapeRecordHeader + 2ull * words;
    }
    if (offset != mark.length) return "error:図形の長さが合わない:";
    PutBigEndian32(header + 24, static_cast<std::uint32_t>(mark.length / 2));
    PutHeaderBounds(header, mark.bounds);
    shapes.clear();  // a window read may have met the end of the file
    shapes.seekp(0);
    if (!shapes.write(reinterpret_cast<char*>(header), sizeof header).flush()) return "error:書き込めない:";
    shapes.close();
    std::error_code ec;
    std::filesystem::resize_file(shp, mark.length, ec);
    if (ec) return "error:書き込めない:";

    PutBigEndian32(header + 24, static_cast<std::uint32_t>((kShapefileHeader + index.size()) / 2));
    std::ofstream out(shx, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<char*>(header), sizeof header);
    out.write(index.data(), static_cast<std::streamsize>(index.size()));
    return out.flush() ? std::string() : "error:書き込めない:";
}

// Cuts a table back to `mark`: its length and the record count of its header.
std::string RestoreTable(const std::filesystem::path& dbf, const StagedFileMark& mark) {
    std::error_code ec;
    std::filesystem::resize_file(dbf, mark.length, ec);
    if (ec) return "error:書き込めない:";
    std::fstream table(dbf, std::ios::binary | std::ios::in | std::ios::out);
    unsigned char count[4];
    PutLittleEndian32(count, static_cast<std::uint32_t>(mark.records));
    table.seekp(4);
    return table.write(reinterpret_cast<char*>(count), sizeof count) && table.flush() ? std::string()
                                                                                    : "error:書き込めない:";
}

}  // namespace

std::string RunArgumentsText(const SheetList& sheets, const std::string& list_file, bool donut,
                             OutputFormat format) {
    std::string text = "list " + Hex(list_file) + "\ndonut " + (donut ? "1" : "0") + "\n";
    if (format == OutputFormat::kGeoPackage) text += "format gpkg\n";
    for (std::size_t i = 0; i < sheets.size(); ++i)
        text += "row " + Hex(sheets.Text(i)) + " " + Hex(sheets.SourceFile(i).native()) + "\n";
    return text;
}

bool WriteRunArguments(const std::filesystem::path& staging, const std::string& arguments) {
    return ReplaceRecordFile(staging / kRunArgumentsName, arguments, true);
}

std::optional<std::string> ReadRunArguments(const std::filesystem::path& staging) {
    return ReadWhole(staging / kRunArgumentsName);
}

std::optional<std::vector<StagedFileMark>> MarkStagedFiles(const std::filesystem::path& staging,
                                                           OpenOutputFiles& open_files) {
    // The open files first: their data and headers out of the program's buffers.
    std::map<std::string, StagedFileMark> marks;
    bool written = true;
    for (auto& [base, files] : open_files.All()) {
        std::filesystem::path shp = base, dbf = base;
        shp += ".shp";
        dbf += ".dbf";
        if (SHPInfo* shapes = files.shapes.get()) {
            shapes->sHooks.FFlush(shapes->fpSHP);
            written = written && BufferedFileError(shapes->fpSHP) == 0;
            StagedFileMark mark{RelativeTo(staging, shp), shapes->nFileSize, shapes->nRecords, {}};
            for (int i = 0; i < 4; ++i) {
                mark.bounds[static_cast<std::size_t>(i)] = shapes->adBoundsMin[i];
                mark.bounds[static_cast<std::size_t>(4 + i)] = shapes->adBoundsMax[i];
            }
            marks[shp.native()] = mark;
        }
        if (DBFInfo* table = files.table.get()) {
            DBFUpdateHeader(table);
            written = written && BufferedFileError(table->fp) == 0;
            marks[dbf.native()] = StagedFileMark{RelativeTo(staging, dbf), 0, DBFGetRecordCount(table), {}};
        }
    }
    // Data the disk did not take (full, failing) are not counted on.
    if (!written) return std::nullopt;
    std::vector<StagedFileMark> result;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(staging, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
        const std::filesystem::path& path = it->path();
        const std::filesystem::path relative = RelativeTo(staging, path);
        if (IsRunRecord(relative)) continue;
        if (HasExtension(path, ".shx")) continue;  // rebuilt from its shapes
        if (IsDatabaseCompanion(path)) continue;      // a GeoPackage's journal
        if (HasExtension(path, ".gpkg")) {
            result.push_back(StagedFileMark{relative, it->file_size(ec), kDatabaseMark, {}});
            continue;
        }
        StagedFileMark mark{relative, 0, -1, {}};
        if (auto found = marks.find(path.native()); found != marks.end()) mark = found->second;
        const std::uint64_t size = it->file_size(ec);
        if (!HasExtension(path, ".shp") || mark.records < 0) mark.length = size;
        if (mark.records < 0 && HasExtension(path, ".shp")) {
            // A closed Shapefile: its header is whole.
            std::ifstream in(path, std::ios::binary);
            unsigned char header[kShapefileHeader];
            if (in.read(reinterpret_cast<char*>(header), sizeof header)) {
                mark.bounds = HeaderBounds(header);
                std::filesystem::path shx = path;
                shx.replace_extension(".shx");
                const std::uint64_t index_size = std::filesystem::file_size(shx, ec);
                mark.records = ec || index_size < kShapefileHeader ? 0 : std::int64_t((index_size - 100) / 8);
            }
        }
        if (mark.records < 0 && HasExtension(path, ".dbf")) {
            std::ifstream in(path, std::ios::binary);
            unsigned char header[8];
            if (in.read(reinterpret_cast<char*>(header), sizeof header))
                mark.records = header[4] | (header[5] << 8) | (header[6] << 16) | (std::int64_t(header[7]) << 24);
        }
        result.push_back(mark);
    }
    std::sort(result.begin(), result.end(),
              [](const StagedFileMark& a, const StagedFileMark& b) { return a.path < b.path; });
    return result;
}

namespace {

std::string ProgressRecordText(const RunProgress& p) {
    std::string text(kProgressFormat);
    text += "\nphase " + std::string(p.phase == RunProgress::Phase::kRows ? "rows" : "seamless");
    text += "\nnext_row " + std::to_string(p.next_row) + "\nprocessed " + std::to_string(p.rows_processed);
    text += "\nseamless_done " + std::to_string(p.seamless_layers_done);
    text += "\nsystem " + std::to_string(p.coordinate_system.number) + " " +
            std::to_string(p.coordinate_system.datum_flag);
    const CornerTexts& c = p.corners;
    text += "\ncorners";
    for (const std::string* s : {&c.lower_left_x, &c.lower_left_y, &c.upper_right_x, &c.upper_right_y,
                                 &c.upper_left_x, &c.upper_left_y, &c.lower_right_x, &c.lower_right_y})
        text += " " + Hex(*s);
    text += "\nextent " + Exact(p.extent.min_east) + " " + Exact(p.extent.min_north) + " " +
            Exact(p.extent.max_east) + " " + Exact(p.extent.max_north);
    const RunStatistics& s = p.statistics;
    text += "\nstatistics " + std::to_string(s.largest_vertex_count);
    for (int32_t v : s.largest_value_count) text += " " + std::to_string(v);
    for (const auto& layer : s.longest_value)
        for (int32_t v : layer) text += " " + std::to_string(v);
    for (int32_t v : s.polygon_link_errors) text += " " + std::to_string(v);
    text += "\nmade";
    for (const LayerFiles& f : p.files_made)
        text += " " + std::to_string(int(f.point_made) + 2 * int(f.line_made) + 4 * int(f.polygon_made));
    const WorkArrayCapacities& w = p.capacities;
    text += "\ncapacities " + std::to_string(w.arc_records) + " " + std::to_string(w.arc_points) + " " +
            std::to_string(w.pgn_records) + " " + std::to_string(w.pgn_arc_refs) + " " +
            std::to_string(w.pnt_records);
    text += "\nrows " + (p.row_states.empty() ? std::string("-") : p.row_states);
    for (const StagedFileMark& f : p.files) {
        text += "\nfile " + Hex(f.path.native()) + " " + std::to_string(f.length) + " " + std::to_string(f.records);
        for (double b : f.bounds) text += " " + Exact(b);
    }
    for (const auto& [table, count] : p.tables) text += "\ntable " + Hex(table) + " " + std::to_string(count);
    for (const std::filesystem::path& path : p.consumed) text += "\nconsumed " + Hex(path.native());
    text += "\nend\n";
    return text;
}

}  // namespace

bool SyncedFiles::Sync(const std::filesystem::path& staging, const std::vector<StagedFileMark>& files) {
    std::vector<const StagedFileMark*> changed;
    std::vector<std::filesystem::path> paths;
    for (const StagedFileMark& f : files) {
        auto found = synced_.find(f.path);
        if (found != synced_.end() && found->second == std::pair(f.length, f.records) && f.records != kDatabaseMark)
            continue;
        changed.push_back(&f);
        paths.push_back(staging / f.path);
    }
    if (SyncAllToDisk(paths)) return false;
    for (const StagedFileMark* f : changed) synced_[f->path] = {f->length, f->records};
    return true;
}

bool SaveRunProgress(const std::filesystem::path& staging, const RunProgress& p, bool durable, SyncedFiles& synced) {
    const std::string text = ProgressRecordText(p);
    if (durable && (!synced.Sync(staging, p.files) ||
                    !ReplaceRecordFile(staging / kSyncedProgressRecordName, text, true)))
        return false;
    return ReplaceRecordFile(staging / kProgressRecordName, text, false);
}

bool SaveRunProgress(const std::filesystem::path& staging, const RunProgress& p, bool durable) {
    SyncedFiles synced;
    return SaveRunProgress(staging, p, durable, synced);
}

namespace {

// Empty when every file the record counts on still holds its recorded length, else what is
// missing (CP932).
std::string StagedFilesHold(const std::filesystem::path& staging, const RunProgress& progress) {
    for (const StagedFileMark& f : progress.files) {
        std::error_code ec;
        const std::uint64_t size = std::filesystem::file_size(staging / f.path, ec);
        if (f.records == kDatabaseMark && !ec) continue;  // checked by its tables when restored
        if (ec || size < f.length) return ToCp932("error:中断した変換の出力が足りない:") + PathToCp932(f.path);
    }
    return {};
}

std::optional<RunProgress> ParseRunProgress(const std::string& text) {
    if (!text.starts_with(kProgressFormat) || !text.ends_with("\nend\n")) return std::nullopt;
    RunProgress p;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string key;
        in >> key;
        if (key == "phase") {
            std::string phase;
            in >> phase;
            p.phase = phase == "rows" ? RunProgress::Phase::kRows : RunProgress::Phase::kSeamless;
        } else if (key == "next_row") {
            in >> p.next_row;
        } else if (key == "processed") {
            in >> p.rows_processed;
        } else if (key == "seamless_done") {
            in >> p.seamless_layers_done;
        } else if (key == "system") {
            in >> p.coordinate_system.number >> p.coordinate_system.datum_flag;
        } else if (key == "corners") {
            CornerTexts& c = p.corners;
            for (std::string* s : {&c.lower_left_x, &c.lower_left_y, &c.upper_right_x, &c.upper_right_y,
                                   &c.upper_left_x, &c.upper_left_y, &c.lower_right_x, &c.lower_right_y}) {
                std::string hex;
                in >> hex;
                *s = Unhex(hex);
            }
        } else if (key == "extent") {
            std::string v[4];
            in >> v[0] >> v[1] >> v[2] >> v[3];
            p.extent = RunExtent{std::strtod(v[0].c_str(), nullptr), std::strtod(v[1].c_str(), nullptr),
                                 std::strtod(v[2].c_str(), nullptr), std::strtod(v[3].c_str(), nullptr)};
        } else if (key == "statistics") {
            RunStatistics& s = p.statistics;
            in >> s.largest_vertex_count;
            for (int32_t& v : s.largest_value_count) in >> v;
            for (auto& layer : s.longest_value)
                for (int32_t& v : layer) in >> v;
            for (int32_t& v : s.polygon_link_errors) in >> v;
        } else if (key == "made") {
            for (LayerFiles& f : p.files_made) {
                int bits = 0;
                in >> bits;
                f = LayerFiles{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
            }
        } else if (key == "capacities") {
            WorkArrayCapacities& w = p.capacities;
            in >> w.arc_records >> w.arc_points >> w.pgn_records >> w.pgn_arc_refs >> w.pnt_records;
        } else if (key == "rows") {
            in >> p.row_states;
            if (p.row_states == "-") p.row_states.clear();
        } else if (key == "file") {
            std::string hex;
            StagedFileMark f;
            in >> hex >> f.length >> f.records;
            f.path = Unhex(hex);
            for (double& b : f.bounds) {
                std::string v;
                in >> v;
                b = std::strtod(v.c_str(), nullptr);
            }
            p.files.push_back(f);
        } else if (key == "table") {
            std::string hex;
            std::int64_t count = 0;
            in >> hex >> count;
            p.tables[Unhex(hex)] = count;
        } else if (key == "consumed") {
            std::string hex;
            in >> hex;
            p.consumed.emplace_back(Unhex(hex));
        }
        if (in.fail()) return std::nullopt;
    }
    return p;
}

std::optional<RunProgress> LoadRecord(const std::filesystem::path& path) {
    const std::optional<std::string> text = ReadWhole(path);
    if (!text) return std::nullopt;
    return ParseRunProgress(*text);
}

}  // namespace

std::optional<RunProgress> LoadRunProgress(const std::filesystem::path& staging) {
    std::optional<RunProgress> latest = LoadRecord(staging / kProgressRecordName);
    if (latest && StagedFilesHold(staging, *latest).empty()) return latest;
    std::optional<RunProgress> synced = LoadRecord(staging / kSyncedProgressRecordName);
    if (synced && StagedFilesHold(staging, *synced).empty()) return synced;
    return latest ? latest : synced;
}

std::string RestoreStagedFiles(const std::filesystem::path& staging, const RunProgress& progress) {
    std::map<std::filesystem::path, const StagedFileMark*> known;
    for (const StagedFileMark& f : progress.files) known[f.path] = &f;
    // Every recorded file must still hold what the record counts on.
    if (std::string why = StagedFilesHold(staging, progress); !why.empty()) return why;
    std::vector<std::filesystem::path> unknown;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(staging, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::filesystem::path relative = it->path().lexically_relative(staging);
        const bool record = IsRunRecord(relative);
        std::filesystem::path shapes = relative;
        if (HasExtension(relative, ".shx")) shapes.replace_extension(".shp");
        if (IsDatabaseCompanion(relative)) shapes = DatabaseOf(relative);
        if (!record && !known.contains(shapes)) unknown.push_back(it->path());
    }
    for (const std::filesystem::path& path : unknown) std::filesystem::remove(path, ec);
    for (const StagedFileMark& f : progress.files) {
        const std::filesystem::path path = staging / f.path;
        std::string why;
        if (f.records == kDatabaseMark) {
            try {
                GeoPackageOutput database(path);
                const std::string cut = database.CutBackTo(progress.tables);
                if (!cut.empty()) return cut;
            } catch (const OutputStopped& stopped) {
                return stopped.what();
            }
            continue;
        }
        if (HasExtension(path, ".shp")) why = RestoreShapefile(path, f);
        else if (HasExtension(path, ".dbf")) why = RestoreTable(path, f);
        else std::filesystem::resize_file(path, f.length, ec);
        if (!why.empty()) return ToCp932(why) + PathToCp932(f.path);
    }
    return {};
}

}  // namespace gridora

namespace gridora {
namespace {

WorkArrayCapacities Highest(const WorkArrayCapacities& a, const WorkArrayCapacities& b) {
    return {std::max(a.arc_records, b.arc_records), std::max(a.arc_points, b.arc_points),
            std::max(a.pgn_records, b.pgn_records), std::max(a.pgn_arc_refs, b.pgn_arc_refs),
            std::max(a.pnt_records, b.pnt_records)};
}

}  // namespace

ProgressRecorder::ProgressRecorder(std::filesystem::path staging) : staging_(std::move(staging)) {
    try {
        writer_ = std::thread([this] { WriteRecords(); });
    } catch (const std::system_error&) {
        // No thread to be had: Take writes each record itself.
    }
}

ProgressRecorder::~ProgressRecorder() { Close(); }

void ProgressRecorder::AfterRow(std::size_t row, char row_state, std::size_t rows_processed,
                                SheetConversionState& state) {
    progress_.phase = RunProgress::Phase::kRows;
    progress_.row_states.resize(row, 'n');
    progress_.row_states.push_back(row_state);
    progress_.next_row = row + 1;
    progress_.rows_processed = rows_processed;
    progress_.capacities = Highest(progress_.capacities, CapacitiesOf(state.work_arrays));
    Take(state, false);
}

void ProgressRecorder::InSeamlessStep(int layers_done, const std::vector<std::filesystem::path>& consumed,
                                      SheetConversionState& state) {
    progress_.phase = RunProgress::Phase::kSeamless;
    progress_.seamless_layers_done = layers_done;
    progress_.consumed.clear();
    for (const std::filesystem::path& path : consumed) progress_.consumed.push_back(RelativeTo(staging_, path));
    Take(state, true);
}

bool ProgressRecorder::SeamlessStepDone(const std::vector<std::filesystem::path>& consumed,
                                        SheetConversionState& state) {
    progress_.consumed.clear();
    if (!Take(state, true, consumed)) return false;
    WaitUntilWritten();
    std::lock_guard lock(mutex_);
    return saved_;
}

WorkArrayCapacities ProgressRecorder::Capacities(const WorkArrayCapacities& now) const {
    return Highest(progress_.capacities, now);
}

bool ProgressRecorder::Take(SheetConversionState& state, bool durable,
                            const std::vector<std::filesystem::path>& consumed) {
    progress_.coordinate_system = state.coordinate_system;
    progress_.corners = state.corners;
    progress_.extent = state.extent;
    progress_.statistics = state.statistics;
    progress_.files_made = state.files_made;
    std::optional<std::vector<StagedFileMark>> files = MarkStagedFiles(staging_, state.output_files);
    // The last record stays when the files could not be flushed: a resume goes back to it.
    if (!files) return false;
    progress_.files = std::move(*files);
    progress_.tables.clear();
    if (state.geopackage) progress_.tables = state.geopackage->FeatureCounts();
    std::erase_if(progress_.files, [&](const StagedFileMark& f) {
        return std::find(consumed.begin(), consumed.end(), staging_ / f.path) != consumed.end();
    });
    if (!writer_.joinable()) return saved_ = SaveRunProgress(staging_, progress_, true, synced_);
    {
        std::lock_guard lock(mutex_);
        waiting_ = progress_;
        waiting_durable_ = waiting_durable_ || durable;
    }
    changed_.notify_all();
    return true;
}

void ProgressRecorder::WriteRecords() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point next_synced = Clock::now() + kSyncedRecordInterval;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || waiting_.has_value(); });
        if (!waiting_ && !unsynced_) return;  // closing, with everything written and synced
        // Closing with the last record unsynced: that one again, synced.
        RunProgress progress = waiting_ ? std::move(*waiting_) : std::move(*unsynced_);
        const bool durable = waiting_durable_ || closing_ || Clock::now() >= next_synced;
        waiting_.reset();
        waiting_durable_ = false;
        writing_ = true;
        lock.unlock();
        const bool saved = SaveRunProgress(staging_, progress, durable, synced_);
        if (durable) next_synced = Clock::now() + kSyncedRecordInterval;
        lock.lock();
        saved_ = saved;
        if (durable || !saved) unsynced_.reset();
        else unsynced_ = std::move(progress);
        writing_ = false;
        changed_.notify_all();
    }
}

void ProgressRecorder::WaitUntilWritten() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_ && !writing_; });
}

void ProgressRecorder::Close() {
    if (!writer_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    writer_.join();
}

}  // namespace gridora
