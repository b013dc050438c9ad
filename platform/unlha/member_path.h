// Paths of archive members and the patterns that select them.
//
// A stored path is CP932 with "\", "/" or 0xFF between its parts; a CP932 trail byte of
// 0x5C is part of its character, never a separator. Patterns are CP932 too and are matched
// against the stored bytes character by character, so ASCII case folding never touches
// the bytes of a two-byte character and a name CP932 holds matches whatever the
// file-system encoding; the UTF-8 form of the parts is for the disk only.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace unlha {

struct MemberPath {
    std::vector<std::string> parts;       // CP932 as stored; empty and "." parts dropped
    std::vector<std::string> utf8_parts;  // the same parts in UTF-8, for the disk
    bool absolute = false;                // stored with a leading separator or a drive letter
    bool climbs = false;                  // has a ".." part

    // Whether extracting the member stays inside the destination folder.
    bool StaysInside() const { return !absolute && !climbs && !parts.empty(); }
    // The CP932 path with "/" between parts (a leading "/" when absolute).
    std::string Cp932() const;
    // The UTF-8 path relative to the destination; `keep_folders` false keeps the last part only.
    std::filesystem::path RelativeDiskPath(bool keep_folders) const;
};

// Builds a member's path from the stored folder and file name (either may be empty, and
// the name may carry folders itself). Each stops at its first NUL byte.
MemberPath ParseStoredPath(std::string_view folder_cp932, std::string_view name_cp932);

// A member pattern such as "*.txt" or "09LD171/*.*" (CP932; "/" or "\" between parts).
// Without a folder part the last part of the member's path is matched at any depth; with
// one, the member must lie below those folders, at any depth, and its last part must
// match. "*" and "?" are wildcards within one part ("?" is one character, of one or two
// bytes); "*.*" matches every name; single-byte letters compare without regard to ASCII
// case.
class MemberPattern {
public:
    explicit MemberPattern(std::string_view cp932);
    bool Matches(const std::vector<std::string>& cp932_parts) const;

private:
    std::vector<std::string> folders_;
    std::string name_;
};

}  // namespace unlha
