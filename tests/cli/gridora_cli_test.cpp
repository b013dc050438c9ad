// gridora-cli end to end: the committed sample as descriptions, as the committed
// compressed archives and as stored archives made here, converted by the real program.
#include <gtest/gtest.h>
#include <shapefil.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "input/data_file.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "platform/lha_writer_helpers.h"
#include "output_limits.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::LhaDamage;
using testing::LhaMember;
using testing::LhaWriteOptions;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

const fs::path kSample = fs::path(GRIDORA_SOURCE_DIR) / "data/sample";
const std::vector<std::string> kSheets13101 = {"09LD172", "09LD174", "09LD181", "09LD183"};
const std::vector<std::string> kSheets13102 = {"09LD182", "09LD184"};
const std::vector<std::string> kLayers = {"zuyo", "si_tyo", "tyome", "gaiku", "zyouti", "mizu",
                                          "tatemono", "road", "road_nod", "tetudou", "eki", "sankaku"};

fs::path SampleDescription(const std::string& code, const std::string& sheet) {
    return kSample / code / sheet / (sheet + ".TXT");
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct CliResult {
    int exit_code = -1;
    std::string out;  // UTF-8
    std::string err;
};

class GridoraCli : public ::testing::Test {
protected:
    // `environment`: assignments ("NAME=value ") the program runs with.
    CliResult Run(const std::vector<std::string>& arguments, const std::string& environment = "") {
        std::string command = environment + Quote(GRIDORA_CLI);
        for (const std::string& a : arguments) command += " " + Quote(a);
        command += " >" + Quote(folder / "stdout") + " 2>" + Quote(folder / "stderr");
        const int status = std::system(command.c_str());
        CliResult result;
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadBytes(folder / "stdout");
        result.err = ReadBytes(folder / "stderr");
        return result;
    }

    // Converts `sources` into `out` with the scratch settings file.
    CliResult Convert(const fs::path& out, const std::vector<fs::path>& sources, const std::string& environment = "") {
        std::vector<std::string> arguments = {"-o", (out / "run.lis").native(), "--settings", settings.native()};
        for (const fs::path& s : sources) arguments.push_back(s.native());
        return Run(arguments, environment);
    }

    // A stored archive of the sample sheets of `code`, members in sorted order. With a
    // `damaged_sheet`, the data of that sheet's third member fails its CRC.
    fs::path PackSample(const std::string& code, const fs::path& archive, LhaWriteOptions options = {},
                        char separator = '/', const std::string& damaged_sheet = "") {
        std::vector<LhaMember> members = testing::FolderMembers(kSample / code, separator);
        if (!damaged_sheet.empty()) {
            const auto first = std::find_if(members.begin(), members.end(),
                                            [&](const LhaMember& m) { return m.path.starts_with(damaged_sheet); });
            options.damage = LhaDamage::kDataCrc;
            options.damaged_member = static_cast<std::size_t>(first - members.begin()) + 2;
        }
        testing::WriteLhaArchive(archive, members, options);
        return archive;
    }

    std::vector<fs::path> SampleDescriptions() const {
        std::vector<fs::path> paths;
        for (const auto& sheet : kSheets13101) paths.push_back(SampleDescription("13101", sheet));
        for (const auto& sheet : kSheets13102) paths.push_back(SampleDescription("13102", sheet));
        return paths;
    }

    ScratchFolder folder;
    fs::path settings = folder / "gridora.Ini";
};

// Every output file by name, but the list file and the map files, which name the output
// folder.
std::map<std::string, std::string> OutputFiles(const fs::path& out) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(out)) {
        const fs::path extension = entry.path().extension();
        if (entry.is_regular_file() && extension != ".lis" && extension != ".map" && extension != ".conf")
            files[entry.path().filename()] = ReadBytes(entry.path());
    }
    return files;
}

