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

// Length of the CP932 character starting at s[i]: 2 for a lead byte with a byte after it.
std::size_t Cp932Length(std::string_view s, std::size_t i) {
    return gridora::IsCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Whether the characters at pattern[p] and text[t] are equal, single-byte letters
// compared without regard to ASCII case; `length` receives the text character's length.
bool SameCharacter(std::string_view pattern, std::size_t p, std::string_view text, std::size_t t,
                   std::size_t& length) {
    length = Cp932Length(text, t);
    if (Cp932Length(pattern, p) != length) return false;
    if (length == 1) return FoldAscii(pattern[p]) == FoldAscii(text[t]);
    return pattern.substr(p, 2) == text.substr(t, 2);
}

// Wildcard match of one CP932 path part: "*" any run, "?" one character, single-byte
// letters case-folded; the bytes of a two-byte character are never taken apart.
bool MatchPart(std::string_view pattern, std::string_view text) {
    if (pattern == "*.*" || pattern == "*") return true;
    std::size_t p = 0, t = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    std::size_t length = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            t += Cp932Length(text, t);
        } else if (p < pattern.size() && SameCharacter(pattern, p, text, t, length)) {
            p += length;
            t += length;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            resume += Cp932Length(text, resume);
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

MemberPattern::MemberPattern(std::string_view cp932) {
    std::string part;
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const char c = cp932[i];
        if (Cp932Length(cp932, i) == 2) {
            part.append(cp932.substr(i, 2));  // a trail byte 0x5C is no separator
            ++i;
        } else if (c == '/' || c == '\\') {
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

bool MemberPattern::Matches(const std::vector<std::string>& cp932_parts) const {
    if (cp932_parts.size() < folders_.size() + 1) return false;
    for (std::size_t i = 0; i < folders_.size(); ++i)
        if (!MatchPart(folders_[i], cp932_parts[i])) return false;
    return MatchPart(name_, cp932_parts.back());
}

}  // namespace unlha
