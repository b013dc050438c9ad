#include "input/municipality_table.h"

#include "input/data_file.h"
#include "input/text_fields.h"
#include "platform/cp932.h"
#include "platform/message_port.h"

namespace gridora {

std::optional<std::string> MunicipalityTable::LookupMunicipality(std::string_view code) const {
    for (const std::string& line : lines_) {
        std::string_view rest = line;
        std::string_view name = TakeField(rest);
        if (TakeField(rest) == code) return std::string(name);
    }
    return std::nullopt;
}

MunicipalityTable LoadMunicipalityTable(const std::filesystem::path& file, MessagePort& port) {
    std::optional<std::string> text = LoadDataFile(file);
    if (!text) {
        port.ShowMessage(ToCp932("国土地理院のホームページからcity.csvをダウンロードしてください"));
        return {};
    }
    std::vector<std::string> lines;
    LineReader reader(*text);
    for (std::string_view line; reader.Next(line);) lines.emplace_back(line);
    return MunicipalityTable(std::move(lines));
}

}  // namespace gridora
