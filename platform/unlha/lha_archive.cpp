#include "platform/unlha/lha_archive.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace unlha {
namespace {

constexpr std::size_t kDataBlock = 1 << 16;

std::uint32_t ReadLittleEndian(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Reads the stored folder and file name from a raw header of level 0 to 3: the name field
// of the base header (levels 0 and 1) and the file name (0x01) and folder (0x02) extended
// headers. False when the header's own lengths do not fit in it.
bool ReadStoredName(const std::uint8_t* raw, std::size_t size, int level, std::string& folder, std::string& name) {
    folder.clear();
    name.clear();
    std::size_t ext_at = 0;   // first extended header
    int size_bytes = 2;       // width of the extended-header size fields
    if (level == 0 || level == 1) {
        if (size < 22) return false;
        std::size_t length = raw[21];
        if (22 + length > size) return false;
        name.assign(reinterpret_cast<const char*>(raw + 22), length);
        if (level == 0) return true;
        ext_at = std::size_t{raw[0]} + 2;
    } else if (level == 2) {
        ext_at = 26;
    } else if (level == 3) {
        ext_at = 32;
        size_bytes = 4;
    } else {
        return false;
    }
    if (ext_at < static_cast<std::size_t>(size_bytes) || ext_at > size) return false;

    std::size_t next = ReadLittleEndian(raw + ext_at - size_bytes, size_bytes);
    std::size_t at = ext_at;
    while (next != 0) {
        // Each extended header: type byte, data, size of the header after it.
        if (next < static_cast<std::size_t>(1 + size_bytes) || next > size - at) return false;
        const std::uint8_t* ext = raw + at;
        std::size_t data_size = next - 1 - size_bytes;
        if (ext[0] == 0x01) name.assign(reinterpret_cast<const char*>(ext + 1), data_size);
        if (ext[0] == 0x02) folder.assign(reinterpret_cast<const char*>(ext + 1), data_size);
        at += next;
        next = ReadLittleEndian(ext + next - size_bytes, size_bytes);
    }
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::uint16_t UpdateCrc16(std::uint16_t crc, const char* data, std::size_t size) {
    static const std::array<std::uint16_t, 256> table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            t[i] = static_cast<std::uint16_t>(c);
        }
        return t;
    }();
    for (std::size_t i = 0; i < size; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ static_cast<std::uint8_t>(data[i])) & 0xFF]);
    return crc;
}

LhaArchive::~LhaArchive() { Close(); }

void LhaArchive::Close() {
    if (reader_) lha_reader_free(reader_);
    if (stream_) lha_input_stream_free(stream_);
    if (file_) std::fclose(file_);
    reader_ = nullptr;
    stream_ = nullptr;
    file_ = nullptr;
}

bool LhaArchive::Open(const std::filesystem::path& file, long start) {
    Close();
    ended_ = damaged_ = write_failed_ = false;
    next_header_at_ = start;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return false;
    file_ = std::fopen(file.c_str(), "rb");
    if (!file_) return false;
    if (start != 0 && std::fseek(file_, start, SEEK_SET) != 0) {
        Close();
        return false;
    }
    stream_ = lha_input_stream_from_FILE(file_);
    reader_ = stream_ ? lha_reader_new(stream_) : nullptr;
    if (!reader_) {
        Close();
        return false;
    }
    // Directories are reported once, as stored; nothing is deferred.
    lha_reader_set_dir_policy(reader_, LHA_READER_DIR_PLAIN);
    return true;
}

// lhasa reports the end of the archive and an unreadable header alike. The archive ended
// cleanly when the next header would start at the end of the file or at the zero byte
// that terminates an archive.
bool LhaArchive::AtCleanEnd() {
    if (std::fseek(file_, 0, SEEK_END) != 0) return false;
    long size = std::ftell(file_);
    if (size < 0 || next_header_at_ > size) return false;
    if (next_header_at_ == size) return true;
    if (std::fseek(file_, next_header_at_, SEEK_SET) != 0) return false;
    return std::fgetc(file_) == 0;
}

const MemberHeader* LhaArchive::Next() {
    if (!reader_ || ended_ || damaged_) return nullptr;
    const long header_at = next_header_at_;
    LHAFileHeader* h = lha_reader_next_file(reader_);
    if (!h) {
        ended_ = true;
        damaged_ = !AtCleanEnd();
        return nullptr;
    }
    std::string folder, name;
    long data_at = std::ftell(file_);
    if (data_at < 0 || !h->raw_data || !ReadStoredName(h->raw_data, h->raw_data_len, h->header_level, folder, name)) {
        damaged_ = true;
        return nullptr;
    }
    header_ = MemberHeader{};
    header_.path = ParseStoredPath(folder, name);
    header_.is_directory = std::strcmp(h->compress_method, LHA_COMPRESS_TYPE_DIR) == 0 && !h->symlink_target;
    header_.is_symlink = h->symlink_target != nullptr;
    header_.original_size = h->length;
    header_.compressed_size = h->compressed_length;
    header_.crc = h->crc;
    header_.os_type = h->os_type;
    header_.method.assign(h->compress_method, strnlen(h->compress_method, sizeof h->compress_method));
    header_.unix_time = h->timestamp;
    header_.header_at = header_at;
    next_header_at_ = data_at + static_cast<long>(h->compressed_length);
    return &header_;
}

bool LhaArchive::CopyDataTo(int fd) {
    write_failed_ = false;
    if (!reader_ || ended_ || damaged_) return false;
    if (header_.is_directory || header_.is_symlink) return true;
    buffer_.resize(kDataBlock);
    std::uint64_t total = 0;
    std::uint16_t crc = 0;
    for (;;) {
        std::size_t n = lha_reader_read(reader_, buffer_.data(), buffer_.size());
        if (n == 0) break;
        total += n;
        if (total > header_.original_size) return false;
        crc = UpdateCrc16(crc, buffer_.data(), n);
        if (!WriteAll(fd, buffer_.data(), n)) {
            write_failed_ = true;
            return false;
        }
    }
    return total == header_.original_size && crc == header_.crc;
}

bool ReadMemberList(const std::filesystem::path& file, std::vector<MemberHeader>& members, bool& damaged) {
    members.clear();
    damaged = false;
    LhaArchive archive;
    if (!archive.Open(file)) return false;
    while (const MemberHeader* header = archive.Next()) members.push_back(*header);
    damaged = archive.damaged();
    return !damaged;
}

}  // namespace unlha
