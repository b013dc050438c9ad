#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "convert/writer_helpers.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "run/conversion_run.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::DescriptionText;
using testing::ReadBytes;
using testing::ReadLayer;
using testing::ScratchFolder;
using testing::WriteBytes;

// The names directly inside `folder`, sorted.
std::vector<std::string> Entries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A description that fixes a coordinate system and ends before the frame line, so that
// converting it writes nothing.
std::string ShortDescription(int system) {
    return "a\r\nb\r\n200001\r\nhistory\r\nname\r\nlevel\r\n" + std::to_string(system) +
           ",-1000.0,2000.0,-500.0,2500.0,,,,,1\r\n";
}

// An archive library whose extraction writes a short description for the requested sheet
// into `output`, or fails for archives whose name contains "BROKEN" (leaving a partial
// folder behind).
struct FakeExtraction {
    static inline std::vector<std::string> commands;
    static inline std::filesystem::path output;

    // The quoted words of a line: archive, destination and pattern "SHEET/*.*".
    static std::vector<std::string> QuotedWords(const std::string& line) {
        std::vector<std::string> words;
        for (std::size_t open = line.find('"'); open != std::string::npos; open = line.find('"', open + 1)) {
            const std::size_t close = line.find('"', open + 1);
            words.push_back(line.substr(open + 1, close - open - 1));
            open = close;
        }
        return words;
    }

    static int Unlha(void*, const char* line, char* report, std::uint32_t size) {
        commands.emplace_back(line);
        destinations.clear();
        if (size > 0) report[0] = '\0';
        const std::vector<std::string> words = QuotedWords(line);
        if (words.size() != 3) return UNLHA_ERROR_COMMAND;
        const std::filesystem::path destination = words[1];
        destinations.push_back(destination);
        const std::string sheet = words[2].substr(0, words[2].find('/'));
        if (words[0].find("BROKEN") != std::string::npos) {
            WriteBytes(destination / sheet / "GYOUSEI/partial.ARC", "x");
            return UNLHA_ERROR_DATA;
        }
        if (words[0].find("NODESCRIPTION") != std::string::npos) {
            WriteBytes(destination / sheet / "GYOUSEI/SI_TYO.ATR", "x");
            return 0;
        }
        WriteBytes(destination / sheet / (sheet + ".TXT"), ShortDescription(9));
        WriteBytes(destination / sheet / "GYOUSEI/SI_TYO.ATR", "x");
        return 0;
    }
    static inline std::vector<std::filesystem::path> destinations;

    static ArchiveEntryPoints EntryPoints() {
        ArchiveEntryPoints e{};
        e.Unlha = &Unlha;
        return e;
    }
};

class ConversionRun : public ::testing::Test {
protected:
    void SetUp() override {
        FakeExtraction::commands.clear();
        FakeExtraction::output = out;
        request.list_file = (out / "run.lis").native();
        request.settings_file = folder / "gridora.Ini";
        request.error_file = folder / "gridora.Err";
        request.set_execute_enabled = [this](bool enabled) { execute_states.push_back(enabled); };
        // No template archive there: the archive library sees the sheets' extractions only.
        request.program_folder = folder.Path();
    }

    // Adds a row for a description written under data/13101/SHEET/.
    void AddDescriptionRow(const std::string& sheet, int system) {
        const auto path = folder / ("data/13101/" + sheet + "/" + sheet + ".TXT");
        WriteBytes(path, ShortDescription(system));
        sheets.Append("13101,," + sheet + "," + path.native() + "," + std::to_string(system));
    }
    // Adds a row for a description whose frame line writes the sheet frame layer.
    void AddFramedDescriptionRow(const std::string& sheet) {
        const auto path = folder / ("data/13101/" + sheet + "/" + sheet + ".TXT");
        WriteBytes(path, DescriptionText("9,-1000.0,2000.0,-500.0,2500.0,,,,,1", {}));
        sheets.Append("13101,," + sheet + "," + path.native() + ",9");
    }
    void AddMissingRow(const std::string& sheet) {
        sheets.Append("13101,," + sheet + "," + (folder / "gone" / (sheet + ".TXT")).native() + ",");
    }
    void AddArchiveRow(const std::string& archive, const std::string& sheet) {
        sheets.Append("13101,," + sheet + "," + (folder / archive).native() + ",");
    }

    RunOutcome Run() { return RunConversion(sheets, request, state, archives, port); }

    std::vector<bool> Checks() const {
        std::vector<bool> checks;
        for (std::size_t i = 0; i < sheets.size(); ++i) checks.push_back(sheets.IsChecked(i));
        return checks;
    }

    ScratchFolder folder;
    std::filesystem::path out = folder / "out";
    SheetList sheets;
    RunRequest request;
    SheetConversionState state;
    ArchiveEntryPoints archives = FakeExtraction::EntryPoints();
    RecordingPort port;
    std::vector<bool> execute_states;
};

