#include "platform/program_files.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace gridora {
namespace {

constexpr const char* kSettingsBaseName = "gridora";

bool IsWritableFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

std::filesystem::path UserConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg != '\0') return std::filesystem::path(xdg) / "gridora";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".config" / "gridora";
}

}  // namespace

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

SettingsFiles LocateSettingsFiles(const std::filesystem::path& program_folder) {
    std::filesystem::path folder = program_folder;
    if (!IsWritableFolder(folder)) {
        folder = UserConfigFolder();
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    std::filesystem::path settings = folder / (std::string(kSettingsBaseName) + ".Ini");
    return SettingsFiles{settings, ErrorFileBeside(settings)};
}

std::filesystem::path ErrorFileBeside(const std::filesystem::path& settings_file) {
    std::filesystem::path errors = settings_file;
    errors.replace_extension(".Err");
    return errors;
}

}  // namespace gridora
