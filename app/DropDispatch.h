// DropDispatch.h - what a path dropped on lstResult leads to, and the window caption's state suffixes.
//
// frmMain's drop handler (DropDispatch.cpp) clears the list, marks the caption busy, lets pending
// events run before each item, sends each item to its job, and marks the caption done.
#pragma once

#include <QString>
#include <string>

// The caption's state suffixes, each with its leading space.
inline const QString kBusySuffix = QStringLiteral(" [処理中]");
inline const QString kDoneSuffix = QStringLiteral(" [完了]");

enum class DropAction {
    CompressFile,      // a regular file (hidden and read-only ones too), or a symbolic link
    CompressFolder,    // a folder, per-file box off
    CompressEachFile,  // a folder, per-file box on (any value but 0)
    RefuseRoot,        // the file-system root: no archive can stand beside it; an "[NG]" line
    Skip,              // a hidden folder, a FIFO, socket or device, or a path that no longer exists
};

// Classifies `path` without following a symbolic link at its end (the link itself is archived, so a
// dropped link never leads a job outside what was dropped) and without opening anything.
DropAction ClassifyDroppedPath(const std::string& path, int eachFileState);
