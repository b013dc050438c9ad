// A small writer of stored (-lh0-) LHA archives, for tests that need archives with known
// members, header levels and damage. The archives follow the layouts the LHA tools write
// and that lhasa reads: level 0 and 1 headers with their header checksum, level 2 headers
// with file and folder names in extended headers, each member followed by its data and
// protected by the CRC-16 of that data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gridora::testing {

struct LhaMember {
    LhaMember(std::string member_path, std::string member_bytes, std::string link = {})
        : path(std::move(member_path)), bytes(std::move(member_bytes)), link_target(std::move(link)) {}

    // Path inside the archive. Level 0 and 1 store it as given (either separator);
    // level 2 splits it at its last "/" or "\" into folder and file name. A path that
    // ends with a separator becomes a folder entry (-lhd-).
    std::string path;
    std::string bytes;
    // When set, the member is a Unix symbolic link to this target, stored as LHA tools
    // store links: a -lhd- entry named "path|target" (level 2 adds the Unix permissions
    // that mark it as a link).
    std::string link_target;
};

enum class LhaDamage {
    kNone,
    kHeaderChecksum,  // a wrong header checksum (levels 0 and 1) or header length (level 2)
    kDataCrc,         // the stored CRC-16 does not match the member's data
    kTruncated,       // the archive ends in the middle of the member's data
    kGarbageHeader,   // the member's header is replaced by bytes that are no header at all
};

struct LhaWriteOptions {
    int header_level = 1;
    char os_type = 'M';
    LhaDamage damage = LhaDamage::kNone;
    std::size_t damaged_member = 0;  // index into the member list
};

// CRC-16 as LHA uses it (polynomial 0xA001, reflected, initial value 0).
std::uint16_t LhaCrc16(std::string_view bytes);

// The bytes of an archive holding `members` in order, ended by the zero terminator.
std::string PackLhaArchive(const std::vector<LhaMember>& members, const LhaWriteOptions& options = {});

// Writes PackLhaArchive's bytes to `file`, replacing it.
void WriteLhaArchive(const std::filesystem::path& file, const std::vector<LhaMember>& members,
                     const LhaWriteOptions& options = {});

// Every file below `folder` as a member named by its path relative to it, with
// `separator` between the parts, in sorted order as published archives hold them.
std::vector<LhaMember> FolderMembers(const std::filesystem::path& folder, char separator = '/');

}  // namespace gridora::testing
