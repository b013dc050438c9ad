#include "ui/japanese_font.h"

#include <fontconfig/fontconfig.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

namespace gridora::ui {
namespace {

const QString kDesignFamily = QStringLiteral("ＭＳ Ｐゴシック");
// Room a push button keeps between its caption and its bevel, both sides together.
constexpr int kButtonCaptionMargin = 8;

// Whether a sorted fontconfig entry covers Japanese; its family and whether it is
// proportional go to the outputs.
bool JapaneseEntry(FcPattern* font, QString& family, bool& proportional) {
    FcLangSet* langs = nullptr;
    if (FcPatternGetLangSet(font, FC_LANG, 0, &langs) != FcResultMatch) return false;
    if (FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangEqual) return false;
    FcChar8* name = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &name) != FcResultMatch) return false;
    family = QString::fromUtf8(reinterpret_cast<const char*>(name));
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
    proportional = spacing == FC_PROPORTIONAL;
    return true;
}

QString FontconfigJapaneseGothic() {
    if (!FcInit()) return {};
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja:style=Regular"));
    if (pattern == nullptr) return {};
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    QString first_japanese;
    QString first_proportional;
    if (sorted != nullptr) {
        for (int i = 0; i < sorted->nfont && first_proportional.isEmpty(); ++i) {
            QString family;
            bool proportional = false;
            if (!JapaneseEntry(sorted->fonts[i], family, proportional)) continue;
            if (first_japanese.isEmpty()) first_japanese = family;
            if (proportional) first_proportional = family;
        }
        FcFontSetDestroy(sorted);
    }
    FcPatternDestroy(pattern);
    return first_proportional.isEmpty() ? first_japanese : first_proportional;
}

}  // namespace

QString JapaneseFontFamily() {
    static const QString family = [] {
        if (QFontDatabase::families().contains(kDesignFamily)) return kDesignFamily;
        return FontconfigJapaneseGothic();
    }();
    return family;
}

QFont JapaneseFont(int pixel_size) {
    QFont font(JapaneseFontFamily());
    font.setPixelSize(pixel_size);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int CaptionWidth(const QWidget& control) {
    if (auto* check = qobject_cast<const QCheckBox*>(&control)) return check->sizeHint().width();
    if (auto* button = qobject_cast<const QAbstractButton*>(&control))
        return button->text().isEmpty() ? 0
                                         : button->fontMetrics().horizontalAdvance(button->text()) + kButtonCaptionMargin;
    if (auto* label = qobject_cast<const QLabel*>(&control))
        return label->text().isEmpty() ? 0 : label->fontMetrics().horizontalAdvance(label->text());
    return 0;
}

void FitCaptions(QWidget& root) {
    QList<QWidget*> controls = root.findChildren<QWidget*>();
    controls.prepend(&root);
    for (QWidget* control : controls) {
        // Labels size themselves to their text, as auto-sized labels do.
        if (auto* label = qobject_cast<QLabel*>(control)) {
            label->resize(label->sizeHint());
            continue;
        }
        QFont font = control->font();
        while (CaptionWidth(*control) > control->width() && font.pixelSize() > kSmallestCaptionPixelSize) {
            font.setPixelSize(font.pixelSize() - 1);
            control->setFont(font);
        }
    }
}

}  // namespace gridora::ui
