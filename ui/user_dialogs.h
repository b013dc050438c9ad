// Everything the window and its settings dialog do that waits for a person or leaves the
// program: message boxes, the file choosers, modal dialogs and opening web pages. The
// program uses UserDialogs as it is; tests put their own in its place, so that no test
// waits for a click or starts a browser.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QUrl;
class QWidget;

#include <memory>

class QMessageBox;

namespace gridora::ui {

// The message box ShowMessage shows: the program's name as caption, the text, OK.
std::unique_ptr<QMessageBox> MessageBoxFor(QWidget* parent, const QString& text);

// How a file chooser is set up: the open dialog (one or several existing files) or the
// save dialog.
struct FileDialogRequest {
    enum class Kind { kOpenOne, kOpenSeveral, kSave };
    Kind kind = Kind::kOpenOne;
    // Qt's filter text: a description followed by its patterns in parentheses. Only the
    // description is shown.
    QString filter;
    // Added to a typed name without an extension; without the dot.
    QString default_suffix;
};

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message box with an OK button; returns when the user closed it.
    virtual void ShowMessage(QWidget* parent, const QString& text);
    // A question with Yes and No buttons; true for Yes.
    virtual bool Ask(QWidget* parent, const QString& text);
    // The chosen files in the order the dialog lists them; empty when cancelled.
    virtual QStringList ChooseFiles(QWidget* parent, const FileDialogRequest& request);
    // Shows `dialog` modally; its result (QDialog::Accepted or QDialog::Rejected).
    virtual int ExecModal(QDialog& dialog);
    // Asks the desktop to open a web address or local file.
    virtual void OpenUrl(const QUrl& url);
};

}  // namespace gridora::ui
