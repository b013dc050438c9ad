// The main window driven as a user would: its controls, every handler, a run from the
// button compared with gridora-cli, and screenshots before and after the run.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <fstream>
#include <iterator>
#include <map>

#include "input/archive_binding.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "run/run_progress.h"
#include "run/staging.h"
#include "ui/japanese_font.h"
#include "ui/program_start.h"
#include "ui_test_helpers.h"

namespace gridora::ui {
namespace {

namespace fs = std::filesystem;
using testing::ProgramFolder;
using testing::SampleDescription;
using testing::SampleDescriptions;
using testing::SaveScreenshot;

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file of a run's output folder by name, with its bytes; the folder's own path,
// which the map file names, reads "<out>".
std::map<std::string, std::string> OutputFiles(const fs::path& folder) {
    std::map<std::string, std::string> files;
    const std::string path = folder.native();
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::string bytes = ReadBytes(entry.path());
        for (std::size_t at = bytes.find(path); at != std::string::npos; at = bytes.find(path, at))
            bytes.replace(at, path.size(), "<out>");
        files[entry.path().filename()] = bytes;
    }
    return files;
}

QStringList ShownRows(Tgridoraf& window) {
    QStringList rows;
    for (int i = 0; i < window.Model().rowCount(); ++i) rows.append(window.Model().index(i).data().toString());
    return rows;
}

// The sheet name (third field) of every row the list shows.
QStringList ShownSheets(Tgridoraf& window) {
    QStringList sheets;
    for (const QString& row : ShownRows(window)) sheets.append(row.section(QLatin1Char(','), 2, 2));
    return sheets;
}

void Check(Tgridoraf& window, int row) {
    window.Model().setData(window.Model().index(row), Qt::Checked, Qt::CheckStateRole);
}

}  // namespace

class GridoraWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The program sets the same application font, which message boxes take.
    void initTestCase() { QApplication::setFont(JapaneseFont()); }
    void controlsStandWhereTheyBelong_data();
    void controlsStandWhereTheyBelong();
    void everyCaptionFitsItsControlInAJapaneseFace();
    void browsingAddsThePickedFilesInTheirOrder();
    void droppedSheetSourcesAreAddedAndOtherFilesIgnored();
    void deletingCheckedRowsRemovesThemHighestFirstWithoutLimit();
    void theListFilePathIsKeptBetweenSessions();
    void aMissingMunicipalityTableShowsTheDownloadHint();
    void guardsShowTheirMessagesAndLeaveTheButtonEnabled();
    void aRunFromTheButtonConvertsLikeTheConsoleFrontEnd();
    void aRefusedSheetIsRelabelledInTheList();
    void duringARunDeletingIsRefusedAndClosingWaitsForTheEnd();
    void theListScrollsWhenTheRunAsks();
    void theWebButtonsOpenTheirPages();
    void anInterruptedRunIsContinuedOrStartedOverAsTheUserAnswers();

private:
    // The archive library from the build, as the program loads it from its own folder.
    ArchiveLibraryUse archive_library_{nullptr, GRIDORA_BINARY_DIR "/bin/" UNLHA32_LIBRARY_FILE};
};

void GridoraWindowTest::controlsStandWhereTheyBelong_data() {
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("handler");
    const QString none;
    QTest::newRow("HeaderF1.Label1") << "HeaderF1" << "Label1" << "数値地図ファイル名" << QRect() << none;
    QTest::newRow("HeaderF1.Button1") << "HeaderF1" << "Button1" << "①　参　照" << QRect(360, 0, 81, 25)
                                      << "HeaderF1Button1Click()";
    QTest::newRow("HeaderF1.Button2") << "HeaderF1" << "Button2" << "HELP" << QRect(528, 0, 81, 25)
                                      << "HeaderF1Button2Click()";
    QTest::newRow("CommandF1.cdonut") << "CommandF1" << "cdonut" << "ドーナツ処理" << QRect() << none;
    QTest::newRow("CommandF1.cgpkg") << "CommandF1" << "cgpkg" << "GeoPackage出力" << QRect() << none;
    QTest::newRow("CommandF1.bExecute") << "CommandF1" << "bExecute" << "③変換実行" << QRect(12, 60, 81, 25)
                                        << "CommandF1bExecuteClick()";
    QTest::newRow("CommandF1.eClose") << "CommandF1" << "eClose" << "④閉　じ　る" << QRect(12, 110, 81, 25)
                                      << "CommandF1eCloseClick()";
    QTest::newRow("CommandF1.bDelCheck") << "CommandF1" << "bDelCheck" << "チェックを削除" << QRect(12, 160, 81, 25)
                                         << "CommandF1bDelCheckClick()";
    QTest::newRow("CommandF1.Button1") << "CommandF1" << "Button1" << "Map設定" << QRect(12, 240, 81, 25)
                                       << "CommandF1Button1Click()";
    QTest::newRow("CommandF1.Button2") << "CommandF1" << "Button2" << "数値地図2500" << QRect(12, 328, 81, 25)
                                       << "CommandF1Button2Click()";
    QTest::newRow("OutputF1.Label2") << "OutputF1" << "Label2" << "出力フォルダー（変換情報）" << QRect() << none;
    QTest::newRow("OutputF1.Button2") << "OutputF1" << "Button2" << "②　参　照" << QRect() << "OutputF1Button2Click()";
}

