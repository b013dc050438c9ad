#include "platform/ini_file.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "platform/cp932.h"

namespace gridora {
namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view TrimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// The first `c` that is not the second byte of a two-byte character.
std::size_t FindAscii(std::string_view s, char c) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == c) return i;
        if (IsCp932LeadByte(static_cast<unsigned char>(s[i]))) ++i;
    }
    return std::string_view::npos;
}

// The section name of a "[name]" line, or nothing for any other line.
bool SectionName(std::string_view line, std::string_view& name) {
    line = TrimBlanks(line);
    if (line.size() < 2 || line.front() != '[') return false;
    std::size_t close = FindAscii(line, ']');
    if (close == std::string_view::npos) return false;
    name = TrimBlanks(line.substr(1, close - 1));
    return true;
}

// The key and value of a "key=value" line; comments and lines without "=" have none.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';') return false;
    std::size_t eq = FindAscii(line, '=');
    if (eq == std::string_view::npos) return false;
    key = TrimBlanks(line.substr(0, eq));
    value = TrimBlanks(line.substr(eq + 1));
    return true;
}

// A key as EqualsIgnoringAsciiCase compares it: ASCII letters in lower case, two-byte
// characters as they are.
std::string FoldedKey(std::string_view key) {
    std::string folded(key);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(folded[i])) && i + 1 < folded.size()) {
            ++i;
            continue;
        }
        folded[i] = AsciiLower(folded[i]);
    }
    return folded;
}

// Where a key of a section lies in the lines: the section header's index (or -1), the
// key's line (or -1) and the index after the section's last key line.
struct KeyPlace {
    long section = -1;
    long key = -1;
    long insert_at = -1;
};

KeyPlace FindKey(const std::vector<std::string>& lines, std::string_view section,
                 std::string_view key) {
    KeyPlace place;
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionName(lines[i], name)) {
            if (inside) break;  // the section ended
            if (EqualsIgnoringAsciiCase(name, section)) {
                inside = true;
                place.section = static_cast<long>(i);
                place.insert_at = static_cast<long>(i) + 1;
            }
            continue;
        }
        if (!inside) continue;
        std::string_view k, v;
        if (KeyValue(lines[i], k, v)) {
            place.insert_at = static_cast<long>(i) + 1;
            if (place.key < 0 && EqualsIgnoringAsciiCase(k, key)) place.key = static_cast<long>(i);
        }
    }
    return place;
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            // A two-byte character: its second byte may look like an ASCII letter.
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    SplitLines(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

IniFile::IniFile(std::filesystem::path path, std::string_view text) : path_(std::move(path)) {
    SplitLines(text);
}

void IniFile::SplitLines(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines_.emplace_back(line);
        start = next;
    }
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
    KeyPlace place = FindKey(lines_, section, key);
    if (place.key < 0) return std::string(default_value);
    std::string_view k, v;
    KeyValue(lines_[static_cast<std::size_t>(place.key)], k, v);
    return std::string(v);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t default_value) const {
    if (!HasKey(section, key)) return default_value;
    std::string text = ReadString(section, key, "");
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    int32_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return default_value;
    return value;
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
    return FindKey(lines_, section, key).key >= 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::string line = std::string(key) + "=" + std::string(value);
    KeyPlace place = FindKey(lines_, section, key);
    if (place.key >= 0) {
        lines_[static_cast<std::size_t>(place.key)] = std::move(line);
    } else if (place.section >= 0) {
        lines_.insert(lines_.begin() + place.insert_at, std::move(line));
    } else {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::move(line));
    }
}

void IniFile::WriteStrings(std::string_view section, std::span<const std::pair<std::string, std::string>> entries) {
    // The section's keys as FindKey matches them (its first line for each), and where a
    // new key goes: after the section's last key line.
    std::unordered_map<std::string, std::size_t> keys;
    long section_line = -1;
    std::size_t insert_at = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (SectionName(lines_[i], name)) {
            if (section_line >= 0) break;
            if (EqualsIgnoringAsciiCase(name, section)) {
                section_line = static_cast<long>(i);
                insert_at = i + 1;
            }
            continue;
        }
        std::string_view k, v;
        if (section_line < 0 || !KeyValue(lines_[i], k, v)) continue;
        insert_at = i + 1;
        keys.emplace(FoldedKey(k), i);
    }
    // New keys in order after the existing ones; a key written twice keeps one line.
    std::vector<std::string> added;
    std::unordered_map<std::string, std::size_t> added_keys;
    for (const auto& [key, value] : entries) {
        std::string line = key + "=" + value;
        const std::string folded = FoldedKey(key);
        if (auto found = keys.find(folded); found != keys.end()) {
            lines_[found->second] = std::move(line);
        } else if (auto again = added_keys.find(folded); again != added_keys.end()) {
            added[again->second] = std::move(line);
        } else {
            // Found again as its line reads back: trimmed.
            added_keys.emplace(FoldedKey(TrimBlanks(key)), added.size());
            added.push_back(std::move(line));
        }
    }
    if (added.empty()) return;
    if (section_line < 0) lines_.push_back("[" + std::string(section) + "]");
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(section_line < 0 ? lines_.size() : insert_at),
                  std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

std::string IniFile::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool IniFile::Save() const {
    const std::string text = Text();
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

std::string ReadIniString(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view default_value) {
    return IniFile(path).ReadString(section, key, default_value);
}

int32_t ReadIniInteger(const std::filesystem::path& path, std::string_view section,
                       std::string_view key, int32_t default_value) {
    return IniFile(path).ReadInteger(section, key, default_value);
}

bool WriteIniString(const std::filesystem::path& path, std::string_view section,
                    std::string_view key, std::string_view value) {
    IniFile file(path);
    file.WriteString(section, key, value);
    return file.Save();
}

}  // namespace gridora
