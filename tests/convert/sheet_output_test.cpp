// The staged sheet output at the limits of what it writes: the file-size limit, measured
// before a sheet is written; a shape shapelib refuses; a disk that fills up.
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <array>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/attribute_table.h"
#include "convert/sheet_output.h"
#include "convert/writer_helpers.h"
#include "output_limits.h"
#include "platform/cp932.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ReadLayer;
using testing::ScopedFileSizeLimit;
using testing::ScratchFolder;
using testing::SmallFileSystem;

// The shapes of one kind of staged layer: each record gets `rings` rings of `vertices`
// vertices (none: a null shape).
struct ShapeKind {
    const char* name;
    int shape_type;
    int rings;
    int vertices;
};

constexpr int kGaikuLayer = 3;  // any catalogue index; the flag it names is all that counts

// A sheet of `records` records of `kind` in the layer gaiku of `out`, each with its id and
// sheet name and a line in the side file gaiku_pgn.txt that names its record.
SheetOutput StageSheet(const fs::path& out, const ShapeKind& kind, int records) {
    SheetOutput output;
    StagedFileGroup& group = output.AddGroup(kGaikuLayer, FileFlag::Polygon);
    StagedShapefile& file = group.shapefiles.emplace_back(out / "gaiku", kind.shape_type, "gaiku");
    group.has_side_file = true;
    group.side_file.path = out / "gaiku_pgn.txt";
    for (int r = 0; r < records; ++r) {
        file.AddRecord();
        file.SetInteger(0, 100 + r);
        file.SetText(1, "09LD171");
        for (int ring = 0; ring < kind.rings; ++ring) {
            if (ring > 0) file.StartPart();
            for (int v = 0; v < kind.vertices; ++v) file.AddVertex(r + ring + v * 0.25, r - v * 0.5);
        }
        group.side_file.lines.push_back({r, ",1.000,2.000"});
    }
    return output;
}

// Writes sheets into `out` as one run does, with its files held open between them.
struct SheetWriter {
    explicit SheetWriter(fs::path folder) : out(std::move(folder)) { fs::create_directories(out); }
    void Write(const ShapeKind& kind, int records) {
        WriteSheetOutput(StageSheet(out, kind, records), made, buffers, "", open_files, port);
    }

    fs::path out;
    LayerFilesMade made{};
    ShapeBuffers buffers;
    OpenOutputFiles open_files;
    RecordingPort port;
};

// Every file of a folder by name, with its bytes.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) files[entry.path().filename()] = ReadBytes(entry.path());
    return files;
}

constexpr std::array<const char*, 3> kLimitedFiles = {".shp", ".shx", ".dbf"};

TEST(SheetOutputSizeLimit, ASheetThatWouldTakeAFileOnePastTheLimitWritesNothingAndOneThatReachesItExactlyIsWritten) {
    // Small shapes leave the table the largest file, large ones the .shp.
    const ShapeKind kinds[] = {{"point", SHPT_POINT, 1, 1},
                               {"line", SHPT_ARC, 1, 7},
                               {"polygon_with_hole", SHPT_POLYGON, 2, 30},
                               {"null", SHPT_POLYGON, 0, 0}};
    constexpr int kRecords = 40;
    const ScopedFileSizeLimit unlimited(2147483647);
    for (const ShapeKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        ScratchFolder folder;
        SheetWriter one(folder / "one"), two(folder / "two");
        one.Write(kind, kRecords);
        one.open_files.Finish();
        two.Write(kind, kRecords);
        two.Write(kind, kRecords);
        two.open_files.Finish();
        std::array<uint64_t, 3> first_sizes{}, sizes{};
        for (std::size_t f = 0; f < kLimitedFiles.size(); ++f) {
            first_sizes[f] = fs::file_size(one.out / (std::string("gaiku") + kLimitedFiles[f]));
            sizes[f] = fs::file_size(two.out / (std::string("gaiku") + kLimitedFiles[f]));
        }

        // Every size the second sheet gives a file, and one less, as the limit, as long as
        // the first sheet fits.
        std::vector<uint64_t> limits;
        for (uint64_t size : sizes)
            for (uint64_t limit : {size, size - 1})
                if (limit >= *std::max_element(first_sizes.begin(), first_sizes.end())) limits.push_back(limit);
        ASSERT_GE(limits.size(), 2u);
        for (uint64_t limit : limits) {
            SCOPED_TRACE(limit);
            const ScopedFileSizeLimit limited(limit);
            SheetWriter run(folder / ("limit" + std::to_string(limit)));
            ASSERT_NO_THROW(run.Write(kind, kRecords));
            // The first file, in the order the message checks them, that would pass it.
            const auto past = std::find_if(sizes.begin(), sizes.end(), [&](uint64_t size) { return size > limit; });
            try {
                run.Write(kind, kRecords);
                EXPECT_EQ(past, sizes.end()) << "the second sheet should have been refused";
            } catch (const OutputStopped& stopped) {
                ASSERT_NE(past, sizes.end()) << stopped.what();
                const fs::path file = run.out / (std::string("gaiku") + kLimitedFiles[past - sizes.begin()]);
                EXPECT_EQ(std::string(stopped.what()),
                          ToCp932("error:ファイルが大きさの上限を超える:gaiku:") + file.native() + ":" +
                              std::to_string(limit) +
                              ToCp932("バイト\r\n一度に変換する図葉を減らし、残りは別の出力フォルダに変換してください"));
            }
            run.open_files.Finish();
            EXPECT_EQ(Files(run.out), Files(past == sizes.end() ? two.out : one.out));
            EXPECT_TRUE(run.port.messages.empty());
        }
    }
}

