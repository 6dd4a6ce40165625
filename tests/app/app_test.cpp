// app_test.cpp - the window on Qt's offscreen platform, started by Main on a temporary installation
// (a folder holding a copy of the real library and the settings file): settings read at start and
// written at close, drops dispatched to the jobs, and the missing-library box.
#include <sys/stat.h>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "ResultList.h"
#include "frmMain.h"
#include "mMain.h"
#include "profile_file.h"
#include "support.h"

namespace {

struct Installation {
    ts::TempDir dir;
    std::string bin = dir / "bin", settings = bin + "/pakuto.ini";
    explicit Installation(bool withLibrary = true) {
        ts::MakeDir(bin);
        if (withLibrary) std::filesystem::copy_file(PAKUTO_TEST_ARCHIVER, bin + "/lib7-zip32.so");
    }
    frmMain* Start() const { return Start({bin, "", {}}); }
    frmMain* Start(const mSevenZip32APIs::LibrarySearchPlaces& places) const {
        return mMain::Main({settings, places}) == mMain::StartupResult::Shown ? mMain::MainWindow() : nullptr;
    }
    std::string Read(const char* key) const { return ReadProfileString("Main", key, "<none>", settings); }
};

// Drops `paths` on the result list as a file manager does, then waits until the dispatch has ended.
// A second drag offered while the dispatch runs must be refused (the "no drop" cursor).
bool Drop(frmMain* w, const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : paths)
        urls << QUrl::fromEncoded("file://" + QByteArray::fromStdString(p).toPercentEncoding("/"));
    data.setUrls(urls);
    w->lstResult->clear();  // the dispatch clears it too; lines then mark its end
    QWidget* target = w->lstResult->viewport();
    const QPoint at = target->rect().center();
    const auto offer = [&] {  // a drag entering and moving over the list: whether either is accepted
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
        return enter.isAccepted() || move.isAccepted();
    };
    offer();
    bool busyDragRefused = false;  // probed when the dispatch marks the title busy
    QObject::connect(
        w, &QWidget::windowTitleChanged, w, [&] { busyDragRefused = w->Dispatching() && !offer(); },
        Qt::SingleShotConnection);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted() &&
           QTest::qWaitFor([w] { return w->lstResult->count() > 0 && !w->Dispatching(); }) && busyDragRefused;
}

}  // namespace

class AppTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithSettingsAndWritesThemAtClose() {
        Installation inst;
        const std::string command = "a -tzip -hide -mx=1" + std::string(300, ' ') + "-mfb=64";
        ts::WriteFile(inst.settings,
                      "; mine\n[Main]\nDelete=1\nCompEachFileAtSubFolder=0\nExtension=_b.zip\n"
                      "CommandLine=" +
                          command + "\n[Other]\nx=y\n");
        frmMain* w = inst.Start();
        QVERIFY(w != nullptr);
        QCOMPARE(CheckValue(w->chkDelete), 1);
        QCOMPARE(CheckValue(w->chkEachFile), 0);
        QCOMPARE(w->ExtensionBytes(), std::string("_b.zip"));
        QCOMPARE(mMain::strCommandLine, command);
        SetCheckValue(w->chkEachFile, 2);
        w->txtExtension->setText(QStringLiteral(".日本.zip"));
        w->close();
        mMain::ReleaseMainWindow();
        QCOMPARE(inst.Read("Delete"), std::string("1"));
        QCOMPARE(inst.Read("CompEachFileAtSubFolder"), std::string("2"));
        QCOMPARE(inst.Read("Extension"), std::string(".日本.zip"));
        QCOMPARE(inst.Read("CommandLine"), command);
        QCOMPARE(ReadProfileString("Other", "x", "", inst.settings), std::string("y"));
        QVERIFY(ts::ReadFile(inst.settings).starts_with("; mine\n"));
    }

    void dropsGoToTheirJobs() {
        Installation inst;
        ts::WriteFile(inst.settings,
                      "[Main]\nDelete=1\nCompEachFileAtSubFolder=0\nCommandLine=a -tzip -mx=1\n");
        const std::string D = inst.dir / "D";
        for (const char* folder : {"D", "D/f", "D/each", "D/.hidden"}) ts::MakeDir(inst.dir / folder);
        for (const char* file : {"D/a.txt", "D/b.txt", "D/f/in.txt", "D/each/x.txt", "D/two\nlines"})
            ts::WriteFile(inst.dir / file, file);
        mkfifo((D + "/pipe").c_str(), 0666);
        frmMain* w = inst.Start();
        QVERIFY(w != nullptr);
        QVERIFY(Drop(
            w, {D + "/two\nlines", D + "/a.txt", D + "/f", D + "/pipe", D + "/gone", D + "/.hidden", "/"}));
        QCOMPARE(w->lstResult->count(), 4);  // the root gives an [NG] line; the rest are skipped
        QVERIFY(w->lstResult->item(0)->text().startsWith("[NG]"));
        QVERIFY(w->lstResult->item(1)->text().startsWith("[OK]"));
        // A name's line break is drawn as one visible character; the archive keeps the exact name.
        QVERIFY(w->lstResult->item(3)->text().endsWith(QStringLiteral("two\uFFFDlines.zip")));
        QCOMPARE(ts::ReadZip(D + "/two\nlines.zip").Names(), std::vector<std::string>{"two\nlines"});
        QCOMPARE(ts::ReadZip(D + "/a.zip").Names(), std::vector<std::string>{"a.txt"});
        QCOMPARE(ts::ReadZip(D + "/f.zip").Names(), std::vector<std::string>{"in.txt"});
        QVERIFY(!ts::Exists(D + "/a.txt") && ts::Exists(D + "/b.txt") && ts::Exists(D + "/pipe"));
        SetCheckValue(w->chkDelete, 0);
        SetCheckValue(w->chkEachFile, 1);
        QVERIFY(Drop(w, {D + "/each"}));
        QCOMPARE(w->lstResult->count(), 1);
        QCOMPARE(ts::ReadZip(D + "/x.zip").Names(), std::vector<std::string>{"x.txt"});
        QVERIFY(ts::Exists(D + "/each/x.txt"));
        w->close();
        mMain::ReleaseMainWindow();
    }

    // None beside the tool: a library in the current folder is never taken, whatever LD_LIBRARY_PATH
    // holds and whether the tool's own folder is known.
    void missingLibraryShowsTheBoxAndTouchesNoSettings() {
        struct Row {
            bool inCurrentFolder, folderKnown;
            std::string ldLibraryPath;
        };
        bool boxSeen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxSeen = true;
                box->accept();
            }
        });
        poll.start(10);
        const std::filesystem::path start = std::filesystem::current_path();
        for (const Row& row : {Row{false, true, ""}, Row{true, true, ":.:"}, Row{true, false, ""}}) {
            Installation inst(false);
            if (row.inCurrentFolder) {
                std::filesystem::copy_file(PAKUTO_TEST_ARCHIVER, inst.dir / "lib7-zip32.so");
                std::filesystem::current_path(inst.dir.path());
            }
            boxSeen = false;
            frmMain* shown = inst.Start({row.folderKnown ? inst.bin : "", row.ldLibraryPath, {}});
            std::filesystem::current_path(start);
            QVERIFY(shown == nullptr);
            QVERIFY(boxSeen);
            QVERIFY(!ts::Exists(inst.settings));
        }
    }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