void GridoraWindowTest::controlsStandWhereTheyBelong() {
    QFETCH(QString, frame);
    QFETCH(QString, control);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(QString, handler);
    ProgramFolder program;
    Tgridoraf window(program.Environment());

    QWidget* panel = window.findChild<QWidget*>(frame, Qt::FindDirectChildrenOnly);
    QVERIFY(panel != nullptr);
    QWidget* widget = panel->findChild<QWidget*>(control);
    QVERIFY(widget != nullptr);
    const QVariant text = widget->property("text");
    QCOMPARE(text.toString(), caption);
    if (!geometry.isNull()) QCOMPARE(widget->geometry(), geometry);
    if (!handler.isEmpty()) QVERIFY(window.metaObject()->indexOfSlot(handler.toLatin1().constData()) >= 0);
}

void GridoraWindowTest::everyCaptionFitsItsControlInAJapaneseFace() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(), QStringLiteral("数値地図２５００＞シャープファイル変換"));
    QCOMPARE(window.size(), kWindowClientSize);
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY2(!JapaneseFontFamily().isEmpty(), "fontconfig knows no Japanese face");
    qInfo("captions in %s", qPrintable(JapaneseFontFamily()));
    QCOMPARE(QFontInfo(window.font()).family(), JapaneseFontFamily());
    QVERIFY(QFontMetrics(window.font()).inFont(QChar(u'変')));

    // The panels by alignment: header on top, output along the bottom, commands on the
    // right between them, the list in the rest.
    QCOMPARE(window.HeaderF1->geometry(), QRect(0, 0, 749, 25));
    QCOMPARE(window.OutputF1->geometry(), QRect(0, 575 - TOutputF::kHeight, 749, TOutputF::kHeight));
    QCOMPARE(window.CommandF1->geometry(), QRect(749 - 106, 25, 106, 575 - 25 - TOutputF::kHeight));
    QCOMPARE(window.eInList->geometry(), QRect(0, 25, 749 - 106, 575 - 25 - TOutputF::kHeight));
    QCOMPARE(window.OutputF1->eOutPath->width(), window.OutputF1->width() - 20);
    QVERIFY(window.CommandF1->cdonut->isChecked());
    QCOMPARE(window.CommandF1->cdonut->y(), 16);

    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (CaptionWidth(*control) == 0) continue;
        QVERIFY2(CaptionWidth(*control) <= control->width(),
                 qPrintable(control->property("text").toString() + QStringLiteral(" does not fit")));
        QVERIFY2(control->fontMetrics().height() <= control->height() + 2,
                 qPrintable(control->property("text").toString() + QStringLiteral(" is cut off")));
    }
    QVERIFY(SaveScreenshot(window, QStringLiteral("window-empty")));
}

