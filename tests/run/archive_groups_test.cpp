// Sheets of one archive extracted together: the run reads each archive once for the rows
// that follow its first sheet, and gives exactly what extracting every sheet on its own
// gives (outputs, row states, messages), also when the archive is damaged part-way or a
// row names a sheet the archive lacks. Runs the real archive library over archives made
// from the committed sample sheets.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "input/archive_binding.h"
#include "platform/cp932.h"
#include "platform/lha_writer_helpers.h"
#include "run/conversion_run.h"
#include "run/extracted_sheets.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::LhaDamage;
using testing::LhaMember;
using testing::LhaWriteOptions;
using testing::ReadBytes;
using testing::ScratchFolder;

const fs::path kSample = fs::path(GRIDORA_SOURCE_DIR) / "data/sample";
const std::vector<std::string> kSheets = {"09LD172", "09LD174", "09LD181", "09LD183"};
const std::vector<std::string> kOtherSheets = {"09LD182", "09LD184"};

// Sample sheets of a municipality as stored members "SHEET\\...", sheet by sheet.
std::vector<LhaMember> SampleMembers(const std::string& code = "13101") {
    return testing::FolderMembers(kSample / code, '\\');
}

// The index of the first member of `sheet`.
std::size_t FirstMemberOf(const std::vector<LhaMember>& members, const std::string& sheet) {
    for (std::size_t i = 0; i < members.size(); ++i)
        if (members[i].path.starts_with(sheet + "\\")) return i;
    return members.size();
}

// The real library's entry points with every extraction command recorded; with
// `sheet_by_sheet` the archive cannot be listed, so no group forms and every sheet is
// extracted on its own.
struct RecordedLibrary {
    static inline std::mutex lock;  // extractions may run on a thread of their own
    static inline std::vector<std::string> commands;
    static inline const ArchiveEntryPoints* real = nullptr;

    static int Unlha(void* window, const char* line, char* report, std::uint32_t size) {
        {
            const std::lock_guard<std::mutex> hold(lock);
            commands.emplace_back(line);
        }
        return real->Unlha(window, line, report, size);
    }
    static UnlhaArchive NoListing(void*, const char*, std::uint32_t) { return nullptr; }

    static ArchiveEntryPoints EntryPoints(const ArchiveEntryPoints& library, bool sheet_by_sheet) {
        real = &library;
        ArchiveEntryPoints e = library;
        e.Unlha = &Unlha;
        if (sheet_by_sheet) e.UnlhaOpenArchive = &NoListing;
        return e;
    }
};

// Records, with each status, which sheet folders lie extracted in the private folders.
class FolderWatchingPort : public RecordingPort {
public:
    explicit FolderWatchingPort(fs::path output) : output_(std::move(output)) {}
    void SetStatus(std::string_view cp932) override {
        RecordingPort::SetStatus(cp932);
        std::vector<std::string> present;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(output_, ec))
            if (entry.path().filename().native().starts_with(".gridora-"))
                for (const auto& sheet : fs::directory_iterator(entry.path(), ec))
                    present.push_back(sheet.path().filename().native());
        std::sort(present.begin(), present.end());
        extracted.push_back(present);
    }
    std::vector<std::vector<std::string>> extracted;

private:
    fs::path output_;
};

struct RunResult {
    RunOutcome outcome = RunOutcome::kRefused;
    std::vector<bool> checks;
    std::vector<std::string> messages, statuses, commands;
    std::vector<std::vector<std::string>> extracted;
    std::map<std::string, std::string> files;  // name -> bytes, the output folder's path blanked
};

class ArchiveGroups : public ::testing::Test {
protected:
    fs::path Archive(const std::vector<LhaMember>& members, const LhaWriteOptions& options = {},
                     const std::string& name = "13101.LZH") {
        const fs::path file = folder / name;
        testing::WriteLhaArchive(file, members, options);
        return file;
    }

