// drop_dispatch_test.cpp - guards the drop handler on real files with the real archiver library: every
// dropped item goes to the right job in the order dropped, the list and the captions follow each drop,
// items that must not be touched (hidden folders, FIFOs, vanished paths, the root) are not, and events
// that arrive between items are handled soundly: a second drop is refused, a close ends the dispatch
// before its next item and then writes the settings, the About box holds the dispatch until it closes,
// and the per-file box is read anew for every folder.
#include <sys/stat.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app_test_support.h"
#include "drop_support.h"
#include "frmAbout.h"

namespace fs = std::filesystem;

namespace {

// Runs `act` once, when the first result line of a dispatch has been inserted.
void OnFirstLine(frmMain* w, std::function<void()> act) {
    auto done = std::make_shared<bool>(false);
    QObject::connect(w->lstResult->model(), &QAbstractItemModel::rowsInserted, w,
                     [done, act = std::move(act)] {
                         if (*done) return;
                         *done = true;
                         act();
                     });
}

}  // namespace

class DropDispatch : public QObject {
    Q_OBJECT
    std::unique_ptr<Installation> inst;
    std::unique_ptr<QTemporaryDir> work;
    frmMain* w = nullptr;
    QStringList titles;

    QByteArray Src(const QByteArray& relative) const { return work->path().toUtf8() + "/" + relative; }
    QByteArray MakeFile(const QByteArray& relative, const QByteArray& content = "data\n") const {
        const QByteArray path = Src(relative);
        fs::create_directories(fs::path(path.toStdString()).parent_path());
        std::ofstream(path.toStdString(), std::ios::binary) << content.toStdString();  // any name bytes
        return path;
    }
    bool Exists(const QByteArray& relative) const { return fs::exists(Src(relative).toStdString()); }

private slots:
    void init() {
        inst = std::make_unique<Installation>();
        work = std::make_unique<QTemporaryDir>();
        w = Start(*inst);
        QVERIFY(w != nullptr);
        titles.clear();
        connect(w, &QWidget::windowTitleChanged, this, [this](const QString& t) { titles << t; });
    }
    void cleanup() {
        mMain::ReleaseMainWindow();
        work.reset();
        inst.reset();
    }

