// about_box_test.cpp - guards the About box: opened modally over the main window by cmdAbout, its
// caption, the four labels with their texts and positions (the version text equal to the window's
// caption), Esc closing it and every other key, Enter included, doing nothing.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "Twips.h"
#include "app_test_support.h"
#include "frmAbout.h"

namespace {

// Runs `act` on the About box once it is the active modal window (polling, for about ten seconds).
void WhenAboutIsUp(std::function<void(frmAbout*)> act, int triesLeft = 1000) {
    QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        if (about == nullptr) {
            if (triesLeft > 0) WhenAboutIsUp(std::move(act), triesLeft - 1);
            return;
        }
        act(about);
    });
}

}  // namespace

class AboutBox : public QObject {
    Q_OBJECT
    Installation inst;
    frmMain* w = nullptr;

private slots:
    void initTestCase() {
        w = Start(inst);
        QVERIFY(w != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    void cleanupTestCase() { mMain::ReleaseMainWindow(); }

    void escClosesAndEnterDoesNothing() {
        struct Seen {
            bool up = false, modal = false, ownedByMain = false, openAfterEnter = false,
                 openAfterKeys = false;
            bool mainBlocked = false;
        };
        auto seen = std::make_shared<Seen>();
        WhenAboutIsUp([seen, this](frmAbout* about) {
            seen->up = true;
            seen->modal = about->isModal();
            seen->ownedByMain = about->parentWidget() == w;
            seen->mainBlocked = QApplication::activeModalWidget() == about && about->isVisible();
            QTest::keyClick(about, Qt::Key_Return);
            QTest::keyClick(about, Qt::Key_Enter);
            QCoreApplication::processEvents();
            seen->openAfterEnter = about->isVisible();
            QTest::keyClick(about, Qt::Key_Space);
            QTest::keyClick(about, Qt::Key_A);
            QCoreApplication::processEvents();
            seen->openAfterKeys = about->isVisible();
            QTest::keyClick(about, Qt::Key_Escape);
        });
        QTest::mouseClick(w->cmdAbout, Qt::LeftButton);  // returns when the box is closed
        QVERIFY(seen->up);
        QVERIFY(seen->modal);
        QVERIFY(seen->ownedByMain);
        QVERIFY(seen->mainBlocked);
        QVERIFY(seen->openAfterEnter);
        QVERIFY(seen->openAfterKeys);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(w->isVisible());
    }

    void closeBoxClosesToo() {
        auto up = std::make_shared<bool>(false);
        WhenAboutIsUp([up](frmAbout* about) {
            *up = true;
            about->close();
        });
        QTest::mouseClick(w->cmdAbout, Qt::LeftButton);
        QVERIFY(*up);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void labelsCaptionAndLayout() {
        frmAbout about(w);
        QCOMPARE(about.windowTitle(), QStringLiteral("Pakuto-について"));
        QCOMPARE(about.lblCaption[0]->text(), mMain::VersionText());
        QCOMPARE(about.lblCaption[0]->text(), w->windowTitle());  // the idle caption has no suffix
        QCOMPARE(about.lblCaption[1]->text(), QStringLiteral("ファイルを個別圧縮する"));
        QCOMPARE(about.lblCaption[2]->text(), QStringLiteral("ツール"));
        QVERIFY(about.lblCaption[3]->text().contains(QStringLiteral("2004-2005")));
        const QRect designed[4] = {
            {90, 120, 1320, 180}, {180, 330, 1650, 180}, {180, 540, 435, 180}, {90, 870, 1920, 180}};
        for (int i = 0; i < 4; ++i) {
            const QRect& d = designed[i];
            QCOMPARE(about.lblCaption[i]->geometry(),
                     QRect(TwipsToPixelsX(d.left(), w), TwipsToPixelsY(d.top(), w),
                           TwipsToPixelsX(d.width(), w), TwipsToPixelsY(d.height(), w)));
            QVERIFY2(about.lblCaption[i]->fontMetrics().horizontalAdvance(about.lblCaption[i]->text()) <=
                         about.lblCaption[i]->width(),
                     qPrintable(about.lblCaption[i]->text()));
        }
        // Labels only: nothing in the box takes the focus.
        for (QWidget* child : about.findChildren<QWidget*>()) QCOMPARE(child->focusPolicy(), Qt::NoFocus);
        QCOMPARE(about.findChildren<QPushButton*>().size(), 0);
        const QSize client(TwipsToPixelsX(kAboutClientWidthTwips, w),
                           TwipsToPixelsY(kAboutClientHeightTwips, w));
        QCOMPARE(about.size(), client);
        QCOMPARE(about.minimumSize(), client);
        QCOMPARE(about.maximumSize(), client);
        QVERIFY(!(about.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(about.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(about.font().families(), w->font().families());
        QVERIFY(about.font().pointSizeF() <= w->font().pointSizeF());
    }

    void boxIsCentredOnItsOwner() {
        auto centre = std::make_shared<QPoint>();
        WhenAboutIsUp([centre](frmAbout* about) {
            *centre = about->geometry().center();
            about->reject();
        });
        QTest::mouseClick(w->cmdAbout, Qt::LeftButton);
        const QPoint owner = w->geometry().center();
        QVERIFY2(
            (*centre - owner).manhattanLength() <= 40,
            qPrintable(
                QString("%1,%2 vs %3,%4").arg(centre->x()).arg(centre->y()).arg(owner.x()).arg(owner.y())));
    }
};

QTEST_MAIN(AboutBox)
#include "about_box_test.moc"
