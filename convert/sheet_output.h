// The output of one sheet, held in memory until the whole sheet has been read.
//
// The layer writers stage records, shapes and side-file lines here instead of writing
// them at once. A sheet whose data turn out to be unreadable half-way (a coordinate that
// is not a number) is then dropped whole, and every output file keeps one shape per
// record. WriteSheetOutput writes a staged sheet with the opening rules of the layers'
// files: create them when the run has not made them yet, otherwise append.
//
// Every written layer keeps one shape and one index entry per table record, and no .shp,
// .shx or .dbf grows past FileSizeLimit(). What would break either, a sheet too large for
// the limit or a write the disk refuses, stops the output with OutputStopped.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <shapefil.h>

#include "convert/layer_catalogue.h"
#include "platform/message_port.h"

namespace gridora {

class ShapeBuffers;

// Writing the output cannot go on: a file would grow past FileSizeLimit(), or the disk
// refused a write (no space left, an I/O error). what() is the message for the port
// (CP932), naming the layer and file. The files are left with their shapes, index entries
// and records in step as far as the disk took them; with the size limit, nothing of the
// sheet or layer that would pass it is written. The caller must show the message and stop
// the run: every later sheet would meet the same.
class OutputStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The size no .shp, .shx or .dbf may pass: 2^31 - 1 bytes, beyond which MapServer and
// other Shapefile readers refuse or misread the file. The environment variable
// GRIDORA_FILE_SIZE_LIMIT, a number from 1 up to that, lowers it, so that tests reach it
// with a few sheets; other values are ignored.
uint64_t FileSizeLimit();

// What appending shapes and records adds to a Shapefile and its table.
struct OutputGrowth {
    uint64_t shape_bytes = 0;  // to the .shp, record headers included
    uint64_t records = 0;      // shapes, index entries and table records alike
};

// Which of a layer's file-made flags governs a group of files.
enum class FileFlag { Point, Line, Polygon };

bool& FileMadeFlag(LayerFilesMade& made, int layer, FileFlag flag);

// The staged records of one Shapefile and its table. Values and vertices always go to the
// last record added; a record without vertices gets a null shape.
class StagedShapefile {
public:
    StagedShapefile(std::filesystem::path base, int shape_type, std::string schema);

    // Starts the next record; returns its position among this sheet's records.
    int AddRecord();
    void SetInteger(int field, int32_t value);
    // CP932 text; cut to the field's width when written.
    void SetText(int field, std::string_view cp932);
    void AddVertex(double x, double y);
    // Starts another ring of the last record's polygon at its next vertex; the first ring
    // starts by itself.
    void StartPart();
    // Gives the last record the values and the shape of record `record` of `source`.
    void CopyRecord(const StagedShapefile& source, int record);

    const std::filesystem::path& Base() const { return base_; }
    int ShapeType() const { return shape_type_; }
    const std::string& Schema() const { return schema_; }
    int RecordCount() const { return static_cast<int>(records_.size()); }
    int FieldCount() const { return field_count_; }
    int VertexCount(int record) const;
    int PartCount(int record) const;

    // What AppendTo adds to the files.
    OutputGrowth Growth() const;

    // Puts the shape of record `record` into `buffers`, as AppendTo writes it.
    void FillShape(int record, ShapeBuffers& buffers) const;
    // A value as set, for writers of other formats; a field set twice holds the last.
    struct Value {
        int field;
        bool is_integer;
        int32_t integer;
        std::string text;  // CP932, not yet cut to the field's width
    };
    std::span<const Value> Values(int record) const;
    // Lays out every record's table bytes as a table of this schema holds them, so that
    // appending copies whole records: work a sheet's reader does ahead of the one writer.
    // Records added afterwards undo it. AppendTo writes value by value to a table laid out
    // otherwise, or when nothing was laid out.
    void FormatRecords();

    // Appends the staged records to open files, each shape through `buffers` and
    // AppendShape. False when a value could not be written; throws OutputStopped when a
    // shape or a record could not be added at all.
    bool AppendTo(SHPHandle shapes, DBFHandle table, ShapeBuffers& buffers, MessagePort& port) const;

private:
    struct Record {
        std::size_t first_value;
        std::size_t first_vertex;
        std::size_t first_part;  // in part_starts_
    };
    std::size_t ValueEnd(int record) const;
    std::size_t VertexEnd(int record) const;
    std::size_t PartEnd(int record) const;

    std::filesystem::path base_;
    int shape_type_;
    std::string schema_;
    int field_count_;
    std::vector<Record> records_;
    std::vector<Value> values_;
    std::vector<double> x_, y_;
    std::vector<std::size_t> part_starts_;  // vertex indexes where a second or later ring starts
    // FormatRecords' result: RecordCount() records of formatted_length_ bytes, and whether
    // every value fitted its field.
    std::string formatted_;
    std::size_t formatted_length_ = 0;
    bool formatted_fit_ = true;
};

// A text file beside a layer (zuyo.txt, _pgn.txt, _arc.txt): CP932 lines, CR LF ends.
struct StagedSideFile {
    struct Line {
        // When 0 or more, the line starts with the table record number of this staged
        // record of the group's first Shapefile, known only once that file is open.
        int record = -1;
        std::string text;
    };
    std::filesystem::path path;
    std::vector<Line> lines;
};

// Writes the lines of a side file, appending to it when `made`, else in place of its
// contents; a line naming a record gets `first_record` + its record, or is left out when
// `first_record` is negative (its table could not be written). An error opening the file
// is reported; an error writing it throws OutputStopped.
void WriteSideFile(const StagedSideFile& side, bool made, int first_record, MessagePort& port);

// The files of one layer that one file-made flag governs: created together while the
// flag is clear, appended to once it is set.
struct StagedFileGroup {
    int layer;
    FileFlag flag;
    std::deque<StagedShapefile> shapefiles;  // deque: references stay valid as it grows
    bool has_side_file = false;
    StagedSideFile side_file;
};

struct SheetOutput {
    // In the order the writers ran; a layer listed twice has two groups.
    std::deque<StagedFileGroup> groups;

