// The municipality table "city.csv": one line per municipality, its name, "," and its
// five-digit code, optionally followed by further fields. Lines stay CP932 and in file
// order; the table is only ever searched by code.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gridora {

class MessagePort;

class MunicipalityTable {
public:
    MunicipalityTable() = default;
    explicit MunicipalityTable(std::vector<std::string> cp932_lines) : lines_(std::move(cp932_lines)) {}

    // The name of the first line whose second field equals `code` byte for byte; nothing
    // when no line matches.
    std::optional<std::string> LookupMunicipality(std::string_view code) const;

    bool empty() const { return lines_.empty(); }
    std::size_t size() const { return lines_.size(); }
    void Clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
};

// Reads `file` into a table. When it cannot be read, shows the download hint on `port`
// and returns an empty table.
MunicipalityTable LoadMunicipalityTable(const std::filesystem::path& file, MessagePort& port);

// The table's file name, looked for in the program's folder.
inline constexpr const char* kMunicipalityTableFileName = "city.csv";

}  // namespace gridora
