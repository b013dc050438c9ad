#include "ui/gridora_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <exception>
#include <system_error>

#include "input/archive_binding.h"
#include "input/sheet_intake.h"
#include "input/text_fields.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "platform/program_files.h"
#include "run/conversion_run.h"
#include "run/run_summary.h"
#include "ui/japanese_font.h"
#include "ui/map_settings_dialog.h"

namespace gridora::ui {
namespace {

// Where the list-file path is kept between sessions.
const std::string& FolderSection() {
    static const std::string section = ToCp932("フォルダー");
    return section;
}
const std::string& OutputKey() {
    static const std::string key = ToCp932("出力");
    return key;
}
// How many sheets a run reads at once: 0, the default, one per processor.
const std::string& RunSection() {
    static const std::string section = ToCp932("変換");
    return section;
}
constexpr const char* kJobsKey = "Jobs";
unsigned JobsSetting(const std::filesystem::path& settings_file) {
    const int32_t jobs = ReadIniInteger(settings_file, RunSection(), kJobsKey, 0);
    return jobs > 0 && jobs <= 1024 ? static_cast<unsigned>(jobs) : 0;
}
// Whether the layers go into one GeoPackage ("1") or Shapefiles ("0"), kept between sessions.
constexpr std::string_view kGeoPackageKey = "GeoPackage";

std::filesystem::path FileSystemPath(const QString& file) { return std::filesystem::path(QFile::encodeName(file).toStdString()); }

}  // namespace

WindowEnvironment ProgramWindowEnvironment(UserDialogs& dialogs) {
    const std::filesystem::path program_folder = ProgramFolder();
    const SettingsFiles files = LocateSettingsFiles(program_folder);
    return WindowEnvironment{program_folder, files.settings, files.errors, &dialogs};
}

PanelPlacement PlacePanels(QSize client) {
    const int w = client.width();
    const int h = client.height();
    const int middle_top = THeaderF::kHeight;
    const int middle_height = std::max(0, h - THeaderF::kHeight - TOutputF::kHeight);
    const int list_width = std::max(0, w - TCommandF::kWidth);
    return PanelPlacement{
        QRect(0, 0, w, THeaderF::kHeight),
        QRect(list_width, middle_top, TCommandF::kWidth, middle_height),
        QRect(0, h - TOutputF::kHeight, w, TOutputF::kHeight),
        QRect(0, middle_top, list_width, middle_height),
    };
}

Tgridoraf::Tgridoraf(WindowEnvironment environment, QWidget* parent)
    : QWidget(parent),
      HeaderF1(new THeaderF(this)),
      CommandF1(new TCommandF(this)),
      OutputF1(new TOutputF(this)),
      eInList(new SheetCheckList(this)),
      environment_(std::move(environment)),
      model_(new SheetListModel(sheets_, this)),
      port_(*this, *environment_.dialogs, *OutputF1->SBar) {
    setObjectName(QStringLiteral("gridoraf"));
    setWindowTitle(QStringLiteral("数値地図２５００＞シャープファイル変換"));
    // System menu and minimize box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(JapaneseFont());
    HeaderF1->setObjectName(QStringLiteral("HeaderF1"));
    CommandF1->setObjectName(QStringLiteral("CommandF1"));
    OutputF1->setObjectName(QStringLiteral("OutputF1"));
    eInList->setObjectName(QStringLiteral("eInList"));
    eInList->setModel(model_);

    TextOpenDialog1 = FileDialogRequest{FileDialogRequest::Kind::kOpenSeveral,
                                        QStringLiteral("数値地図2500 図葉記述 (*.LZH, *.txt) (*.LZH *.lzh *.TXT *.txt)"),
                                        QStringLiteral("TXT")};
    TextSaveDialog1 = FileDialogRequest{FileDialogRequest::Kind::kSave,
                                        QStringLiteral("変換情報 files (*.lis) (*.lis *.LIS)"), QStringLiteral("lis")};

    connect(HeaderF1->Button1, &QPushButton::clicked, this, &Tgridoraf::HeaderF1Button1Click);
    connect(HeaderF1->Button2, &QPushButton::clicked, this, &Tgridoraf::HeaderF1Button2Click);
    connect(OutputF1->Button2, &QPushButton::clicked, this, &Tgridoraf::OutputF1Button2Click);
    connect(CommandF1->bExecute, &QPushButton::clicked, this, &Tgridoraf::CommandF1bExecuteClick);
    connect(CommandF1->eClose, &QPushButton::clicked, this, &Tgridoraf::CommandF1eCloseClick);
    connect(CommandF1->bDelCheck, &QPushButton::clicked, this, &Tgridoraf::CommandF1bDelCheckClick);
    connect(CommandF1->Button1, &QPushButton::clicked, this, &Tgridoraf::CommandF1Button1Click);
    connect(CommandF1->Button2, &QPushButton::clicked, this, &Tgridoraf::CommandF1Button2Click);
    connect(eInList, &SheetCheckList::sourcesDropped, this, &Tgridoraf::AddSheetSources);
    connect(model_, &SheetListModel::scrollRequested, this,
            [this](int row) { eInList->scrollTo(model_->index(row), QAbstractItemView::PositionAtTop); });
    connect(model_, &SheetListModel::currentRowChanged, this, &Tgridoraf::ShowRunProgress);

    resize(kWindowClientSize);
    FitCaptions(*this);
    FormCreate();
}

Tgridoraf::~Tgridoraf() {
    // The model follows sheets_, which goes before the widget's children do.
    eInList->setModel(nullptr);
    delete model_;
}

void Tgridoraf::FormCreate() {
    sheets_.Clear();
    OutputF1->eOutPath->clear();
    OutputF1->eOutPath->setText(
        TextForDisplay(ReadIniString(environment_.settings_file, FolderSection(), OutputKey(), "")));
    CommandF1->cgpkg->setChecked(
        ReadIniString(environment_.settings_file, RunSection(), kGeoPackageKey, "0") == "1");
    map_settings_ = LoadMapSettings(environment_.settings_file);
    municipalities_ = LoadMunicipalityTable(FindSupportFile(environment_.program_folder, kMunicipalityTableFileName), port_);
}

void Tgridoraf::FormClose() {
    municipalities_.Clear();
    WriteIniString(environment_.settings_file, FolderSection(), OutputKey(), ToCp932(ListFilePath()));
    WriteIniString(environment_.settings_file, RunSection(), kGeoPackageKey,
                   CommandF1->cgpkg->isChecked() ? "1" : "0");
    WriteIniString(environment_.settings_file, RunSection(), kJobsKey,
                   std::to_string(JobsSetting(environment_.settings_file)));
}

void Tgridoraf::closeEvent(QCloseEvent* event) {
    // A run keeps working through the message queue; the window closes when it has ended,
    // with its list file, map file and statistics written.
    if (run_in_progress_) {
        close_after_run_ = true;
        event->ignore();
        return;
    }
    if (!closed_) FormClose();
    closed_ = true;
    event->accept();
}

void Tgridoraf::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const PanelPlacement placement = PlacePanels(size());
    HeaderF1->setGeometry(placement.header);
    CommandF1->setGeometry(placement.command);
    OutputF1->setGeometry(placement.output);
    eInList->setGeometry(placement.list);
}

