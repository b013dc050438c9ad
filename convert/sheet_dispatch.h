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

// A sheet read but not yet written: what ReadSheet leaves for CommitSheet. Reading needs
// only the sheet's files and work arrays of its own, so sheets can be read on several
// threads while one writer commits them in order.
struct SheetReading {
    // Converted: read whole, its output staged. CoordinateSystemRefused: refused against
    // the system the reader was given. Abandoned: reported through the reader's port.
    SheetOutcome outcome = SheetOutcome::DescriptionUnreadable;
    // The system and datum flag the sheet declares, once its coordinate line was read.
    bool frame_read = false;
    int32_t frame_system = -1;
    int32_t frame_datum_flag = 0;
    CornerTexts corners;
    RunExtent extent;          // of this sheet alone
    RunStatistics statistics;  // of this sheet alone
    WorkArrayPeaks peaks;      // what the sheet's files needed of the work arrays
    SheetOutput output;
};

// Reads the sheet of `description` for the output folder `output_folder` into staged
// output, using `arrays` and telling `port` what it cannot use. `known_system` is the
// run's coordinate system as far as it is fixed: a sheet of another system is refused at
// its coordinate line, as the run would; a sheet read before the run's system is fixed is
// read whole, and CommitSheet decides.
SheetReading ReadSheet(const std::filesystem::path& description, std::string_view municipality_code,
                       const std::filesystem::path& output_folder, const RunCoordinateSystem& known_system,
                       WorkArrays& arrays, MessagePort& port);

// Whether the run admits the sheet's coordinate system: when not, the run must show none
// of what reading the sheet reported, and CommitSheet refuses it.
bool SheetAdmitted(const SheetReading& sheet, const RunCoordinateSystem& run);

// Takes a read sheet into the run: refuses it when the run does not admit its system
// (nothing changes); otherwise counts what it needed of the work arrays and, when it was
// read whole, writes its output and takes its system, corners, extent and statistics.
// Throws OutputStopped (see WriteSheetOutput) when the output cannot take the sheet; the
// run state is then as it was (but for the work arrays' capacities), and the caller must
// stop the run.
SheetOutcome CommitSheet(SheetReading& sheet, SheetConversionState& run, MessagePort& port);

// Reads and commits the sheet of `description` into the folder of `list_file`, with the
// run's work arrays. The sheet's output is written only once the whole sheet has been
// read, so a sheet that is refused or abandoned leaves the output files and the run state
// as they were.
SheetOutcome ConvertSheet(const std::filesystem::path& description, std::string_view municipality_code,
                          const std::filesystem::path& list_file, SheetConversionState& run, MessagePort& port);

}  // namespace gridora
