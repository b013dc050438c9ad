// Extraction of selected archive members into a folder.
#pragma once

#include <string>

#include "platform/unlha/extract_command.h"

namespace unlha {

// Extracts the members that `command` selects into its destination, overwriting files.
// Nothing is written when a header is damaged or any member of the archive is unsafe (an
// absolute path, a ".." part, a link). Each file is written under a temporary name beside
// its target and renamed over it only after its length and CRC have been checked, so a
// damaged member never leaves a partial file under its own name; members written before a
// failure stay. Returns 0 or an UNLHA_ERROR_* code; `report` receives one line per member
// written and the reason of a failure.
int Extract(const ExtractCommand& command, std::string& report);

}  // namespace unlha
