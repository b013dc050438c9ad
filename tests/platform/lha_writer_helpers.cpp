#include "platform/lha_writer_helpers.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <fstream>
#include <stdexcept>

namespace gridora::testing {
namespace {

// 2000-01-01 00:00 in the MS-DOS stamp of levels 0 and 1 and as a Unix time for level 2.
constexpr std::uint16_t kDosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint32_t kUnixTime = 946684800;

void Put16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Set16(std::string& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::uint8_t Checksum(std::string_view bytes) {
    std::uint8_t sum = 0;
    for (char c : bytes) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    return sum;
}

// Level 0 and 1: the whole path in the base header's name field.
std::string LowLevelHeader(const LhaMember& m, bool is_dir, std::uint16_t crc, const LhaWriteOptions& o) {
    const std::string& name = m.path;
    if (name.size() > 200) throw std::invalid_argument("member path too long for a level 0/1 header");
    std::string h;
    h.push_back(0);  // header size, set below
    h.push_back(0);  // header checksum, set below
    h += is_dir ? "-lhd-" : "-lh0-";
    Put32(h, static_cast<std::uint32_t>(m.bytes.size()));  // compressed size (level 1: skip size)
    Put32(h, static_cast<std::uint32_t>(m.bytes.size()));
    Put16(h, kDosTime);
    Put16(h, kDosDate);
    h.push_back(0x20);
    h.push_back(static_cast<char>(o.header_level));
    h.push_back(static_cast<char>(name.size()));
    h += name;
    Put16(h, crc);
    if (o.header_level == 1) {
        h.push_back(o.os_type);
        Put16(h, 0);  // no extended headers
    }
    h[0] = static_cast<char>(h.size() - 2);
    h[1] = static_cast<char>(Checksum(std::string_view(h).substr(2)));
    return h;
}

void PutExtended(std::string& h, char type, std::string_view data) {
    h.push_back(type);
    h += data;
    Put16(h, 0);  // next size, patched when another header follows
}

// Level 2: folder and file name in extended headers, folder parts separated by 0xFF.
std::string Level2Header(const LhaMember& m, bool is_dir, std::uint16_t crc, const LhaWriteOptions& o) {
    std::string folder, file;
    // The folder ends at the last separator before a link's "|target".
    std::size_t cut = m.path.find_last_of("/\\", m.path.find('|'));
    if (cut == std::string::npos) {
        file = m.path;
    } else {
        folder = m.path.substr(0, cut + 1);
        file = m.path.substr(cut + 1);
    }
    for (char& c : folder)
        if (IsSeparator(c)) c = static_cast<char>(0xFF);

    std::string h;
    Put16(h, 0);  // total header size, set below
    h += is_dir ? "-lhd-" : "-lh0-";
    Put32(h, static_cast<std::uint32_t>(m.bytes.size()));
    Put32(h, static_cast<std::uint32_t>(m.bytes.size()));
    Put32(h, kUnixTime);
    h.push_back(0x20);
    h.push_back(2);
    Put16(h, crc);
    h.push_back(o.os_type);

    // Each extended header is announced by the size field that precedes it.
    struct Ext { char type; std::string data; };
    std::vector<Ext> exts;
    exts.push_back({0x00, std::string(2, '\0')});  // common header: CRC of the whole header
    if (!file.empty()) exts.push_back({0x01, file});
    if (!folder.empty()) exts.push_back({0x02, folder});
    if (m.path.find('|') != std::string::npos) {
        std::string mode;
        Put16(mode, 0120777);  // Unix permissions of a symbolic link
        exts.push_back({0x50, mode});
    }
    Put16(h, static_cast<std::uint32_t>(3 + exts[0].data.size()));
    std::size_t common_crc_at = h.size() + 1;
    for (std::size_t i = 0; i < exts.size(); ++i) {
        PutExtended(h, exts[i].type, exts[i].data);
        if (i + 1 < exts.size()) Set16(h, h.size() - 2, static_cast<std::uint32_t>(3 + exts[i + 1].data.size()));
    }
    // LHA pads a level 2 header whose length would end in a zero byte.
    if ((h.size() & 0xFF) == 0) h.push_back(0);
    Set16(h, 0, static_cast<std::uint32_t>(h.size()));
    Set16(h, common_crc_at, LhaCrc16(h));
    return h;
}

}  // namespace

std::uint16_t LhaCrc16(std::string_view bytes) {
    static const std::array<std::uint16_t, 256> table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            t[i] = static_cast<std::uint16_t>(c);
        }
        return t;
    }();
    std::uint16_t crc = 0;
    for (char c : bytes) crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ static_cast<std::uint8_t>(c)) & 0xFF]);
    return crc;
}

std::string PackLhaArchive(const std::vector<LhaMember>& members, const LhaWriteOptions& options) {
    if (options.header_level < 0 || options.header_level > 2) throw std::invalid_argument("header level 0, 1 or 2");
    std::string archive;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const LhaMember& m = members[i];
        const bool damaged = i == options.damaged_member;
        const bool is_link = !m.link_target.empty();
        const bool is_dir = is_link || (!m.path.empty() && IsSeparator(m.path.back()));
        std::uint16_t crc = LhaCrc16(m.bytes);
        if (damaged && options.damage == LhaDamage::kDataCrc) crc ^= 0x5A5A;

        LhaMember stored = m;
        if (is_link) stored = {m.path + "|" + m.link_target, "", ""};
        std::string header = options.header_level == 2 ? Level2Header(stored, is_dir, crc, options)
                                                        : LowLevelHeader(stored, is_dir, crc, options);
        if (damaged && options.damage == LhaDamage::kHeaderChecksum) {
            if (options.header_level == 2)
                header[0] = static_cast<char>(header[0] + 7);  // a total size that points into the data
            else
                header[1] = static_cast<char>(header[1] + 1);
        }
        if (damaged && options.damage == LhaDamage::kGarbageHeader) header.assign(header.size(), 'X');

        archive += header;
        if (damaged && options.damage == LhaDamage::kTruncated) {
            archive += m.bytes.substr(0, m.bytes.size() / 2);
            return archive;
        }
        archive += m.bytes;
    }
    archive.push_back(0);
    return archive;
}

void WriteLhaArchive(const std::filesystem::path& file, const std::vector<LhaMember>& members,
                     const LhaWriteOptions& options) {
    std::string bytes = PackLhaArchive(members, options);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::vector<LhaMember> FolderMembers(const std::filesystem::path& folder, char separator) {
    std::vector<LhaMember> members;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::string name = entry.path().lexically_relative(folder).native();
        std::replace(name.begin(), name.end(), '/', separator);
        std::ifstream in(entry.path(), std::ios::binary);
        members.emplace_back(name, std::string(std::istreambuf_iterator<char>(in), {}));
    }
    std::sort(members.begin(), members.end(), [](const LhaMember& a, const LhaMember& b) { return a.path < b.path; });
    return members;
}

}  // namespace gridora::testing
