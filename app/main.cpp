// main.cpp - the process entry: runs Main, then the window's events until the window is closed.
#include <QApplication>

#include "mMain.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (mMain::Main(mMain::CurrentStartupPaths()) != mMain::StartupResult::Shown) return 1;
    const int result = app.exec();
    mMain::ReleaseMainWindow();
    return result;
}
