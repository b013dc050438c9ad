// Expects: groups staged by the layer writers of one sheet, in writing order.
// Leaves: the groups' Shapefiles, tables, .prj and side files created or appended to, one
// shape and one index entry per record, none past the size limit, and their file-made
// flags set; or OutputStopped.
#include "convert/attribute_table.h"
#include "convert/sheet_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "convert/buffered_file_hooks.h"
#include "convert/layer_writers.h"
#include "convert/projection_files.h"
#include "convert/shape_buffers.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"

namespace gridora {

namespace {

constexpr uint64_t kReadableFileSize = 2147483647;  // 2^31 - 1
// What shapelib puts before the shapes of a .shp and the entries of a .shx, and what one
// index entry takes.
constexpr uint64_t kShapefileHeader = 100, kIndexEntry = 8;
// The end-of-file mark shapelib writes after a table's last record.
constexpr uint64_t kTableEndMark = 1;

// "error:書き込めない:" + path, and the reason when the system gave one (`error`, an errno
// value, or 0).
[[noreturn]] void ThrowUnwritable(const std::filesystem::path& path, int error) {
    std::string message = ToCp932("error:書き込めない:") + PathToCp932(path);
    if (error != 0)
        message += ":" + (error == ENOSPC ? ToCp932("ディスクの空きが足りない") : ToCp932(std::strerror(error)));
    throw OutputStopped(message);
}

}  // namespace

bool& FileMadeFlag(LayerFilesMade& made, int layer, FileFlag flag) {
    LayerFiles& files = made.at(static_cast<std::size_t>(layer));
    switch (flag) {
    case FileFlag::Point: return files.point_made;
    case FileFlag::Line: return files.line_made;
    case FileFlag::Polygon: break;
    }
    return files.polygon_made;
}

StagedShapefile::StagedShapefile(std::filesystem::path base, int shape_type, std::string schema)
    : base_(std::move(base)),
      shape_type_(shape_type),
      schema_(std::move(schema)),
      field_count_(static_cast<int>(LayerFields(schema_).size())) {}

int StagedShapefile::AddRecord() {
    formatted_.clear();
    records_.push_back(Record{values_.size(), x_.size(), part_starts_.size()});
    return RecordCount() - 1;
}

void StagedShapefile::SetInteger(int field, int32_t value) {
    if (records_.empty() || field < 0 || field >= field_count_) return;
    formatted_.clear();
    values_.push_back(Value{field, true, value, {}});
}

void StagedShapefile::SetText(int field, std::string_view cp932) {
    if (records_.empty() || field < 0 || field >= field_count_) return;
    formatted_.clear();
    values_.push_back(Value{field, false, 0, std::string(cp932)});
}

void StagedShapefile::AddVertex(double x, double y) {
    if (records_.empty()) return;
    x_.push_back(x);
    y_.push_back(y);
}

void StagedShapefile::StartPart() {
    if (records_.empty()) return;
    part_starts_.push_back(x_.size());
}

void StagedShapefile::CopyRecord(const StagedShapefile& source, int record) {
    if (records_.empty()) return;
    formatted_.clear();
    const Record& from = source.records_.at(static_cast<std::size_t>(record));
    for (std::size_t v = from.first_value; v < source.ValueEnd(record); ++v) {
        const Value& value = source.values_[v];
        if (value.field < field_count_) values_.push_back(value);
    }
    const std::size_t first_vertex = x_.size();
    for (std::size_t p = from.first_part; p < source.PartEnd(record); ++p)
        part_starts_.push_back(first_vertex + (source.part_starts_[p] - from.first_vertex));
    for (std::size_t p = from.first_vertex; p < source.VertexEnd(record); ++p) AddVertex(source.x_[p], source.y_[p]);
}

std::size_t StagedShapefile::ValueEnd(int record) const {
    const auto next = static_cast<std::size_t>(record) + 1;
    return next < records_.size() ? records_[next].first_value : values_.size();
}

std::size_t StagedShapefile::VertexEnd(int record) const {
    const auto next = static_cast<std::size_t>(record) + 1;
    return next < records_.size() ? records_[next].first_vertex : x_.size();
}

std::size_t StagedShapefile::PartEnd(int record) const {
    const auto next = static_cast<std::size_t>(record) + 1;
    return next < records_.size() ? records_[next].first_part : part_starts_.size();
}

int StagedShapefile::PartCount(int record) const {
    const Record& r = records_.at(static_cast<std::size_t>(record));
    if (VertexEnd(record) == r.first_vertex) return 0;
    return 1 + static_cast<int>(PartEnd(record) - r.first_part);
}

int StagedShapefile::VertexCount(int record) const {
    return static_cast<int>(VertexEnd(record) - records_.at(static_cast<std::size_t>(record)).first_vertex);
}

namespace {

// The byte shapelib fills a field with when its value is null.
char NullFiller(FieldType type) { return type == FieldType::Integer ? '*' : ' '; }

// Where each field of the schema starts in a record (after the deletion flag), and the
// record's length; nothing for a schema no table holds as it stands.
std::optional<std::pair<std::vector<std::size_t>, std::size_t>> RecordLayout(const std::vector<FieldSpec>& fields) {
    std::vector<std::size_t> offsets;
    std::size_t length = 1;
    for (const FieldSpec& field : fields) {
        if (field.width <= 0 || field.width > 255) return std::nullopt;
        offsets.push_back(length);
        length += static_cast<std::size_t>(field.width);
    }
    return std::make_pair(std::move(offsets), length);
}

// Whether `table` lays its records out as the schema's fields do.
bool TableLaidOutAs(DBFHandle table, const std::vector<FieldSpec>& fields, std::size_t length) {
    if (DBFGetFieldCount(table) != static_cast<int>(fields.size()) || table->nRecordLength != static_cast<int>(length))
        return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        int width = 0, decimals = 0;
        DBFGetFieldInfo(table, static_cast<int>(i), nullptr, &width, &decimals);
        const char type = DBFGetNativeFieldType(table, static_cast<int>(i));
        if (width != fields[i].width || decimals != 0 || type != (fields[i].type == FieldType::Integer ? 'N' : 'C'))
            return false;
    }
    return true;
}

}  // namespace