std::string Tgridoraf::ListFilePath() const { return OutputF1->eOutPath->text().toStdString(); }

void Tgridoraf::AddSheetSources(const QStringList& files) {
    const ArchiveEntryPoints& archives = ArchiveLibrary::Get().entry_points();
    for (const QString& file : files) AddSheetSource(sheets_, municipalities_, archives, FileSystemPath(file));
}

void Tgridoraf::HeaderF1Button1Click() { AddSheetSources(environment_.dialogs->ChooseFiles(this, TextOpenDialog1)); }

void Tgridoraf::HeaderF1Button2Click() {
    environment_.dialogs->OpenUrl(QUrl::fromLocalFile(
        QFile::decodeName(FindSupportFile(environment_.program_folder, kHelpPageFile).native().c_str())));
}

void Tgridoraf::OutputF1Button2Click() {
    const QStringList chosen = environment_.dialogs->ChooseFiles(this, TextSaveDialog1);
    if (!chosen.isEmpty()) OutputF1->eOutPath->setText(chosen.front());
}

void Tgridoraf::CommandF1bExecuteClick() {
    if (run_in_progress_) return;
    run_in_progress_ = true;

    RunRequest request;
    request.list_file = ListFilePath();
    request.donut = CommandF1->cdonut->isChecked();
    request.format = CommandF1->cgpkg->isChecked() ? OutputFormat::kGeoPackage : OutputFormat::kShapefile;
    request.jobs = JobsSetting(environment_.settings_file);
    request.settings_file = environment_.settings_file;
    request.error_file = environment_.error_file;
    request.set_execute_enabled = [this](bool enabled) { CommandF1->bExecute->setEnabled(enabled); };
    request.map_settings = map_settings_;
    request.program_folder = environment_.program_folder;
    if (!IsBlank(request.list_file) && !sheets_.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(OutputFolderOf(request.list_file), ec);
        // An interrupted run of this list file: go on from where it stopped, or start over.
        if (HasResumableRun(request.list_file))
            request.resume = environment_.dialogs->Ask(
                this, QString::fromUtf8("中断した変換が残っています（%1）。続きから変換しますか？\n"
                                        "「いいえ」では最初から変換し直します。")
                          .arg(QFile::decodeName(QByteArray::fromStdString(request.list_file))));
    }

    const std::vector<std::string> rows_before = RowTexts(sheets_);
    port_.HoldClosingMessage(true);
    try {
        RunConversion(sheets_, request, run_state_, ArchiveLibrary::Get().entry_points(), port_);
    } catch (const std::exception& e) {
        port_.ShowMessage(ToCp932("変換中にエラーが発生しました：") + ToCp932(e.what()));
    }
    port_.HoldClosingMessage(false);
    OutputF1->Progress->hide();
    if (std::optional<std::string> closing = port_.TakeClosingMessage()) {
        const RunSummary summary = SummarizeRun(sheets_, rows_before);
        port_.ShowMessage(*closing + "\r\n\r\n" + RunSummaryText(summary, OutputFolderOf(request.list_file)));
    }

    run_in_progress_ = false;
    if (close_after_run_) close();
}

