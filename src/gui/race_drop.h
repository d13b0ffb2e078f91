// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QMimeData;
class QWidget;

/// Dropping a race on a window: one local Zo- file is taken (`dropped`, after the drop has
/// ended); anything else is refused with a note that says why (`refused`).
class RaceDrop final : public QObject
{
    Q_OBJECT

public:
    /// Takes the drops of `window`.
    explicit RaceDrop(QWidget& window);

    /// The one local file a drag carries; empty for several files or anything else.
    static QString droppedFile(const QMimeData* mime);

Q_SIGNALS:
    void dropped(const QString& path);
    void refused(const QString& note);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

/// The Qt form of a "description|pattern" filter of the race files' dialogs: the description
/// already names the pattern.
QString qtDialogFilter(const QString& filter);
