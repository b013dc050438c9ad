// The main window Tgridoraf: the SheetList as the check list eInList, the input row
// (HeaderF1), the command buttons (CommandF1) and the list-file path with the status bar
// (OutputF1). Each handler is a few lines over the converter core: the intake adds picked
// or dropped files, the run converts the rows on this thread while the message port lets
// the queue run, and the settings file keeps the list-file path between sessions.
#pragma once

#include <QRect>
#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/sheet_conversion_state.h"
#include "input/municipality_table.h"
#include "input/sheet_list.h"
#include "mapserver/map_settings.h"
#include "ui/frames.h"
#include "ui/sheet_check_list.h"
#include "ui/sheet_list_model.h"
#include "ui/user_dialogs.h"
#include "ui/window_port.h"

namespace gridora::ui {

class TOKRightDlg;

// Where the window finds its files, and who answers its dialogs.
struct WindowEnvironment {
    std::filesystem::path program_folder;  // "city.csv" and the help page README.md, beside it or installed
    std::filesystem::path settings_file;   // ".Ini"
    std::filesystem::path error_file;      // ".Err"
    UserDialogs* dialogs = nullptr;        // not owned, never null
};

// The program's files beside the running executable, answered by `dialogs`.
WindowEnvironment ProgramWindowEnvironment(UserDialogs& dialogs);

// The client area the window is designed for (its outer size is 757 x 609 with the
// frame) and where its panels go: the header along the top, the output panel along the
// bottom, the command panel on the right between them, the list in the rest.
inline constexpr QSize kWindowClientSize(749, 575);
struct PanelPlacement {
    QRect header, command, output, list;
};
PanelPlacement PlacePanels(QSize client);

// The two web pages the window opens.
inline constexpr const char* kPublisherPageUrl = "https://www.gsi.go.jp/MAP/CD-ROM/2500/t2500.htm";
inline constexpr const char* kHelpPageFile = "README.md";

class Tgridoraf : public QWidget {
    Q_OBJECT

public:
    // Creates the window as FormCreate does: an empty SheetList, the list-file path from
    // the settings file, the map settings and the municipality table.
    explicit Tgridoraf(WindowEnvironment environment, QWidget* parent = nullptr);
    ~Tgridoraf() override;

    THeaderF* HeaderF1;
    TCommandF* CommandF1;
    TOutputF* OutputF1;
    SheetCheckList* eInList;
    FileDialogRequest TextOpenDialog1;  // sheet sources: several existing .LZH or .TXT files
    FileDialogRequest TextSaveDialog1;  // the list file (.lis)

    SheetList& Sheets() { return sheets_; }
    SheetListModel& Model() { return *model_; }
    WindowPort& Port() { return port_; }
    // The map settings the next run's map file is written with.
    const MapSettings& LoadedMapSettings() const { return map_settings_; }
    // The dialog CommandF1Button1Click shows; created after the window, not owned.
    void SetMapSettingsDialog(TOKRightDlg* dialog) { map_settings_dialog_ = dialog; }
    bool RunInProgress() const { return run_in_progress_; }

    // Adds picked or dropped files as rows, in the order given.
    void AddSheetSources(const QStringList& files);

public slots:
    void HeaderF1Button1Click();
    void HeaderF1Button2Click();
    void OutputF1Button2Click();
    void CommandF1bExecuteClick();
    void CommandF1eCloseClick();
    void CommandF1bDelCheckClick();
    void CommandF1Button1Click();
    void CommandF1Button2Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void ShowRunProgress(int row);
    std::string ListFilePath() const;

    WindowEnvironment environment_;
    SheetList sheets_;
    SheetListModel* model_;
    WindowPort port_;
    MunicipalityTable municipalities_;
    MapSettings map_settings_;
    SheetConversionState run_state_;
    TOKRightDlg* map_settings_dialog_ = nullptr;
    bool run_in_progress_ = false;
    bool close_after_run_ = false;
    bool closed_ = false;
};

}  // namespace gridora::ui