// The folders of the output but those the map-file writer leaves (support files and the
// unpacked web-server tree): extracted sheets that were not removed.
std::vector<fs::path> Folders(const fs::path& out) {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(out)) {
        const fs::path name = entry.path().filename();
        if (entry.is_directory() && name != "etc" && name != "ms4w" && name != "ms_tmp" && name != "templates" &&
            name != "leaflet")
            folders.push_back(entry.path());
    }
    return folders;
}

// The record count of every Shapefile in `out`, checking that its shapes and its table
// are in step.
std::map<std::string, int> RecordCounts(const fs::path& out) {
    std::map<std::string, int> counts;
    for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() != ".shp") continue;
        const fs::path base = entry.path().parent_path() / entry.path().stem();
        SHPHandle shapes = SHPOpen(base.c_str(), "rb");
        DBFHandle table = DBFOpen(base.c_str(), "rb");
        EXPECT_TRUE(shapes != nullptr && table != nullptr) << base;
        if (shapes == nullptr || table == nullptr) continue;
        int shape_count = 0;
        SHPGetInfo(shapes, &shape_count, nullptr, nullptr, nullptr);
        EXPECT_EQ(shape_count, DBFGetRecordCount(table)) << base;
        counts[entry.path().stem()] = shape_count;
        SHPClose(shapes);
        DBFClose(table);
    }
    return counts;
}

// Line 7 of a description, as the list file repeats it.
std::string FrameLine(const fs::path& description) {
    std::string text = ReadBytes(description);
    LineReader reader(text);
    std::string_view line;
    while (reader.Next(line) && reader.LineNumber() < 7) {
    }
    return std::string(line);
}

std::string Row(const std::string& code, const std::string& name, const std::string& sheet, const fs::path& source,
                const std::string& description_line) {
    return code + "," + ToCp932(name) + "," + sheet + "," + ToCp932(source.native()) + "," + description_line;
}