void GridoraWindowTest::browsingAddsThePickedFilesInTheirOrder() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    const QStringList picked = {SampleDescription("13101", "09LD183"), SampleDescription("13102", "09LD182"),
                                SampleDescription("13101", "09LD172")};
    program.dialogs.chosen_files = {picked, {}, {QString::fromStdString((testing::SampleFolder() / "13101.LZH").native())}};

    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);
    QCOMPARE(ShownSheets(window), QStringList({"09LD183", "09LD182", "09LD172"}));
    QCOMPARE(ShownRows(window).at(1).section(QLatin1Char(','), 0, 3),
             QStringLiteral("13102,中央区,09LD182,") + picked.at(1));
    for (int i = 0; i < 3; ++i) QCOMPARE(window.Model().index(i).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    const FileDialogRequest& request = program.dialogs.requests.at(0);
    QVERIFY(request.kind == FileDialogRequest::Kind::kOpenSeveral);
    QVERIFY(request.filter.startsWith(QStringLiteral("数値地図2500 図葉記述 (*.LZH, *.txt) ")));
    for (const char* pattern : {"*.LZH", "*.lzh", "*.TXT", "*.txt"}) QVERIFY(request.filter.contains(pattern));
    QCOMPARE(request.default_suffix, QStringLiteral("TXT"));

    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);  // cancelled
    QCOMPARE(window.Model().rowCount(), 3);
    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);  // an archive: one row per sheet
    QCOMPARE(ShownSheets(window).mid(3), QStringList({"09LD172", "09LD174", "09LD181", "09LD183"}));
    QVERIFY(ShownRows(window).at(3).endsWith(QStringLiteral("13101.LZH,")));
}

void GridoraWindowTest::droppedSheetSourcesAreAddedAndOtherFilesIgnored() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(SampleDescription("13102", "09LD184")),
                  QUrl::fromLocalFile(QString::fromStdString((program.Folder() / "city.csv").native())),
                  QUrl::fromLocalFile(QStringLiteral("/no/such/09LD999.TXT")),
                  QUrl::fromLocalFile(SampleDescription("13101", "09LD174"))});
    QWidget* target = window.eInList->viewport();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(ShownSheets(window), QStringList({"09LD184", "09LD174"}));

    QMimeData others;
    others.setUrls({QUrl::fromLocalFile(QString::fromStdString((program.Folder() / "city.csv").native()))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &others, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &refused);
    QVERIFY(!refused.isAccepted());
}

void GridoraWindowTest::deletingCheckedRowsRemovesThemHighestFirstWithoutLimit() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    for (int i = 0; i < 8; ++i) window.Sheets().Append("row" + std::to_string(i));
    std::vector<std::size_t> removed;
    window.Sheets().Subscribe([&](const SheetListChange& change) {
        if (change.kind == SheetListChange::Kind::kRowsRemoved) removed.push_back(change.first);
    });
    for (int row : {2, 5, 7}) Check(window, row);
    QVERIFY(window.Sheets().IsChecked(5));

    QTest::mouseClick(window.CommandF1->bDelCheck, Qt::LeftButton);
    QCOMPARE(removed, (std::vector<std::size_t>{7, 5, 2}));
    QCOMPARE(ShownRows(window), QStringList({"row0", "row1", "row3", "row4", "row6"}));

    // Far more checked rows than the 100 the original list held.
    window.Sheets().Clear();
    for (int i = 0; i < 250; ++i) {
        window.Sheets().Append("many" + std::to_string(i));
        if (i % 5 != 0) Check(window, i);
    }
    QTest::mouseClick(window.CommandF1->bDelCheck, Qt::LeftButton);
    QCOMPARE(window.Model().rowCount(), 50);
    QCOMPARE(ShownRows(window).at(49), QStringLiteral("many245"));
}

