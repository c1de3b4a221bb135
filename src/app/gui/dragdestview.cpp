#include "app/gui/dragdestview.h"

#include "common/log.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {
QStringList droppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
}

// Link when the source allows it, else copy, else nothing.
Qt::DropAction chosenAction(Qt::DropActions possible)
{
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

// Only drags offering file names are taken.
void acceptFileDrag(QDropEvent* event)
{
    const Qt::DropAction action = chosenAction(event->possibleActions());
    if (droppedPaths(event->mimeData()).isEmpty() || action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}
} // namespace

dragDestView::dragDestView(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
}

void dragDestView::dragEnterEvent(QDragEnterEvent* event)
{
    acceptFileDrag(event);
}

void dragDestView::dragMoveEvent(QDragMoveEvent* event)
{
    acceptFileDrag(event);
}

void dragDestView::dropEvent(QDropEvent* event)
{
    const QStringList paths = droppedPaths(event->mimeData());
    if (!paths.isEmpty())
        veskLog(QStringLiteral("shizzat: ") + paths.join(QStringLiteral(", ")));
    event->setDropAction(chosenAction(event->possibleActions()));
    event->accept();
}
