// WindowFont.cpp - the windows' font: the design family when present, else a Japanese fallback that fits.
#include "WindowFont.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

#include "FormDesign.h"

namespace {

// The family the windows are designed for.
const QString kDesignFontFamily = QString::fromUtf8(forms::kFontFamily);

// Families that draw Japanese on Debian and similar systems, best first.
const QStringList kFallbackFamilies = {
    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"), QStringLiteral("IPAPGothic"),
    QStringLiteral("IPAGothic"),        QStringLiteral("VL PGothic"),   QStringLiteral("TakaoPGothic"),
};

constexpr double kStepPoints = 0.5;

// The room a check box leaves its caption: its width less the indicator and the spacing, as the style
// lays it out when it paints.
int CaptionRoom(const QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.rect = box->rect();
    option.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width();
}

bool CaptionsFit(const QWidget* window) {
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width())
            return false;
    }
    for (const QCheckBox* box : window->findChildren<QCheckBox*>()) {
        if (box->fontMetrics().horizontalAdvance(box->text()) > CaptionRoom(box)) return false;
    }
    return true;
}

}  // namespace

QFont RequestedWindowFont() {
    QFont font;
    QStringList families{kDesignFontFamily};
    families.append(kFallbackFamilies);
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(forms::kFontPoints);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

bool IsDesignFamily(const QFont& font) {
    return QFontInfo(font).family().compare(kDesignFontFamily, Qt::CaseInsensitive) == 0;
}

QFont FitWindowFont(QWidget* window, QFont font) {
    window->setFont(font);
    if (IsDesignFamily(font)) return font;
    while (!CaptionsFit(window) && font.pointSizeF() - kStepPoints >= kSmallestFallbackPoints) {
        font.setPointSizeF(font.pointSizeF() - kStepPoints);
        window->setFont(font);
    }
    return font;
}