    // Converts one row per sheet of `archive` into out-NAME.
    RunResult Run(const std::string& name, const fs::path& archive, const std::vector<std::string>& rows,
                  bool sheet_by_sheet) {
        std::vector<std::pair<std::string, fs::path>> archived;
        for (const std::string& sheet : rows) archived.emplace_back(sheet, archive);
        return Run(name, archived, sheet_by_sheet);
    }
    RunResult Run(const std::string& name, const std::vector<std::pair<std::string, fs::path>>& rows,
                  bool sheet_by_sheet, unsigned jobs = 0) {
        const fs::path out = folder / ("out-" + name);
        SheetList sheets;
        for (const auto& [sheet, archive] : rows) sheets.Append("13101,," + sheet + "," + archive.native() + ",");
        RunRequest request;
        request.list_file = (out / "run.lis").native();
        request.settings_file = folder / (name + ".Ini");
        request.error_file = folder / (name + ".Err");
        request.program_folder = folder.Path();
        request.jobs = jobs;
        SheetConversionState state;
        FolderWatchingPort port(out);
        RecordedLibrary::commands.clear();
        const ArchiveEntryPoints entry_points = RecordedLibrary::EntryPoints(library.entry_points(), sheet_by_sheet);

        RunResult result;
        result.outcome = RunConversion(sheets, request, state, entry_points, port);
        for (std::size_t i = 0; i < sheets.size(); ++i) result.checks.push_back(sheets.IsChecked(i));
        const std::string out_text = ToCp932(out.native());
        auto blank = [&](std::string text) {
            for (std::size_t at = text.find(out_text); at != std::string::npos; at = text.find(out_text, at))
                text.replace(at, out_text.size(), "OUT");
            return text;
        };
        for (const std::string& m : port.messages) result.messages.push_back(blank(m));
        for (const std::string& s : port.statuses) result.statuses.push_back(blank(s));
        result.commands = RecordedLibrary::commands;
        result.extracted = port.extracted;
        for (const auto& entry : fs::recursive_directory_iterator(out))
            if (entry.is_regular_file())
                result.files[fs::relative(entry.path(), out).native()] = blank(ReadBytes(entry.path()));
        return result;
    }

    static void ExpectSameRun(const RunResult& grouped, const RunResult& alone) {
        EXPECT_EQ(grouped.outcome, alone.outcome);
        EXPECT_EQ(grouped.checks, alone.checks);
        EXPECT_EQ(grouped.messages, alone.messages);
        EXPECT_EQ(grouped.statuses, alone.statuses);
        ASSERT_EQ(grouped.files.size(), alone.files.size());
        for (const auto& [name, bytes] : alone.files) EXPECT_TRUE(grouped.files.at(name) == bytes) << name;
    }

    // A sheet's folder is gone once its row is done: as each row starts, it lies extracted
    // and none of the rows before it does (later ones may already be there).
    static void ExpectFoldersGoneAfterTheirRows(const RunResult& run, const std::vector<std::string>& rows) {
        ASSERT_GE(run.extracted.size(), rows.size());
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::vector<std::string>& present = run.extracted[k];
            EXPECT_NE(std::find(present.begin(), present.end(), rows[k]), present.end()) << rows[k];
            for (std::size_t done = 0; done < k; ++done)
                EXPECT_EQ(std::find(present.begin(), present.end(), rows[done]), present.end())
                    << rows[done] << " at row " << k;
        }
    }

    // Each sheet's pattern in a command, in order.
    static std::vector<std::string> Patterns(const std::string& command) {
        std::vector<std::string> patterns;
        for (std::size_t at = command.find("/*.*\""); at != std::string::npos; at = command.find("/*.*\"", at + 1))
            patterns.push_back(command.substr(command.rfind('"', at) + 1, at - command.rfind('"', at) - 1));
        return patterns;
    }

    ScratchFolder folder;
    ArchiveLibraryUse library{nullptr, GRIDORA_BINARY_DIR "/bin/" UNLHA32_LIBRARY_FILE};
};

TEST_F(ArchiveGroups, TheArchiveIsReadOnceForTheRowsAfterItsFirstSheetWithTheSameResult) {
    ASSERT_TRUE(library.loaded());
    const fs::path archive = Archive(SampleMembers());
    const RunResult grouped = Run("grouped", archive, kSheets, false);
    const RunResult alone = Run("alone", archive, kSheets, true);
    EXPECT_EQ(grouped.outcome, RunOutcome::kCompleted);
    EXPECT_EQ(grouped.checks, std::vector<bool>(4, false));
    ExpectSameRun(grouped, alone);

    // The first sheet on its own, as any sheet; the three after it in one call.
    ASSERT_EQ(grouped.commands.size(), 2u);
    EXPECT_EQ(Patterns(grouped.commands[0]), std::vector<std::string>{"09LD172"});
    EXPECT_EQ(Patterns(grouped.commands[1]), (std::vector<std::string>{"09LD174", "09LD181", "09LD183"}));
    EXPECT_EQ(alone.commands.size(), 4u);

    ExpectFoldersGoneAfterTheirRows(grouped, kSheets);
    for (const auto& [name, bytes] : grouped.files) EXPECT_FALSE(name.starts_with(".gridora-")) << name;
}