void GridoraWindowTest::theListFilePathIsKeptBetweenSessions() {  // and the GeoPackage choice
    ProgramFolder program;
    const QString list_file = QString::fromStdString((program.Root() / "出力先/変換.lis").native());
    {
        Tgridoraf window(program.Environment());
        QCOMPARE(window.OutputF1->eOutPath->text(), QString());
        program.dialogs.chosen_files = {{list_file}, {}};
        QTest::mouseClick(window.OutputF1->Button2, Qt::LeftButton);
        QCOMPARE(window.OutputF1->eOutPath->text(), list_file);
        const FileDialogRequest& request = program.dialogs.requests.at(0);
        QVERIFY(request.kind == FileDialogRequest::Kind::kSave);
        QVERIFY(request.filter.startsWith(QStringLiteral("変換情報 files (*.lis) ")));
        QVERIFY(request.filter.contains(QStringLiteral("*.LIS")) && request.filter.contains(QStringLiteral("*.lis")));
        QCOMPARE(request.default_suffix, QStringLiteral("lis"));
        QTest::mouseClick(window.OutputF1->Button2, Qt::LeftButton);  // cancelled: unchanged
        QCOMPARE(window.OutputF1->eOutPath->text(), list_file);
        QVERIFY(!fs::exists(list_file.toStdString()));  // the run writes it, not the chooser
        QVERIFY(!window.CommandF1->cgpkg->isChecked());
        window.CommandF1->cgpkg->setChecked(true);

        window.show();
        QTest::mouseClick(window.CommandF1->eClose, Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }
    QCOMPARE(ReadIniString(program.Folder() / "gridora.Ini", ToCp932("フォルダー"), ToCp932("出力"), ""),
             ToCp932(list_file.toStdString()));
    Tgridoraf restarted(program.Environment());
    QCOMPARE(restarted.OutputF1->eOutPath->text(), list_file);
    QVERIFY(restarted.CommandF1->cgpkg->isChecked());
    QCOMPARE(restarted.Model().rowCount(), 0);
}

void GridoraWindowTest::aMissingMunicipalityTableShowsTheDownloadHint() {
    ProgramFolder program;
    fs::remove(program.Folder() / "city.csv");
    Tgridoraf window(program.Environment());
    QCOMPARE(program.dialogs.messages,
             QStringList({QStringLiteral("国土地理院のホームページからcity.csvをダウンロードしてください")}));
    program.dialogs.chosen_files = {{SampleDescription("13101", "09LD172")}};
    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);
    QVERIFY(ShownRows(window).at(0).startsWith(QStringLiteral("13101,,09LD172,")));
}

void GridoraWindowTest::guardsShowTheirMessagesAndLeaveTheButtonEnabled() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    QTest::mouseClick(window.CommandF1->bExecute, Qt::LeftButton);
    QCOMPARE(program.dialogs.messages, QStringList({"Open File Name Error"}));

    program.dialogs.chosen_files = {{SampleDescription("13101", "09LD172")}};
    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);
    window.OutputF1->eOutPath->setText(QStringLiteral("   "));
    QTest::mouseClick(window.CommandF1->bExecute, Qt::LeftButton);
    QCOMPARE(program.dialogs.messages, QStringList({"Open File Name Error", "Save Path Name Error"}));
    QVERIFY(window.CommandF1->bExecute->isEnabled());
    QVERIFY(!window.Sheets().IsChecked(0));  // refused before the rows are checked
}

