// TOKRightDlg, the map-server settings dialog ("mapserver設定"), opened modally from the
// main window's "Map設定". It is created once with the program and filled once from the
// loaded settings, so Cancel leaves the user's edits in the controls for the next opening;
// OK writes every control to the settings file and the window then reloads the record.
#pragma once

#include <QDialog>
#include <filesystem>

#include "mapserver/map_settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace gridora::ui {

class UserDialogs;
struct FileDialogRequest;

class TOKRightDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize kClientSize{571, 385};

    // FormCreate: fills the combo boxes and shows `settings` in the controls.
    TOKRightDlg(const MapSettings& settings, std::filesystem::path settings_file, UserDialogs& dialogs,
                QWidget* parent = nullptr);

    // The controls as values, and the other way round.
    MapSettingsControls Controls() const;
    void ShowControls(const MapSettingsControls& controls);

    QPushButton* OKBtn;      // "確　定"
    QPushButton* CancelBtn;  // "キャンセル"
    QCheckBox* CheckBox1;    // "レイヤ情報のみエクスポート"
    QCheckBox* CheckBox2;    // "シームレスファイル使用"
    QCheckBox* CheckBox3;    // the MapServer 8 map file
    QLabel* Label1;          // "Mapファイル名" (hidden)
    QLineEdit* Edit1;        // map file name (hidden)
    QPushButton* Button1;    // its "参照" (hidden)
    QGroupBox* GroupBox1;    // "地図"
    QLineEdit* Edit2;        // "名称"
    QLineEdit* Edit3;        // "幅"
    QLineEdit* Edit4;        // "高さ"
    QComboBox* ComboBox1;    // "単位"
    QComboBox* ComboBox2;    // "画像タイプ"
    QLineEdit* Edit5;        // "最小スケール"
    QLineEdit* Edit6;        // "最大スケール"
    QGroupBox* GroupBox2;    // "日本語"
    QLineEdit* eFontName;    // "漢字フォント"
    QPushButton* Button2;    // "参照": pick the Kanji font file
    QGroupBox* GroupBox3;    // "Webインターフェース定義" (hidden with its fields)
    QLineEdit* Edit7;        // web header
    QLineEdit* Edit8;        // web template
    QLineEdit* Edit9;        // web footer

public slots:
    void OKBtnClick();
    void CancelBtnClick();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const MapSettings& settings);
    // Puts the file the user picks, if any, into `edit`.
    void ChooseInto(QLineEdit& edit, const FileDialogRequest& request);

    std::filesystem::path settings_file_;
    UserDialogs& dialogs_;
};

}  // namespace gridora::ui
