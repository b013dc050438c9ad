#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/program_files.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ScratchFolder;

// Sets an environment variable for one test.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ProgramFiles, SettingsAndErrorsLieBesideAProgramInAWritableFolder) {
    ScratchFolder folder;
    const SettingsFiles files = LocateSettingsFiles(folder.Path());
    EXPECT_EQ(files.settings, folder / "gridora.Ini");
    EXPECT_EQ(files.errors, folder / "gridora.Err");
}

TEST(ProgramFiles, OtherwiseTheyGoToTheUsersConfigFolderWhichIsCreated) {
    ScratchFolder folder;
    ScopedEnvironment xdg("XDG_CONFIG_HOME", (folder / "config").native());
    const SettingsFiles files = LocateSettingsFiles(folder / "no-such-program-folder");
    EXPECT_EQ(files.settings, folder / "config/gridora/gridora.Ini");
    EXPECT_EQ(files.errors, folder / "config/gridora/gridora.Err");
    EXPECT_TRUE(std::filesystem::is_directory(folder / "config/gridora"));

    ScopedEnvironment empty("XDG_CONFIG_HOME", "");
    ScopedEnvironment home("HOME", (folder / "home").native());
    EXPECT_EQ(LocateSettingsFiles(folder / "no-such-program-folder").settings,
              folder / "home/.config/gridora/gridora.Ini");
}

TEST(ProgramFiles, AChosenSettingsFileHasItsErrorFileBesideIt) {
    EXPECT_EQ(ErrorFileBeside("/etc/x/run.Ini"), "/etc/x/run.Err");
    EXPECT_EQ(ErrorFileBeside("/etc/x/settings"), "/etc/x/settings.Err");
}

// An installation under `prefix`: PREFIX/bin and PREFIX/share/gridora.
void MakeInstalledLayout(const std::filesystem::path& prefix) {
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share/gridora");
}

TEST(ProgramFiles, AnInstalledProgramKeepsItsSettingsInTheUsersConfigFolderEvenWhenBinIsWritable) {
    ScratchFolder folder;
    MakeInstalledLayout(folder / "usr");
    ScopedEnvironment xdg("XDG_CONFIG_HOME", (folder / "config").native());
    EXPECT_TRUE(IsInstalledProgramFolder(folder / "usr/bin"));
    EXPECT_TRUE(IsInstalledProgramFolder(folder / "usr/bin/"));
    const SettingsFiles files = LocateSettingsFiles(folder / "usr/bin");
    EXPECT_EQ(files.settings, folder / "config/gridora/gridora.Ini");
    EXPECT_EQ(files.errors, folder / "config/gridora/gridora.Err");
    EXPECT_TRUE(std::filesystem::is_directory(folder / "config/gridora"));

    // A build tree's bin folder has no share/gridora beside it.
    std::filesystem::create_directories(folder / "build/bin");
    EXPECT_FALSE(IsInstalledProgramFolder(folder / "build/bin"));
    EXPECT_EQ(LocateSettingsFiles(folder / "build/bin").settings, folder / "build/bin/gridora.Ini");
}

TEST(ProgramFiles, SupportFilesAreFoundBesideTheProgramFirstThenInTheInstalledFolder) {
    ScratchFolder folder;
    MakeInstalledLayout(folder / "usr");
    const std::filesystem::path bin = folder / "usr/bin";
    testing::WriteBytes(folder / "usr/share/gridora/city.csv", "installed");
    testing::WriteBytes(folder / "usr/share/gridora/symbols.sym", "installed");
    testing::WriteBytes(bin / "symbols.sym", "beside");

    EXPECT_EQ(FindSupportFile(bin, "city.csv"), folder / "usr/share/gridora/city.csv");
    EXPECT_EQ(FindSupportFile(bin, "symbols.sym"), bin / "symbols.sym");
    // Missing everywhere: the place beside the program, which messages name.
    EXPECT_EQ(FindSupportFile(bin, "ms4wmap10.lzh"), bin / "ms4wmap10.lzh");
    // A folder of that name is no file.
    std::filesystem::create_directories(bin / "README.md");
    testing::WriteBytes(folder / "usr/share/gridora/README.md", "help");
    EXPECT_EQ(FindSupportFile(bin, "README.md"), folder / "usr/share/gridora/README.md");
}

TEST(ProgramFiles, TheArchiveLibraryIsLookedForBesideTheProgramThenInTheInstalledLib) {
    const std::vector<std::filesystem::path> folders = LibraryFolders("/opt/gridora/bin");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], "/opt/gridora/bin");
    EXPECT_EQ(folders[1], "/opt/gridora/lib");
    EXPECT_EQ(SupportFolders("/usr/bin").back(), "/usr/share/gridora");
}

TEST(ProgramFiles, TheProgramFolderIsThatOfTheRunningExecutable) {
    EXPECT_TRUE(std::filesystem::exists(ProgramFolder() / "platform_tests"));
}

}  // namespace
}  // namespace gridora
