#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

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

TEST(ProgramFiles, TheProgramFolderIsThatOfTheRunningExecutable) {
    EXPECT_TRUE(std::filesystem::exists(ProgramFolder() / "platform_tests"));
}

}  // namespace
}  // namespace gridora
