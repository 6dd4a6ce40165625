// settings_faults_test.cpp - guards the window's start and close against settings files it cannot use
// as they are: a huge file (past the reader's limit, with a valid section at its start), a read-only
// file (0444: root may still write it, so its bytes and mode must survive a close without edits), a
// file on a read-only file system (where even root cannot write, also after the user edited a value),
// and a huge junk file. The window must start (offscreen), show the defaults for what cannot be read,
// and closing must never destroy the file's content or leave a temporary file beside it.
// (Binary junk within the limit, and a folder at the settings path, are guarded in tests/app.)
#include <sys/mount.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "app_test_support.h"

namespace {

namespace fs = std::filesystem;

QByteArray ReadBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
    return file.readAll();
}

void WriteBytes(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The names in `folder` other than those listed: what a close left behind.
QStringList Others(const std::string& folder, const QStringList& known) {
    QStringList found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const QString name = QString::fromStdString(entry.path().filename().string());
        if (!known.contains(name)) found << name;
    }
    return found;
}

bool ShowsDefaults(const frmMain* w) {
    return CheckValue(w->chkDelete) == 0 && CheckValue(w->chkEachFile) == 1 &&
           w->txtExtension->text() == QStringLiteral(".zip") &&
           mMain::strCommandLine == mMain::kDefaultCommandLine;
}

const QByteArray kStored =
    "; kept by hand\n[Main]\nDelete=1\nCompEachFileAtSubFolder=0\nExtension=.7z\n"
    "CommandLine=a -tzip -hide -mx=5\n";

}  // namespace

class SettingsFaults : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { mMain::ReleaseMainWindow(); }

    // A valid section at the start of a file too large to read: nothing of it is used or rewritten.
    void hugeFileGivesDefaultsAndIsNeverRewritten() {
        Installation inst;
        QByteArray bytes = kStored;
        bytes += QByteArray(static_cast<qsizetype>(20u << 20), 'x');
        WriteBytes(inst.settingsFile(), bytes);
        frmMain* w = Start(inst);
        QVERIFY(w != nullptr);
        QVERIFY(ShowsDefaults(w));
        w->txtExtension->setText(QStringLiteral(".edited"));
        CloseByUser(w);
        QVERIFY(ReadBytes(inst.settingsFile()) == bytes);
        QCOMPARE(Others(inst.bin(), {"pakuto.ini", "lib7-zip32.so"}), QStringList());
    }

    void hugeJunkWithoutLineBreaksGivesDefaults() {
        Installation inst;
        QByteArray junk(static_cast<qsizetype>(17u << 20), '\0');
        for (qsizetype i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919 + 13) % 251);
        junk.replace('\n', ' ');
        WriteBytes(inst.settingsFile(), junk);
        frmMain* w = Start(inst);
        QVERIFY(w != nullptr);
        QVERIFY(ShowsDefaults(w));
        CloseByUser(w);
        QVERIFY(ReadBytes(inst.settingsFile()) == junk);
    }

    void readOnlyFileKeepsItsBytesAndMode() {
        Installation inst;
        WriteBytes(inst.settingsFile(), kStored);
        fs::permissions(inst.settingsFile(), fs::perms(0444));
        frmMain* w = Start(inst);
        QVERIFY(w != nullptr);
        QCOMPARE(w->txtExtension->text(), QStringLiteral(".7z"));
        QCOMPARE(CheckValue(w->chkDelete), 1);
        QCOMPARE(CheckValue(w->chkEachFile), 0);
        CloseByUser(w);
        QCOMPARE(ReadBytes(inst.settingsFile()), kStored);
        QCOMPARE(fs::status(inst.settingsFile()).permissions(), fs::perms(0444));
        QCOMPARE(Others(inst.bin(), {"pakuto.ini", "lib7-zip32.so"}), QStringList());
    }

    // Read-only for everyone, root included: the settings file on a file system mounted read-only.
    void fileOnAReadOnlyFileSystemSurvivesAnEditedClose() {
        Installation inst;
        const std::string mountPoint = inst.root() + "/ro";
        fs::create_directories(mountPoint);
        if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m,mode=0755") != 0)
            QSKIP("mounting a tmpfs is not permitted here");
        const std::string settings = mountPoint + "/pakuto.ini";
        WriteBytes(settings, kStored);
        const bool readOnly =
            ::mount("tmpfs", mountPoint.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        mMain::StartupPaths paths = inst.Paths();
        paths.settingsFile = settings;
        const bool shown = readOnly && mMain::Main(paths) == mMain::StartupResult::Shown;
        frmMain* w = shown ? mMain::MainWindow() : nullptr;
        QString extension;
        if (w != nullptr) {
            extension = w->txtExtension->text();
            w->txtExtension->setText(QStringLiteral(".edited"));
            QTest::mouseClick(w->chkDelete, Qt::LeftButton);
            CloseByUser(w);
        }
        const QByteArray after = ReadBytes(settings);
        const QStringList left = Others(mountPoint, {"pakuto.ini"});
        ::umount2(mountPoint.c_str(), MNT_DETACH);
        QVERIFY(readOnly);
        QVERIFY(shown);
        QCOMPARE(extension, QStringLiteral(".7z"));
        QCOMPARE(after, kStored);
        QCOMPARE(left, QStringList());
    }
};

QTEST_MAIN(SettingsFaults)
#include "settings_faults_test.moc"
