// drop_support.h - real drop events for lstResult and an independent look into the archives made:
// drops go through the list's viewport as a file manager's would, archives are read by Python's
// zipfile, and the dispatch is awaited through the caption.
#pragma once

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QUrl>
#include <string>

#include "DropDispatch.h"
#include "ResultList.h"
#include "frmMain.h"
#include "mMain.h"

// Sends enter, move and drop of `data` onto the list; returns whether the drop was accepted.
inline bool DropOnList(frmMain* w, QMimeData* data) {
    QWidget* target = w->lstResult->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// File URLs for local paths given as bytes (any bytes: they are percent-encoded).
inline QList<QUrl> FileUrls(const QList<QByteArray>& paths) {
    QList<QUrl> urls;
    for (const QByteArray& p : paths) urls << QUrl::fromEncoded("file://" + p.toPercentEncoding("/"));
    return urls;
}

inline bool DropPaths(frmMain* w, const QList<QByteArray>& paths) {
    QMimeData data;
    data.setUrls(FileUrls(paths));
    return DropOnList(w, &data);
}

inline bool CaptionDone(const frmMain* w) {
    return w->windowTitle() == mMain::VersionText() + kDoneSuffix;
}

// Waits (running events) until the dispatch has finished.
inline bool WaitForDispatch(frmMain* w, int timeoutMs = 60000) {
    return QTest::qWaitFor([w] { return CaptionDone(w) && !w->Dispatching(); }, timeoutMs);
}

inline QStringList Lines(const frmMain* w) {
    QStringList lines;
    for (int i = 0; i < w->lstResult->count(); ++i) lines << w->lstResult->item(i)->text();
    return lines;
}

// The member names of a ZIP archive as Python's zipfile reads them (after checking every CRC), one per
// line, sorted (the path goes to Python as hex, so any bytes pass); "<unreadable>" when zipfile refuses the
// archive.
inline QString ZipMembers(const std::string& archive) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import os, sys, zipfile\n"
                                 "z = zipfile.ZipFile(os.fsdecode(bytes.fromhex(sys.argv[1])))\n"
                                 "assert z.testzip() is None\n"
                                 "print('\\n'.join(sorted(z.namelist())))\n"),
                  QString::fromLatin1(QByteArray::fromStdString(archive).toHex())});
    python.waitForFinished(60000);
    if (python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return QStringLiteral("<unreadable>");
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}