void Tgridoraf::ShowRunProgress(int row) {
    QProgressBar& progress = *OutputF1->Progress;
    if (row < 0) {
        progress.setValue(progress.maximum());
        return;
    }
    progress.setMaximum(static_cast<int>(sheets_.size()));
    progress.setValue(row);
    progress.show();
}

void Tgridoraf::CommandF1eCloseClick() { close(); }

void Tgridoraf::CommandF1bDelCheckClick() {
    // The run addresses its rows by index while the queue runs; removing rows under it
    // would mark the wrong ones.
    if (run_in_progress_) {
        port_.ShowMessage(ToCp932("変換実行中はチェックを削除できません"));
        return;
    }
    sheets_.RemoveCheckedRows();
}

void Tgridoraf::CommandF1Button1Click() {
    if (map_settings_dialog_ == nullptr) return;
    if (environment_.dialogs->ExecModal(*map_settings_dialog_) == QDialog::Accepted)
        CommandF1->cgpkg->setChecked(
        ReadIniString(environment_.settings_file, RunSection(), kGeoPackageKey, "0") == "1");
    map_settings_ = LoadMapSettings(environment_.settings_file);
}

void Tgridoraf::CommandF1Button2Click() { environment_.dialogs->OpenUrl(QUrl(QString::fromLatin1(kPublisherPageUrl))); }

}  // namespace gridora::ui
