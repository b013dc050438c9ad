#include "ui/window_port.h"

#include <QCoreApplication>
#include <QStatusBar>
#include <utility>

#include "platform/cp932.h"
#include "run/conversion_run.h"
#include "ui/user_dialogs.h"

namespace gridora::ui {

QString TextForDisplay(std::string_view cp932) {
    QString text = QString::fromStdString(Cp932ToUtf8(cp932));
    text.remove(QLatin1Char('\r'));
    return text;
}

WindowPort::WindowPort(QWidget& owner, UserDialogs& dialogs, QStatusBar& status_bar)
    : owner_(owner), dialogs_(dialogs), status_bar_(status_bar) {}

void WindowPort::ShowMessage(std::string_view cp932) {
    if (hold_closing_ && (cp932 == RunClosingMessage(RunOutcome::kCompleted) ||
                          cp932 == RunClosingMessage(RunOutcome::kInterrupted))) {
        closing_message_ = std::string(cp932);
        return;
    }
    dialogs_.ShowMessage(&owner_, TextForDisplay(cp932));
}

void WindowPort::SetStatus(std::string_view cp932) { status_bar_.showMessage(TextForDisplay(cp932)); }

void WindowPort::ProcessEvents() { QCoreApplication::processEvents(); }

std::optional<std::string> WindowPort::TakeClosingMessage() { return std::exchange(closing_message_, std::nullopt); }

}  // namespace gridora::ui
