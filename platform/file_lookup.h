// Finding data files named by Windows-made map data on a case-sensitive file system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace gridora {

// The existing file or folder that `path` names: `path` itself when it exists as given,
// otherwise the entry found by matching each missing path component against its folder
// without regard to ASCII case (the first match in name order when several differ only
// in case). Nothing when no such entry exists.
std::optional<std::filesystem::path> LocateDataFile(const std::filesystem::path& path);

// The CP932 text of a path (the file system's names are UTF-8), as messages and list
// rows show it.
std::string PathToCp932(const std::filesystem::path& path);

// The file-system path of a CP932 path text, as list rows and descriptions hold it.
std::filesystem::path PathFromCp932(std::string_view cp932);

}  // namespace gridora