void StagedShapefile::FormatRecords() {
    formatted_.clear();
    formatted_fit_ = true;
    const std::vector<FieldSpec> fields = LayerFields(schema_);
    const auto layout = RecordLayout(fields);
    if (!layout || records_.empty()) return;
    const auto& [offsets, length] = *layout;
    std::string formatted(records_.size() * length, ' ');
    for (int r = 0; r < RecordCount(); ++r) {
        char* record = formatted.data() + static_cast<std::size_t>(r) * length;
        const std::size_t begin = records_[static_cast<std::size_t>(r)].first_value, end = ValueEnd(r);
        // As AppendTo brings a record without values into being: a null first field.
        if (begin == end && !fields.empty())
            std::fill_n(record + offsets[0], fields[0].width, NullFiller(fields[0].type));
        for (std::size_t v = begin; v < end; ++v) {
            const Value& value = values_[v];
            const FieldSpec& field = fields[static_cast<std::size_t>(value.field)];
            if (value.is_integer != (field.type == FieldType::Integer)) return;  // written value by value
            const auto width = static_cast<std::size_t>(field.width);
            std::string text;
            if (value.is_integer) {
                text = IntegerFieldText(value.integer, field.width);
                formatted_fit_ = formatted_fit_ && std::to_string(value.integer).size() <= width;
            } else {
                text = TruncateCp932(value.text, width);
            }
            // shapelib copies a value up to its first NUL and blanks the rest of the field.
            text.resize(std::min(text.find('\0'), text.size()));
            char* at = record + offsets[static_cast<std::size_t>(value.field)];
            std::fill_n(at, width, ' ');
            std::copy(text.begin(), text.end(), at);
        }
    }
    formatted_ = std::move(formatted);
    formatted_length_ = length;
}

void SheetOutput::FormatRecords() {
    for (StagedFileGroup& group : groups)
        for (StagedShapefile& shapefile : group.shapefiles) shapefile.FormatRecords();
}

OutputGrowth StagedShapefile::Growth() const {
    OutputGrowth growth;
    for (int r = 0; r < RecordCount(); ++r) growth.shape_bytes += ShapeRecordBytes(shape_type_, PartCount(r), VertexCount(r));
    growth.records = records_.size();
    return growth;
}

void StagedShapefile::FillShape(int record, ShapeBuffers& buffers) const {
    buffers.Clear();
    const Record& staged = records_.at(static_cast<std::size_t>(record));
    std::size_t next_part = staged.first_part;
    const std::size_t part_end = PartEnd(record);
    // A shape of one ring needs no part arrays; one of several names every ring.
    if (next_part != part_end) buffers.StartPart(SHPP_RING);
    for (std::size_t p = staged.first_vertex; p < VertexEnd(record); ++p) {
        if (next_part != part_end && part_starts_[next_part] == p) {
            buffers.StartPart(SHPP_RING);
            ++next_part;
        }
        buffers.AddVertex(x_[p], y_[p]);
    }
}

