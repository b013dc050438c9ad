// Expects: groups staged by the layer writers of one sheet, in writing order.
// Leaves: the groups' Shapefiles, tables, .prj and side files created or appended to, one
// shape per record, and their file-made flags set.
#include "convert/attribute_table.h"
#include "convert/sheet_output.h"

#include <fstream>
#include <memory>
#include <utility>

#include "convert/buffered_file_hooks.h"
#include "convert/projection_files.h"
#include "convert/shape_buffers.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"

namespace gridora {

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
    records_.push_back(Record{values_.size(), x_.size(), part_starts_.size()});
    return RecordCount() - 1;
}

void StagedShapefile::SetInteger(int field, int32_t value) {
    if (records_.empty() || field < 0 || field >= field_count_) return;
    values_.push_back(Value{field, true, value, {}});
}

void StagedShapefile::SetText(int field, std::string_view cp932) {
    if (records_.empty() || field < 0 || field >= field_count_) return;
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

bool StagedShapefile::AppendTo(SHPHandle shapes, DBFHandle table, ShapeBuffers& buffers) const {
    bool ok = true;
    const int first = DBFGetRecordCount(table);
    for (int r = 0; r < RecordCount(); ++r) {
        buffers.Clear();
        const Record& staged = records_[static_cast<std::size_t>(r)];
        std::size_t next_part = staged.first_part;
        const std::size_t part_end = PartEnd(r);
        // A shape of one ring needs no part arrays; one of several names every ring.
        if (next_part != part_end) buffers.StartPart(SHPP_RING);
        for (std::size_t p = staged.first_vertex; p < VertexEnd(r); ++p) {
            if (next_part != part_end && part_starts_[next_part] == p) {
                buffers.StartPart(SHPP_RING);
                ++next_part;
            }
            buffers.AddVertex(x_[p], y_[p]);
        }
        ok = buffers.AppendTo(shapes, shape_type_) && ok;

        const int record = first + r;
        const std::size_t begin = staged.first_value;
        const std::size_t end = ValueEnd(r);
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
    return ok;
}

OpenOutputFiles::Files OpenOrCreateOutput(const std::filesystem::path& base, int shape_type, std::string_view schema,
                                          bool open_existing, std::string_view projection_wkt) {
    OpenOutputFiles::Files file;
    SAHooks hooks = BufferedFileHooks();
    if (open_existing) {
        file.shapes.reset(SHPOpenLL(base.c_str(), "r+b", &hooks));
        std::filesystem::path table = base;
        table += ".dbf";
        file.table.reset(DBFOpenLL(table.c_str(), "r+b", &hooks));
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

void ReportUnwritable(const std::filesystem::path& path, MessagePort& port) {
    port.ShowMessage(ToCp932("error:書き込めない:") + PathToCp932(path));
}

StagedFileGroup& SheetOutput::AddGroup(int layer, FileFlag flag) {
    StagedFileGroup& group = groups.emplace_back();
    group.layer = layer;
    group.flag = flag;
    return group;
}

namespace {

OpenOutputFiles::Files OpenOrCreate(const StagedShapefile& staged, bool made, std::string_view projection_wkt) {
    return OpenOrCreateOutput(staged.Base(), staged.ShapeType(), staged.Schema(), made, projection_wkt);
}

void WriteSideFile(const StagedSideFile& side, bool made, int first_record, MessagePort& port) {
    std::ofstream out(side.path, std::ios::binary | (made ? std::ios::app : std::ios::trunc));
    if (!out) {
        ReportUnwritable(side.path, port);
        return;
    }
    std::string text;
    for (const StagedSideFile::Line& line : side.lines) {
        if (line.record >= 0) {
            if (first_record < 0) continue;  // its table could not be written
            text += std::to_string(first_record + line.record);
        }
        text += line.text;
        text += "\r\n";
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush()) ReportUnwritable(side.path, port);
}

void WriteGroup(const StagedFileGroup& group, bool made, ShapeBuffers& buffers, std::string_view projection_wkt,
                OpenOutputFiles& open_files, MessagePort& port) {
    int first_record = -1;  // of the first Shapefile, for the side file's record numbers
    for (std::size_t i = 0; i < group.shapefiles.size(); ++i) {
        const StagedShapefile& staged = group.shapefiles[i];
        OpenOutputFiles::Files* file = open_files.Find(staged.Base());
        if (file && !made) {
            // Closed before it is created anew, or closing would write over the new file.
            open_files.Close(staged.Base());
            file = nullptr;
        }
        if (!file) {
            OpenOutputFiles::Files opened = OpenOrCreate(staged, made, projection_wkt);
            if (!opened.shapes || !opened.table) {
                ReportUnwritable(staged.Base(), port);
                continue;
            }
            file = &open_files.Keep(staged.Base(), std::move(opened));
        }
        if (i == 0) first_record = DBFGetRecordCount(file->table.get());
        if (!staged.AppendTo(file->shapes.get(), file->table.get(), buffers)) ReportUnwritable(staged.Base(), port);
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

void WriteSheetOutput(const SheetOutput& output, LayerFilesMade& files_made, ShapeBuffers& buffers,
                      std::string_view projection_wkt, OpenOutputFiles& open_files, MessagePort& port) {
    for (const StagedFileGroup& group : output.groups) {
        bool& made = FileMadeFlag(files_made, group.layer, group.flag);
        WriteGroup(group, made, buffers, projection_wkt, open_files, port);
        made = true;
    }
}

}  // namespace gridora