void GridoraWindowTest::aRunFromTheButtonConvertsLikeTheConsoleFrontEnd() {
    ProgramFolder program;
    GridoraWindows windows(program.Environment());
    Tgridoraf& window = windows.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // 13101 as descriptions, 13102 as its archive.
    QStringList sources = SampleDescriptions().mid(0, 4);
    sources.append(QString::fromStdString((testing::SampleFolder() / "13102.LZH").native()));
    program.dialogs.chosen_files = {sources};
    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);
    QCOMPARE(window.Model().rowCount(), 6);
    const fs::path out = program.Root() / "window";
    window.OutputF1->eOutPath->setText(QString::fromStdString((out / "run.lis").native()));
    QVERIFY(SaveScreenshot(window, QStringLiteral("window-before-run")));

    // What the window looks like while each row is converted.
    struct Moment {
        int row;
        bool execute_enabled, others_enabled, progress_visible;
        int progress_value;
        QString status;
    };
    std::vector<Moment> moments;
    window.Sheets().Subscribe([&](const SheetListChange& change) {
        if (change.kind != SheetListChange::Kind::kCurrentRow || change.count == 0) return;
        QCoreApplication::processEvents();
        const TCommandF& c = *window.CommandF1;
        moments.push_back(Moment{static_cast<int>(change.first), c.bExecute->isEnabled(),
                                 c.eClose->isEnabled() && c.bDelCheck->isEnabled() && c.Button1->isEnabled() &&
                                     window.HeaderF1->Button1->isEnabled(),
                                 window.OutputF1->Progress->isVisible(), window.OutputF1->Progress->value(),
                                 window.OutputF1->SBar->currentMessage()});
        if (change.first == 3) SaveScreenshot(window, QStringLiteral("window-during-run"));
    });
    QTest::mouseClick(window.CommandF1->bExecute, Qt::LeftButton);

    QCOMPARE(moments.size(), std::size_t{6});
    for (std::size_t i = 0; i < moments.size(); ++i) {
        QCOMPARE(moments[i].row, int(i));
        QVERIFY(!moments[i].execute_enabled);
        QVERIFY(moments[i].others_enabled);
        QVERIFY(moments[i].progress_visible);
        QCOMPARE(moments[i].progress_value, int(i));
    }
    QVERIFY(moments[1].status.endsWith(QStringLiteral("09LD172.TXT処理中")));  // still the row before
    QVERIFY(window.CommandF1->bExecute->isEnabled());
    QVERIFY(!window.OutputF1->Progress->isVisible());
    QCOMPARE(window.OutputF1->SBar->currentMessage(), QStringLiteral("処理終了"));
    for (int i = 0; i < 6; ++i) QCOMPARE(window.Model().index(i).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(program.dialogs.messages.size(), 1);
    const QString closing = program.dialogs.messages.at(0);
    QVERIFY2(closing.startsWith(QStringLiteral("変換が終了しました\n\n")), qPrintable(closing));
    QVERIFY(closing.contains(QStringLiteral("変換した図葉：6\n")));
    QVERIFY(closing.contains(QStringLiteral("座標系エラーの図葉：0\n")));
    QVERIFY(closing.contains(QStringLiteral("出力フォルダー：") + QString::fromStdString(out.native())));
    QVERIFY(SaveScreenshot(window, QStringLiteral("window-after-run")));
    const std::unique_ptr<QMessageBox> box = MessageBoxFor(&window, closing);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QVERIFY(SaveScreenshot(*box, QStringLiteral("run-summary-message")));
    box->hide();

    // The console front end, given the same sources, leaves the same files.
    const fs::path cli_out = program.Root() / "cli";
    fs::create_directories(cli_out);
    QStringList arguments = {QStringLiteral("-o"), QString::fromStdString((cli_out / "run.lis").native()),
                             QStringLiteral("--settings"), QString::fromStdString((program.Root() / "cli.Ini").native())};
    arguments.append(sources);
    QProcess cli;
    cli.start(QStringLiteral(GRIDORA_CLI), arguments);
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    const std::map<std::string, std::string> window_files = OutputFiles(out);
    QVERIFY(window_files.count("zuyo.shp") && window_files.count("run.lis"));
    const std::map<std::string, std::string> cli_files = OutputFiles(cli_out);
    QStringList window_names, cli_names;
    for (const auto& [name, bytes] : window_files) window_names.append(QString::fromStdString(name));
    for (const auto& [name, bytes] : cli_files) cli_names.append(QString::fromStdString(name));
    QCOMPARE(window_names, cli_names);
    for (const auto& [name, bytes] : window_files)
        QVERIFY2(bytes == cli_files.at(name), name.c_str());
}

void GridoraWindowTest::aRefusedSheetIsRelabelledInTheList() {
    ProgramFolder program;
    // A copy of a sample sheet that claims system 10 where the sample's sheets are in 9.
    const fs::path copy = program.Root() / "data/13101/09LD172";
    fs::create_directories(copy.parent_path());
    fs::copy(testing::SampleFolder() / "13101/09LD172", copy, fs::copy_options::recursive);
    std::string description = ReadBytes(copy / "09LD172.TXT");
    const std::size_t system = description.find("\r\n9,");
    QVERIFY(system != std::string::npos);
    description.replace(system, 4, "\r\n10,");
    std::ofstream(copy / "09LD172.TXT", std::ios::binary | std::ios::trunc) << description;

    Tgridoraf window(program.Environment());
    program.dialogs.chosen_files = {{SampleDescription("13101", "09LD174"),
                                     QString::fromStdString((copy / "09LD172.TXT").native()),
                                     SampleDescription("13101", "09LD174")}};
    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);
    const QString refused_row = ShownRows(window).at(1);
    window.OutputF1->eOutPath->setText(QString::fromStdString((program.Root() / "out/run.lis").native()));
    QTest::mouseClick(window.CommandF1->bExecute, Qt::LeftButton);

    QCOMPARE(ShownRows(window).at(1), QStringLiteral("座標系エラー：") + refused_row);
    QCOMPARE(window.Model().index(1).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(window.Model().index(2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));  // the repeated sheet
    const QString closing = program.dialogs.messages.last();
    QVERIFY(closing.contains(QStringLiteral("変換した図葉：1\n")));
    QVERIFY(closing.contains(QStringLiteral("座標系エラーの図葉：1\n")));
    QVERIFY(closing.contains(QStringLiteral("重複のため飛ばした行：1\n")));
}