std::span<const StagedShapefile::Value> StagedShapefile::Values(int record) const {
    const std::size_t begin = records_.at(static_cast<std::size_t>(record)).first_value;
    return std::span<const Value>(values_).subspan(begin, ValueEnd(record) - begin);
}

bool StagedShapefile::AppendTo(SHPHandle shapes, DBFHandle table, ShapeBuffers& buffers, MessagePort& port) const {
    bool ok = true;
    const int first = DBFGetRecordCount(table);
    const bool whole_records = !formatted_.empty() && TableLaidOutAs(table, LayerFields(schema_), formatted_length_);
    if (whole_records) ok = formatted_fit_;
    for (int r = 0; r < RecordCount(); ++r) {
        const Record& staged = records_[static_cast<std::size_t>(r)];
        FillShape(r, buffers);
        const int record = first + r;
        AppendShape(buffers, shapes, shape_type_, base_, record, port);

        const std::size_t begin = staged.first_value;
        const std::size_t end = ValueEnd(r);
        if (whole_records) {
            // shapelib takes the tuple as void* but only copies it.
            char* tuple = const_cast<char*>(formatted_.data()) + static_cast<std::size_t>(r) * formatted_length_;
            ok = DBFWriteTuple(table, record, tuple) && ok;
        } else {
            // A record comes into being with its first written field.
            if (begin == end) ok = DBFWriteNULLAttribute(table, record, 0) && ok;
            for (std::size_t v = begin; v < end; ++v) {
                const Value& value = values_[v];
                if (value.field >= DBFGetFieldCount(table)) continue;
                ok = (value.is_integer ? WriteAttributeInteger(table, record, value.field, value.integer)
                                       : WriteAttributeText(table, record, value.field, value.text)) &&
                     ok;
            }
        }
        // shapelib adds no record when it cannot write back the one before: the shape
        // just written would stand without one.
        if (DBFGetRecordCount(table) != record + 1) {
            ThrowUnwritable(Suffixed(base_, ".dbf"), BufferedFileError(table->fp));
        }
    }
    return ok;
}

void ReportUnwritable(const std::filesystem::path& path, MessagePort& port) {
    port.ShowMessage(ToCp932("error:書き込めない:") + PathToCp932(path));
}


uint64_t FileSizeLimit() {
    if (const char* text = std::getenv("GRIDORA_FILE_SIZE_LIMIT")) {
        uint64_t limit = 0;
        const char* end = text + std::strlen(text);
        const auto [stop, error] = std::from_chars(text, end, limit);
        if (error == std::errc() && stop == end && limit >= 1 && limit <= kReadableFileSize) return limit;
    }
    return kReadableFileSize;
}

void CheckOutputGrowth(const OpenOutputFiles::Files& files, const std::filesystem::path& base,
                       const OutputGrowth& growth) {
    if (growth.records == 0) return;
    const SHPInfo& shapes = *files.shapes;
    const DBFInfo& table = *files.table;
    const auto shapes_then = static_cast<uint64_t>(shapes.nRecords) + growth.records;
    const auto records_then = static_cast<uint64_t>(table.nRecords) + growth.records;
    const struct {
        const char* suffix;
        uint64_t size;
    } sizes[] = {
        {".shp", shapes.nFileSize + growth.shape_bytes},
        {".shx", kShapefileHeader + kIndexEntry * shapes_then},
        {".dbf", static_cast<uint64_t>(table.nHeaderLength) +
                     static_cast<uint64_t>(table.nRecordLength) * records_then + kTableEndMark},
    };
    const uint64_t limit = FileSizeLimit();
    for (const auto& file : sizes) {
        if (file.size <= limit) continue;
        throw OutputStopped(ToCp932("error:ファイルが大きさの上限を超える:") + PathToCp932(base.filename()) + ":" +
                            PathToCp932(Suffixed(base, file.suffix)) + ":" + std::to_string(limit) +
                            ToCp932("バイト\r\n一度に変換する図葉を減らし、残りは別の出力フォルダに変換してください"));
    }
}

