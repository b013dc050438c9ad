// Where the program finds its own files: the folder it was started from, the support files
// ("city.csv", "symbols.sym", "ms4wmap10.lzh", the help page), the archive library, and the
// settings and error files.
//
// Two layouts are served. In the build tree (or a copied folder) everything lies beside the
// program. An installed program lies in PREFIX/bin with its support files in
// PREFIX/share/gridora and its libraries in PREFIX/lib; the program's own folder is still
// searched first, so a file placed beside it overrides the installed one.
//
// Both front ends share one settings file, "gridora.Ini", and one error file, "gridora.Err".
// They lie beside the program, except for an installed program or one whose folder is not
// writable: then they live in $XDG_CONFIG_HOME/gridora/ (~/.config/gridora/ when the
// variable is unset or empty), never in the shared PREFIX/bin even when it is writable.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace gridora {

// The folder of the running executable.
std::filesystem::path ProgramFolder();

// The installed support folder of a program in `program_folder`: ../share/gridora.
std::filesystem::path InstalledSupportFolder(const std::filesystem::path& program_folder);

// Whether `program_folder` is the bin folder of an installation (its support folder exists).
bool IsInstalledProgramFolder(const std::filesystem::path& program_folder);

// The folders searched for support files, in order: the program's own, then the installed one.
std::vector<std::filesystem::path> SupportFolders(const std::filesystem::path& program_folder);

// The first support folder that holds `name`, joined with it. When none does, the path
// beside the program, so that messages about the missing file name the usual place.
std::filesystem::path FindSupportFile(const std::filesystem::path& program_folder, std::string_view name);

// The folders searched for the run-time loaded archive library, in order: the program's
// own, then ../lib of an installation.
std::vector<std::filesystem::path> LibraryFolders(const std::filesystem::path& program_folder);

struct SettingsFiles {
    std::filesystem::path settings;  // ".Ini"
    std::filesystem::path errors;    // ".Err"
};

// The settings and error files for a program in `program_folder`. The fallback folder
// is created when it is chosen.
SettingsFiles LocateSettingsFiles(const std::filesystem::path& program_folder);

// The error file that goes with a given settings file: the same path with ".Err".
std::filesystem::path ErrorFileBeside(const std::filesystem::path& settings_file);

}  // namespace gridora