    void threeFilesGiveThreeLinesNewestOnTop() {
        const QList<QByteArray> files{MakeFile("a.txt"), MakeFile("b.txt"), MakeFile("c.txt")};
        QVERIFY(DropPaths(w, files));
        QVERIFY(WaitForDispatch(w));
        const QStringList lines = Lines(w);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("[OK]") && lines[0].endsWith("c.zip"), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith("[OK]") && lines[1].endsWith("b.zip"), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("[OK]") && lines[2].endsWith("a.zip"), qPrintable(lines[2]));
        QCOMPARE(ZipMembers(Src("a.zip").toStdString()), QStringLiteral("a.txt"));
        QCOMPARE(ZipMembers(Src("c.zip").toStdString()), QStringLiteral("c.txt"));
        QCOMPARE(titles, QStringList({"Pakuto Ver.1.0.1 [処理中]", "Pakuto Ver.1.0.1 [完了]"}));
        QVERIFY(w->isEnabled());
    }

    void orderOfTheDroppedItemsIsKept() {
        const QList<QByteArray> files{MakeFile("c.txt"), MakeFile("a.txt"), MakeFile("b.txt")};
        QVERIFY(DropPaths(w, files));
        QVERIFY(WaitForDispatch(w));
        const QStringList lines = Lines(w);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith("b.zip") && lines[1].endsWith("a.zip") && lines[2].endsWith("c.zip"));
    }

    void listShowsOnlyTheLatestDrop() {
        QVERIFY(DropPaths(w, {MakeFile("a.txt"), MakeFile("b.txt")}));
        QVERIFY(WaitForDispatch(w));
        QVERIFY(DropPaths(w, {MakeFile("c.txt")}));
        QVERIFY(
            QTest::qWaitFor([this] { return titles.size() == 4 && CaptionDone(w) && !w->Dispatching(); }));
        QCOMPARE(Lines(w).size(), 1);
        QVERIFY(Lines(w)[0].endsWith("c.zip"));
    }

    void folderPerFileThenWhole() {
        MakeFile("docs/a.txt");
        MakeFile("docs/sub/b.txt");
        QCOMPARE(CheckValue(w->chkEachFile), 1);
        QVERIFY(DropPaths(w, {Src("docs")}));
        QVERIFY(WaitForDispatch(w));
        QStringList lines = Lines(w);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith("a.zip") && lines[1].endsWith("b.zip"));  // subfolders first
        QVERIFY(Exists("a.zip") && Exists("b.zip") && !Exists("docs.zip"));

        QTest::mouseClick(w->chkEachFile, Qt::LeftButton);
        QCOMPARE(CheckValue(w->chkEachFile), 0);
        QVERIFY(DropPaths(w, {Src("docs")}));
        QVERIFY(QTest::qWaitFor([this] { return titles.size() == 4 && !w->Dispatching(); }));
        lines = Lines(w);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith("[OK]") && lines[0].endsWith("docs.zip"), qPrintable(lines[0]));
        const QString members = ZipMembers(Src("docs.zip").toStdString());
        QVERIFY2(members.contains("a.txt") && members.contains("sub/b.txt"), qPrintable(members));
    }

    void grayedPerFileBoxCountsAsOn() {
        SetCheckValue(w->chkEachFile, 2);
        MakeFile("docs/a.txt");
        QVERIFY(DropPaths(w, {Src("docs")}));
        QVERIFY(WaitForDispatch(w));
        QVERIFY(Exists("a.zip") && !Exists("docs.zip"));
    }

    void dropWithoutPathsClearsTheListAndIsDoneAtOnce() {
        w->InsertResultLine("[OK]old line");
        QMimeData data;
        data.setText(QStringLiteral("just text"));
        data.setUrls({QUrl(QStringLiteral("https://example.org/a.txt")),
                      QUrl(QStringLiteral("file://otherhost/a.txt"))});
        QVERIFY(DropOnList(w, &data));
        QVERIFY(WaitForDispatch(w));
        QCOMPARE(w->lstResult->count(), 0);
        QCOMPARE(titles, QStringList({"Pakuto Ver.1.0.1 [完了]"}));
    }

    void onlyLocalFileUrlsCountAndKeepTheirBytes() {
        QCOMPARE(ResultList::LocalPathBytes(QUrl::fromEncoded("file:///a/b%20c.txt")),
                 QByteArray("/a/b c.txt"));
        QCOMPARE(ResultList::LocalPathBytes(QUrl::fromEncoded("file://localhost/a/x.txt")),
                 QByteArray("/a/x.txt"));
        QCOMPARE(ResultList::LocalPathBytes(QUrl::fromEncoded("file:///a/%FF%FE.txt")),
                 QByteArray("/a/\xff\xfe.txt"));
        QCOMPARE(ResultList::LocalPathBytes(QUrl::fromEncoded("file:///a/%E6%97%A5.txt")),
                 QByteArray("/a/日.txt"));
        QVERIFY(ResultList::LocalPathBytes(QUrl::fromEncoded("file://server/share/x.txt")).isEmpty());
        QVERIFY(ResultList::LocalPathBytes(QUrl::fromEncoded("https://example.org/x.txt")).isEmpty());
        QVERIFY(ResultList::LocalPathBytes(QUrl::fromEncoded("file:///a/nul%00here")).isEmpty());
        QVERIFY(ResultList::LocalPathBytes(QUrl::fromEncoded("file:relative/x.txt")).isEmpty());
        QVERIFY(ResultList::LocalPathBytes(QUrl()).isEmpty());
        QMimeData data;
        data.setUrls({QUrl::fromEncoded("file:///one"), QUrl::fromEncoded("http://h/two"),
                      QUrl::fromEncoded("file:///three")});
        QCOMPARE(ResultList::DroppedPaths(&data), QList<QByteArray>({"/one", "/three"}));
        QVERIFY(ResultList::DroppedPaths(nullptr).isEmpty());
    }

    void hiddenFileIsArchivedHiddenFolderIsNot() {
        MakeFile(".hidden.txt");
        MakeFile(".secret/a.txt");
        QVERIFY(DropPaths(w, {Src(".hidden.txt"), Src(".secret")}));
        QVERIFY(WaitForDispatch(w));
        const QStringList lines = Lines(w);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith("[OK]") && lines[0].endsWith(".hidden.zip"), qPrintable(lines[0]));
        QVERIFY(!Exists(".secret.zip") && !Exists("a.zip"));
    }

    void fifoAndVanishedPathsAreSkippedUnopened() {
        QVERIFY(mkfifo(Src("pipe").constData(), 0600) == 0);
        const QByteArray gone = MakeFile("gone.txt");
        fs::remove(gone.toStdString());
        MakeFile("z.txt");
        QVERIFY(DropPaths(w, {Src("pipe"), gone, Src("z.txt")}));
        QVERIFY(WaitForDispatch(w, 20000));  // a FIFO opened for reading would block here
        const QStringList lines = Lines(w);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].endsWith("z.zip"));
        QVERIFY(!Exists("pipe.zip") && !Exists("gone.zip"));
    }

    void nameThatIsNotUtf8IsArchivedUnderItsOwnBytes() {
        const QByteArray name = "r\xe9sum\xe9 \xff.txt";
        MakeFile(name, "bytes\n");
        QVERIFY(DropPaths(w, {Src(name)}));
        QVERIFY(WaitForDispatch(w));
        QCOMPARE(Lines(w).size(), 1);
        QVERIFY(Lines(w)[0].startsWith("[OK]"));
        QVERIFY(Exists("r\xe9sum\xe9 \xff.zip"));
        QCOMPARE(ZipMembers(Src("r\xe9sum\xe9 \xff.zip").toStdString()).count('\n'), 0);
    }

    void linkIsArchivedAsALinkNotFollowed() {
        MakeFile("outside/secret.txt");
        fs::create_directory_symlink(Src("outside").toStdString(), Src("link").toStdString());
        QCOMPARE(ClassifyDroppedPath(Src("link").toStdString(), 1), DropAction::CompressEachFile);
        QCOMPARE(ClassifyDroppedPath(Src("outside").toStdString(), 1), DropAction::CompressEachFile);
        QCOMPARE(ClassifyDroppedPath(Src("outside").toStdString(), 0), DropAction::CompressFolder);
        QCOMPARE(ClassifyDroppedPath(Src("outside/secret.txt").toStdString(), 0), DropAction::CompressFile);
        QCOMPARE(ClassifyDroppedPath("", 0), DropAction::Skip);
    }

    void rootIsRefusedWithAnNgLine() {
        QTest::mouseClick(w->chkEachFile, Qt::LeftButton);  // whole-folder mode
        QVERIFY(DropPaths(w, {"/"}));
        QVERIFY(WaitForDispatch(w));
        QCOMPARE(Lines(w), QStringList({"[NG]/"}));
    }

    void perFileBoxIsReadAnewForEveryFolder() {
        MakeFile("f1/a.txt");
        MakeFile("f1/b.txt");
        MakeFile("f2/c.txt");
        MakeFile("f2/d.txt");
        OnFirstLine(w, [this] { SetCheckValue(w->chkEachFile, 0); });
        QVERIFY(DropPaths(w, {Src("f1"), Src("f2")}));
        QVERIFY(WaitForDispatch(w));
        QVERIFY(Exists("a.zip") && Exists("b.zip"));  // f1 was already under way per file
        QVERIFY(Exists("f2.zip") && !Exists("c.zip") && !Exists("d.zip"));
        QCOMPARE(Lines(w).size(), 3);
    }

    void secondDropDuringADispatchIsRefused() {
        const QList<QByteArray> first{MakeFile("a.txt"), MakeFile("b.txt")};
        const QByteArray other = MakeFile("other.txt");
        auto accepted = std::make_shared<bool>(true);
        OnFirstLine(w, [this, accepted, other] {
            QTimer::singleShot(0, this, [this, accepted, other] { *accepted = DropPaths(w, {other}); });
        });
        QVERIFY(DropPaths(w, first));
        QVERIFY(WaitForDispatch(w));
        QTest::qWait(50);
        QVERIFY(!*accepted);
        QVERIFY(!Exists("other.zip"));
        QCOMPARE(Lines(w).size(), 2);
        QCOMPARE(titles.count("Pakuto Ver.1.0.1 [処理中]"), 1);
        // Once the dispatch is over, drops are taken again.
        QVERIFY(DropPaths(w, {other}));
        QVERIFY(QTest::qWaitFor([this] { return Exists("other.zip") && !w->Dispatching(); }));
    }

    void closeDuringADispatchEndsItBeforeTheNextItem() {
        const QList<QByteArray> files{MakeFile("a.txt"), MakeFile("b.txt"), MakeFile("c.txt")};
        OnFirstLine(w, [this] { QTimer::singleShot(0, w, [this] { w->close(); }); });
        QTest::mouseClick(w->chkDelete, Qt::LeftButton);  // a setting to see written
        QVERIFY(DropPaths(w, files));
        QVERIFY(QTest::qWaitFor([this] { return !w->isVisible(); }, 60000));
        QVERIFY(!w->Dispatching());
        QVERIFY(Exists("a.zip"));
        QVERIFY(!Exists("b.zip") && !Exists("c.zip"));
        const QByteArray settings = inst->ReadSettings();
        QVERIFY2(settings.contains("Delete=1\n") && settings.contains("CommandLine="), settings.constData());
        QVERIFY(CaptionDone(w));
    }

    void aboutBoxDuringADispatchHoldsItUntilClosed() {
        const QList<QByteArray> files{MakeFile("a.txt"), MakeFile("b.txt"), MakeFile("c.txt")};
        auto linesWhileOpen = std::make_shared<int>(-1);
        OnFirstLine(w, [this, linesWhileOpen] {
            QTimer::singleShot(0, w, [this, linesWhileOpen] {
                QTimer::singleShot(50, w, [this, linesWhileOpen] {
                    auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
                    if (about == nullptr) return;
                    *linesWhileOpen = w->lstResult->count();
                    QTest::keyClick(about, Qt::Key_Escape);
                });
                QTest::mouseClick(w->cmdAbout, Qt::LeftButton);  // modal: returns when closed
            });
        });
        QVERIFY(DropPaths(w, files));
        QVERIFY(WaitForDispatch(w));
        QCOMPARE(*linesWhileOpen, 1);
        QCOMPARE(Lines(w).size(), 3);
        QVERIFY(Exists("c.zip"));
    }
};

QTEST_MAIN(DropDispatch)
#include "drop_dispatch_test.moc"