TEST_F(GridoraCli, ConvertsDescriptionsWithProgressLinesAndWritesTheListFileExactly) {
    const fs::path out = folder / "out";
    const std::vector<fs::path> sources = SampleDescriptions();
    const CliResult result = Convert(out, sources);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "変換が終了しました\n");
    EXPECT_NE(result.out.find("[1/6] " + sources[0].native() + "処理中\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("[6/6] " + sources[5].native() + "処理中\n"), std::string::npos);
    EXPECT_NE(result.out.find("シームレス処理実行中\n処理終了\n"), std::string::npos);

    std::string expected_list;
    for (const fs::path& source : sources) {
        const std::string code = source.parent_path().parent_path().filename();
        const std::string sheet = source.stem();
        expected_list += Row(code, code == "13101" ? "千代田区" : "中央区", sheet, source, FrameLine(source)) + "\r\n";
    }
    EXPECT_EQ(ReadBytes(out / "run.lis"), expected_list);

    const std::map<std::string, int> counts = RecordCounts(out);
    for (const std::string& layer : kLayers) {
        ASSERT_TRUE(counts.count(layer)) << layer;
        EXPECT_GT(counts.at(layer), 0) << layer;
    }
    EXPECT_EQ(counts.at("zuyo"), 6);
    EXPECT_TRUE(Folders(out).empty());
}

TEST_F(GridoraCli, TheCommittedCompressedArchivesGiveTheSameOutputAsTheirDescriptions) {
    ASSERT_EQ(Convert(folder / "txt", SampleDescriptions()).exit_code, 0);
    const CliResult result = Convert(folder / "lzh", {kSample / "13101.LZH", kSample / "13102.LZH"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_NE(result.out.find("[1/6] " + (folder / "lzh/09LD172/09LD172.TXT").native() + "処理中\n"),
              std::string::npos)
        << result.out;

    EXPECT_EQ(OutputFiles(folder / "lzh"), OutputFiles(folder / "txt"));
    EXPECT_TRUE(Folders(folder / "lzh").empty());  // every extracted sheet removed again
    std::string expected_list;
    for (const auto& sheet : kSheets13101) expected_list += Row("13101", "千代田区", sheet, kSample / "13101.LZH", "") + "\r\n";
    for (const auto& sheet : kSheets13102) expected_list += Row("13102", "中央区", sheet, kSample / "13102.LZH", "") + "\r\n";
    EXPECT_EQ(ReadBytes(folder / "lzh/run.lis"), expected_list);
}

TEST_F(GridoraCli, StoredArchivesOfEitherHeaderLevelAndSeparatorConvertAlike) {
    ASSERT_EQ(Convert(folder / "txt", SampleDescriptions()).exit_code, 0);
    LhaWriteOptions level2;
    level2.header_level = 2;
    const fs::path a = PackSample("13101", folder / "13101.LZH", level2);
    const fs::path b = PackSample("13102", folder / "13102.lzh", {}, '\\');
    const CliResult result = Convert(folder / "lzh", {a, b});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(OutputFiles(folder / "lzh"), OutputFiles(folder / "txt"));
    EXPECT_TRUE(Folders(folder / "lzh").empty());
}

TEST_F(GridoraCli, RecordsTheRunStatisticsInTheSettingsFile) {
    WriteBytes(settings, ToCp932("[フォルダー]\r\n出力=/somewhere/run.lis\r\n[図形]\r\nsXYmax=20000\r\n"));
    ASSERT_EQ(Convert(folder / "txt", SampleDescriptions()).exit_code, 0);
    IniFile ini(settings);
    const std::string shapes = ToCp932("図形");
    EXPECT_EQ(ini.ReadString(ToCp932("フォルダー"), ToCp932("出力"), ""), "/somewhere/run.lis");
    EXPECT_EQ(ini.ReadInteger(shapes, "sXYmax", 0), 20000);  // never lowered
    EXPECT_EQ(ini.ReadInteger(shapes, "sArcIDmax", 0), 4000);
    EXPECT_EQ(ini.ReadInteger(shapes, "sPgnIDmax", 0), 2000);
    EXPECT_EQ(ini.ReadInteger(shapes, "sArcmax", 0), 1000);
    EXPECT_EQ(ini.ReadInteger(shapes, "sPntIDmax", 0), 4000);
    EXPECT_GT(ini.ReadInteger(shapes, "sXYnummax", 0), 4);
    // Station points carry a name; control points eleven values.
    EXPECT_GT(ini.ReadInteger(ToCp932("フィールド数"), "8", 0), 0);
    EXPECT_EQ(ini.ReadInteger(ToCp932("フィールド数"), "9", 0), 11);
    EXPECT_GT(ini.ReadInteger(ToCp932("フィールド長"), "8_1", 0), 0);

    // The same run again changes nothing.
    const std::string before = ReadBytes(settings);
    ASSERT_EQ(Convert(folder / "again", SampleDescriptions()).exit_code, 0);
    EXPECT_EQ(ReadBytes(settings), before);
}

TEST_F(GridoraCli, ASheetOfAnotherCoordinateSystemIsMarkedAndLeavesNoOutput) {
    // 09LD181 again, moved to system 10.
    const fs::path moved = folder / "data/13101/09LD181";
    fs::create_directories(moved.parent_path());
    fs::copy(kSample / "13101/09LD181", moved, fs::copy_options::recursive);
    std::string description = ReadBytes(moved / "09LD181.TXT");
    const std::string frame = FrameLine(moved / "09LD181.TXT");
    description.replace(description.find(frame), 1, "10");
    WriteBytes(moved / "09LD181.TXT", description);

    const CliResult result = Convert(folder / "out", {SampleDescription("13101", "09LD172"), moved / "09LD181.TXT"});
    // Completed, with a sheet left unconverted.
    ASSERT_EQ(result.exit_code, 3) << result.err;
    const std::string list = ReadBytes(folder / "out/run.lis");
    const std::string second_row = list.substr(list.find("\r\n") + 2);
    EXPECT_EQ(second_row, ToCp932("座標系エラー：") +
                              Row("13101", "千代田区", "09LD181", moved / "09LD181.TXT", "10" + frame.substr(1)) + "\r\n");
    EXPECT_EQ(RecordCounts(folder / "out").at("zuyo"), 1);
}

TEST_F(GridoraCli, ASheetListedTwiceIsConvertedOnce) {
    const fs::path sheet = SampleDescription("13101", "09LD172");
    const CliResult result = Convert(folder / "out", {sheet, sheet, SampleDescription("13101", "09LD174")});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_NE(result.out.find("[1/3] "), std::string::npos);
    EXPECT_EQ(result.out.find("[2/3] "), std::string::npos);
    EXPECT_NE(result.out.find("[3/3] "), std::string::npos);
    EXPECT_EQ(RecordCounts(folder / "out").at("zuyo"), 2);
    const std::string row = Row("13101", "千代田区", "09LD172", sheet, FrameLine(sheet)) + "\r\n";
    EXPECT_EQ(ReadBytes(folder / "out/run.lis").substr(0, 2 * row.size()), row + row);
}

TEST_F(GridoraCli, AnArchiveThatFailsToExtractInterruptsTheRunButTheListAndStatisticsAreWritten) {
    // Rows: 09LD172; 09LD182 and 09LD184 from the good archive; 09LD172 (a duplicate),
    // 09LD174 (damaged), 09LD181 and 09LD183 from the bad one; 09LD183.
    const fs::path good = PackSample("13102", folder / "13102.LZH");
    const fs::path bad = PackSample("13101", folder / "13101.LZH", {}, '/', "09LD174");
    const CliResult result = Convert(folder / "out", {SampleDescription("13101", "09LD172"), good, bad,
                                                      SampleDescription("13101", "09LD183")});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err, "変換が中断しました\n");
    EXPECT_NE(result.out.find("[3/8] "), std::string::npos);
    EXPECT_EQ(result.out.find("[5/8] "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("処理終了\n"), std::string::npos);

    const std::string list = ReadBytes(folder / "out/run.lis");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 8);
    EXPECT_EQ(IniFile(settings).ReadInteger(ToCp932("図形"), "sArcIDmax", 0), 4000);
    EXPECT_EQ(RecordCounts(folder / "out").at("zuyo"), 3);
    EXPECT_TRUE(Folders(folder / "out").empty());
}

// The largest .shp, .shx or .dbf of a folder: its size and path.
std::pair<uint64_t, fs::path> LargestLayerFile(const fs::path& out) {
    std::pair<uint64_t, fs::path> largest{0, {}};
    for (const auto& entry : fs::directory_iterator(out)) {
        const fs::path extension = entry.path().extension();
        if (extension == ".shp" || extension == ".shx" || extension == ".dbf")
            largest = std::max(largest, std::pair<uint64_t, fs::path>{entry.file_size(), entry.path()});
    }
    return largest;
}

// The feature count GDAL's ogrinfo reports for each layer of a folder; -1 for one it
// cannot open.
std::map<std::string, int> OgrFeatureCounts(const fs::path& out, const fs::path& scratch) {
    std::map<std::string, int> counts;
    for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() != ".shp") continue;
        const fs::path report = scratch / "ogrinfo.txt";
        const std::string command = "ogrinfo -ro -al -so " + Quote(entry.path()) + " >" + Quote(report) + " 2>&1";
        const int status = std::system(command.c_str());
        const std::string text = ReadBytes(report);
        const auto at = text.find("Feature Count: ");
        counts[entry.path().stem()] =
            status == 0 && at != std::string::npos ? std::stoi(text.substr(at + 15)) : -1;
    }
    return counts;
}

