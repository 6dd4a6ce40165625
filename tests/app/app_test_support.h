// app_test_support.h - a real temporary "installation" for start-up tests: a folder standing for the
// executable's folder, holding a copy of the real lib7-zip32.so (or not), and the settings file beside it.
#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "frmMain.h"
#include "mMain.h"

class Installation {
public:
    explicit Installation(bool withLibrary = true) {
        std::filesystem::create_directories(bin());
        if (withLibrary) std::filesystem::copy_file(PAKUTO_TEST_ARCHIVER, bin() + "/lib7-zip32.so");
    }

    std::string root() const { return dir_.path().toStdString(); }
    std::string bin() const { return root() + "/bin"; }
    std::string settingsFile() const { return bin() + "/pakuto.ini"; }

    // Only this folder is searched: nothing of the machine's own can be found instead.
    mMain::StartupPaths Paths() const { return {settingsFile(), {bin(), "", {}}}; }

    bool HasSettings() const { return std::filesystem::exists(settingsFile()); }

    QByteArray ReadSettings() const {
        QFile file(QString::fromStdString(settingsFile()));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll();
    }

    void WriteSettings(const QByteArray& bytes) const {
        QFile file(QString::fromStdString(settingsFile()));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
    }

private:
    QTemporaryDir dir_;
};

// Runs Main on the installation and returns the window (null when start-up did not show it).
inline frmMain* Start(const Installation& installation) {
    if (mMain::Main(installation.Paths()) != mMain::StartupResult::Shown) return nullptr;
    return mMain::MainWindow();
}

// Closes the window the way the user does (its unload handler runs), then releases it.
inline void CloseByUser(frmMain* window) {
    window->close();
    mMain::ReleaseMainWindow();
}