TEST_F(ConversionRun, AnEmptyListOrBlankFirstRowOrBlankListPathEndsAtOnceWithItsMessage) {
    EXPECT_EQ(Run(), RunOutcome::kRefused);
    sheets.Append(" \t ");
    AddDescriptionRow("09LD171", 9);
    EXPECT_EQ(Run(), RunOutcome::kRefused);
    sheets.SetText(0, sheets.Text(1));
    request.list_file = "  ";
    EXPECT_EQ(Run(), RunOutcome::kRefused);
    EXPECT_EQ(port.messages, (std::vector<std::string>{"Open File Name Error", "Open File Name Error",
                                                       "Save Path Name Error"}));
    EXPECT_TRUE(port.statuses.empty());
    EXPECT_TRUE(execute_states.empty());
    EXPECT_EQ(Checks(), (std::vector<bool>{false, false}));
}

TEST_F(ConversionRun, ConvertedRowsAreUncheckedAndAnotherSystemIsMarked) {
    std::filesystem::create_directories(out);
    AddDescriptionRow("09LD171", 9);
    AddDescriptionRow("09LD172", 10);
    AddDescriptionRow("09LD173", 9);
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(sheets.Text(1).substr(0, ToCp932("座標系エラー：").size()), ToCp932("座標系エラー："));
    EXPECT_EQ(port.messages, std::vector<std::string>{ToCp932("変換が終了しました")});
    EXPECT_EQ(execute_states, (std::vector<bool>{false, true}));
    EXPECT_EQ(state.coordinate_system.number, 9);
    EXPECT_TRUE(FakeExtraction::commands.empty());
    EXPECT_EQ(ReadBytes(out / "run.lis"),
              sheets.Text(0) + "\r\n" + sheets.Text(1) + "\r\n" + sheets.Text(2) + "\r\n");
    ASSERT_GE(port.statuses.size(), 2u);
    EXPECT_EQ(port.statuses[0], ToCp932((folder / "data/13101/09LD171/09LD171.TXT").native() + "処理中"));
    EXPECT_EQ(port.statuses.back(), ToCp932("処理終了"));
}

TEST_F(ConversionRun, AnUnreadableDescriptionIsReportedStaysCheckedAndTheRunGoesOn) {
    std::filesystem::create_directories(out);
    AddDescriptionRow("09LD171", 9);
    AddMissingRow("09LD172");
    AddDescriptionRow("09LD173", 9);
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, true, false}));
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_NE(port.messages[0].find(ToCp932((folder / "gone/09LD172.TXT").native())), std::string::npos);
    EXPECT_EQ(port.messages[1], ToCp932("変換が終了しました"));
    EXPECT_EQ(execute_states, (std::vector<bool>{false, true}));
}

TEST_F(ConversionRun, ADuplicateSheetIsSkippedAndStaysCheckedAndUnchanged) {
    std::filesystem::create_directories(out);
    AddDescriptionRow("09LD171", 9);
    AddDescriptionRow("09LD171", 10);  // would be refused if it were converted
    const std::string second = sheets.Text(1);
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, true}));
    EXPECT_EQ(sheets.Text(1), second);
}

TEST_F(ConversionRun, ArchivedSheetsAreExtractedIntoTheOutputFolderAndRemovedAfterwards) {
    std::filesystem::create_directories(out);
    AddArchiveRow("13101.LZH", "09LD171");
    AddArchiveRow("13101.lzh", "09LD172");
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    ASSERT_EQ(FakeExtraction::commands.size(), 2u);
    // Into a private folder of the output folder, every path quoted.
    const std::string& command = FakeExtraction::commands[0];
    const std::string start = " e -x1 \"" + (folder / "13101.LZH").native() + "\" \"" + out.native() + "/.gridora-";
    EXPECT_EQ(command.substr(0, start.size()), start) << command;
    EXPECT_TRUE(command.ends_with("/\" \"09LD171/*.*\" -p2 -y1")) << command;
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"etc", "gridora.php", "gridora_ms8.php", "leaflet", "ms_tmp",
                                                      "run.html", "run.lis", "run.map", "run_ms8.conf",
                                                      "run_ms8.map", "templates"}));
    EXPECT_EQ(Checks(), (std::vector<bool>{false, false}));
    EXPECT_FALSE(std::filesystem::exists(out / "09LD171"));
    EXPECT_FALSE(std::filesystem::exists(out / "09LD172"));
    EXPECT_EQ(port.statuses[0], ToCp932((out / "09LD171/09LD171.TXT").native() + "処理中"));
}

TEST_F(ConversionRun, MessagesAboutAnArchivedSheetNameItWhereTheUserExpectsIt) {
    AddArchiveRow("NODESCRIPTION.LZH", "09LD171");
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    ASSERT_EQ(FakeExtraction::destinations.size(), 1u);
    // "OUT/.gridora-XXXXXX/": a folder of its own inside the output folder, removed again.
    EXPECT_EQ(FakeExtraction::destinations[0].parent_path().parent_path(), out);
    EXPECT_FALSE(std::filesystem::exists(FakeExtraction::destinations[0]));
    ASSERT_FALSE(port.messages.empty());
    EXPECT_EQ(port.messages[0], ToCp932("図葉記述ファイルを開けません：" + (out / "09LD171/09LD171.TXT").native()));
    EXPECT_EQ(port.messages.back(), ToCp932("変換が終了しました"));
    EXPECT_EQ(port.statuses[0], ToCp932((out / "09LD171/09LD171.TXT").native() + "処理中"));
}

