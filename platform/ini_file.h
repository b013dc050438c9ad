// Settings files with the semantics of Windows profile (INI) files.
//
// Section and key names match without regard to ASCII case (two-byte CP932 characters
// compare exactly); a value is the text after the first "=" with surrounding blanks
// removed; a missing file, section or key gives the caller's default. Writing a key
// replaces its line in place or adds it at the end of its section (creating the section
// and the file when needed) and keeps every other line as it was. All texts are CP932
// bytes; the file is written with CR LF line ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gridora {

class IniFile {
public:
    // Loads the file; a file that does not exist or cannot be read is an empty one.
    explicit IniFile(std::filesystem::path path);
    // Takes `text` as the file's content, as if it had been loaded from `path` (which
    // Save() writes).
    IniFile(std::filesystem::path path, std::string_view text);

    const std::filesystem::path& Path() const { return path_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view default_value) const;
    // The default is also returned for a value that is not a decimal integer.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t default_value) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // Changes the text held in memory; Save() puts it on disk.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    // Writes the keys in order, leaving the text WriteString would leave called once per
    // key, in one pass over the lines instead of one per key.
    void WriteStrings(std::string_view section, std::span<const std::pair<std::string, std::string>> entries);

    // Writes Text() to the file. False when the file cannot be written.
    bool Save() const;
    // Every line with a CR LF end: the content Save() writes.
    std::string Text() const;

private:
    void SplitLines(std::string_view text);

    std::filesystem::path path_;
    std::vector<std::string> lines_;  // without line ends
};

// One-shot forms for callers that touch a single key, as the Windows profile calls do.
std::string ReadIniString(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view default_value);
int32_t ReadIniInteger(const std::filesystem::path& path, std::string_view section,
                       std::string_view key, int32_t default_value);
bool WriteIniString(const std::filesystem::path& path, std::string_view section,
                    std::string_view key, std::string_view value);

// Compares two CP932 names without regard to ASCII case; bytes of two-byte characters
// compare exactly.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace gridora
