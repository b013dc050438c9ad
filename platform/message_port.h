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

// Keeps messages and status texts in the order they came, to pass them on later in that
// order (work done on another thread reports through the thread that owns the port).
// ProcessEvents goes to `events` when one is given, at once.
class MessageLog : public MessagePort {
public:
    explicit MessageLog(MessagePort* events = nullptr) : events_(events) {}
    void ShowMessage(std::string_view cp932) override { entries_.push_back({true, std::string(cp932)}); }
    void SetStatus(std::string_view cp932) override { entries_.push_back({false, std::string(cp932)}); }
    void ProcessEvents() override {
        if (events_) events_->ProcessEvents();
    }
    void ReplayInto(MessagePort& port) const {
        for (const Entry& entry : entries_) {
            if (entry.is_message) port.ShowMessage(entry.text);
            else port.SetStatus(entry.text);
        }
    }
    void ForwardEventsTo(MessagePort* events) { events_ = events; }

private:
    struct Entry {
        bool is_message;
        std::string text;
    };
    MessagePort* events_;
    std::vector<Entry> entries_;
};

}  // namespace gridora
