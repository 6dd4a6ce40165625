// ResultList.h - the result list lstResult: a list box that accepts drops of local files and folders
// and reports their paths.
//
// Every drop is accepted; only file URLs that name a local path count, any other content of a drop
// (text, remote URLs) is ignored. The paths are reported as the exact bytes of the file names, in the order
// of the drop, so a name that is not valid UTF-8 reaches the jobs unchanged.
#pragma once

#include <QByteArray>
#include <QList>
#include <QListWidget>

class QMimeData;
class QUrl;

// `text` as one line of the list: every control character (line breaks, tabs, C0 and C1 codes) and the
// Unicode line and paragraph separators shown as U+FFFD, so a name holding one stays on its own line.
QString OneLineText(const QString& text);

class ResultList : public QListWidget {
    Q_OBJECT
public:
    explicit ResultList(QWidget* parent = nullptr);

    // While refusing (a dispatch is running), a drag over the list shows that it cannot be dropped
    // and a drop is turned away.
    void SetRefusingDrops(bool refusing) { refusing_ = refusing; }

    // The local paths of a drop's data, as file-name bytes, in order; empty when it holds none.
    static QList<QByteArray> DroppedPaths(const QMimeData* data);

    // The bytes of the local path a file URL names, or empty for any other URL.
    static QByteArray LocalPathBytes(const QUrl& url);

signals:
    // A drop arrived; `paths` may be empty (a drop that carried no file paths).
    void PathsDropped(const QList<QByteArray>& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    Qt::DropActions supportedDropActions() const override;

private:
    bool refusing_ = false;
};
