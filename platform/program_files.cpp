#include "platform/program_files.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
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

// `program_folder`/../`relative`, spelt without "..", so that paths in messages read plainly.
std::filesystem::path BesideProgramFolder(const std::filesystem::path& program_folder,
                                          const std::filesystem::path& relative) {
    const std::filesystem::path folder = program_folder.lexically_normal();
    std::filesystem::path parent = folder.has_filename() ? folder.parent_path() : folder.parent_path().parent_path();
    return parent / relative;
}

}  // namespace

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

std::filesystem::path InstalledSupportFolder(const std::filesystem::path& program_folder) {
    return BesideProgramFolder(program_folder, "share/gridora");
}

bool IsInstalledProgramFolder(const std::filesystem::path& program_folder) {
    std::error_code ec;
    return std::filesystem::is_directory(InstalledSupportFolder(program_folder), ec);
}

std::vector<std::filesystem::path> SupportFolders(const std::filesystem::path& program_folder) {
    return {program_folder, InstalledSupportFolder(program_folder)};
}

std::filesystem::path FindSupportFile(const std::filesystem::path& program_folder, std::string_view name) {
    for (const std::filesystem::path& folder : SupportFolders(program_folder)) {
        std::error_code ec;
        std::filesystem::path candidate = folder / name;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    }
    return program_folder / name;
}

std::vector<std::filesystem::path> LibraryFolders(const std::filesystem::path& program_folder) {
    return {program_folder, BesideProgramFolder(program_folder, "lib")};
}

SettingsFiles LocateSettingsFiles(const std::filesystem::path& program_folder) {
    std::filesystem::path folder = program_folder;
    if (IsInstalledProgramFolder(program_folder) || !IsWritableFolder(folder)) {
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
