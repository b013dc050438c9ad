#include "run/staging.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string_view>

#include "platform/cp932.h"
#include "platform/file_lookup.h"

namespace gridora {
namespace {

constexpr std::string_view kMarkerText = "gridora\n";
constexpr const char* kSwapRecordName = "SWAP";
constexpr std::string_view kProgramFolderPrefix = ".gridora-";
constexpr std::string_view kStagingPrefix = ".gridora-stage-";

std::vector<std::filesystem::path> ReadSwapRecord(const std::filesystem::path& staging) {
    std::vector<std::filesystem::path> files;
    std::ifstream in(staging / kSwapRecordName, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) files.emplace_back(line);
    return files;
}

// Moves the recorded files that are still staged; a file already moved is skipped, so a
// swap can be completed any number of times. False when a file could not be moved.
bool MoveRecordedFiles(const std::filesystem::path& staging, const std::filesystem::path& output_folder,
                       const std::vector<std::filesystem::path>& files, MessagePort* port) {
    bool ok = true;
    std::vector<std::filesystem::path> folders;
    for (const std::filesystem::path& relative : files) {
        const std::filesystem::path from = staging / relative;
        const std::filesystem::path to = output_folder / relative;
        std::error_code ec;
        if (!relative.has_filename()) {
            std::filesystem::create_directories(to, ec);
            continue;
        }
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(from, ec))) continue;
        if (relative.has_parent_path()) std::filesystem::create_directories(to.parent_path(), ec);
        std::filesystem::rename(from, to, ec);
        if (ec) {
            ok = false;
            if (port) port->ShowMessage(ToCp932("error:置き換えられない:") + PathToCp932(to));
            continue;
        }
        folders.push_back(to.parent_path());
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::filesystem::path& folder : folders) SyncToDisk(folder.empty() ? "." : folder);
    return ok;
}

void RemoveFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

}  // namespace

bool IsRunRecord(const std::filesystem::path& relative) {
    const std::string name = relative.native();
    for (const char* record : {kSwapRecordName, kRunArgumentsName, kProgressRecordName})
        if (name == record || name.starts_with(std::string(record) + ".")) return true;
    return name == kFolderMarkerName;
}

bool SyncToDisk(const std::filesystem::path& path) {
    std::error_code ec;
    const int flags = std::filesystem::is_directory(path, ec) ? O_RDONLY | O_DIRECTORY : O_RDONLY;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::optional<std::filesystem::path> SyncAllToDisk(const std::vector<std::filesystem::path>& paths) {
    // In batches, to stay well within the open-file limit.
    constexpr std::size_t kBatch = 256;
    for (std::size_t from = 0; from < paths.size(); from += kBatch) {
        const std::size_t to = std::min(paths.size(), from + kBatch);
        std::vector<int> fds;
        for (std::size_t i = from; i < to; ++i) {
            const int fd = ::open(paths[i].c_str(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            fds.push_back(fd);
        }
        std::optional<std::filesystem::path> failed;
        for (std::size_t i = from; i < to; ++i) {
            const int fd = fds[i - from];
            if ((fd < 0 || ::fsync(fd) != 0) && !failed) failed = paths[i];
            if (fd >= 0) ::close(fd);
        }
        if (failed) return failed;
    }
    return std::nullopt;
}

bool ReplaceRecordFile(const std::filesystem::path& path, std::string_view text, bool durable) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) return false;
    }
    if (durable && !SyncToDisk(temporary)) return false;
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) return false;
    return !durable || SyncToDisk(path.parent_path().empty() ? "." : path.parent_path());
}

bool MarkProgramFolder(const std::filesystem::path& folder) {
    std::ofstream out(folder / kFolderMarkerName, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(kMarkerText.data(), static_cast<std::streamsize>(kMarkerText.size())));
}

