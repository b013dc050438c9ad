// The three panels of the main window, each a reusable frame with its controls at fixed
// pixel positions: THeaderF (the input row along the top), TCommandF (the command buttons
// on the right) and TOutputF (the list-file path and the status bar along the bottom).
// The frames only hold their controls; the window connects them to its handlers.
#pragma once

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace gridora::ui {

class THeaderF : public QFrame {
    Q_OBJECT

public:
    static constexpr int kHeight = 25;

    explicit THeaderF(QWidget* parent = nullptr);

    QLabel* Label1;        // "数値地図ファイル名"
    QPushButton* Button1;  // "①　参　照": pick sheet sources
    QPushButton* Button2;  // "HELP"
};

class TCommandF : public QFrame {
    Q_OBJECT

public:
    static constexpr int kWidth = 106;

    explicit TCommandF(QWidget* parent = nullptr);

    QCheckBox* cdonut;       // "ドーナツ処理", checked at start
    QCheckBox* cgpkg;        // "GeoPackage出力": one GeoPackage instead of Shapefiles, kept in the settings
    QPushButton* bExecute;   // "③変換実行"
    QPushButton* eClose;     // "④閉　じ　る"
    QPushButton* bDelCheck;  // "チェックを削除"
    QPushButton* Button1;    // "Map設定"
    QPushButton* Button2;    // "数値地図2500"
};

class TOutputF : public QFrame {
    Q_OBJECT

public:
    static constexpr int kHeight = 78;

    explicit TOutputF(QWidget* parent = nullptr);

    QLabel* Label2;         // "出力フォルダー（変換情報）"
    QLineEdit* eOutPath;    // the list-file path
    QPushButton* Button2;   // "②　参　照": pick the list file
    QStatusBar* SBar;       // the run's status texts
    QProgressBar* Progress;  // in SBar during a run: rows reached of rows listed

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Keeps eOutPath 20 pixels narrower than the panel, its button at its upper right and
    // the status bar along the bottom.
    void FrameResize();
};

}  // namespace gridora::ui
