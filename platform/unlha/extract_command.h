// The command line of an extraction: " e -x1 ARCHIVE DEST PATTERN -p2 -y1" and its kin.
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

// Parses a command line. The first word is the command: "e" (extract; with "-x1", keeping
// folder paths) or "x" (extract keeping folder paths). Words starting with "-" followed by
// letters and digits are switches; only "-x" matters, others are accepted and ignored. The
// remaining words are the archive, the destination (the first word after the archive that
// ends with "/" or "\") and the patterns. Because the caller does not quote paths, a path
// may span several blank-separated words: the archive is the shortest run of words naming
// an existing file, the destination the shortest run that ends with a separator. Double
// quotes group a word explicitly. Returns nothing, with `error` set, when the line has no
// command, no archive or no destination (members are never written to the current folder
// by accident).
std::optional<ExtractCommand> ParseExtractCommand(std::string_view line, std::string& error);

}  // namespace unlha
