#include "platform/unlha/member_path.h"

#include "platform/cp932.h"

namespace unlha {
namespace {

bool IsStoredSeparator(unsigned char c) { return c == '/' || c == '\\' || c == 0xFF; }

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Length of the UTF-8 character starting at s[i] (1 for a stray byte).
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    std::size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// Wildcard match of one path part: "*" any run, "?" one character, letters case-folded.
bool MatchPart(std::string_view pattern, std::string_view text) {
    if (pattern == "*.*" || pattern == "*") return true;
    std::size_t p = 0, t = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            t += Utf8Length(text, t);
        } else if (p < pattern.size() && FoldAscii(pattern[p]) == FoldAscii(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            resume += Utf8Length(text, resume);
            t = resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Adds the parts of one stored segment; a leading separator marks the path absolute.
void AddSegment(std::string_view raw, MemberPath& path) {
    raw = raw.substr(0, raw.find('\0'));
    const bool first = path.parts.empty() && !path.absolute;
    if (first && !raw.empty() && IsStoredSeparator(static_cast<unsigned char>(raw[0]))) path.absolute = true;

    std::string part;
    auto finish = [&] {
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            path.climbs = true;
            path.parts.push_back(part);
        } else {
            path.parts.push_back(part);
        }
        part.clear();
    };
    for (std::size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (gridora::IsCp932LeadByte(c) && i + 1 < raw.size()) {
            part += raw.substr(i, 2);
            ++i;
        } else if (IsStoredSeparator(c)) {
            finish();
        } else {
            part.push_back(static_cast<char>(c));
        }
    }
    finish();
}

}  // namespace

std::string MemberPath::Cp932() const {
    std::string joined = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) joined += '/';
        joined += parts[i];
    }
    return joined;
}

std::filesystem::path MemberPath::RelativeDiskPath(bool keep_folders) const {
    std::filesystem::path relative;
    if (utf8_parts.empty()) return relative;
    if (!keep_folders) return std::filesystem::path(utf8_parts.back());
    for (const std::string& part : utf8_parts) relative /= part;
    return relative;
}

MemberPath ParseStoredPath(std::string_view folder_cp932, std::string_view name_cp932) {
    MemberPath path;
    AddSegment(folder_cp932, path);
    AddSegment(name_cp932, path);
    // "C:" as the first part is a Windows drive: as absolute as a leading separator.
    if (!path.parts.empty()) {
        const std::string& first = path.parts.front();
        if (first.size() == 2 && first[1] == ':' && ((first[0] | 0x20) >= 'a' && (first[0] | 0x20) <= 'z'))
            path.absolute = true;
    }
    path.utf8_parts.reserve(path.parts.size());
    for (const std::string& part : path.parts)
        path.utf8_parts.push_back(IsAscii(part) ? part : gridora::Cp932ToUtf8(part));
    return path;
}

MemberPattern::MemberPattern(std::string_view utf8) {
    std::string part;
    std::vector<std::string> parts;
    for (char c : utf8) {
        if (c == '/' || c == '\\') {
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    // "SHEET/" selects everything below SHEET, as "SHEET/*" does.
    if (!part.empty() && part != ".") parts.push_back(part);
    else parts.push_back("*");
    name_ = parts.back();
    parts.pop_back();
    folders_ = std::move(parts);
}

bool MemberPattern::Matches(const std::vector<std::string>& utf8_parts) const {
    if (utf8_parts.size() < folders_.size() + 1) return false;
    for (std::size_t i = 0; i < folders_.size(); ++i)
        if (!MatchPart(folders_[i], utf8_parts[i])) return false;
    return MatchPart(name_, utf8_parts.back());
}

}  // namespace unlha