bool IsProgramFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(folder, ec))) return false;
    const std::filesystem::path marker = folder / kFolderMarkerName;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(marker, ec))) return false;
    std::ifstream in(marker, std::ios::binary);
    std::string text(kMarkerText.size() + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text == kMarkerText;
}

std::filesystem::path StagingFolderOf(const std::filesystem::path& list_file) {
    return list_file.parent_path() / (std::string(kStagingPrefix) + list_file.filename().native());
}

void TidyOutputFolder(const std::filesystem::path& output_folder, const std::filesystem::path& keep) {
    std::error_code ec;
    std::vector<std::filesystem::path> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(output_folder, ec)) {
        const std::string name = entry.path().filename().native();
        if (name.starts_with(kProgramFolderPrefix) && IsProgramFolder(entry.path())) leftovers.push_back(entry.path());
    }
    std::sort(leftovers.begin(), leftovers.end());
    for (const std::filesystem::path& folder : leftovers) {
        // A swap that was under way is finished: its record says the staged files are whole.
        if (std::filesystem::exists(folder / kSwapRecordName, ec)) {
            if (MoveRecordedFiles(folder, output_folder, ReadSwapRecord(folder), nullptr)) RemoveFolder(folder);
            continue;
        }
        if (!keep.empty() && std::filesystem::equivalent(folder, keep, ec)) continue;
        RemoveFolder(folder);
    }
}

bool IsSwapping(const std::filesystem::path& staging) {
    std::error_code ec;
    return IsProgramFolder(staging) && std::filesystem::exists(staging / kSwapRecordName, ec);
}

bool CreateStagingFolder(const std::filesystem::path& staging, std::string_view arguments) {
    std::error_code ec;
    if (IsProgramFolder(staging)) RemoveFolder(staging);
    if (std::filesystem::exists(std::filesystem::symlink_status(staging, ec))) return false;
    std::filesystem::path making = staging;
    making += ".new";
    if (IsProgramFolder(making)) RemoveFolder(making);
    // Not the output folder: a run into a folder that does not exist writes in place.
    if (!std::filesystem::create_directory(making, ec) || ec) return false;
    if (MarkProgramFolder(making) &&
        (arguments.empty() || ReplaceRecordFile(making / kRunArgumentsName, arguments, true))) {
        std::filesystem::rename(making, staging, ec);
        if (!ec) {
            SyncToDisk(staging.parent_path().empty() ? "." : staging.parent_path());
            return true;
        }
    }
    RemoveFolder(making);
    return false;
}

std::vector<std::filesystem::path> StagedFiles(const std::filesystem::path& staging) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(staging, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_symlink(ec)) continue;
        std::filesystem::path relative = it->path().lexically_relative(staging);
        // A folder is listed with a trailing "/", so that an empty one is made too.
        if (it->is_directory(ec)) files.push_back(relative / "");
        else if (it->is_regular_file(ec) && !IsRunRecord(relative)) files.push_back(std::move(relative));
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool PutInPlace(const std::filesystem::path& staging, const std::filesystem::path& output_folder, MessagePort& port) {
    const std::vector<std::filesystem::path> files = StagedFiles(staging);
    std::string record;
    std::vector<std::filesystem::path> data;
    for (const std::filesystem::path& relative : files) {
        if (relative.has_filename()) data.push_back(staging / relative);
        record += relative.native();
        record += '\n';
    }
    // Nothing is put in place before every file's data is on the disk.
    if (const std::optional<std::filesystem::path> failed = SyncAllToDisk(data)) {
        port.ShowMessage(ToCp932("error:書き込めない:") + PathToCp932(*failed));
        return false;
    }
    if (!ReplaceRecordFile(staging / kSwapRecordName, record, true)) {
        port.ShowMessage(ToCp932("error:書き込めない:") + PathToCp932(staging / kSwapRecordName));
        return false;
    }
    if (!MoveRecordedFiles(staging, output_folder, files, &port)) return false;
    RemoveFolder(staging);
    return true;
}

}  // namespace gridora
