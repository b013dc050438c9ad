#include "ui/map_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

#include "platform/cp932.h"
#include "ui/japanese_font.h"
#include "ui/user_dialogs.h"
#include "ui/window_port.h"

namespace gridora::ui {
namespace {

constexpr int kButtonWidth = 81;
constexpr int kButtonHeight = 25;
constexpr int kEditHeight = 21;
constexpr int kLabelHeight = 14;

QString Shown(const std::string& cp932) { return TextForDisplay(cp932); }
std::string Stored(const QLineEdit& edit) { return ToCp932(edit.text().toStdString()); }

template <typename Widget>
Widget* Named(Widget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLineEdit* Edit(QWidget* parent, const char* name, int left, int top, int width) {
    return Named(new QLineEdit(parent), name, QRect(left, top, width, kEditHeight));
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* button = Named(new QPushButton(caption, parent), name, QRect(left, top, kButtonWidth, kButtonHeight));
    button->setAutoDefault(false);
    return button;
}

// A label left of the control at `control_top`, its text centred on the control's line.
QLabel* Label(QWidget* parent, const QString& caption, int left, int control_top) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(left, control_top + (kEditHeight - kLabelHeight) / 2, label->sizeHint().width(), kLabelHeight);
    return label;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    return Named(new QCheckBox(caption, parent), name, QRect(left, top, 300, 17));
}

QComboBox* Combo(QWidget* parent, const char* name, int left, int top, int width) {
    return Named(new QComboBox(parent), name, QRect(left, top, width, kEditHeight));
}

template <std::size_t N>
void FillCombo(QComboBox& combo, const std::array<std::string_view, N>& items) {
    for (std::string_view item : items) combo.addItem(QString::fromUtf8(item.data(), static_cast<int>(item.size())));
}

}  // namespace

TOKRightDlg::TOKRightDlg(const MapSettings& settings, std::filesystem::path settings_file, UserDialogs& dialogs,
                         QWidget* parent)
    : QDialog(parent), settings_file_(std::move(settings_file)), dialogs_(dialogs) {
    setObjectName(QStringLiteral("OKRightDlg"));
    setWindowTitle(QStringLiteral("mapserver設定"));
    setFont(JapaneseFont());
    setFixedSize(kClientSize);
    setModal(true);

    OKBtn = Button(this, "OKBtn", QStringLiteral("確　定"), 474, 12);
    OKBtn->setDefault(true);
    CancelBtn = Button(this, "CancelBtn", QStringLiteral("キャンセル"), 474, 44);

    CheckBox1 = CheckBox(this, "CheckBox1", QStringLiteral("レイヤ情報のみエクスポート"), 16, 12);
    CheckBox2 = CheckBox(this, "CheckBox2", QStringLiteral("シームレスファイル使用"), 16, 34);
    CheckBox3 = CheckBox(this, "CheckBox3", QStringLiteral("MapServer 8 用のMapファイルも作成"), 16, 56);

    // The map file is named after the list file; its own name field stays hidden.
    Label1 = Label(this, QStringLiteral("Mapファイル名"), 16, 80);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = Edit(this, "Edit1", 100, 80, 280);
    Button1 = Button(this, "Button1", QStringLiteral("参照"), 388, 78);
    for (QWidget* hidden : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Button1)})
        hidden->hide();

    GroupBox1 = Named(new QGroupBox(QStringLiteral("地図"), this), "GroupBox1", QRect(16, 86, 440, 152));
    Label(GroupBox1, QStringLiteral("名称"), 12, 22);
    Edit2 = Edit(GroupBox1, "Edit2", 92, 22, 336);
    Label(GroupBox1, QStringLiteral("幅"), 12, 52);
    Edit3 = Edit(GroupBox1, "Edit3", 92, 52, 100);
    Label(GroupBox1, QStringLiteral("高さ"), 232, 52);
    Edit4 = Edit(GroupBox1, "Edit4", 312, 52, 100);
    Label(GroupBox1, QStringLiteral("単位"), 12, 82);
    ComboBox1 = Combo(GroupBox1, "ComboBox1", 92, 82, 100);
    Label(GroupBox1, QStringLiteral("画像タイプ"), 232, 82);
    ComboBox2 = Combo(GroupBox1, "ComboBox2", 312, 82, 100);
    Label(GroupBox1, QStringLiteral("最小スケール"), 12, 112);
    Edit5 = Edit(GroupBox1, "Edit5", 92, 112, 100);
    Label(GroupBox1, QStringLiteral("最大スケール"), 232, 112);
    Edit6 = Edit(GroupBox1, "Edit6", 312, 112, 100);

    GroupBox2 = Named(new QGroupBox(QStringLiteral("日本語"), this), "GroupBox2", QRect(16, 250, 440, 58));
    Label(GroupBox2, QStringLiteral("漢字フォント"), 12, 24);
    eFontName = Edit(GroupBox2, "eFontName", 92, 24, 244);
    Button2 = Button(GroupBox2, "Button2", QStringLiteral("参照"), 346, 22);

    // The web header, template and footer are kept in the settings but used by nothing.
    GroupBox3 = Named(new QGroupBox(QStringLiteral("Webインターフェース定義"), this), "GroupBox3",
                      QRect(16, 318, 440, 56));
    Edit7 = Edit(GroupBox3, "Edit7", 12, 24, 130);
    Edit8 = Edit(GroupBox3, "Edit8", 152, 24, 130);
    Edit9 = Edit(GroupBox3, "Edit9", 292, 24, 130);
    GroupBox3->hide();

    connect(OKBtn, &QPushButton::clicked, this, &TOKRightDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TOKRightDlg::CancelBtnClick);
    connect(Button1, &QPushButton::clicked, this, &TOKRightDlg::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TOKRightDlg::Button2Click);

    FitCaptions(*this);
    FormCreate(settings);
}