TEST_F(GridoraCli, AFileThatWouldPassTheSizeLimitStopsTheRunWithEveryLayerInStepAndWithinIt) {
    const std::vector<fs::path> sources = SampleDescriptions();
    ASSERT_EQ(Convert(folder / "whole", sources).exit_code, 0);
    const auto [largest, largest_file] = LargestLayerFile(folder / "whole");
    const bool have_ogrinfo = std::system("command -v ogrinfo >/dev/null 2>&1") == 0;

    const struct {
        uint64_t limit;
        bool completes;
        std::string file;  // named by the message; empty: not checked
    } cases[] = {{largest, true, ""}, {largest - 1, false, largest_file.filename()}, {200000, false, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        const fs::path out = folder / std::to_string(c.limit);
        const CliResult result =
            Convert(out, sources, "GRIDORA_FILE_SIZE_LIMIT=" + std::to_string(c.limit) + " ");
        if (c.completes) {
            EXPECT_EQ(result.exit_code, 0) << result.err;
            EXPECT_EQ(OutputFiles(out), OutputFiles(folder / "whole"));
            continue;
        }
        EXPECT_EQ(result.exit_code, 1);
        const std::string head = "error:ファイルが大きさの上限を超える:";
        const auto at = result.err.find(head);
        ASSERT_NE(at, std::string::npos) << result.err;
        // layer:file:limit, then how to go on.
        const std::string named = result.err.substr(at + head.size(), result.err.find('\n', at) - at - head.size());
        const std::string layer = named.substr(0, named.find(':'));
        const fs::path file = named.substr(layer.size() + 1, named.rfind(':') - layer.size() - 1);
        EXPECT_EQ(file.parent_path(), out);
        EXPECT_EQ(file.stem(), layer);
        if (!c.file.empty()) {
            EXPECT_EQ(file.filename(), c.file);
        }
        EXPECT_TRUE(named.ends_with(":" + std::to_string(c.limit) + "バイト")) << named;
        EXPECT_NE(result.err.find("一度に変換する図葉を減らし"), std::string::npos);
        EXPECT_TRUE(result.err.ends_with("変換が中断しました\n")) << result.err;

        // Nothing put in place; the staged files, kept for a resume, in step and within it.
        for (const auto& entry : fs::directory_iterator(out)) EXPECT_NE(entry.path().extension(), ".shp");
        const fs::path staged = out / ".gridora-stage-run.lis";
        const std::map<std::string, int> counts = RecordCounts(staged);  // shapes = records
        EXPECT_FALSE(counts.empty());
        for (const auto& entry : fs::directory_iterator(staged)) {
            const fs::path extension = entry.path().extension();
            if (extension == ".shp" || extension == ".shx" || extension == ".dbf") {
                EXPECT_LE(entry.file_size(), c.limit) << entry.path();
            }
        }
        for (const auto& [layer_name, count] : counts) {
            const fs::path base = staged / layer_name;
            EXPECT_EQ(fs::file_size(fs::path(base) += ".shx"), 100u + 8u * static_cast<unsigned>(count)) << base;
        }
        if (have_ogrinfo) {
            std::map<std::string, int> read = OgrFeatureCounts(staged, folder.Path());
            EXPECT_EQ(read, counts);
        }
    }
}

TEST_F(GridoraCli, AFullDiskInterruptsTheRunWithAMessageNamingTheFile) {
    testing::SmallFileSystem disk(folder / "disk", 300 << 10);
    if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
    const fs::path out = disk.Path() / "out";
    const CliResult result = Convert(out, SampleDescriptions());
    EXPECT_EQ(result.exit_code, 1);
    // Files the full disk lets no one create are reported as before; the first write it
    // refuses stops the run, naming the file and why.
    bool named = false;
    std::istringstream lines(result.err);
    for (std::string line; std::getline(lines, line);)
        named = named || (line.starts_with("error:書き込めない:" + out.native() + "/") &&
                          line.ends_with(":ディスクの空きが足りない"));
    EXPECT_TRUE(named) << result.err;
    EXPECT_TRUE(result.err.ends_with("変換が中断しました\n")) << result.err;
}

// Every path below `root`, relative, with "/" (links listed, not followed).
std::vector<std::string> Tree(const fs::path& root) {
    std::vector<std::string> paths;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        paths.push_back(fs::relative(it->path(), root).generic_string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST_F(GridoraCli, OutputFoldersAndArchivesWithBlanksOrBackslashesConvertIntoTheirOwnPlace) {
    fs::create_directories(folder / "in");
    const fs::path archive = PackSample("13101", folder / "in/x y.LZH");
    WriteBytes(folder / "in/x", "a file whose name is the archive's up to its blank");
    const fs::path second = PackSample("13102", folder / "in/a\\ b.LZH");
    // The archives' names are the rows' municipality codes: the same archives into a plain
    // folder give what every other folder must receive.
    const CliResult plain = Convert(folder / "txt", {archive, second});
    ASSERT_EQ(plain.exit_code, 0) << plain.err;
    ASSERT_EQ(RecordCounts(folder / "txt").at("zuyo"), 6);
    for (const std::string name : {"out/ lead", "out/a\\ b"}) {
        const fs::path out = folder / name;
        const CliResult result = Convert(out, {archive, second});
        ASSERT_EQ(result.exit_code, 0) << name << "\n" << result.err;
        EXPECT_TRUE(OutputFiles(out) == OutputFiles(folder / "txt")) << name;
        EXPECT_TRUE(Folders(out).empty()) << name;
    }
    // Nothing landed beside the output folders or the archives.
    std::vector<std::string> top;
    for (const auto& entry : fs::directory_iterator(folder.Path())) top.push_back(entry.path().filename());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"gridora.Ini", "in", "out", "stderr", "stdout", "txt"}));
    EXPECT_EQ(Tree(folder / "in"), (std::vector<std::string>{"a\\ b.LZH", "x", "x y.LZH"}));
    std::vector<std::string> outs;
    for (const auto& entry : fs::directory_iterator(folder / "out")) outs.push_back(entry.path().filename());
    std::sort(outs.begin(), outs.end());
    EXPECT_EQ(outs, (std::vector<std::string>{" lead", "a\\ b"}));
}

