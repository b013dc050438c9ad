// Converting one sheet: reading its description, checking its coordinate system, and
// starting the writer of each layer that the description lists.
#pragma once

#include <filesystem>
#include <string_view>

#include "convert/sheet_conversion_state.h"
#include "platform/message_port.h"

namespace gridora {

enum class SheetOutcome {
    Converted,              // the whole description was read and the output written
    CoordinateSystemRefused,  // the sheet's system differs from the run's; nothing written
    Abandoned,              // a coordinate or corner was not a number (reported); nothing written
    DescriptionUnreadable,  // the description could not be opened; nothing written, no message
};

// Converts the sheet of `description` into the folder of `list_file`. The sheet's output
// is written only once the whole sheet has been read, so a sheet that is refused or
// abandoned leaves the output files and the run state as they were. Throws OutputStopped
// (see WriteSheetOutput) when the output cannot take the sheet; the run state is then as
// it was, and the caller must stop the run.
SheetOutcome ConvertSheet(const std::filesystem::path& description, std::string_view municipality_code,
                          const std::filesystem::path& list_file, SheetConversionState& run, MessagePort& port);

}  // namespace gridora
