// window_layout_test.cpp - guards the main window as designed: every control with its caption, tool tip
// and geometry in twips, the tab order, the fixed client size and the close-box-only frame, caption and
// position after start-up, the icon, and a font that draws every Japanese caption without cutting it.
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QSet>
#include <QTest>

#include "ResultList.h"
#include "Twips.h"
#include "WindowFont.h"
#include "app_test_support.h"

namespace {

QRect TwipsRect(const ControlDesign& d, const QWidget* w) {
    return {TwipsToPixelsX(d.left, w), TwipsToPixelsY(d.top, w), TwipsToPixelsX(d.width, w),
            TwipsToPixelsY(d.height, w)};
}

// The focusable controls in the order Tab visits them, starting at `first`.
QStringList TabChain(QWidget* first) {
    QStringList names;
    QWidget* w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->isWindow()) names << w->objectName();
        w = w->nextInFocusChain();
    } while (w != first && names.size() < 20);
    return names;
}

}  // namespace

class WindowLayout : public QObject {
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

    void designTableIsTheOneOfTheWindow() {
        const auto& d = frmMainDesign();
        QCOMPARE(QString(d[0].name), QStringLiteral("lstResult"));
        QCOMPARE(d[0].left, 30);
        QCOMPARE(d[0].top, 600);
        QCOMPARE(d[0].width, 4305);
        QCOMPARE(d[0].height, 1680);
        QCOMPARE(QString(d[1].name), QStringLiteral("txtExtension"));
        QCOMPARE(QRect(d[1].left, d[1].top, d[1].width, d[1].height), QRect(690, 30, 705, 285));
        QCOMPARE(QRect(d[2].left, d[2].top, d[2].width, d[2].height), QRect(1560, 30, 1515, 270));
        QCOMPARE(QRect(d[3].left, d[3].top, d[3].width, d[3].height), QRect(1560, 300, 2745, 270));
        QCOMPARE(QRect(d[4].left, d[4].top, d[4].width, d[4].height), QRect(3690, 15, 645, 255));
        QCOMPARE(QRect(d[5].left, d[5].top, d[5].width, d[5].height), QRect(90, 90, 540, 180));
    }

    void everyControlStandsWhereDesigned() {
        for (const ControlDesign& d : frmMainDesign()) {
            QWidget* control = w->findChild<QWidget*>(QString::fromUtf8(d.name));
            QVERIFY2(control != nullptr, d.name);
            QCOMPARE(control->geometry(), TwipsRect(d, w));
            QCOMPARE(control->parentWidget(), static_cast<QWidget*>(w));
        }
        QCOMPARE(w->lstResult->objectName(), QStringLiteral("lstResult"));
        QCOMPARE(w->lblCaption[0]->objectName(), QStringLiteral("lblCaption0"));
    }

    void geometryInTwipsFollowsTheScreensDpi() {
        const double dpi = w->screen()->logicalDotsPerInchX();
        QCOMPARE(TwipsToPixelsX(1440, w), qRound(dpi));
        QCOMPARE(w->lstResult->width(), qRound(4305 * dpi / 1440));
        QVERIFY(qAbs(w->ResultListWidthTwips() - 4305) <= qCeil(1440 / dpi / 2));
    }

    void captionsAndToolTipsAreExact() {
        QCOMPARE(w->chkDelete->text(), QStringLiteral("元ファイルを削除"));
        QCOMPARE(w->chkEachFile->text(), QStringLiteral("フォルダ配下のファイルも個別圧縮"));
        QCOMPARE(w->cmdAbout->text(), QStringLiteral("About"));
        QCOMPARE(w->lblCaption[0]->text(), QStringLiteral("拡張子"));
        QCOMPARE(w->lstResult->toolTip(), QStringLiteral("ここに圧縮したいファイルをドロップして下さい"));
        QCOMPARE(w->txtExtension->toolTip(),
                 QStringLiteral("ここに指定した拡張子でファイルを作成します(内部圧縮形式はZip)"));
        QCOMPARE(w->chkDelete->toolTip(), QStringLiteral("圧縮成功後、圧縮元ファイルを削除します"));
        QCOMPARE(w->chkEachFile->toolTip(),
                 QStringLiteral("OFFの場合、ドロップしたフォルダ配下のファイルを1ファイルに圧縮します"));
        QVERIFY(w->cmdAbout->toolTip().isEmpty());
        QVERIFY(w->lblCaption[0]->toolTip().isEmpty());
        QCOMPARE(w->lstResult->count(), 0);
    }