TEST(SheetOutputSizeLimit, TheEnvironmentLowersTheLimitButNeverRaisesItAndIgnoresWhatIsNotANumber) {
    const struct {
        const char* value;
        uint64_t limit;
    } cases[] = {{"200000", 200000},         {"1", 1},       {"2147483647", 2147483647}, {"2147483648", 2147483647},
                 {"0", 2147483647},          {"-5", 2147483647}, {"12k", 2147483647},    {"", 2147483647}};
    for (const auto& c : cases) {
        ::setenv(ScopedFileSizeLimit::kName, c.value, 1);
        EXPECT_EQ(FileSizeLimit(), c.limit) << c.value;
    }
    ::unsetenv(ScopedFileSizeLimit::kName);
    EXPECT_EQ(FileSizeLimit(), 2147483647u);
}

uint32_t BigEndian(const std::string& bytes, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// A shape as its index entry and its record in the .shp give it.
struct ShapeAt {
    uint32_t content_bytes = 0;
    int32_t type = -1;
};

ShapeAt ReadShapeAt(const fs::path& base, int record) {
    const std::string index = ReadBytes(fs::path(base) += ".shx");
    const uint64_t offset = uint64_t{BigEndian(index, 100 + 8 * static_cast<std::size_t>(record))} * 2;
    ShapeAt shape;
    shape.content_bytes = BigEndian(index, 104 + 8 * static_cast<std::size_t>(record)) * 2;
    std::ifstream shp(fs::path(base) += ".shp", std::ios::binary);
    shp.seekg(static_cast<std::streamoff>(offset + 8));
    shp.read(reinterpret_cast<char*>(&shape.type), 4);  // little-endian, as the machine
    return shape;
}

// A .shp that shapelib believes `room` bytes short of its 4 GiB offset limit, so that it
// refuses a shape larger than that: a refused shape becomes a null shape beside its record
// while the file takes one; otherwise nothing more is written and the output stops.
TEST(SheetOutputRefusedShape, KeepsShapesIndexAndRecordsInStepWithEveryRecordInItsPlace) {
    const struct {
        const char* name;
        unsigned room;  // bytes below shapelib's 4 GiB limit
        bool stops;
    } cases[] = {{"null shape taken", 60, false}, {"nothing taken", 8, true}};
    const ShapeKind polygon{"polygon", SHPT_POLYGON, 1, 5};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        SheetWriter run(folder / "out");
        run.Write(polygon, 3);
        OpenOutputFiles::Files* files = run.open_files.Find(run.out / "gaiku");
        ASSERT_NE(files, nullptr);
        files->shapes->nFileSize = (UINT_MAX - c.room) & ~1u;  // offsets count 16-bit words

        // Written as WriteSheetOutput writes a group, past its size check.
        const SheetOutput sheet = StageSheet(run.out, polygon, 2);
        const StagedShapefile& staged = sheet.groups[0].shapefiles[0];
        bool stopped = false;
        try {
            staged.AppendTo(files->shapes.get(), files->table.get(), run.buffers, run.port);
        } catch (const OutputStopped& e) {
            stopped = true;
            EXPECT_EQ(std::string(e.what()).rfind(ToCp932("error:書き込めない:") + (run.out / "gaiku.shp").native(), 0),
                      0u)
                << e.what();
        }
        EXPECT_EQ(stopped, c.stops);
        ASSERT_FALSE(run.port.messages.empty());
        EXPECT_EQ(run.port.messages[0], ToCp932("error:図形を書き込めない:") + (run.out / "gaiku.shp").native() + ":3");
        run.open_files.Finish();

        const testing::LayerContents layer = ReadLayer(run.out / "gaiku");
        ASSERT_TRUE(layer.opened);
        EXPECT_EQ(layer.shape_count, layer.record_count);
        if (c.stops) {
            EXPECT_EQ(layer.record_count, 3);
        } else {
            ASSERT_EQ(layer.record_count, 5);
            // Their shapes lie near 4 GiB, where shapelib reads no more; the index and the
            // record headers say what they are. The .shp takes no polygon any more.
            for (int record : {3, 4}) {
                const ShapeAt shape = ReadShapeAt(run.out / "gaiku", record);
                EXPECT_EQ(shape.content_bytes, 4u) << record;
                EXPECT_EQ(shape.type, SHPT_NULL) << record;
            }
            EXPECT_EQ(layer.Integer(3, "id"), 100);
            EXPECT_EQ(layer.Integer(4, "id"), 101);
        }
    }
}

