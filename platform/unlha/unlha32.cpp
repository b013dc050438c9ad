// The exported entry points: thin C shims over the extraction and the member list.
#include "platform/unlha/unlha32.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/cp932.h"
#include "platform/unlha/extraction.h"
#include "platform/unlha/lha_archive.h"

struct UnlhaArchiveHandle {
    std::vector<unlha::MemberHeader> members;
    std::optional<unlha::MemberPattern> pattern;  // set by UnlhaFindFirst
    std::size_t cursor = 0;                       // next member to test
};

namespace {

// Copies `report` into the caller's buffer, cut before a partial UTF-8 character.
void CopyReport(const std::string& report, char* output, std::uint32_t output_size) {
    if (!output || output_size == 0) return;
    std::size_t n = std::min<std::size_t>(report.size(), output_size - 1);
    if (n < report.size())
        while (n > 0 && (static_cast<unsigned char>(report[n]) & 0xC0) == 0x80) --n;
    std::memcpy(output, report.data(), n);
    output[n] = '\0';
}

void PutDosTimestamp(std::uint32_t unix_time, UnlhaEntryInfo& info) {
    std::time_t t = static_cast<std::time_t>(unix_time);
    std::tm local{};
    if (!localtime_r(&t, &local) || local.tm_year < 80) return;
    info.date = static_cast<std::uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    info.time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

void FillEntry(const unlha::MemberHeader& m, UnlhaEntryInfo& info) {
    std::memset(&info, 0, sizeof info);
    info.original_size = static_cast<std::uint32_t>(m.original_size);
    info.compressed_size = static_cast<std::uint32_t>(m.compressed_size);
    info.crc = m.crc;
    info.os_type = m.os_type;
    if (m.original_size > 0)
        info.ratio = static_cast<std::uint16_t>(std::min<std::uint64_t>(m.compressed_size * 1000 / m.original_size, 0xFFFF));
    PutDosTimestamp(m.unix_time, info);
    std::string name = gridora::TruncateCp932(m.path.Cp932(), sizeof info.file_name - 1);
    std::memcpy(info.file_name, name.data(), name.size());
    if (m.is_directory) info.attribute[0] = 'd';
    std::memcpy(info.method, m.method.data(), std::min(m.method.size(), sizeof info.method - 1));
}

int FindFrom(UnlhaArchiveHandle& archive, UnlhaEntryInfo* info) {
    if (!archive.pattern || !info) return -1;
    while (archive.cursor < archive.members.size()) {
        const unlha::MemberHeader& m = archive.members[archive.cursor++];
        if (archive.pattern->Matches(m.path.parts)) {
            FillEntry(m, *info);
            return 0;
        }
    }
    return -1;
}

}  // namespace

extern "C" {

UNLHA32_API int Unlha(void* /*window*/, const char* command_line, char* output, std::uint32_t output_size) {
    std::string report;
    int result = UNLHA_ERROR_INTERNAL;
    try {
        std::string error;
        std::optional<unlha::ExtractCommand> command =
            unlha::ParseExtractCommand(command_line ? command_line : "", error);
        if (command) {
            result = unlha::Extract(*command, report);
        } else {
            report = "command line: " + error + "\n";
            result = UNLHA_ERROR_COMMAND;
        }
    } catch (const std::exception& e) {
        report += std::string("failed: ") + e.what() + "\n";
        result = UNLHA_ERROR_INTERNAL;
    } catch (...) {
        result = UNLHA_ERROR_INTERNAL;
    }
    try {
        CopyReport(report, output, output_size);
    } catch (...) {
    }
    return result;
}

UNLHA32_API UnlhaArchive UnlhaOpenArchive(void* /*window*/, const char* archive_path, std::uint32_t /*mode*/) {
    if (!archive_path) return nullptr;
    try {
        auto archive = std::make_unique<UnlhaArchiveHandle>();
        bool damaged = false;
        if (!unlha::ReadMemberList(archive_path, archive->members, damaged)) return nullptr;
        return archive.release();
    } catch (...) {
        return nullptr;
    }
}

UNLHA32_API int UnlhaFindFirst(UnlhaArchive archive, const char* pattern, UnlhaEntryInfo* info) {
    if (!archive || !info) return -1;
    try {
        archive->pattern.emplace(pattern ? pattern : "*");
        archive->cursor = 0;
        return FindFrom(*archive, info);
    } catch (...) {
        return -1;
    }
}

UNLHA32_API int UnlhaFindNext(UnlhaArchive archive, UnlhaEntryInfo* info) {
    if (!archive) return -1;
    try {
        return FindFrom(*archive, info);
    } catch (...) {
        return -1;
    }
}

UNLHA32_API int UnlhaCloseArchive(UnlhaArchive archive) {
    if (!archive) return -1;
    delete archive;
    return 0;
}

}  // extern "C"
