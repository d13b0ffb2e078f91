// SPDX-License-Identifier: MIT
#include "race_drop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

#include "pat/pat_names.h"

using namespace Qt::StringLiterals;

RaceDrop::RaceDrop(QWidget& window)
    : QObject(&window)
{
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

QString RaceDrop::droppedFile(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile()) {
        return {};
    }
    return urls.constFirst().toLocalFile();
}

bool RaceDrop::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!droppedFile(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
        } else {
            drag->ignore();
            // A refused drag never drops: the note says why as it enters.
            if (event->type() == QEvent::DragEnter) {
                Q_EMIT refused(u"ファイルを1つだけドロップしてください"_s);
            }
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty()) {
            drop->ignore();
        } else if (!isWinPlaceOddsName(QFileInfo(path).fileName())) {
            drop->ignore();
            Q_EMIT refused(u"開けるのは Zo-*.jra だけです: "_s + QFileInfo(path).fileName());
        } else {
            drop->acceptProposedAction();
            // The drag's source waits for the drop to end: the load runs afterwards.
            QTimer::singleShot(0, this, [this, path] { Q_EMIT dropped(path); });
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

QString qtDialogFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(u'|');
    if (bar < 0) {
        return filter;
    }
    const QString description = filter.left(bar);
    return description.contains(u'(') ? description
                                      : description + u" ("_s + filter.mid(bar + 1) + u')';
}
