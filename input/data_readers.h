// Readers of the .ARC, .PGN, .PNT and .TIE files of a sheet into the work arrays.
//
// Each reader takes the path without extension (`base`), finds the file with exact case
// first and then without regard to case, empties its own arrays and appends the file's
// records. It returns false, leaving the arrays as they were, when the file cannot be
// opened. Lines that are not records of the file are reported through `port` ("error:ARC:"
// + base + ":" + line number, and so on) and skipped. A real field that is not a number
// throws ConversionError: the sheet being read is to be abandoned.
//
// ReadPgnFile totals the point counts of the arcs it references, so the arcs of the same
// theme must have been read first.
#pragma once

#include <filesystem>

#include "input/work_arrays.h"
#include "platform/message_port.h"

namespace gridora {

bool ReadArcFile(const std::filesystem::path& base, WorkArrays& arrays, MessagePort& port);
bool ReadPgnFile(const std::filesystem::path& base, WorkArrays& arrays, MessagePort& port);
bool ReadPntFile(const std::filesystem::path& base, WorkArrays& arrays, MessagePort& port);
bool ReadTieFile(const std::filesystem::path& base, WorkArrays& arrays);

}  // namespace gridora
