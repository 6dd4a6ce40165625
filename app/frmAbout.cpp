// frmAbout.cpp - the About box: four labels, the version text, closed by Esc.
#include "frmAbout.h"

#include <QKeyEvent>
#include <QLabel>

#include "FormDesign.h"
#include "Twips.h"
#include "WindowFont.h"
#include "mMain.h"

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    for (size_t i = 0; i < lblCaption.size(); ++i) {
        const forms::ControlDesign& design = forms::AboutDesign()[i];
        lblCaption[i] = new QLabel(QString::fromUtf8(design.caption), this);
        lblCaption[i]->setObjectName(QString::fromUtf8(design.name));
        lblCaption[i]->setGeometry(TwipsToPixelsX(design.left, owner), TwipsToPixelsY(design.top, owner),
                                   TwipsToPixelsX(design.width, owner), TwipsToPixelsY(design.height, owner));
    }
    lblCaption[0]->setText(mMain::VersionText());

    setWindowTitle(QString::fromUtf8(forms::kAboutTitle));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFixedSize(TwipsToPixelsX(forms::kAboutClientWidthTwips, owner),
                 TwipsToPixelsY(forms::kAboutClientHeightTwips, owner));
    // The main window's font; lowered further only if a fallback family would cut a label here.
    FitWindowFont(this, owner != nullptr ? owner->font() : RequestedWindowFont());
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) reject();
    event->accept();
}
