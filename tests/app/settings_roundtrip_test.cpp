// settings_roundtrip_test.cpp - guards the four settings through start-up and close on real files: the
// defaults of a first run, the file written at close (section, key order, values), the command prefix
// read back at close so an edit in the file survives, values shown as stored (.7z, empty, long, not
// UTF-8), grayed and invalid check box states, user edits written back (a pasted line break never
// reaches the file), and damaged files.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "app_test_support.h"
#include "executable_path.h"

using mMain::strCommandLine;

namespace {

const QByteArray kDefaultFile =
    "[Main]\n"
    "Delete=0\n"
    "CompEachFileAtSubFolder=1\n"
    "Extension=.zip\n"
    "CommandLine=a -tzip -hide -mx=9 -mfb=64 -mpass=4\n";

// The value of `key` in the settings text: what follows "key=" on its line (the first such line).
QByteArray ValueIn(const QByteArray& file, const QByteArray& key) {
    for (const QByteArray& line : file.split('\n')) {
        if (line.startsWith(key + "=")) return line.mid(key.size() + 1);
    }
    return "<missing>";
}

}  // namespace

class SettingsRoundTrip : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { mMain::ReleaseMainWindow(); }

    void firstRunShowsDefaultsAndWritesThemInOrder() {
        Installation inst;
        frmMain* w = Start(inst);
        QVERIFY(w != nullptr);
        QVERIFY(!inst.HasSettings());  // reading creates nothing
        QCOMPARE(CheckValue(w->chkDelete), 0);
        QCOMPARE(CheckValue(w->chkEachFile), 1);
        QCOMPARE(w->txtExtension->text(), QStringLiteral(".zip"));
        QCOMPARE(strCommandLine, std::string("a -tzip -hide -mx=9 -mfb=64 -mpass=4"));
        CloseByUser(w);
        QCOMPARE(inst.ReadSettings(), kDefaultFile);
    }

    void perUserSettingsFolderIsMadeOnlyAtClose() {
        Installation inst;
        mMain::StartupPaths paths = inst.Paths();
        const std::string folder = inst.root() + "/config/pakuto";
        paths.settingsFile = folder + "/pakuto.ini";
        QCOMPARE(mMain::Main(paths), mMain::StartupResult::Shown);
        QVERIFY(!std::filesystem::exists(inst.root() + "/config"));  // a start alone leaves no trace
        CloseByUser(mMain::MainWindow());
        QFile file(QString::fromStdString(paths.settingsFile));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kDefaultFile);
        QCOMPARE(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
                 std::filesystem::perms::owner_all);
    }

    void thisProgramsSettingsLieBesideIt() {
        // The test program's folder (the build tree) is writable, so its settings file is beside it.
        const mMain::StartupPaths paths = mMain::CurrentStartupPaths();
        QCOMPARE(paths.settingsFile, ExecutableFolder() + "/" + ExecutableBaseName() + ".ini");
        QCOMPARE(paths.library.executableFolder, ExecutableFolder());
    }

    void secondRunReadsWhatTheFirstWrote() {
        Installation inst;
        frmMain* w = Start(inst);
        QTest::mouseClick(w->chkDelete, Qt::LeftButton);
        QTest::mouseClick(w->chkEachFile, Qt::LeftButton);
        w->txtExtension->selectAll();
        QTest::keyClicks(w->txtExtension, ".7z");
        CloseByUser(w);
        const QByteArray file = inst.ReadSettings();
        QCOMPARE(ValueIn(file, "Delete"), QByteArray("1"));
        QCOMPARE(ValueIn(file, "CompEachFileAtSubFolder"), QByteArray("0"));
        QCOMPARE(ValueIn(file, "Extension"), QByteArray(".7z"));

        w = Start(inst);
        QCOMPARE(CheckValue(w->chkDelete), 1);
        QCOMPARE(CheckValue(w->chkEachFile), 0);
        QCOMPARE(w->txtExtension->text(), QStringLiteral(".7z"));
    }

    void commandLineEditedWhileRunningSurvivesClose() {
        Installation inst;
        inst.WriteSettings("[Main]\nCommandLine=a -tzip -mx=1\n");
        frmMain* w = Start(inst);
        QCOMPARE(strCommandLine, std::string("a -tzip -mx=1"));
        inst.WriteSettings("[Main]\nCommandLine=a -tzip -mx=5 -hide\n");
        // The running tool keeps the prefix it read at start-up.
        QCOMPARE(strCommandLine, std::string("a -tzip -mx=1"));
        CloseByUser(w);
        QCOMPARE(ValueIn(inst.ReadSettings(), "CommandLine"), QByteArray("a -tzip -mx=5 -hide"));
    }

    void commandLineRemovedWhileRunningGetsTheDefault() {
        Installation inst;
        inst.WriteSettings("[Main]\nCommandLine=a -tzip -mx=1\n");
        frmMain* w = Start(inst);
        inst.WriteSettings("[Main]\n");
        CloseByUser(w);
        QCOMPARE(ValueIn(inst.ReadSettings(), "CommandLine"), QByteArray(mMain::kDefaultCommandLine));
    }

    void extensionFromTheFileIsShown() {
        Installation inst;
        inst.WriteSettings("[main]\nextension = .7z\n");
        frmMain* w = Start(inst);
        QCOMPARE(w->txtExtension->text(), QStringLiteral(".7z"));
        QCOMPARE(w->ExtensionText(), std::string(".7z"));
    }

    void emptyValuesStayEmpty() {
        Installation inst;
        inst.WriteSettings("[Main]\nExtension=\nCommandLine=\n");
        frmMain* w = Start(inst);
        QCOMPARE(w->txtExtension->text(), QString());
        QCOMPARE(strCommandLine, std::string());
        CloseByUser(w);
        const QByteArray file = inst.ReadSettings();
        QCOMPARE(ValueIn(file, "Extension"), QByteArray());
        QCOMPARE(ValueIn(file, "CommandLine"), QByteArray());
        w = Start(inst);
        QCOMPARE(w->txtExtension->text(), QString());
        QCOMPARE(strCommandLine, std::string());
    }

    void extensionEmptiedByTheUserIsStoredEmpty() {
        Installation inst;
        frmMain* w = Start(inst);
        w->txtExtension->selectAll();
        QTest::keyClick(w->txtExtension, Qt::Key_Delete);
        CloseByUser(w);
        QCOMPARE(ValueIn(inst.ReadSettings(), "Extension"), QByteArray());
        w = Start(inst);
        QCOMPARE(w->txtExtension->text(), QString());
    }

    void pastedLineBreaksNeverReachTheExtension() {
        Installation inst;
        frmMain* w = Start(inst);
        w->txtExtension->selectAll();
        QApplication::clipboard()->setText(QStringLiteral(".t\nar\r\n"));
        w->txtExtension->paste();
        QCOMPARE(w->txtExtension->text(), QStringLiteral(".tar"));
        QCOMPARE(w->ExtensionText(), std::string(".tar"));
        CloseByUser(w);
        QCOMPARE(ValueIn(inst.ReadSettings(), "Extension"), QByteArray(".tar"));
    }

    void valuesOver254BytesSurviveStartsAndCloses() {
        Installation inst;
        QByteArray extension = ".";
        for (int i = 0; extension.size() < 300; ++i) extension += "拡張" + QByteArray::number(i);
        QByteArray command = "a -tzip -hide";
        while (command.size() < 5000) command += " -mx=9";
        const QByteArray original = "[Main]\nExtension=" + extension + "\nCommandLine=" + command + "\n";
        inst.WriteSettings(original);
        for (int run = 0; run < 3; ++run) {
            frmMain* w = Start(inst);
            QCOMPARE(w->ExtensionText(), extension.toStdString());
            QCOMPARE(strCommandLine, command.toStdString());
            CloseByUser(w);
            const QByteArray file = inst.ReadSettings();
            QCOMPARE(ValueIn(file, "Extension"), extension);
            QCOMPARE(ValueIn(file, "CommandLine"), command);
        }
    }

    void extensionThatIsNotUtf8SurvivesUnedited() {
        Installation inst;
        const QByteArray extension = ".\xff\xfe\x80z";
        inst.WriteSettings("[Main]\nExtension=" + extension + "\n");
        frmMain* w = Start(inst);
        QCOMPARE(w->ExtensionText(), extension.toStdString());
        CloseByUser(w);
        QCOMPARE(ValueIn(inst.ReadSettings(), "Extension"), extension);
    }

    void grayedStatesAreShownAndWrittenBack() {
        Installation inst;
        inst.WriteSettings("[Main]\nDelete=2\nCompEachFileAtSubFolder=2\n");
        frmMain* w = Start(inst);
        QCOMPARE(w->chkDelete->checkState(), Qt::PartiallyChecked);
        QCOMPARE(w->chkEachFile->checkState(), Qt::PartiallyChecked);
        QCOMPARE(w->DeleteState(), 2);
        CloseByUser(w);
        const QByteArray file = inst.ReadSettings();
        QCOMPARE(ValueIn(file, "Delete"), QByteArray("2"));
        QCOMPARE(ValueIn(file, "CompEachFileAtSubFolder"), QByteArray("2"));
    }

    void clickOnAGrayedBoxChecksItAndClicksNeverGray() {
        Installation inst;
        inst.WriteSettings("[Main]\nDelete=2\n");
        frmMain* w = Start(inst);
        QTest::mouseClick(w->chkDelete, Qt::LeftButton);
        QCOMPARE(CheckValue(w->chkDelete), 1);
        QTest::mouseClick(w->chkDelete, Qt::LeftButton);
        QCOMPARE(CheckValue(w->chkDelete), 0);
        QTest::mouseClick(w->chkDelete, Qt::LeftButton);
        QCOMPARE(CheckValue(w->chkDelete), 1);
    }

    void invalidStatesGiveTheKeysDefaults_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("3") << QByteArray("3");
        QTest::newRow("-1") << QByteArray("-1");
        QTest::newRow("70000") << QByteArray("70000");
        QTest::newRow("99999999999") << QByteArray("99999999999");
        QTest::newRow("text") << QByteArray("yes");
    }
    void invalidStatesGiveTheKeysDefaults() {
        QFETCH(QByteArray, stored);
        Installation inst;
        inst.WriteSettings("[Main]\nDelete=" + stored + "\nCompEachFileAtSubFolder=" + stored + "\n");
        frmMain* w = Start(inst);
        QVERIFY(w != nullptr);
        QCOMPARE(CheckValue(w->chkDelete), 0);
        QCOMPARE(CheckValue(w->chkEachFile), stored == "yes" ? 0 : 1);
        CloseByUser(w);
        const QByteArray file = inst.ReadSettings();
        QCOMPARE(ValueIn(file, "Delete"), QByteArray("0"));
        QCOMPARE(ValueIn(file, "CompEachFileAtSubFolder"),
                 stored == "yes" ? QByteArray("0") : QByteArray("1"));
    }

    void otherContentOfTheFileIsKept() {
        Installation inst;
        const QByteArray before =
            "; my settings\n[Other]\nx=1\n\n[Main]\nExtension=.7z\n; keep me\nUnknown=value\n";
        inst.WriteSettings(before);
        CloseByUser(Start(inst));
        const QByteArray file = inst.ReadSettings();
        QVERIFY(file.startsWith(
            "; my settings\n[Other]\nx=1\n\n[Main]\nExtension=.7z\n; keep me\nUnknown=value\n"));
        QCOMPARE(ValueIn(file, "Delete"), QByteArray("0"));
        QCOMPARE(ValueIn(file, "CommandLine"), QByteArray(mMain::kDefaultCommandLine));
        QCOMPARE(file.count("Extension="), 1);
    }

    void binaryJunkGivesDefaultsAndIsKeptAtClose() {
        Installation inst;
        QByteArray junk;
        for (int i = 0; i < 3000; ++i) junk += static_cast<char>((i * 131 + 7) % 256);
        junk.replace('[', '(');  // no accidental section header
        inst.WriteSettings(junk);
        frmMain* w = Start(inst);
        QVERIFY(w != nullptr);
        QCOMPARE(CheckValue(w->chkDelete), 0);
        QCOMPARE(CheckValue(w->chkEachFile), 1);
        QCOMPARE(w->txtExtension->text(), QStringLiteral(".zip"));
        CloseByUser(w);
        const QByteArray file = inst.ReadSettings();
        QVERIFY(file.startsWith(junk.left(junk.lastIndexOf('\n') + 1)));
        QCOMPARE(ValueIn(file, "CompEachFileAtSubFolder"), QByteArray("1"));
    }

    void unreadableSettingsGiveDefaultsAndStayUntouched() {
        Installation inst;
        std::filesystem::create_directory(inst.settingsFile());  // a folder where the file should be
        frmMain* w = Start(inst);
        QVERIFY(w != nullptr);
        QCOMPARE(w->txtExtension->text(), QStringLiteral(".zip"));
        CloseByUser(w);
        QVERIFY(std::filesystem::is_directory(inst.settingsFile()));
        QVERIFY(std::filesystem::is_empty(inst.settingsFile()));
    }
};

QTEST_MAIN(SettingsRoundTrip)
#include "settings_roundtrip_test.moc"