void AppendShape(ShapeBuffers& buffers, SHPHandle shapes, int shape_type, const std::filesystem::path& base,
                 int record, MessagePort& port) {
    if (buffers.AppendTo(shapes, shape_type)) return;
    const std::filesystem::path path = Suffixed(base, ".shp");
    port.ShowMessage(ToCp932("error:図形を書き込めない:") + PathToCp932(path) + ":" + std::to_string(record));
    buffers.Clear();
    if (buffers.AppendTo(shapes, shape_type)) return;
    ThrowUnwritable(path, BufferedFileError(shapes->fpSHP));
}

void CheckWritten(OpenOutputFiles::Files& files, const std::filesystem::path& base) {
    if (files.failure_reported) return;
    const struct {
        SAFile file;
        const char* suffix;
    } written[] = {{files.shapes ? files.shapes->fpSHP : nullptr, ".shp"},
                   {files.shapes ? files.shapes->fpSHX : nullptr, ".shx"},
                   {files.table ? files.table->fp : nullptr, ".dbf"}};
    for (const auto& file : written) {
        if (const int error = BufferedFileError(file.file); error != 0) {
            files.failure_reported = true;
            ThrowUnwritable(Suffixed(base, file.suffix), error);
        }
    }
}

void FinishOutput(OpenOutputFiles::Files& files, const std::filesystem::path& base) {
    // shapelib completes the files on close but cannot say whether that worked; completed
    // here, they are asked first. A completed .shp is not written again on close.
    if (files.shapes && files.shapes->bUpdated) {
        SHPWriteHeader(files.shapes.get());
        files.shapes->bUpdated = 0;
    }
    if (files.table && files.table->bUpdated) DBFUpdateHeader(files.table.get());
    try {
        CheckWritten(files, base);
    } catch (const OutputStopped&) {
        files.shapes.reset();
        files.table.reset();
        throw;
    }
    files.shapes.reset();
    files.table.reset();
}

OpenOutputFiles::Files OpenOrCreateOutput(const std::filesystem::path& base, int shape_type, std::string_view schema,
                                          bool open_existing, std::string_view projection_wkt) {
    OpenOutputFiles::Files file;
    SAHooks hooks = BufferedFileHooks();
    if (open_existing) {
        file.shapes.reset(SHPOpenLL(base.c_str(), "r+b", &hooks));
        file.table.reset(DBFOpenLL(Suffixed(base, ".dbf").c_str(), "r+b", &hooks));
    }
    if (!file.shapes) {
        file.shapes.reset(SHPCreateLL(base.c_str(), shape_type, &hooks));
        if (file.shapes) WriteProjectionFile(base, projection_wkt);
    }
    if (!file.table) {
        file.table.reset(CreateAttributeTable(base, &hooks));
        if (file.table) DefineLayerFields(schema, file.table.get());
    }
    return file;
}

StagedFileGroup& SheetOutput::AddGroup(int layer, FileFlag flag) {
    StagedFileGroup& group = groups.emplace_back();
    group.layer = layer;
    group.flag = flag;
    return group;
}

namespace {

// Writes `text` to the end of `path`, or in place of its contents when `truncate` is set.
// An error opening the file is reported and leaves it; an error writing it stops the output.
void WriteText(const std::filesystem::path& path, std::string_view text, bool truncate, MessagePort& port) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND), 0666);
    if (fd < 0) {
        ReportUnwritable(path, port);
        return;
    }
    std::size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error != 0) ThrowUnwritable(path, error);
}

}  // namespace

void WriteSideFile(const StagedSideFile& side, bool made, int first_record, MessagePort& port) {
    std::string text;
    for (const StagedSideFile::Line& line : side.lines) {
        if (line.record >= 0) {
            if (first_record < 0) continue;  // its table could not be written
            text += std::to_string(first_record + line.record);
        }
        text += line.text;
        text += "\r\n";
    }
    WriteText(side.path, text, !made, port);
}

