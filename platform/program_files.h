// Where the program finds its own files: the folder it was started from (for "city.csv"
// and the archive library), and the settings and error files. Both front ends share one
// settings file, "gridora.Ini", and one error file, "gridora.Err", beside the program;
// when that folder is not writable (an installed program) they live in
// $XDG_CONFIG_HOME/gridora/ (~/.config/gridora/ when the variable is unset or empty).
#pragma once

#include <filesystem>

namespace gridora {

// The folder of the running executable.
std::filesystem::path ProgramFolder();

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
