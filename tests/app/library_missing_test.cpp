// library_missing_test.cpp - guards start-up without the archiver library: the error box with its exact
// text, title, icon and single OK button appears before any window of the tool is shown, Main reports
// the missing library instead of showing the window, and the settings file is neither created nor
// touched; also that the library check takes the file from the search places and never from the
// current folder.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app_test_support.h"

namespace {

// What the box looked like when it appeared, and whether any main window was visible then.
struct BoxSeen {
    bool appeared = false;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    int buttonCount = 0;
    bool mainWindowVisible = false;
};

// Watches for the modal box, records it and presses its OK button. Gives up after about ten seconds;
// the record outlives the test function, so a late timer never touches a dead one.
void AnswerTheBox(const std::shared_ptr<BoxSeen>& seen, int triesLeft = 1000) {
    QTimer::singleShot(10, [seen, triesLeft] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (triesLeft > 0) AnswerTheBox(seen, triesLeft - 1);
            return;
        }
        seen->appeared = true;
        seen->text = box->text();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        seen->buttonCount = static_cast<int>(box->buttons().size());
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<frmMain*>(top) != nullptr && top->isVisible()) seen->mainWindowVisible = true;
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
}

mMain::StartupResult StartAnsweringTheBox(const mMain::StartupPaths& paths, BoxSeen& seen) {
    auto record = std::make_shared<BoxSeen>();
    AnswerTheBox(record);
    const mMain::StartupResult result = mMain::Main(paths);
    seen = *record;
    return result;
}

}  // namespace

class LibraryMissing : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        mMain::ReleaseMainWindow();
        mSevenZip32APIs::SetArchiverLibraryPath("");
    }

    void boxIsShownBeforeAnyWindowAndStartupStops() {
        Installation inst(false);
        BoxSeen seen;
        QCOMPARE(StartAnsweringTheBox(inst.Paths(), seen), mMain::StartupResult::LibraryMissing);
        QVERIFY(seen.appeared);
        QCOMPARE(seen.text, QStringLiteral("7-Zip32.dllが見つかりません"));
        QCOMPARE(seen.title, QStringLiteral("Pakuto-"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.buttonCount, 1);
        QVERIFY(!seen.mainWindowVisible);
        QVERIFY(mMain::MainWindow() == nullptr);
        QVERIFY(!inst.HasSettings());
    }

    void settingsFileStaysUntouched() {
        Installation inst(false);
        const QByteArray before = "[Main]\nDelete=1\nExtension=.7z\n";
        inst.WriteSettings(before);
        const auto stamp = std::filesystem::last_write_time(inst.settingsFile());
        BoxSeen seen;
        QCOMPARE(StartAnsweringTheBox(inst.Paths(), seen), mMain::StartupResult::LibraryMissing);
        QVERIFY(seen.appeared);
        QCOMPARE(inst.ReadSettings(), before);
        QCOMPARE(std::filesystem::last_write_time(inst.settingsFile()), stamp);
        // Nothing else was written beside it either (no temporary file left).
        int entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(inst.bin())) ++entries;
        QCOMPARE(entries, 1);
    }

    void libraryInTheCurrentFolderDoesNotCount() {
        Installation inst(false);
        std::filesystem::copy_file(PAKUTO_TEST_ARCHIVER, inst.root() + "/lib7-zip32.so");
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(inst.root());
        mMain::StartupPaths paths = inst.Paths();
        paths.library.ldLibraryPath = ":.:";  // empty and relative elements mean the current folder
        BoxSeen seen;
        const auto result = StartAnsweringTheBox(paths, seen);
        std::filesystem::current_path(previous);
        QCOMPARE(result, mMain::StartupResult::LibraryMissing);
        QVERIFY(seen.appeared);
    }

    void folderOfTheLibrarysNameDoesNotCount() {
        Installation inst(false);
        std::filesystem::create_directory(inst.bin() + "/lib7-zip32.so");
        BoxSeen seen;
        QCOMPARE(StartAnsweringTheBox(inst.Paths(), seen), mMain::StartupResult::LibraryMissing);
        QVERIFY(seen.appeared);
    }

    void libraryFoundIsTheOneBoundLater() {
        Installation inst(false);
        const std::string lib = inst.root() + "/lib/lib7-zip32.so";  // ../lib beside bin
        std::filesystem::create_directories(inst.root() + "/lib");
        std::filesystem::copy_file(PAKUTO_TEST_ARCHIVER, lib);
        QCOMPARE(mMain::Main(inst.Paths()), mMain::StartupResult::Shown);
        QVERIFY(mMain::MainWindow() != nullptr && mMain::MainWindow()->isVisible());
        // The bound library really runs: an archive of a real file is made and verified by the library.
        std::filesystem::create_directories(inst.root() + "/src");
        QFile source(QString::fromStdString(inst.root() + "/src/a.txt"));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("content");
        source.close();
        const std::string command =
            mMain::strCommandLine + " \"" + inst.root() + "/a.zip\" \"" + inst.root() + "/src/\" \"a.txt\"";
        char output[512] = {};
        QCOMPARE(mSevenZip32APIs::SevenZip(nullptr, command.c_str(), output, sizeof output), 0);
        QVERIFY(std::filesystem::is_regular_file(inst.root() + "/a.zip"));
    }
};

QTEST_MAIN(LibraryMissing)
#include "library_missing_test.moc"