    void checkBoxesCanShowTheGrayedState() {
        QVERIFY(w->chkDelete->isTristate());
        QVERIFY(w->chkEachFile->isTristate());
    }

    void tabOrderIsAsDesigned() {
        const QStringList expected{"lstResult", "txtExtension", "chkDelete", "chkEachFile", "cmdAbout"};
        QCOMPARE(TabChain(w->lstResult), expected);
        QCOMPARE(w->lblCaption[0]->focusPolicy(), Qt::NoFocus);
        // And with real Tab presses.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->lstResult->setFocus();
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, QStringList(expected) << "lstResult");
    }

    void windowHasTheFixedClientSizeAndOnlyACloseBox() {
        const QSize client(TwipsToPixelsX(kMainClientWidthTwips, w),
                           TwipsToPixelsY(kMainClientHeightTwips, w));
        QCOMPARE(w->size(), client);
        QCOMPARE(w->minimumSize(), client);
        QCOMPARE(w->maximumSize(), client);
        const Qt::WindowFlags flags = w->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    }

    void captionIsTheVersionTextAndTheWindowStandsAt500Twips() {
        QCOMPARE(w->windowTitle(), QStringLiteral("Pakuto Ver.1.0.1"));
        QCOMPARE(mMain::VersionText(),
                 QStringLiteral("Pakuto Ver.") + QStringLiteral(PAKUTO_TEST_PROJECT_VERSION));
        QCOMPARE(w->pos(), QPoint(TwipsToPixelsX(500, w), TwipsToPixelsY(500, w)));
        QVERIFY(w->isVisible());
    }

    void iconIs32By32InSixteenColoursAtMost() {
        const QIcon icon = w->windowIcon();
        QVERIFY(!icon.isNull());
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
        const QImage image = icon.pixmap(32, 32).toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        QSet<QRgb> colours;
        int opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) == 0) continue;
                ++opaque;
                colours.insert(pixel);
            }
        QVERIFY(colours.size() <= 16);
        QVERIFY(colours.size() >= 2);
        QVERIFY(opaque > 32 * 32 / 2);
    }

    void fontIsRequestedAsDesigned() {
        const QFont requested = RequestedWindowFont();
        QCOMPARE(requested.families().value(0), QStringLiteral("MS UI Gothic"));
        QCOMPARE(requested.pointSizeF(), 9.0);
        QCOMPARE(requested.weight(), QFont::Normal);
        QVERIFY(!requested.italic() && !requested.underline() && !requested.strikeOut());
        QCOMPARE(w->font().families(), requested.families());
        QCOMPARE(w->font().weight(), QFont::Normal);
        if (IsDesignFamily(w->font())) QCOMPARE(w->font().pointSizeF(), 9.0);
        QVERIFY(w->font().pointSizeF() <= 9.0 && w->font().pointSizeF() >= kSmallestFallbackPoints);
    }

    void fontDrawsEveryJapaneseCaption() {
        const QRawFont raw = QRawFont::fromFont(w->font(), QFontDatabase::Japanese);
        QVERIFY2(raw.isValid(), qPrintable(QFontInfo(w->font()).family()));
        QString all;
        for (const ControlDesign& d : frmMainDesign())
            all += QString::fromUtf8(d.caption) + QString::fromUtf8(d.toolTip);
        for (const QChar c : all) {
            if (c.isSpace()) continue;
            QVERIFY2(raw.supportsCharacter(c),
                     qPrintable(QString("no glyph for %1 in %2").arg(c).arg(raw.familyName())));
        }
    }

    void noCaptionIsCut() {
        for (QLabel* label : w->findChildren<QLabel*>())
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        for (QCheckBox* box : w->findChildren<QCheckBox*>())
            QVERIFY2(box->fontMetrics().horizontalAdvance(box->text()) + 16 <= box->width(),
                     qPrintable(box->text()));
    }
};

QTEST_MAIN(WindowLayout)
#include "window_layout_test.moc"