TEST_F(ConversionRun, AFailedExtractionStopsTheLoopButTheListAndStatisticsAreStillWritten) {
    std::filesystem::create_directories(out);
    AddDescriptionRow("09LD171", 9);
    AddArchiveRow("13101.LZH", "09LD172");
    AddArchiveRow("BROKEN.LZH", "09LD173");
    AddDescriptionRow("09LD174", 9);
    EXPECT_EQ(Run(), RunOutcome::kInterrupted);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, false, true, true}));
    EXPECT_FALSE(std::filesystem::exists(out / "09LD173"));
    EXPECT_EQ(port.messages, std::vector<std::string>{ToCp932("変換が中断しました")});
    EXPECT_FALSE(ReadBytes(out / "run.lis").empty());
    EXPECT_EQ(ReadIniInteger(request.settings_file, ToCp932("図形"), "sXYmax", 0), 10000);
    EXPECT_EQ(execute_states, (std::vector<bool>{false, true}));
}

TEST_F(ConversionRun, ItsShapefilesAreCompleteWhenItReturnsAlsoAfterStoppingEarly) {
    std::filesystem::create_directories(out);
    AddFramedDescriptionRow("09LD171");
    AddFramedDescriptionRow("09LD172");
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    EXPECT_TRUE(state.output_files.Empty());
    auto frames = ReadLayer(out / "zuyo");
    ASSERT_TRUE(frames.opened);
    EXPECT_EQ(frames.shape_count, 2);
    EXPECT_EQ(frames.record_count, 2);

    AddArchiveRow("BROKEN.LZH", "09LD173");
    AddFramedDescriptionRow("09LD174");
    EXPECT_EQ(Run(), RunOutcome::kInterrupted);
    EXPECT_TRUE(state.output_files.Empty());
    frames = ReadLayer(out / "zuyo");
    ASSERT_TRUE(frames.opened);
    EXPECT_EQ(frames.shape_count, 2);
    EXPECT_EQ(frames.record_count, 2);
    EXPECT_EQ(frames.vertices[1].size(), 5u);
}

TEST_F(ConversionRun, TheListScrollsEveryThirtyProcessedRowsKeepingTenAbove) {
    std::filesystem::create_directories(out);
    for (int i = 0; i < 60; ++i) AddDescriptionRow("S" + std::to_string(100 + i), 9);
    std::vector<std::size_t> tops;
    sheets.Subscribe([&](const SheetListChange& c) {
        if (c.kind == SheetListChange::Kind::kScrollTo) tops.push_back(c.first);
    });
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    EXPECT_EQ(tops, (std::vector<std::size_t>{19, 49}));
}

TEST_F(ConversionRun, EachRunStartsWithNoLayerFileMadeAndItsOwnCoordinateSystem) {
    std::filesystem::create_directories(out);
    state.files_made[4].polygon_made = true;
    state.coordinate_system.number = 10;
    AddDescriptionRow("09LD171", 9);
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    EXPECT_FALSE(state.files_made[4].AnyMade());
    EXPECT_EQ(Checks(), (std::vector<bool>{false}));
    EXPECT_EQ(sheets.Text(0).find(ToCp932("座標系エラー：")), std::string::npos);
}

TEST_F(ConversionRun, AMissingArchiveLibraryInterruptsTheRunInsteadOfPassingForSuccess) {
    std::filesystem::create_directories(out);
    AddDescriptionRow("09LD171", 9);
    AddArchiveRow("13101.LZH", "09LD172");
    ArchiveLibrary& library = ArchiveLibrary::Get();
    ASSERT_FALSE(library.loaded());
    MessagePort* previous = library.message_port();
    library.SetMessagePort(&port);
    const RunOutcome outcome = RunConversion(sheets, request, state, library.entry_points(), port);
    library.SetMessagePort(previous);
    EXPECT_EQ(outcome, RunOutcome::kInterrupted);
    EXPECT_EQ(Checks(), (std::vector<bool>{false, true}));
    EXPECT_EQ(port.messages, (std::vector<std::string>{MissingArchiveLibraryMessage("Unlha"),
                                                       ToCp932("変換が中断しました")}));
}

TEST_F(ConversionRun, AnUnwritableListFileIsSkippedSilently) {
    AddDescriptionRow("09LD171", 9);
    request.list_file = (folder / "no/such/folder/run.lis").native();
    EXPECT_EQ(Run(), RunOutcome::kCompleted);
    // Only the map file, which cannot be written there either, is reported.
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[0], ToCp932("Mapファイルを作成できません：" + (folder / "no/such/folder/run.map").native()));
    EXPECT_EQ(port.messages[1], ToCp932("変換が終了しました"));
}

}  // namespace
}  // namespace gridora
