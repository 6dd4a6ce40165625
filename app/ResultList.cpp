// ResultList.cpp - lstResult's drop handling: file URLs in, path bytes out through one signal.
#include "ResultList.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

QString OneLineText(const QString& text) {
    QString line = text;
    for (QChar& c : line) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            c = QChar::ReplacementCharacter;
    }
    return line;
}

ResultList::ResultList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QByteArray ResultList::LocalPathBytes(const QUrl& url) {
    if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0) return {};
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) return {};
    // The encoded path keeps bytes that are not UTF-8 as %XX escapes; decoding them gives the name's
    // exact bytes, where toLocalFile() would have replaced them.
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (path.isEmpty() || !path.startsWith('/') || path.contains('\0')) return {};
    return path;
}

QList<QByteArray> ResultList::DroppedPaths(const QMimeData* data) {
    QList<QByteArray> paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        const QByteArray path = LocalPathBytes(url);
        if (!path.isEmpty()) paths.append(path);
    }
    return paths;
}

// Outside a dispatch every drag is accepted: a drop without file paths still counts as a drop (it
// clears the list).
void ResultList::dragEnterEvent(QDragEnterEvent* event) {
    if (refusing_) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void ResultList::dragMoveEvent(QDragMoveEvent* event) {
    if (refusing_) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void ResultList::dropEvent(QDropEvent* event) {
    if (refusing_) {
        event->ignore();
        return;
    }
    const QList<QByteArray> paths = DroppedPaths(event->mimeData());
    event->acceptProposedAction();
    emit PathsDropped(paths);
}

Qt::DropActions ResultList::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}
