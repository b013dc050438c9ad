// Running a piece of a test in a child process with a deadline, for code that could block
// for ever when it is wrong (reading a FIFO, say): the test then fails instead of hanging.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

namespace gridora::testing {

// Runs `body` in a forked child and returns its result (0..255), or nothing when the child
// did not finish within `seconds` (it is then killed) or did not exit normally.
template <typename Body>
std::optional<int> RunWithDeadline(int seconds, Body&& body) {
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) ::_exit(body() & 0xFF);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0) return std::nullopt;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

}  // namespace gridora::testing
