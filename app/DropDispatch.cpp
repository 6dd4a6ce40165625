// DropDispatch.cpp - frmMain's drop handler: every dropped path, in order, to its compression job.
#include "DropDispatch.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QEventLoop>

#include "CompressionJobs.h"
#include "PathText.h"
#include "ResultList.h"
#include "frmMain.h"
#include "mMain.h"

namespace {

bool IsFileSystemRoot(const struct stat& info) {
    struct stat root {};
    return ::stat("/", &root) == 0 && info.st_dev == root.st_dev && info.st_ino == root.st_ino;
}

}  // namespace

DropAction ClassifyDroppedPath(const std::string& path, int eachFileState) {
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0) return DropAction::Skip;
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) return DropAction::CompressFile;
    if (!S_ISDIR(info.st_mode)) return DropAction::Skip;
    if (IsFileSystemRoot(info)) return DropAction::RefuseRoot;
    if (mMain::IsHiddenName(mMain::GetFileName(path))) return DropAction::Skip;
    return eachFileState != 0 ? DropAction::CompressEachFile : DropAction::CompressFolder;
}

void frmMain::lstResult_Drop(const QList<QByteArray>& paths) {
    // A drop that arrives while one is being dispatched (events run between items) is refused rather
    // than nested into the running one.
    if (dispatching_) return;
    dispatching_ = true;
    lstResult->SetRefusingDrops(true);

    lstResult->clear();
    const qsizetype n = paths.size();
    if (n > 0) {
        setWindowTitle(mMain::VersionText() + kBusySuffix);
        for (qsizetype i = 0; i < n; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (closeRequested_) break;
            const std::string p = paths[i].toStdString();
            switch (ClassifyDroppedPath(p, CheckValue(chkEachFile))) {
                case DropAction::CompressFile:
                    mMain::CompressFile(*this, mMain::strCommandLine, p, mMain::GetParentFolderName(p));
                    break;
                case DropAction::CompressEachFile:
                    mMain::CompressEachFile(*this, mMain::strCommandLine, p, mMain::GetParentFolderName(p));
                    break;
                case DropAction::CompressFolder:
                    mMain::CompressFolder(*this, mMain::strCommandLine, p);
                    break;
                case DropAction::RefuseRoot:
                    mMain::AddResultLine(*this, "[NG]", p);
                    break;
                case DropAction::Skip:
                    break;
            }
        }
    }
    setWindowTitle(mMain::VersionText() + kDoneSuffix);

    lstResult->SetRefusingDrops(false);
    dispatching_ = false;
    // A close asked for while the dispatch ran was held back until now; it proceeds as usual.
    if (closeRequested_) close();
}
