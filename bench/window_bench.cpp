// window_bench.cpp - the window's overhead on a large drop: a tree of small files dropped in per-file
// mode on the real main window (offscreen) against the same archives made by calling the library
// directly, in the same run. The ratio (window time / direct time) is what counts; a ratio near 1 means
// list insertion, path compaction and the jobs' path checks cost little next to the archiver.
//   usage: QT_QPA_PLATFORM=offscreen window_bench LIBRARY [FILES] [ROUNDS]
// LIBRARY is lib7-zip32.so (loaded by path, as the tool does); FILES defaults to 5000, ROUNDS to 3.
// Each round makes a fresh tree of FILES files (100 per folder, 200 to 2000 bytes of text each) and
// times both forms on it, alternating which goes first; the best time of each form is reported:
//   files=N window_s=W direct_s=D ratio=R
#include <dlfcn.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CompressionJobs.h"
#include "FormDesign.h"
#include "ResultList.h"
#include "frmMain.h"
#include "mMain.h"

namespace fs = std::filesystem;

namespace {

using SevenZipEntry = int32_t (*)(void*, const char*, char*, int32_t);

constexpr int kFilesPerFolder = 100;

// Makes root/tree/dNN/fNNNNN.txt and returns the files in the order the per-file walk takes them
// (folders in name order, each folder's files in name order).
std::vector<fs::path> MakeTree(const fs::path& root, int files) {
    std::vector<fs::path> made;
    for (int i = 0; i < files; ++i) {
        char folder[32], name[32];
        std::snprintf(folder, sizeof folder, "d%03d", i / kFilesPerFolder);
        std::snprintf(name, sizeof name, "f%05d.txt", i);
        const fs::path dir = root / "tree" / folder;
        fs::create_directories(dir);
        std::ofstream out(dir / name);
        const int lines = 4 + (i * 7) % 36;
        for (int l = 0; l < lines; ++l) out << "line " << l << " of file " << i << " in the benchmark tree\n";
        made.push_back(dir / name);
    }
    return made;
}

void RemoveArchives(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".zip") fs::remove(entry.path());
}

// Drops the tree on the window and waits for the dispatch to finish; seconds, or -1 on failure.
double TimeWindow(frmMain* window, const fs::path& root, int expectedLines) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString((root / "tree").string()))});
    QWidget* target = window->lstResult->viewport();
    const QPoint at = target->rect().center();
    // Back to the idle caption and an empty list, so only this drop's end can satisfy the wait below.
    window->setWindowTitle(mMain::VersionText());
    window->lstResult->clear();
    QElapsedTimer timer;
    timer.start();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    if (!drop.isAccepted()) return -1;
    const bool done = QTest::qWaitFor(
        [window] {
            return !window->Dispatching() &&
                   window->windowTitle() == mMain::VersionText() + QString::fromUtf8(forms::kDoneSuffix);
        },
        3600 * 1000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!done || window->lstResult->count() != expectedLines) return -1;
    for (int i = 0; i < window->lstResult->count(); ++i)
        if (!window->lstResult->item(i)->text().startsWith(QStringLiteral("[OK]"))) return -1;
    return seconds;
}

// The same archives, one library call per file, commands composed as the jobs compose them.
double TimeDirect(SevenZipEntry sevenZip, const std::vector<fs::path>& files, const fs::path& dest) {
    std::vector<char> output(mMain::kArchiverOutputSize);
    QElapsedTimer timer;
    timer.start();
    for (const fs::path& file : files) {
        const std::string archive = (dest / file.stem()).string() + ".zip";
        const std::string command = mMain::strCommandLine + " \"" + archive + "\" \"" +
                                    file.parent_path().string() + "/\" \"" + file.filename().string() + "\"";
        if (sevenZip(nullptr, command.c_str(), output.data(), static_cast<int32_t>(output.size())) != 0)
            return -1;
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LIBRARY [FILES] [ROUNDS]\n", argv[0]);
        return 2;
    }
    const fs::path library = fs::absolute(argv[1]);
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto sevenZip = handle ? reinterpret_cast<SevenZipEntry>(dlsym(handle, "SevenZip")) : nullptr;
    if (sevenZip == nullptr) {
        std::fprintf(stderr, "cannot bind SevenZip from %s\n", library.c_str());
        return 2;
    }

    QTemporaryDir settings;
    const mMain::StartupPaths paths{settings.filePath(QStringLiteral("pakuto.ini")).toStdString(),
                                    {library.parent_path().string(), "", {}}};
    if (mMain::Main(paths) != mMain::StartupResult::Shown) return 2;
    frmMain* window = mMain::MainWindow();
    SetCheckValue(window->chkEachFile, 1);
    SetCheckValue(window->chkDelete, 0);

    double bestWindow = 0, bestDirect = 0;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir work;
        const fs::path root = work.path().toStdString();
        const std::vector<fs::path> made = MakeTree(root, files);
        const fs::path direct = root / "direct";
        fs::create_directories(direct);
        double w = 0, d = 0;
        if (round % 2 == 0) {
            w = TimeWindow(window, root, files);
            d = TimeDirect(sevenZip, made, direct);
        } else {
            d = TimeDirect(sevenZip, made, direct);
            w = TimeWindow(window, root, files);
        }
        if (w < 0 || d < 0) {
            std::fprintf(stderr, "round %d failed (window %.3f, direct %.3f)\n", round, w, d);
            return 1;
        }
        std::fprintf(stderr, "round %d: window %.3f s, direct %.3f s\n", round, w, d);
        bestWindow = round == 0 ? w : std::min(bestWindow, w);
        bestDirect = round == 0 ? d : std::min(bestDirect, d);
        RemoveArchives(root);
        RemoveArchives(direct);
    }
    std::printf("files=%d window_s=%.3f direct_s=%.3f ratio=%.3f\n", files, bestWindow, bestDirect,
                bestWindow / bestDirect);
    mMain::ReleaseMainWindow();
    return 0;
}
