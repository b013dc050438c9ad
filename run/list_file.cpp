#include "run/list_file.h"

#include <cstdio>
#include <string>

namespace gridora {

bool WriteListFile(const std::filesystem::path& file, const SheetList& sheets) {
    std::string text;
    for (std::size_t row = 0; row < sheets.size(); ++row) {
        text += sheets.Text(row);
        text += "\r\n";
    }
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

bool SheetAlreadyListed(const SheetList& sheets, std::size_t row, std::string_view sheet_name) {
    for (std::size_t above = 0; above < row && above < sheets.size(); ++above)
        if (SplitSheetRow(sheets.Text(above)).sheet_name == sheet_name) return true;
    return false;
}

}  // namespace gridora
