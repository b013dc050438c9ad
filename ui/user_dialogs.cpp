#include "ui/user_dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace gridora::ui {

std::unique_ptr<QMessageBox> MessageBoxFor(QWidget* parent, const QString& text) {
    return std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("gridora"), text, QMessageBox::Ok, parent);
}

void UserDialogs::ShowMessage(QWidget* parent, const QString& text) { MessageBoxFor(parent, text)->exec(); }

bool UserDialogs::Ask(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("gridora"), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QStringList UserDialogs::ChooseFiles(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    dialog.setNameFilter(request.filter);
    // The filter's description already names its patterns, as the user knows them.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(request.default_suffix);
    switch (request.kind) {
        case FileDialogRequest::Kind::kOpenOne:
            dialog.setFileMode(QFileDialog::ExistingFile);
            break;
        case FileDialogRequest::Kind::kOpenSeveral:
            dialog.setFileMode(QFileDialog::ExistingFiles);
            break;
        case FileDialogRequest::Kind::kSave:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            break;
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

int UserDialogs::ExecModal(QDialog& dialog) { return dialog.exec(); }

void UserDialogs::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace gridora::ui
