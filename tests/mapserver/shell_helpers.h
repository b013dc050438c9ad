// Running the programs of the published-output tests through the shell.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace gridora::testing {

// `text` as one word of a shell command line.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command's exit status; -1 when it did not exit.
inline int RunShell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace gridora::testing
