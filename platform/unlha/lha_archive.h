// Reading an LHA archive member by member, over lhasa.
//
// lhasa decodes the headers and the data; the member names are read here from the raw
// header bytes, because lhasa lower-cases all-capital MS-DOS names and silently drops
// ".." parts, which would change sheet names and hide members that climb out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <lha_reader.h>

#include "platform/unlha/member_path.h"

namespace unlha {

struct MemberHeader {
    MemberPath path;
    bool is_directory = false;
    bool is_symlink = false;
    std::uint64_t original_size = 0;
    std::uint64_t compressed_size = 0;
    std::uint16_t crc = 0;
    std::uint8_t os_type = 0;
    std::string method;              // "-lh0-", "-lh5-", "-lhd-", ...
    std::uint32_t unix_time = 0;
    long header_at = 0;              // file offset to open the archive at to read this member first

    // Whether extracting this member cannot write outside the destination folder.
    bool IsSafe() const { return path.StaysInside() && !is_symlink; }
};

class LhaArchive {
public:
    LhaArchive() = default;
    ~LhaArchive();
    LhaArchive(const LhaArchive&) = delete;
    LhaArchive& operator=(const LhaArchive&) = delete;

    // Opens the archive file, to be read from the member whose header_at is `start` (0: from
    // the first member); false when it cannot be opened.
    bool Open(const std::filesystem::path& file, long start = 0);

    // Moves to the next member and returns its header, or nullptr at the end of the archive
    // and at a damaged header (damaged() tells which). The header is valid until the next call.
    const MemberHeader* Next();
    bool damaged() const { return damaged_; }

    // Decompresses the current member's data and writes it to the file descriptor `fd`.
    // False when the data is truncated, cannot be decoded or fails its CRC (the data written
    // so far is then unusable), or when writing fails (write_failed() is then true).
    bool CopyDataTo(int fd);
    bool write_failed() const { return write_failed_; }

private:
    void Close();
    bool AtCleanEnd();

    std::FILE* file_ = nullptr;
    LHAInputStream* stream_ = nullptr;
    LHAReader* reader_ = nullptr;
    MemberHeader header_;
    long next_header_at_ = 0;  // where the header after the current member should start
    bool ended_ = false;
    bool damaged_ = false;
    bool write_failed_ = false;
    std::vector<char> buffer_;
};

// CRC-16 as LHA uses it (polynomial 0xA001, reflected), continued from `crc`.
std::uint16_t UpdateCrc16(std::uint16_t crc, const char* data, std::size_t size);

// Reads all headers of the archive at `file`. False when it cannot be opened (`damaged`
// false) or a header is damaged (`damaged` true).
bool ReadMemberList(const std::filesystem::path& file, std::vector<MemberHeader>& members, bool& damaged);

}  // namespace unlha