TEST(SheetOutputDiskFull, AWriteTheDiskRefusesStopsTheOutputNamingTheFile) {
    ScratchFolder folder;
    SmallFileSystem disk(folder / "disk", 1 << 20);
    if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
    const ShapeKind polygon{"polygon", SHPT_POLYGON, 2, 40};
    const ScopedFileSizeLimit unlimited(2147483647);
    SheetWriter run(disk.Path() / "out");
    // Sheets of about 150 KB until the disk is full: the .shp window is written back on
    // the way; whatever has not reached the disk then fails when the files are finished.
    std::string message;
    int sheets = 0;
    try {
        for (; sheets < 40; ++sheets) run.Write(polygon, 100);
        run.open_files.Finish();
    } catch (const OutputStopped& stopped) {
        message = stopped.what();
    }
    run.open_files.CloseAll();
    EXPECT_LT(sheets, 40);
    EXPECT_EQ(message.rfind(ToCp932("error:書き込めない:") + (run.out / "gaiku").native(), 0), 0u) << message;
    EXPECT_TRUE(message.ends_with(ToCp932(":ディスクの空きが足りない"))) << message;
}

// Records laid out ahead by the sheet's reader are the bytes shapelib writes value by
// value: a record without values, numbers too wide for their field, text cut inside a
// double-byte character or holding a NUL, a field written twice, text in a number field.
TEST(SheetOutputFormattedRecords, WriteTheTablesThatValueByValueWritingWrites) {
    ScratchFolder folder;
    const std::string long_kanji = ToCp932(std::string(30, 'x') + "街区街区");
    const struct {
        const char* name;
        std::function<void(StagedShapefile&)> stage;
    } cases[] = {
        {"no values", [](StagedShapefile& f) { f.AddRecord(); }},
        {"plain", [](StagedShapefile& f) { f.AddRecord(); f.SetInteger(0, 7); f.SetText(1, "09LD171"); }},
        {"wide numbers", [](StagedShapefile& f) { f.AddRecord(); f.SetInteger(0, INT_MIN); f.SetInteger(2, 123456789); }},
        {"cut text", [&](StagedShapefile& f) { f.AddRecord(); f.SetText(1, long_kanji); f.SetText(3, long_kanji); }},
        {"NUL", [](StagedShapefile& f) { f.AddRecord(); f.SetText(3, std::string("ab\0cd", 5)); }},
        {"twice", [](StagedShapefile& f) { f.AddRecord(); f.SetText(3, "long text"); f.SetText(3, "s"); }},
        {"text in a number field", [](StagedShapefile& f) { f.AddRecord(); f.SetText(0, "12"); }},
        {"several", [&](StagedShapefile& f) {
             for (int r = 0; r < 5; ++r) {
                 f.AddRecord();
                 if (r % 2) f.SetInteger(0, r * 1000003);
                 f.SetText(4, long_kanji.substr(static_cast<std::size_t>(r)));
             }
         }},
    };
    for (const auto& c : cases) {
        std::map<bool, std::pair<std::string, bool>> written;  // formatted -> table bytes, AppendTo's result
        for (const bool formatted : {false, true}) {
            const fs::path out = folder / (std::string(c.name) + (formatted ? "-formatted" : "-plain"));
            fs::create_directories(out);
            StagedShapefile file(out / "gaiku", SHPT_POLYGON, "gaiku");
            c.stage(file);
            if (formatted) file.FormatRecords();
            OpenOutputFiles::Files files = OpenOrCreateOutput(out / "gaiku", SHPT_POLYGON, "gaiku", false, "");
            ShapeBuffers buffers;
            RecordingPort port;
            const bool ok = file.AppendTo(files.shapes.get(), files.table.get(), buffers, port);
            FinishOutput(files, out / "gaiku");
            written[formatted] = {ReadBytes(out / "gaiku.dbf"), ok};
        }
        EXPECT_TRUE(written[true].first == written[false].first) << c.name;
        EXPECT_EQ(written[true].second, written[false].second) << c.name;
    }
}

}  // namespace
}  // namespace gridora
