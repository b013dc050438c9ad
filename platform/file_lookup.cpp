#include "platform/file_lookup.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "platform/cp932.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;

// File names on disk are UTF-8, whose multibyte sequences hold no ASCII bytes, so a
// byte-wise ASCII fold is exact.
bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool Exists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec)) || fs::exists(p, ec);
}

// The entry of `folder` named `name` without regard to case; the first in name order.
std::optional<fs::path> MatchInFolder(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
    if (ec) return std::nullopt;
    std::vector<std::string> matches;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::string entry = it->path().filename().string();
        if (SameNameIgnoringCase(entry, name)) matches.push_back(std::move(entry));
    }
    if (matches.empty()) return std::nullopt;
    std::sort(matches.begin(), matches.end());
    return folder / matches.front();
}

}  // namespace

std::optional<fs::path> LocateDataFile(const fs::path& path) {
    if (path.empty()) return std::nullopt;
    if (Exists(path)) return path;
    // Resolve component by component: a component that exists as given is kept, any
    // other is matched against its folder without regard to case.
    fs::path found = path.root_path();
    for (const fs::path& part : path.relative_path()) {
        std::string name = part.string();
        fs::path candidate = found / part;
        if (name.empty() || name == "." || name == ".." || Exists(candidate)) {
            found = std::move(candidate);
            continue;
        }
        std::optional<fs::path> match = MatchInFolder(found, name);
        if (!match) return std::nullopt;
        found = std::move(*match);
    }
    return found;
}

std::string PathToCp932(const fs::path& path) {
    return ToCp932(path.string());
}

fs::path PathFromCp932(std::string_view cp932) {
    return fs::path(Cp932ToUtf8(cp932));
}

}  // namespace gridora
