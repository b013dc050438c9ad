// The converter core's only way to reach a person: show a message, set the status text,
// let the user interface catch up. The window shows modal message boxes and a status bar;
// the console front end prints; tests record. All texts are CP932 bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace gridora {

class MessagePort {
public:
    virtual ~MessagePort() = default;
    // A message the user must see (a message box in the window; waits there until closed).
    virtual void ShowMessage(std::string_view cp932) = 0;
    // The single status text (status bar in the window, a progress line in the console).
    virtual void SetStatus(std::string_view cp932) = 0;
    // Lets the user interface process pending events between steps of long work.
    virtual void ProcessEvents() {}
};

// Keeps everything it is given, in order; for tests and for callers that report later.
class RecordingPort : public MessagePort {
public:
    void ShowMessage(std::string_view cp932) override { messages.emplace_back(cp932); }
    void SetStatus(std::string_view cp932) override { statuses.emplace_back(cp932); }

    std::vector<std::string> messages;
    std::vector<std::string> statuses;
};

}  // namespace gridora
