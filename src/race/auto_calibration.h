// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

#include "race/model_fit.h"

class SettingsStore;

/// 自動較正: fits the models on the user's folder in the background, at most once a day in
/// Japan (so after each race day), and keeps the result in the settings with its date and
/// scores. The fit reads files only; the settings are written on the owner's thread.
class AutoCalibration final : public QObject
{
    Q_OBJECT

public:
    explicit AutoCalibration(SettingsStore& settings, QObject* parent = nullptr);
    ~AutoCalibration() override;

    /// Starts a fit of `folders` unless one is running, 自動較正 is off, or the kept fit was
    /// made on these folders on the same day in Japan as `now` (`force` fits anyway). True
    /// when one started.
    bool startIfDue(const QStringList& folders, const QDateTime& now, bool force = false);
    bool running() const { return m_watcher.isRunning(); }
    /// Waits for a running fit (tests, closing).
    void wait();

    /// The fit kept, when it was made on `folders`.
    std::optional<ModelFit> fitFor(const QStringList& folders) const;
    /// Why the last fit made none; empty when it did or none ran.
    QString why() const { return m_why; }
    /// The folders the last fit started on.
    QStringList lastFolders() const { return m_lastFolders; }

Q_SIGNALS:
    /// A fit finished (the kept fit and why() may have changed).
    void finished();

private:
    void take();

    SettingsStore& m_settings;
    QFutureWatcher<ModelFitRun> m_watcher;
    // Set when the owner goes: a fit still reading stops rather than hold the window open.
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
    QString m_why;
    QStringList m_lastFolders;
};
