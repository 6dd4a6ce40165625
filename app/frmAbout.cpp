// frmAbout.cpp - the About box: four labels, the version text, closed by Esc.
#include "frmAbout.h"

#include <QKeyEvent>
#include <QLabel>

#include "ControlDesign.h"
#include "Twips.h"
#include "WindowFont.h"
#include "mMain.h"

namespace {

// The four labels; the caption of element 0 is replaced by the version text on load.
const std::array<ControlDesign, 4> kDesign{{
    {"lblCaption0", 90, 120, 1320, 180, "Pakuto- Ver.0.0.1", ""},
    {"lblCaption1", 180, 330, 1650, 180, "ファイルを個別圧縮する", ""},
    {"lblCaption2", 180, 540, 435, 180, "ツール", ""},
    {"lblCaption3", 90, 870, 1920, 180, "(C) 2004-2005 Pakuto", ""},
}};

}  // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    for (size_t i = 0; i < lblCaption.size(); ++i) {
        const ControlDesign& design = kDesign[i];
        lblCaption[i] = new QLabel(QString::fromUtf8(design.caption), this);
        lblCaption[i]->setObjectName(QString::fromUtf8(design.name));
        lblCaption[i]->setGeometry(TwipsToPixelsX(design.left, owner), TwipsToPixelsY(design.top, owner),
                                   TwipsToPixelsX(design.width, owner), TwipsToPixelsY(design.height, owner));
    }
    lblCaption[0]->setText(mMain::VersionText());

    setWindowTitle(QStringLiteral("Pakuto-について"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(TwipsToPixelsX(kAboutClientWidthTwips, owner),
                 TwipsToPixelsY(kAboutClientHeightTwips, owner));
    // The main window's font; lowered further only if a fallback family would cut a label here.
    FitWindowFont(this, owner != nullptr ? owner->font() : RequestedWindowFont());
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) reject();
    event->accept();
}
