// The window's Japanese face and the rule that every caption fits its control.
//
// The window is laid out in fixed pixels for "ＭＳ Ｐゴシック" at 12 pixels. Where that face is
// missing (any Linux machine), fontconfig names the Japanese Gothic face to use instead,
// a proportional one when there is one, since the captions were measured in a
// proportional face. A caption that is still too wide for its control in the face found
// is drawn one pixel smaller at a time until it fits.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace gridora::ui {

inline constexpr int kCaptionPixelSize = 12;
inline constexpr int kSmallestCaptionPixelSize = 9;

// "ＭＳ Ｐゴシック" when Qt knows it; otherwise the best Japanese Gothic family fontconfig
// sorts first, proportional before fixed-width; empty when fontconfig knows no Japanese face.
QString JapaneseFontFamily();

// The window's font: JapaneseFontFamily() at `pixel_size`.
QFont JapaneseFont(int pixel_size = kCaptionPixelSize);

// The width a control needs to show its whole caption in its current font; 0 for widgets
// without a caption.
int CaptionWidth(const QWidget& control);

// Shrinks the font of every button and check box under `root` (itself included) whose
// caption is wider than the control; labels take the size of their text.
void FitCaptions(QWidget& root);

}  // namespace gridora::ui
