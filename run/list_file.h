// The list file (.lis, "変換情報"): the SheetList rows as a run leaves them, one CP932 line
// per row in list order with CR LF ends. It is written at the end of every run and never
// read back.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "input/sheet_list.h"

namespace gridora {

// Creates (or overwrites) `file` with the rows. False when it cannot be written.
bool WriteListFile(const std::filesystem::path& file, const SheetList& sheets);

// Whether a row above `row` has exactly `sheet_name` (byte for byte) in its third field:
// a run converts each sheet once, at its first row.
bool SheetAlreadyListed(const SheetList& sheets, std::size_t row, std::string_view sheet_name);

}  // namespace gridora
