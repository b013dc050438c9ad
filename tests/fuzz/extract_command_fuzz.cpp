// The archive library's command line of any bytes: parsing ends, and what it accepts has a
// destination folder, so that members never land in the current folder by accident.
#include <string>

#include "fuzz_targets.h"
#include "platform/unlha/extract_command.h"

namespace gridora::fuzz {

int FuzzExtractCommand(const uint8_t* data, std::size_t size) {
    InputCursor in(data, size);
    const std::string_view line = in.Rest();
    std::string error;
    const std::optional<unlha::ExtractCommand> command = unlha::ParseExtractCommand(line, error);
    if (!command) {
        FUZZ_CHECK(!error.empty(), "a refused command line says why");
        return 0;
    }
    const std::string& destination = command->destination;
    FUZZ_CHECK(!destination.empty(), "an accepted command line has a destination");
    FUZZ_CHECK(destination.back() == '/' || destination.back() == '\\', "the destination ends with a separator");
    FUZZ_CHECK(command->archive.size() <= line.size() && destination.size() <= line.size(),
               "paths come from the line");
    return 0;
}

}  // namespace gridora::fuzz
