#include "ui/frames.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace gridora::ui {
namespace {

constexpr int kButtonWidth = 81;
constexpr int kButtonHeight = 25;
constexpr int kLabelHeight = 14;

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    return button;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->resize(label->sizeHint().width(), kLabelHeight);
    return label;
}

}  // namespace

THeaderF::THeaderF(QWidget* parent) : QFrame(parent) {
    setFixedHeight(kHeight);
    Label1 = Label(this, "Label1", QStringLiteral("数値地図ファイル名"), 8, 6);
    Button1 = Button(this, "Button1", QStringLiteral("①　参　照"), 360, 0);
    Button2 = Button(this, "Button2", QStringLiteral("HELP"), 528, 0);
}

TCommandF::TCommandF(QWidget* parent) : QFrame(parent) {
    setFixedWidth(kWidth);
    constexpr int kLeft = 12;
    cdonut = new QCheckBox(QStringLiteral("ドーナツ処理"), this);
    cdonut->setObjectName(QStringLiteral("cdonut"));
    cdonut->setGeometry(kLeft, 16, kButtonWidth + 8, 17);
    cdonut->setChecked(true);
    cgpkg = new QCheckBox(QStringLiteral("GeoPackage出力"), this);
    cgpkg->setObjectName(QStringLiteral("cgpkg"));
    // Its caption is longer than the column of buttons is wide: the box starts further left.
    cgpkg->setGeometry(2, 36, kWidth - 2, 17);
    bExecute = Button(this, "bExecute", QStringLiteral("③変換実行"), kLeft, 60);
    eClose = Button(this, "eClose", QStringLiteral("④閉　じ　る"), kLeft, 110);
    bDelCheck = Button(this, "bDelCheck", QStringLiteral("チェックを削除"), kLeft, 160);
    Button1 = Button(this, "Button1", QStringLiteral("Map設定"), kLeft, 240);
    Button2 = Button(this, "Button2", QStringLiteral("数値地図2500"), kLeft, 328);
}

TOutputF::TOutputF(QWidget* parent) : QFrame(parent) {
    setFixedHeight(kHeight);
    Label2 = Label(this, "Label2", QStringLiteral("出力フォルダー（変換情報）"), 8, 12);
    eOutPath = new QLineEdit(this);
    eOutPath->setObjectName(QStringLiteral("eOutPath"));
    Button2 = Button(this, "Button2", QStringLiteral("②　参　照"), 0, 3);
    SBar = new QStatusBar(this);
    SBar->setObjectName(QStringLiteral("SBar"));
    SBar->setSizeGripEnabled(false);
    Progress = new QProgressBar(SBar);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setFormat(QStringLiteral("%v / %m"));
    Progress->setFixedWidth(160);
    Progress->hide();
    SBar->addPermanentWidget(Progress);
    FrameResize();
}

void TOutputF::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    FrameResize();
}

void TOutputF::FrameResize() {
    constexpr int kLeft = 8;
    constexpr int kStatusHeight = 20;
    const int path_width = width() - 20;
    eOutPath->setGeometry(kLeft, 31, path_width, 21);
    Button2->move(kLeft + path_width - kButtonWidth, 3);
    SBar->setGeometry(0, height() - kStatusHeight, width(), kStatusHeight);
}

}  // namespace gridora::ui
