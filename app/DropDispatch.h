// DropDispatch.h - which job a path dropped on lstResult goes to, and the window caption's state
// suffixes shown while frmMain's drop handler runs.
#pragma once

#include <QString>
#include <string>

// The caption's state suffixes, each with its leading space.
inline const QString kBusySuffix = QStringLiteral(" [処理中]");
inline const QString kDoneSuffix = QStringLiteral(" [完了]");

enum class DropAction {
    CompressFile,      // a regular file (hidden and read-only ones too), or a link to one
    CompressFolder,    // a folder or a link to one, per-file box off
    CompressEachFile,  // a folder or a link to one, per-file box on (any value but 0)
    Skip,              // a hidden folder, a FIFO, socket or device, a dangling link, a path that is gone
};

// Classifies `path` by what it names, a symbolic link at its end followed, without opening anything.
// A hidden folder is recognised by the dropped name (a link's own name). The file-system root is a
// folder like any other here: its job refuses it.
DropAction ClassifyDroppedPath(const std::string& path, int eachFileState);