    StagedFileGroup& AddGroup(int layer, FileFlag flag);
    // FormatRecords for every staged Shapefile.
    void FormatRecords();
};

// Output Shapefiles with their tables left open between sheets. shapelib reads a
// Shapefile's whole index when it opens one and writes it whole when it closes one, so
// reopening the files for every sheet makes a run's time grow with the square of its
// sheets; a run that holds them open pays that once. Files are closed by CloseAll and on
// destruction; until then others must not read them.
class OpenOutputFiles {
public:
    struct ShapefileCloser {
        void operator()(SHPInfo* shapes) const { SHPClose(shapes); }
    };
    struct TableCloser {
        void operator()(DBFInfo* table) const { DBFClose(table); }
    };
    struct Files {
        std::unique_ptr<SHPInfo, ShapefileCloser> shapes;
        std::unique_ptr<DBFInfo, TableCloser> table;
        // A failed write of these files has been reported by an OutputStopped already.
        bool failure_reported = false;
    };

    // The open files of an output base, or nullptr.
    Files* Find(const std::filesystem::path& base);
    Files& Keep(const std::filesystem::path& base, Files files);
    // Close and CloseAll close without a word; scopes that end use them.
    void Close(const std::filesystem::path& base);
    void CloseAll() { files_.clear(); }
    // Completes the headers and indexes of every file and closes them all; then throws
    // OutputStopped for the first file a write failed in that no OutputStopped named yet.
    void Finish();
    bool Empty() const { return files_.empty(); }
    // Every open output by its base, for a run that records what it has written.
    std::map<std::filesystem::path, Files>& All() { return files_; }

private:
    std::map<std::filesystem::path, Files> files_;
};

// Opens the Shapefile `base` and its table for update when `open_existing` is set, and
// creates (overwrites) what is not open then: a new table gets the fields of `schema`, a
// new Shapefile `projection_wkt` as its .prj. Either handle is empty when its file can be
// neither opened nor created.
OpenOutputFiles::Files OpenOrCreateOutput(const std::filesystem::path& base, int shape_type, std::string_view schema,
                                          bool open_existing, std::string_view projection_wkt);

// The message for an output file that cannot be written: "error:書き込めない:" + path.
void ReportUnwritable(const std::filesystem::path& path, MessagePort& port);

// Throws OutputStopped when appending `growth` to the open files of `base` would take its
// .shp, .shx or .dbf past FileSizeLimit(). The message names the layer (the file name of
// `base`), the file and the limit, and tells how to go on.
void CheckOutputGrowth(const OpenOutputFiles::Files& files, const std::filesystem::path& base,
                       const OutputGrowth& growth);

// Appends the shape in `buffers` to `shapes` (of `shape_type`, the Shapefile `base`) as
// the shape of table record `record` (0-based). A shape shapelib refuses is replaced by a
// null shape beside its record, so that the record numbers the side files hold stay
// right, and reported: "error:図形を書き込めない:" + the .shp path + ":" + record. When the
// file refuses even the null shape it takes nothing more: OutputStopped, before the record
// is written.
void AppendShape(ShapeBuffers& buffers, SHPHandle shapes, int shape_type, const std::filesystem::path& base,
                 int record, MessagePort& port);

// Throws OutputStopped for the first file of `base` (.shp, .shx, .dbf, opened through the
// buffered hooks) that a write failed in since it was opened, unless one was reported for
// these files already: "error:書き込めない:" + path + ":" + the system's reason.
void CheckWritten(OpenOutputFiles::Files& files, const std::filesystem::path& base);

// Completes the headers and index of the files of `base` and closes them; throws as
// CheckWritten when a write failed, the completing ones included. Closes them whatever
// happens.
void FinishOutput(OpenOutputFiles::Files& files, const std::filesystem::path& base);

// Writes every group of a staged sheet in order, then sets the groups' flags. A group
// whose flag is set appends to its Shapefiles and tables, taking them from `open_files`
// or opening them for update, and appends to its side file, falling back to creating
// what does not open; otherwise it creates (overwrites) them, gives new tables the fields
// of their schema and writes `projection_wkt` as the .prj of each new Shapefile. The
// Shapefiles are left in `open_files`. A file that can be neither opened nor created is
// reported through `port` and its records are lost; the other files are still written.
//
// Throws OutputStopped, with nothing of the sheet written, when one of its files would
// grow past FileSizeLimit(); and, once the sheet is written, when a write of one of its
// files or side files failed (its files as far as the disk took them).
void WriteSheetOutput(const SheetOutput& output, LayerFilesMade& files_made, ShapeBuffers& buffers,
                      std::string_view projection_wkt, OpenOutputFiles& open_files, MessagePort& port);

}  // namespace gridora