void GridoraWindowTest::duringARunDeletingIsRefusedAndClosingWaitsForTheEnd() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    program.dialogs.chosen_files = {SampleDescriptions().mid(0, 2)};
    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);
    const fs::path out = program.Root() / "out";
    window.OutputF1->eOutPath->setText(QString::fromStdString((out / "run.lis").native()));
    bool pressed = false;
    window.Sheets().Subscribe([&](const SheetListChange& change) {
        if (change.kind != SheetListChange::Kind::kCurrentRow || change.first != 0 || change.count == 0 || pressed) return;
        pressed = true;
        QTest::mouseClick(window.CommandF1->bDelCheck, Qt::LeftButton);
        QTest::mouseClick(window.CommandF1->eClose, Qt::LeftButton);
        QVERIFY(window.isVisible());
    });
    QTest::mouseClick(window.CommandF1->bExecute, Qt::LeftButton);

    QVERIFY(pressed);
    QCOMPARE(program.dialogs.messages.at(0), QStringLiteral("変換実行中はチェックを削除できません"));
    QCOMPARE(window.Model().rowCount(), 2);
    QVERIFY(program.dialogs.messages.last().startsWith(QStringLiteral("変換が終了しました")));
    QVERIFY(fs::exists(out / "run.lis"));
    QVERIFY(!window.isVisible());  // closed once the run had ended
}

void GridoraWindowTest::theListScrollsWhenTheRunAsks() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i < 200; ++i) window.Sheets().Append("row" + std::to_string(i));
    QCOMPARE(window.eInList->sizeHintForRow(0), window.eInList->RowHeight());
    window.Sheets().ScrollTo(49);
    QCoreApplication::processEvents();
    QCOMPARE(window.eInList->indexAt(QPoint(2, 2)).row(), 49);
    window.Sheets().SetText(49, ToCp932("座標系エラー：row49"));
    QCOMPARE(window.eInList->indexAt(QPoint(2, 2)).data().toString(), QStringLiteral("座標系エラー：row49"));
}

void GridoraWindowTest::theWebButtonsOpenTheirPages() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    QTest::mouseClick(window.CommandF1->Button2, Qt::LeftButton);
    QTest::mouseClick(window.HeaderF1->Button2, Qt::LeftButton);
    QCOMPARE(program.dialogs.opened.size(), 2);
    QCOMPARE(program.dialogs.opened.at(0), QUrl(QString::fromLatin1(kPublisherPageUrl)));
    QCOMPARE(program.dialogs.opened.at(1),
             QUrl::fromLocalFile(QString::fromStdString((program.Folder() / "README.md").native())));
    // The build puts the help page beside the program.
    QVERIFY(fs::exists(fs::path(GRIDORA_BINARY_DIR) / "bin" / kHelpPageFile));
}

void GridoraWindowTest::anInterruptedRunIsContinuedOrStartedOverAsTheUserAnswers() {
    ProgramFolder program;
    Tgridoraf window(program.Environment());
    program.dialogs.chosen_files = {SampleDescriptions().mid(0, 2)};
    QTest::mouseClick(window.HeaderF1->Button1, Qt::LeftButton);
    const fs::path list_file = program.Root() / "resumed/run.lis";
    window.OutputF1->eOutPath->setText(QString::fromStdString(list_file.native()));
    fs::create_directories(list_file.parent_path());

    for (const bool answer : {true, false}) {
        // What a run of these rows stopped before its first sheet leaves.
        const fs::path staging = StagingFolderOf(list_file);
        QVERIFY(CreateStagingFolder(staging));
        QVERIFY(WriteRunArguments(staging, RunArgumentsText(window.Sheets(), list_file.native(), true)));
        QVERIFY(SaveRunProgress(staging, RunProgress{}, false));
        program.dialogs.questions.clear();
        program.dialogs.answers = {answer};
        window.Sheets().CheckAll();
        QTest::mouseClick(window.CommandF1->bExecute, Qt::LeftButton);
        QCOMPARE(program.dialogs.questions.size(), 1);
        QVERIFY(program.dialogs.questions.at(0).contains(QStringLiteral("続きから変換しますか")));
        QVERIFY(fs::exists(list_file.parent_path() / "tatemono.shp"));
        QVERIFY(!fs::exists(staging));
    }
}

}  // namespace gridora::ui

QTEST_MAIN(gridora::ui::GridoraWindowTest)
#include "gridora_window_test.moc"
