#include "platform/unlha/extraction.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "platform/unlha/lha_archive.h"
#include "platform/unlha/unlha32.h"

namespace unlha {
namespace {

namespace fs = std::filesystem;

std::vector<bool> SelectMembers(const std::vector<MemberHeader>& members, const std::vector<std::string>& patterns) {
    std::vector<MemberPattern> compiled;
    for (const std::string& p : patterns) compiled.emplace_back(p);
    if (compiled.empty()) compiled.emplace_back("*");
    std::vector<bool> selected(members.size(), false);
    for (std::size_t i = 0; i < members.size(); ++i)
        for (const MemberPattern& p : compiled)
            if (p.Matches(members[i].path.parts)) {
                selected[i] = true;
                break;
            }
    return selected;
}

fs::path DestinationFolder(std::string destination) {
    while (destination.size() > 1 && (destination.back() == '/' || destination.back() == '\\')) destination.pop_back();
    return fs::path(destination);
}

// A short name beside `target` (so that it fits wherever the target's name fits) that no
// other extraction in this or another process uses.
fs::path TemporaryName(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    std::string name = ".unlha-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
    return target.parent_path() / name;
}

// Writes the current member of `archive` to `target` through a temporary file.
int WriteMember(LhaArchive& archive, const fs::path& target, std::string& report) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        report += "cannot create folder " + target.parent_path().string() + "\n";
        return UNLHA_ERROR_WRITE;
    }
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryName(target);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        report += "cannot create " + temporary.string() + "\n";
        return UNLHA_ERROR_WRITE;
    }
    bool copied = archive.CopyDataTo(fd);
    bool write_failed = archive.write_failed();
    if (::close(fd) != 0) write_failed = true;
    if (!copied || write_failed) {
        fs::remove(temporary, ec);
        report += (write_failed ? "cannot write " : "damaged data (length or CRC) in ") + target.string() + "\n";
        return write_failed ? UNLHA_ERROR_WRITE : UNLHA_ERROR_DATA;
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        report += "cannot replace " + target.string() + "\n";
        return UNLHA_ERROR_WRITE;
    }
    return 0;
}

}  // namespace

int Extract(const ExtractCommand& command, std::string& report) {
    // First pass: headers only. Every check that can refuse the whole archive happens
    // before anything is written.
    std::vector<MemberHeader> members;
    bool damaged = false;
    if (!ReadMemberList(command.archive, members, damaged)) {
        report += (damaged ? "damaged header in " : "cannot open ") + command.archive + "\n";
        return damaged ? UNLHA_ERROR_HEADER : UNLHA_ERROR_ARCHIVE_OPEN;
    }
    for (const MemberHeader& m : members) {
        if (!m.IsSafe()) {
            report += "unsafe member path " + m.path.Cp932() + "\n";
            return UNLHA_ERROR_UNSAFE_PATH;
        }
    }
    std::vector<bool> selected = SelectMembers(members, command.patterns);
    std::size_t wanted = 0;
    for (bool s : selected) wanted += s ? 1 : 0;
    if (wanted == 0) {
        report += "no member matches\n";
        return UNLHA_ERROR_NO_MEMBER;
    }

    const fs::path destination = DestinationFolder(command.destination);
    std::error_code ec;
    fs::create_directories(destination, ec);
    if (ec || !fs::is_directory(destination, ec)) {
        report += "cannot create folder " + destination.string() + "\n";
        return UNLHA_ERROR_WRITE;
    }

    // Second pass: data, from the first selected member's header to the last selected
    // member; the headers outside that range were checked by the first pass.
    std::size_t index = 0;
    while (!selected[index]) ++index;
    LhaArchive archive;
    if (!archive.Open(command.archive, members[index].header_at)) {
        report += "cannot open " + command.archive + "\n";
        return UNLHA_ERROR_ARCHIVE_OPEN;
    }
    std::size_t written = 0;
    while (written < wanted) {
        const MemberHeader* m = archive.Next();
        if (!m) break;
        std::size_t i = index++;
        if (i >= selected.size() || m->path.parts != members[i].path.parts) break;
        if (!selected[i]) continue;
        fs::path relative = m->path.RelativeDiskPath(command.keep_folders);
        fs::path target = destination / relative;
        if (m->is_directory) {
            if (command.keep_folders) {
                fs::create_directories(target, ec);
                if (ec || !fs::is_directory(target, ec)) {
                    report += "cannot create folder " + target.string() + "\n";
                    return UNLHA_ERROR_WRITE;
                }
            }
        } else {
            if (int result = WriteMember(archive, target, report); result != 0) return result;
            report += relative.string() + "\n";
        }
        ++written;
    }
    // The archive changed between the passes or ended early.
    if (archive.damaged() || written != wanted) {
        report += "damaged header in " + command.archive + "\n";
        return UNLHA_ERROR_HEADER;
    }
    return 0;
}

}  // namespace unlha
