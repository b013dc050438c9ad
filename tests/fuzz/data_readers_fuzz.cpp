// Data files of a sheet with any content, read by the converter's readers from a scratch
// file: the first input byte picks the reader, the rest is the file. For the .PGN reader the
// file's arcs come first, separated from the polygons by a form feed ("\f"). Every record
// the readers keep points inside its arrays, every message names its file and line, and
// the only failure is the conversion error that abandons a sheet.
#include <fstream>
#include <string>

#include "convert/attribute_file.h"
#include "fuzz_targets.h"
#include "input/conversion_error.h"
#include "input/data_readers.h"
#include "input/municipality_table.h"
#include "input/work_arrays.h"

namespace gridora::fuzz {
namespace {

enum Reader : uint8_t { kArc, kPgn, kPnt, kTie, kAtr, kCityTable, kReaderCount };

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good(), "the scratch file is written");
}

void CheckArcs(const WorkArrays& arrays) {
    const int32_t point_count = arrays.arc_points.Count();
    for (const ArcRecord& arc : arrays.arc_records.Records()) {
        FUZZ_CHECK(arc.first_point >= 1 && arc.first_point <= point_count + 1, "an arc starts inside the points");
        if (arc.last_point == 0) continue;
        FUZZ_CHECK(arc.last_point >= arc.first_point && arc.last_point <= point_count,
                   "an arc's points lie inside the points");
        FUZZ_CHECK(arc.last_point - arc.first_point + 1 <= arc.point_count, "an arc has no more points than it says");
    }
}

void CheckPolygons(const WorkArrays& arrays) {
    const int32_t ref_count = arrays.pgn_arc_refs.Count();
    for (const PgnRecord& polygon : arrays.pgn_records.Records()) {
        FUZZ_CHECK(polygon.first_ref >= 1 && polygon.first_ref <= ref_count + 1, "a polygon starts inside the refs");
        if (polygon.last_ref == 0) continue;
        FUZZ_CHECK(polygon.last_ref >= polygon.first_ref && polygon.last_ref <= ref_count,
                   "a polygon's references lie inside the refs");
    }
}

void CheckMessages(const RecordingPort& port, std::string_view base_text) {
    for (const std::string& message : port.messages) {
        FUZZ_CHECK(message.rfind("error:", 0) == 0, "a reader's message is an error line");
        FUZZ_CHECK(message.find(base_text) != std::string::npos, "a reader's message names its file");
        FUZZ_CHECK(message.find('\n') == std::string::npos, "a reader's message is one line");
    }
}

}  // namespace

int FuzzDataReaders(const uint8_t* data, std::size_t size) {
    InputCursor in(data, size);
    const uint8_t reader = static_cast<uint8_t>(in.Byte() % kReaderCount);
    const char letter = static_cast<char>(in.Byte());
    std::string_view content = in.Rest();

    static const std::filesystem::path folder = [] {
        std::filesystem::path f = ScratchRoot() / "sheet";
        std::filesystem::create_directories(f);
        return f;
    }();
    static const std::filesystem::path base = folder / "F";
    static WorkArrays arrays;  // one per run, as the conversion run keeps it
    RecordingPort port;
    const std::string base_text = base.string();

    try {
        switch (reader) {
        case kArc:
            WriteFile(folder / "F.ARC", content);
            FUZZ_CHECK(ReadArcFile(base, arrays, port), "a readable .ARC file is read");
            CheckArcs(arrays);
            break;
        case kPgn: {
            const std::size_t split = content.find('\f');
            WriteFile(folder / "F.ARC", content.substr(0, split));
            WriteFile(folder / "F.PGN", split == std::string_view::npos ? std::string_view{} : content.substr(split + 1));
            FUZZ_CHECK(ReadArcFile(base, arrays, port), "a readable .ARC file is read");
            CheckArcs(arrays);
            FUZZ_CHECK(ReadPgnFile(base, arrays, port), "a readable .PGN file is read");
            CheckPolygons(arrays);
            break;
        }
        case kPnt:
            WriteFile(folder / "F.PNT", content);
            FUZZ_CHECK(ReadPntFile(base, arrays, port), "a readable .PNT file is read");
            break;
        case kTie:
            WriteFile(folder / "F.TIE", content);
            FUZZ_CHECK(ReadTieFile(base, arrays), "a readable .TIE file is read");
            for (const TieRecord& tie : arrays.tie_records.Records())
                FUZZ_CHECK(FindTie(arrays, tie.arc_id) != nullptr, "every tie is found by its arc");
            break;
        case kAtr: {
            WriteFile(folder / "F.ATR", content);
            SheetHeader header;
            int last_line = 0;
            FUZZ_CHECK(WalkAttributeFile(folder / "F.ATR", letter, "error:ATR:", "F", header, port,
                                         [&](const FeatureLine& feature) {
                                             FUZZ_CHECK(feature.line > last_line, "feature lines come in order");
                                             last_line = feature.line;
                                             FUZZ_CHECK(!feature.code.empty() && feature.code.front() == letter,
                                                        "a feature line has the layer's letter");
                                         }),
                       "a readable .ATR file is walked");
            break;
        }
        case kCityTable: {
            WriteFile(folder / "city.csv", content);
            const MunicipalityTable table = LoadMunicipalityTable(folder / "city.csv", port);
            FUZZ_CHECK(port.messages.empty(), "a readable table loads without a message");
            (void)table.LookupMunicipality(content.substr(0, 5));
            return 0;
        }
        }
    } catch (const ConversionError& error) {
        FUZZ_CHECK(error.Line() >= 1, "a conversion error names its line");
        FUZZ_CHECK(error.File().find(base_text) != std::string::npos, "a conversion error names its file");
    }
    if (reader == kAtr) {
        for (const std::string& message : port.messages)
            FUZZ_CHECK(message.rfind("error:ATR:F:", 0) == 0, "an attribute message names its line");
    } else {
        CheckMessages(port, base_text);
    }
    return 0;
}

}  // namespace gridora::fuzz
