// The window's message port: the core's messages as message boxes, its status texts in
// the status bar, and the message queue run between the steps of a run. During a run the
// window may hold back the run's closing message, to show it with the run's summary in
// one box.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "platform/message_port.h"

class QStatusBar;
class QWidget;

namespace gridora::ui {

class UserDialogs;

// CP932 text as a widget shows it: UTF-8, with plain line ends.
QString TextForDisplay(std::string_view cp932);

class WindowPort : public MessagePort {
public:
    WindowPort(QWidget& owner, UserDialogs& dialogs, QStatusBar& status_bar);

    void ShowMessage(std::string_view cp932) override;
    void SetStatus(std::string_view cp932) override;
    void ProcessEvents() override;

    // While on, a run's closing message ("変換が終了しました" or "変換が中断しました") is kept
    // instead of shown; TakeClosingMessage hands it over.
    void HoldClosingMessage(bool hold) { hold_closing_ = hold; }
    std::optional<std::string> TakeClosingMessage();

private:
    QWidget& owner_;
    UserDialogs& dialogs_;
    QStatusBar& status_bar_;
    bool hold_closing_ = false;
    std::optional<std::string> closing_message_;
};

}  // namespace gridora::ui
