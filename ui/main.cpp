// gridora: the converter's window. Binds the archive library, creates the main window and
// the map-server settings dialog, and runs the event loop until the window closes.
#include <QApplication>

#include "input/archive_binding.h"
#include "ui/japanese_font.h"
#include "ui/program_start.h"
#include "ui/user_dialogs.h"

int main(int argc, char** argv) {
    gridora::ArchiveLibraryUse archive_library(nullptr);
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("gridora"));
    application.setFont(gridora::ui::JapaneseFont());

    gridora::ui::UserDialogs dialogs;
    gridora::ui::GridoraWindows windows(gridora::ui::ProgramWindowEnvironment(dialogs));
    // The archive library's own messages ("PANIC!!") go to the window's message boxes.
    gridora::ArchiveLibrary::Get().SetMessagePort(&windows.window.Port());
    windows.window.show();
    const int status = application.exec();
    gridora::ArchiveLibrary::Get().SetMessagePort(nullptr);
    return status;
}
