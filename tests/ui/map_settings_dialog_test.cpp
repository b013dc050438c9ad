// The map-server settings dialog as the window opens it: what it shows, Cancel keeping
// the edits, OK storing them for the window to reload, and the font chooser.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "ui/japanese_font.h"
#include "ui/program_start.h"
#include "ui_test_helpers.h"

namespace gridora::ui {
namespace {

namespace fs = std::filesystem;
using testing::ProgramFolder;
using testing::SaveScreenshot;

// Opens the dialog from the window's "Map設定" with `drive` acting in it, as the user
// would before pressing a button; returns how it ended.
int OpenSettings(GridoraWindows& windows, ProgramFolder& program, const std::function<void(TOKRightDlg&)>& drive) {
    int result = -1;
    program.dialogs.drive_modal = [&](QDialog& dialog) {
        auto& settings = dynamic_cast<TOKRightDlg&>(dialog);
        settings.show();
        drive(settings);
        result = dialog.result();
        return result;
    };
    QTest::mouseClick(windows.window.CommandF1->Button1, Qt::LeftButton);
    return result;
}

std::string Setting(const ProgramFolder& program, const char* key) {
    return ReadIniString(program.Folder() / "gridora.Ini", "MapServer", ToCp932(key), "(absent)");
}

}  // namespace

class MapSettingsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheLoadedSettingsInItsControls();
    void cancelWritesNothingAndKeepsTheEditsForTheNextOpening();
    void okStoresEveryControlAndTheWindowReloads();
    void theFontButtonPutsThePickedFileIntoTheField();
};

void MapSettingsDialogTest::showsTheLoadedSettingsInItsControls() {
    ProgramFolder program;
    WriteIniString(program.Folder() / "gridora.Ini", "MapServer", ToCp932("Map名"), ToCp932("千代田"));
    WriteIniString(program.Folder() / "gridora.Ini", "MapServer", ToCp932("座標タイプ"), "3");
    WriteIniString(program.Folder() / "gridora.Ini", "MapServer", ToCp932("Webヘッダ"), "head.html");
    GridoraWindows windows(program.Environment());
    TOKRightDlg& dialog = windows.settings_dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("mapserver設定"));
    QCOMPARE(dialog.size(), QSize(571, 385));
    QCOMPARE(dialog.Edit2->text(), QStringLiteral("千代田"));
    QCOMPARE(dialog.Edit3->text(), QStringLiteral("400"));
    QCOMPARE(dialog.Edit4->text(), QStringLiteral("300"));
    QCOMPARE(dialog.ComboBox1->count(), 2);
    QCOMPARE(dialog.ComboBox1->itemText(1), QStringLiteral("メートル"));
    QCOMPARE(dialog.ComboBox1->currentText(), QStringLiteral("メートル"));
    QCOMPARE(dialog.ComboBox2->count(), 4);
    QCOMPARE(dialog.ComboBox2->currentText(), QStringLiteral("png"));
    QVERIFY(dialog.CheckBox2->isChecked());
    QVERIFY(!dialog.CheckBox1->isChecked());
    QVERIFY(dialog.CheckBox3->isChecked());  // the MapServer 8 map file unless turned off
    QVERIFY(!dialog.eFontName->text().isEmpty());  // the fontconfig default
    QCOMPARE(dialog.Edit7->text(), QStringLiteral("head.html"));

    QCOMPARE(dialog.OKBtn->text(), QStringLiteral("確　定"));
    QVERIFY(dialog.OKBtn->isDefault());
    QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("キャンセル"));
    QCOMPARE(dialog.CheckBox1->text(), QStringLiteral("レイヤ情報のみエクスポート"));
    QCOMPARE(dialog.CheckBox2->text(), QStringLiteral("シームレスファイル使用"));
    QCOMPARE(dialog.GroupBox1->title(), QStringLiteral("地図"));
    QCOMPARE(dialog.GroupBox2->title(), QStringLiteral("日本語"));
    QCOMPARE(dialog.GroupBox3->title(), QStringLiteral("Webインターフェース定義"));
    QCOMPARE(dialog.Button2->text(), QStringLiteral("参照"));
    QStringList labels;
    for (QLabel* label : dialog.GroupBox1->findChildren<QLabel*>()) labels.append(label->text());
    QCOMPARE(labels, QStringList({"名称", "幅", "高さ", "単位", "画像タイプ", "最小スケール", "最大スケール"}));
    for (QWidget* hidden : {static_cast<QWidget*>(dialog.Edit1), static_cast<QWidget*>(dialog.Button1),
                            static_cast<QWidget*>(dialog.GroupBox3)})
        QVERIFY(!hidden->isVisible());

    for (QWidget* control : dialog.findChildren<QWidget*>())
        if (control->isVisible() && CaptionWidth(*control) > 0)
            QVERIFY2(CaptionWidth(*control) <= control->width(), qPrintable(control->property("text").toString()));
    QVERIFY(SaveScreenshot(dialog, QStringLiteral("map-settings-dialog")));
}