void TOKRightDlg::FormCreate(const MapSettings& settings) {
    FillCombo(*ComboBox1, UnitsComboItems);
    FillCombo(*ComboBox2, ImageTypeComboItems);
    ShowControls(ControlsFromSettings(settings));
}

MapSettingsControls TOKRightDlg::Controls() const {
    MapSettingsControls c;
    c.map_file_name = Stored(*Edit1);
    c.layer_information_only = CheckBox1->isChecked();
    c.map_name = Stored(*Edit2);
    c.width = Stored(*Edit3);
    c.height = Stored(*Edit4);
    c.units_index = ComboBox1->currentIndex();
    c.image_type_index = ComboBox2->currentIndex();
    c.minimum_scale = Stored(*Edit5);
    c.maximum_scale = Stored(*Edit6);
    c.web_header = Stored(*Edit7);
    c.web_template = Stored(*Edit8);
    c.web_footer = Stored(*Edit9);
    c.kanji_font = Stored(*eFontName);
    c.seamless_files = CheckBox2->isChecked();
    c.mapserver8 = CheckBox3->isChecked();
    return c;
}

void TOKRightDlg::ShowControls(const MapSettingsControls& c) {
    Edit1->setText(Shown(c.map_file_name));
    CheckBox1->setChecked(c.layer_information_only);
    Edit2->setText(Shown(c.map_name));
    Edit3->setText(Shown(c.width));
    Edit4->setText(Shown(c.height));
    // An index that names no item leaves nothing selected.
    ComboBox1->setCurrentIndex(c.units_index < ComboBox1->count() ? c.units_index : -1);
    ComboBox2->setCurrentIndex(c.image_type_index < ComboBox2->count() ? c.image_type_index : -1);
    Edit5->setText(Shown(c.minimum_scale));
    Edit6->setText(Shown(c.maximum_scale));
    Edit7->setText(Shown(c.web_header));
    Edit8->setText(Shown(c.web_template));
    Edit9->setText(Shown(c.web_footer));
    eFontName->setText(Shown(c.kanji_font));
    eFontName->setCursorPosition(0);  // a long path shows its start
    CheckBox2->setChecked(c.seamless_files);
    CheckBox3->setChecked(c.mapserver8);
}

void TOKRightDlg::OKBtnClick() {
    StoreMapSettingsControls(settings_file_, Controls());
    accept();
}

void TOKRightDlg::CancelBtnClick() { reject(); }

void TOKRightDlg::Button1Click() {
    const FileDialogRequest request{FileDialogRequest::Kind::kSave, QStringLiteral("Mapファイル (*.map) (*.map *.MAP)"),
                                    QStringLiteral("map")};
    ChooseInto(*Edit1, request);
}

void TOKRightDlg::Button2Click() {
    const FileDialogRequest request{
        FileDialogRequest::Kind::kOpenOne,
        QStringLiteral("フォント (*.ttf, *.ttc, *.otf) (*.ttf *.TTF *.ttc *.TTC *.otf *.OTF);;すべてのファイル (*)"), {}};
    ChooseInto(*eFontName, request);
}

void TOKRightDlg::ChooseInto(QLineEdit& edit, const FileDialogRequest& request) {
    const QStringList chosen = dialogs_.ChooseFiles(this, request);
    if (!chosen.isEmpty()) edit.setText(chosen.front());
}

void TOKRightDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

}  // namespace gridora::ui
