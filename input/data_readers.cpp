// Readers of a sheet's data files into the work arrays.
//
// Expects: a WorkArrays owned by the run; `base` without extension. Leaves behind: the
// reader's own arrays holding exactly the records of the file just read (other arrays
// untouched), and one message on the port per line that is not a record of the file.
#include "input/data_readers.h"

#include <cstdlib>
#include <string>

#include "input/conversion_error.h"
#include "input/data_file.h"
#include "input/sheet_header.h"
#include "input/text_fields.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"

namespace gridora {
namespace {

bool StartsWith(std::string_view field, char letter) {
    return !field.empty() && field.front() == letter;
}

// One data file being read: its lines and the texts its messages use.
class DataFileReading {
public:
    DataFileReading(const std::filesystem::path& base, const char* extension)
        : base_(base), path_(base.string() + extension) {}

    bool Open() { return file_.Open(path_); }

    LineReader& Lines() { return file_.Lines(); }
    SourceLine At() const { return file_.At(); }

    // Reads the lines to the end of the file, parsing header lines. A line whose code
    // starts with `record_letter` goes to `on_record(code, rest)`, which takes its fields
    // from the rest and may read the further lines of its record; any other line is
    // reported as `error_kind`. Without a letter ('\0', and no port needed), every line
    // but a header is a record.
    template <typename OnRecord>
    void ReadRecords(char record_letter, std::string_view error_kind, MessagePort* port, OnRecord on_record) {
        SheetHeader header;  // the readers keep no header values
        file_.Walk(header, [&](std::string_view code, std::string_view rest) {
            if (record_letter != '\0' && !StartsWith(code, record_letter)) {
                Report(*port, error_kind);
                return;
            }
            on_record(code, rest);
        });
    }

    // Reports the current line: kind + base + ":" + line number.
    void Report(MessagePort& port, std::string_view kind) {
        if (base_text_.empty()) base_text_ = ShowableText(PathToCp932(base_));
        std::string message(kind);
        message += base_text_;
        message += ':';
        message += std::to_string(At().number);
        port.ShowMessage(message);
    }

private:
    std::filesystem::path base_;
    std::filesystem::path path_;
    SheetDataFile file_;
    std::string base_text_;
};

}  // namespace

bool ReadArcFile(const std::filesystem::path& base, WorkArrays& arrays, MessagePort& port) {
    DataFileReading file(base, ".ARC");
    if (!file.Open()) return false;
    ArcRecords& arcs = arrays.arc_records;
    ArcPoints& points = arrays.arc_points;
    arcs.Clear();
    points.Clear();
    arrays.arc_file = std::string(file.At().file);
    file.ReadRecords('L', "error:ARC:", &port, [&](std::string_view code, std::string_view line) {
        ArcRecord arc;
        arc.code = ShortCode(code);
        arc.line_tag = ParseInteger(TakeField(line));
        arc.arc_id = ParseInteger(TakeField(line));
        arc.point_count = ParseInteger(TakeField(line));
        arc.first_point = points.Count() + 1;
        int32_t index = arcs.Append(arc);
        // The point lines are points whatever they hold; past the end they are empty
        // and so not numbers.
        for (int32_t i = 0; i < arc.point_count; ++i) {
            std::string_view point_line = file.Lines().NextOrEmpty();
            ArcPoint point;
            point.x = RealField(TakeField(point_line), file.At());
            point.y = RealField(TakeField(point_line), file.At());
            point.line = file.At().number;
            arcs.At(index).last_point = points.Append(point);
        }
    });
    return true;
}

bool ReadPgnFile(const std::filesystem::path& base, WorkArrays& arrays, MessagePort& port) {
    DataFileReading file(base, ".PGN");
    if (!file.Open()) return false;
    PgnRecords& polygons = arrays.pgn_records;
    PgnArcRefs& refs = arrays.pgn_arc_refs;
    polygons.Clear();
    refs.Clear();
    file.ReadRecords('A', "error:PGN:", &port, [&](std::string_view code, std::string_view line) {
        PgnRecord polygon;
        polygon.code = ShortCode(code);
        polygon.polygon_id = ParseInteger(TakeField(line));
        polygon.arc_count = ParseInteger(TakeField(line));
        polygon.x = RealField(TakeField(line), file.At());
        polygon.y = RealField(TakeField(line), file.At());
        polygon.first_ref = refs.Count() + 1;
        int32_t index = polygons.Append(polygon);
        for (int32_t i = 0; i < polygon.arc_count; ++i) {
            std::string_view ref_line;
            if (!file.Lines().Next(ref_line)) {
                // The file ends inside the list: one message for the first missing line,
                // not one per announced reference.
                file.Lines().NextOrEmpty();
                file.Report(port, ToCp932("error:ARCが見つからない:"));
                break;
            }
            int32_t ref = ParseInteger(ref_line);
            polygons.At(index).last_ref = refs.Append(ref);
            if (const ArcRecord* arc = FindArc(arrays, AbsoluteId(ref))) {
                polygons.At(index).total_point_count += arc->point_count;
            } else {
                file.Report(port, ToCp932("error:ARCが見つからない:"));
            }
        }
    });
    return true;
}

bool ReadPntFile(const std::filesystem::path& base, WorkArrays& arrays, MessagePort& port) {
    DataFileReading file(base, ".PNT");
    if (!file.Open()) return false;
    PntRecords& points = arrays.pnt_records;
    points.Clear();
    file.ReadRecords('P', "error:PNT:", &port, [&](std::string_view code, std::string_view line) {
        PntRecord point;
        point.code = ShortCode(code);
        point.point_id = ParseInteger(TakeField(line));
        point.x = RealField(TakeField(line), file.At());
        point.y = RealField(TakeField(line), file.At());
        points.Append(point);
    });
    return true;
}

bool ReadTieFile(const std::filesystem::path& base, WorkArrays& arrays) {
    DataFileReading file(base, ".TIE");
    if (!file.Open()) return false;
    TieRecords& ties = arrays.tie_records;
    ties.Clear();
    file.ReadRecords('\0', {}, nullptr, [&](std::string_view first, std::string_view line) {
        TieRecord tie;
        tie.arc_id = ParseInteger(first);
        tie.start_node = ParseInteger(TakeField(line));
        tie.end_node = ParseInteger(TakeField(line));
        ties.Append(tie);
    });
    return true;
}

}  // namespace gridora
