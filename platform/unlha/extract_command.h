// The command line of an extraction: ` e -x1 "ARCHIVE" "DEST/" "PATTERN" -p2 -y1` and its kin.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace unlha {

struct ExtractCommand {
    std::string archive;                 // file-system path of the archive
    std::string destination;             // folder the members go to
    std::vector<std::string> patterns;   // member patterns; none means every member
    bool keep_folders = false;           // write members below their stored folders
};

// Parses a command line. The first word that is not a switch is the command: "e" (extract;
// with "-x1", keeping folder paths) or "x" (extract keeping folder paths). Unquoted words
// starting with "-" followed by letters and digits are switches; only "-x" matters, others
// are accepted and ignored. The next word is the archive, the one after it the destination
// folder, which must end with "/" or "\", and the remaining words are the patterns. Paths
// are taken as written, never guessed from what exists on disk, so a path holding blanks
// must be quoted. Returns nothing, with `error` set, for a line it cannot parse: no
// command, an unknown command, an unclosed quote, no archive, or no destination ending
// with a separator (members are never written to the current folder by accident).
std::optional<ExtractCommand> ParseExtractCommand(std::string_view line, std::string& error);

}  // namespace unlha
