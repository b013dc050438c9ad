// What the window's tests share: dialogs answered by the test instead of a person, a
// program folder of its own with "city.csv" and a settings file, and screenshots.
#pragma once

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ui/gridora_window.h"
#include "ui/user_dialogs.h"

namespace gridora::ui::testing {

// Records what the window shows and answers its choosers from a queue; modal dialogs are
// driven by `drive_modal` (cancelled when it is empty). Nothing here waits.
class ScriptedDialogs : public UserDialogs {
public:
    void ShowMessage(QWidget*, const QString& text) override {
        messages.append(text);
        if (on_message) on_message(text);
    }
    bool Ask(QWidget*, const QString& text) override {
        questions.append(text);
        return !answers.isEmpty() && answers.takeFirst();
    }
    QStringList ChooseFiles(QWidget*, const FileDialogRequest& request) override {
        requests.push_back(request);
        return chosen_files.isEmpty() ? QStringList() : chosen_files.takeFirst();
    }
    int ExecModal(QDialog& dialog) override { return drive_modal ? drive_modal(dialog) : QDialog::Rejected; }
    void OpenUrl(const QUrl& url) override { opened.append(url); }

    QStringList messages;
    std::function<void(const QString&)> on_message;
    QStringList questions;
    QList<bool> answers;  // one per question; No when none is left
    QList<QStringList> chosen_files;  // one answer per chooser shown
    std::vector<FileDialogRequest> requests;
    std::function<int(QDialog&)> drive_modal;
    QList<QUrl> opened;
};

// A program folder in a fresh temporary folder, with the support files the build puts
// beside the program ("city.csv", "symbols.sym", "ms4wmap10.lzh"); the settings and error
// files live there too.
class ProgramFolder {
public:
    ProgramFolder() {
        std::filesystem::create_directories(Folder());
        for (const char* name : {"city.csv", "symbols.sym", "ms4wmap10.lzh"}) {
            const std::filesystem::path built = std::filesystem::path(GRIDORA_BINARY_DIR) / "bin" / name;
            std::error_code ec;
            if (std::filesystem::exists(built, ec)) std::filesystem::copy_file(built, Folder() / name, ec);
        }
    }

    std::filesystem::path Root() const { return std::filesystem::path(temporary_.path().toStdString()); }
    std::filesystem::path Folder() const { return Root() / "program"; }
    WindowEnvironment Environment() {
        return WindowEnvironment{Folder(), Folder() / "gridora.Ini", Folder() / "gridora.Err", &dialogs};
    }

    ScriptedDialogs dialogs;

private:
    QTemporaryDir temporary_;
};

inline std::filesystem::path SampleFolder() { return std::filesystem::path(GRIDORA_SOURCE_DIR) / "data/sample"; }

inline QString SampleDescription(const std::string& code, const std::string& sheet) {
    return QString::fromStdString((SampleFolder() / code / sheet / (sheet + ".TXT")).native());
}

// The six sample sheets as descriptions, municipality 13101 first.
inline QStringList SampleDescriptions() {
    QStringList files;
    for (const char* sheet : {"09LD172", "09LD174", "09LD181", "09LD183"}) files.append(SampleDescription("13101", sheet));
    for (const char* sheet : {"09LD182", "09LD184"}) files.append(SampleDescription("13102", sheet));
    return files;
}

// Saves what `widget` shows as build/screenshots/<name>.png; false when it cannot.
inline bool SaveScreenshot(QWidget& widget, const QString& name) {
    const QString folder = QStringLiteral(GRIDORA_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    return widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace gridora::ui::testing