void MapSettingsDialogTest::cancelWritesNothingAndKeepsTheEditsForTheNextOpening() {
    ProgramFolder program;
    GridoraWindows windows(program.Environment());
    const MapSettings loaded = windows.window.LoadedMapSettings();
    const int result = OpenSettings(windows, program, [](TOKRightDlg& dialog) {
        dialog.Edit2->setText(QStringLiteral("下書き"));
        dialog.CheckBox3->setChecked(false);
        QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(!fs::exists(program.Folder() / "gridora.Ini"));
    QVERIFY(windows.window.LoadedMapSettings() == loaded);

    QString shown_again;
    OpenSettings(windows, program, [&](TOKRightDlg& dialog) {
        shown_again = dialog.Edit2->text();
        QVERIFY(!dialog.CheckBox3->isChecked());
        QTest::keyClick(&dialog, Qt::Key_Escape);  // Escape cancels too
    });
    QCOMPARE(shown_again, QStringLiteral("下書き"));
    QVERIFY(!fs::exists(program.Folder() / "gridora.Ini"));
}

void MapSettingsDialogTest::okStoresEveryControlAndTheWindowReloads() {
    ProgramFolder program;
    GridoraWindows windows(program.Environment());
    const int result = OpenSettings(windows, program, [](TOKRightDlg& dialog) {
        dialog.Edit2->setText(QStringLiteral("東京"));
        dialog.Edit3->setText(QStringLiteral("abc"));
        dialog.Edit4->setText(QStringLiteral(" 480 "));
        dialog.ComboBox2->setCurrentIndex(2);
        dialog.CheckBox1->setChecked(true);
        dialog.CheckBox2->setChecked(false);
        dialog.CheckBox3->setChecked(false);
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(Setting(program, "地図サイズ幅"), std::string("0"));
    QCOMPARE(Setting(program, "地図サイズ高さ"), std::string("480"));
    QCOMPARE(Setting(program, "Map名"), ToCp932("東京"));
    QCOMPARE(Setting(program, "座標タイプ"), std::string("2"));
    QCOMPARE(Setting(program, "座標単位"), std::string("1"));
    QCOMPARE(Setting(program, "レイヤ情報のみ"), std::string("1"));
    QCOMPARE(Setting(program, "シームレス"), std::string("0"));
    QCOMPARE(Setting(program, "MapServer8"), std::string("0"));
    QCOMPARE(Setting(program, "Webフッタ"), std::string());

    const MapSettings& reloaded = windows.window.LoadedMapSettings();
    QVERIFY(reloaded == LoadMapSettings(program.Folder() / "gridora.Ini"));
    QCOMPARE(reloaded.width, 0);
    QCOMPARE(reloaded.height, 480);
    QCOMPARE(reloaded.map_name, ToCp932("東京"));
    QVERIFY(reloaded.layer_information_only && !reloaded.seamless_files && !reloaded.mapserver8);
}

void MapSettingsDialogTest::theFontButtonPutsThePickedFileIntoTheField() {
    ProgramFolder program;
    GridoraWindows windows(program.Environment());
    TOKRightDlg& dialog = windows.settings_dialog;
    const QString font = QStringLiteral("/usr/share/fonts/日本語.ttf");
    program.dialogs.chosen_files = {{font}, {}};
    QTest::mouseClick(dialog.Button2, Qt::LeftButton);
    QCOMPARE(dialog.eFontName->text(), font);
    QVERIFY(program.dialogs.requests.at(0).kind == FileDialogRequest::Kind::kOpenOne);
    QTest::mouseClick(dialog.Button2, Qt::LeftButton);  // cancelled
    QCOMPARE(dialog.eFontName->text(), font);
}

}  // namespace gridora::ui

QTEST_MAIN(gridora::ui::MapSettingsDialogTest)
#include "map_settings_dialog_test.moc"