TEST_F(GridoraCli, AUsersFolderOrLinkNamedLikeASheetIsNeitherWrittenThroughNorRemoved) {
    ASSERT_EQ(Convert(folder / "txt", SampleDescriptions()).exit_code, 0);
    const fs::path out = folder / "out";
    WriteBytes(out / "09LD172/a/b/c/mine.txt", "the user's own, four levels deep");
    WriteBytes(out / "09LD172/09LD172.TXT", "the user's own description");
    fs::create_directories(folder / "elsewhere");
    fs::create_directory_symlink(folder / "elsewhere", out / "09LD174");
    const CliResult result = Convert(out, {PackSample("13101", folder / "13101.LZH"), kSample / "13102.LZH"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(OutputFiles(out) == OutputFiles(folder / "txt"));
    EXPECT_EQ(ReadBytes(out / "09LD172/a/b/c/mine.txt"), "the user's own, four levels deep");
    EXPECT_EQ(ReadBytes(out / "09LD172/09LD172.TXT"), "the user's own description");
    EXPECT_EQ(Tree(out / "09LD172"), (std::vector<std::string>{"09LD172.TXT", "a", "a/b", "a/b/c", "a/b/c/mine.txt"}));
    EXPECT_TRUE(fs::is_symlink(out / "09LD174"));
    EXPECT_TRUE(fs::is_empty(folder / "elsewhere"));
    // The progress lines name the sheets where they always did.
    EXPECT_NE(result.out.find("[1/6] " + (out / "09LD172/09LD172.TXT").native() + "処理中\n"), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find(".gridora-"), std::string::npos) << result.out;
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_FALSE(entry.path().filename().native().starts_with(".gridora-")) << entry.path();
}

TEST_F(GridoraCli, AFailedExtractionRemovesOnlyWhatTheRunCreated) {
    const fs::path out = folder / "out";
    WriteBytes(out / "09LD172/09LD172.TXT", "the user's own description");
    const fs::path bad = PackSample("13101", folder / "13101.LZH", {}, '/', "09LD172");
    const CliResult result = Convert(out, {bad});
    EXPECT_EQ(result.exit_code, 1) << result.err;
    EXPECT_EQ(ReadBytes(out / "09LD172/09LD172.TXT"), "the user's own description");
    EXPECT_EQ(Tree(out / "09LD172"), std::vector<std::string>{"09LD172.TXT"});
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_FALSE(entry.path().filename().native().starts_with(".gridora-")) << entry.path();
}

TEST_F(GridoraCli, SourcesWhosePathsCp932LacksAreConvertedFromTheFilesPicked) {
    // Wave dash, minus sign, Hangul and an emoji in the folders of both kinds of source.
    const fs::path in = folder / "in/\u301C\u2212\uD55C\U0001F600";
    const fs::path sheet = in / "13101/09LD172";
    fs::create_directories(sheet.parent_path());
    fs::copy(kSample / "13101/09LD172", sheet, fs::copy_options::recursive);
    fs::create_directories(in);
    const fs::path archive = PackSample("13102", in / "13102.LZH");
    const fs::path out = folder / "out";
    const CliResult result = Convert(out, {sheet / "09LD172.TXT", archive});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "変換が終了しました\n");
    EXPECT_EQ(RecordCounts(out).at("zuyo"), 3);
    // The list file holds the paths as CP932 shows them: "?" for each character it lacks.
    const std::string shown = ToCp932((folder / "in").native()) + "/\x81\x60\x81\x7C??";
    const std::string list = ReadBytes(out / "run.lis");
    EXPECT_EQ(list.substr(0, list.find("\r\n")),
              "13101," + ToCp932("千代田区") + ",09LD172," + shown + "/13101/09LD172/09LD172.TXT," +
                  FrameLine(sheet / "09LD172.TXT"));
    EXPECT_NE(list.find("13102," + ToCp932("中央区") + ",09LD182," + shown + "/13102.LZH,\r\n"), std::string::npos);
}

TEST_F(GridoraCli, SheetFoldersWithKanaOrBlanksInAnArchiveConvert) {
    // The sample's 13101 sheets 09LD172 and 09LD174, stored as "テストX" and "AB CDEF" (seven bytes each, as sheet names are).
    const std::map<std::string, std::string> renamed = {{"09LD172", ToCp932("テストX")}, {"09LD174", "AB CDEF"}};
    std::vector<LhaMember> members;
    for (const auto& [sheet, name] : renamed) {
        for (const auto& entry : fs::recursive_directory_iterator(kSample / "13101" / sheet)) {
            if (!entry.is_regular_file()) continue;
            std::string inner = entry.path().lexically_relative(kSample / "13101" / sheet).native();
            if (inner == sheet + ".TXT") inner = name + ".TXT";
            members.push_back({name + "/" + inner, ReadBytes(entry.path())});
        }
    }
    const fs::path archive = folder / "13101.LZH";
    testing::WriteLhaArchive(archive, members);
    const fs::path out = folder / "out";
    const CliResult result = Convert(out, {archive});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "変換が終了しました\n");
    EXPECT_EQ(RecordCounts(out).at("zuyo"), 2);
    const std::string list = ReadBytes(out / "run.lis");
    EXPECT_NE(list.find("," + ToCp932("テストX") + ","), std::string::npos) << Cp932ToUtf8(list);
    EXPECT_NE(list.find(",AB CDEF,"), std::string::npos);
    EXPECT_TRUE(Folders(out).empty());
}

TEST_F(GridoraCli, RefusesToStartWithoutSourcesOrListFileAndOnBadArguments) {
    CliResult result = Run({"-o", (folder / "out/run.lis").native(), "--settings", settings.native()});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.err, "Open File Name Error\n");
    result = Run({"--settings", settings.native(), SampleDescription("13101", "09LD172").native()});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.err, "Save Path Name Error\n");
    EXPECT_FALSE(fs::exists(settings));

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--frobnicate"}, {"-o"}, {"-o", "x.lis", (folder / "missing.TXT").native()},
          {"-o", "x.lis", (kSample / "README.md").native()}}) {
        result = Run(wrong);
        EXPECT_EQ(result.exit_code, 2);
        EXPECT_NE(result.err.find("Usage: gridora-cli"), std::string::npos);
    }
    result = Run({"--help"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.out.find("Usage: gridora-cli -o RUN.lis"), std::string::npos);
}

}  // namespace
}  // namespace gridora