TEST_F(ArchiveGroups, TheNextArchivesAreExtractedWhileTheRowsBeforeThemConvert) {
    const fs::path first = Archive(SampleMembers());
    const fs::path second = Archive(SampleMembers("13102"), {}, "13102.LZH");
    std::vector<std::pair<std::string, fs::path>> rows;
    for (const std::string& sheet : kSheets) rows.emplace_back(sheet, first);
    for (const std::string& sheet : kOtherSheets) rows.emplace_back(sheet, second);
    const RunResult grouped = Run("grouped", rows, false, 1);
    const RunResult alone = Run("alone", rows, true, 1);
    EXPECT_EQ(grouped.checks, std::vector<bool>(6, false));
    ExpectSameRun(grouped, alone);
    // Its sheets all in one call, the first one with them.
    ASSERT_EQ(grouped.commands.size(), 3u);
    EXPECT_EQ(Patterns(grouped.commands[2]), kOtherSheets);
    std::vector<std::string> all = kSheets;
    all.insert(all.end(), kOtherSheets.begin(), kOtherSheets.end());
    ExpectFoldersGoneAfterTheirRows(grouped, all);

    // Eight readers keep several archives extracting at once: each of the later archives
    // in one call, with the result of one reader.
    std::vector<LhaMember> members = SampleMembers("13102");
    const auto split = members.begin() + static_cast<std::ptrdiff_t>(FirstMemberOf(members, kOtherSheets[1]));
    const fs::path third = Archive({members.begin(), split}, {}, "third.LZH");
    const fs::path fourth = Archive({split, members.end()}, {}, "fourth.LZH");
    rows.resize(kSheets.size());
    rows.emplace_back(kOtherSheets[0], third);
    rows.emplace_back(kOtherSheets[1], fourth);
    const RunResult one = Run("one", rows, false, 1);
    const RunResult eight = Run("eight", rows, false, 8);
    ExpectSameRun(eight, one);
    std::vector<std::vector<std::string>> calls;
    for (const std::string& command : eight.commands) calls.push_back(Patterns(command));
    std::sort(calls.begin() + 2, calls.end());  // the later archives' calls run side by side
    EXPECT_EQ(calls, (std::vector<std::vector<std::string>>{{kSheets[0]},
                                                             {kSheets.begin() + 1, kSheets.end()},
                                                             {kOtherSheets[0]},
                                                             {kOtherSheets[1]}}));
    ExpectFoldersGoneAfterTheirRows(eight, all);
}

TEST_F(ArchiveGroups, DamageInALaterSheetStopsTheRunAtThatSheetAsBefore) {
    const std::vector<LhaMember> members = SampleMembers();
    LhaWriteOptions damaged;
    damaged.damage = LhaDamage::kDataCrc;
    damaged.damaged_member = FirstMemberOf(members, "09LD181") + 1;
    const fs::path archive = Archive(members, damaged);
    const RunResult grouped = Run("grouped", archive, kSheets, false);
    const RunResult alone = Run("alone", archive, kSheets, true);
    EXPECT_EQ(grouped.outcome, RunOutcome::kInterrupted);
    EXPECT_EQ(grouped.checks, (std::vector<bool>{false, false, true, true}));
    ExpectSameRun(grouped, alone);
}

TEST_F(ArchiveGroups, ARowNamingASheetTheArchiveLacksMeetsTheArchiveOnItsOwn) {
    const fs::path archive = Archive(SampleMembers());
    const std::vector<std::string> rows = {"09LD172", "09LD174", "09LD999", "09LD183"};
    const RunResult grouped = Run("grouped", archive, rows, false);
    const RunResult alone = Run("alone", archive, rows, true);
    EXPECT_EQ(grouped.outcome, RunOutcome::kInterrupted);
    EXPECT_EQ(grouped.checks, (std::vector<bool>{false, false, true, true}));
    ExpectSameRun(grouped, alone);
    // The group left the missing sheet out; its row then asked the archive on its own.
    ASSERT_EQ(grouped.commands.size(), 3u);
    EXPECT_EQ(Patterns(grouped.commands[1]), (std::vector<std::string>{"09LD174", "09LD183"}));
    EXPECT_EQ(Patterns(grouped.commands[2]), std::vector<std::string>{"09LD999"});
}

TEST_F(ArchiveGroups, SheetFoldersStoredInAnotherCaseAreStillRemovedAfterTheirRow) {
    std::vector<LhaMember> members = SampleMembers();
    for (LhaMember& m : members)
        if (m.path.starts_with("09LD174\\")) m.path.replace(0, 7, "09ld174");
    const fs::path archive = Archive(members);
    const RunResult grouped = Run("grouped", archive, kSheets, false);
    const RunResult alone = Run("alone", archive, kSheets, true);
    ExpectSameRun(grouped, alone);
    std::vector<std::string> stored = kSheets;
    stored[1] = "09ld174";
    ExpectFoldersGoneAfterTheirRows(grouped, stored);
}

}  // namespace
}  // namespace gridora