namespace {

// The open files of each Shapefile of a group, in its order; nullptr for one that can be
// neither opened nor created (reported).
using GroupFiles = std::vector<OpenOutputFiles::Files*>;

GroupFiles OpenGroup(const StagedFileGroup& group, bool made, std::string_view projection_wkt,
                     OpenOutputFiles& open_files, MessagePort& port) {
    GroupFiles files;
    for (const StagedShapefile& staged : group.shapefiles) {
        OpenOutputFiles::Files* file = open_files.Find(staged.Base());
        if (file && !made) {
            // Closed before it is created anew, or closing would write over the new file.
            open_files.Close(staged.Base());
            file = nullptr;
        }
        if (!file) {
            OpenOutputFiles::Files opened =
                OpenOrCreateOutput(staged.Base(), staged.ShapeType(), staged.Schema(), made, projection_wkt);
            if (opened.shapes && opened.table) {
                file = &open_files.Keep(staged.Base(), std::move(opened));
            } else {
                ReportUnwritable(staged.Base(), port);
            }
        }
        files.push_back(file);
    }
    return files;
}

// Throws OutputStopped when the sheet would take one of its files past the size limit;
// a file several groups append to counts with all they add.
void CheckSheetGrowth(const SheetOutput& output, const std::vector<GroupFiles>& files) {
    std::vector<std::pair<OpenOutputFiles::Files*, const StagedShapefile*>> order;
    std::map<OpenOutputFiles::Files*, OutputGrowth> growth;
    for (std::size_t g = 0; g < output.groups.size(); ++g) {
        for (std::size_t i = 0; i < files[g].size(); ++i) {
            OpenOutputFiles::Files* file = files[g][i];
            if (!file) continue;
            const StagedShapefile& staged = output.groups[g].shapefiles[i];
            if (!growth.contains(file)) order.emplace_back(file, &staged);
            const OutputGrowth added = staged.Growth();
            growth[file].shape_bytes += added.shape_bytes;
            growth[file].records += added.records;
        }
    }
    for (const auto& [file, staged] : order) CheckOutputGrowth(*file, staged->Base(), growth[file]);
}

void WriteGroup(const StagedFileGroup& group, const GroupFiles& files, bool made, ShapeBuffers& buffers,
                MessagePort& port) {
    int first_record = -1;  // of the first Shapefile, for the side file's record numbers
    for (std::size_t i = 0; i < group.shapefiles.size(); ++i) {
        OpenOutputFiles::Files* file = files[i];
        if (!file) continue;
        const StagedShapefile& staged = group.shapefiles[i];
        if (i == 0) first_record = DBFGetRecordCount(file->table.get());
        try {
            if (!staged.AppendTo(file->shapes.get(), file->table.get(), buffers, port))
                ReportUnwritable(staged.Base(), port);
        } catch (const OutputStopped&) {
            file->failure_reported = true;
            throw;
        }
    }
    if (group.has_side_file) WriteSideFile(group.side_file, made, first_record, port);
}

}  // namespace

OpenOutputFiles::Files* OpenOutputFiles::Find(const std::filesystem::path& base) {
    auto found = files_.find(base);
    return found == files_.end() ? nullptr : &found->second;
}

OpenOutputFiles::Files& OpenOutputFiles::Keep(const std::filesystem::path& base, Files files) {
    files_.erase(base);
    return files_.emplace(base, std::move(files)).first->second;
}

void OpenOutputFiles::Close(const std::filesystem::path& base) { files_.erase(base); }

void OpenOutputFiles::Finish() {
    std::optional<OutputStopped> first;
    for (auto& [base, files] : files_) {
        try {
            FinishOutput(files, base);
        } catch (const OutputStopped& stopped) {
            if (!first) first = stopped;
        }
    }
    files_.clear();
    if (first) throw *first;
}

void WriteSheetOutput(const SheetOutput& output, LayerFilesMade& files_made, ShapeBuffers& buffers,
                      std::string_view projection_wkt, OpenOutputFiles& open_files, MessagePort& port) {
    // Every file is opened and the sheet measured against the size limit before anything
    // of it is written. The groups see the file-made flags as they will be when each is
    // written: a group creates what an earlier group of the sheet has not.
    std::vector<GroupFiles> files;
    LayerFilesMade made_then = files_made;
    for (const StagedFileGroup& group : output.groups) {
        bool& made = FileMadeFlag(made_then, group.layer, group.flag);
        files.push_back(OpenGroup(group, made, projection_wkt, open_files, port));
        made = true;
    }
    CheckSheetGrowth(output, files);

    for (std::size_t g = 0; g < output.groups.size(); ++g) {
        const StagedFileGroup& group = output.groups[g];
        bool& made = FileMadeFlag(files_made, group.layer, group.flag);
        WriteGroup(group, files[g], made, buffers, port);
        made = true;
    }
    for (std::size_t g = 0; g < output.groups.size(); ++g)
        for (std::size_t i = 0; i < files[g].size(); ++i)
            if (files[g][i]) CheckWritten(*files[g][i], output.groups[g].shapefiles[i].Base());
}

}  // namespace gridora
