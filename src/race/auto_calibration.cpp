// SPDX-License-Identifier: MIT
#include "auto_calibration.h"

#include <algorithm>

#include <QtConcurrent/QtConcurrentRun>

#include "pat/race_time.h"
#include "settings/settings_store.h"
#include "settings/stake_settings.h"

AutoCalibration::AutoCalibration(SettingsStore& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
{
    connect(&m_watcher, &QFutureWatcher<ModelFitRun>::finished, this, &AutoCalibration::take);
}

AutoCalibration::~AutoCalibration()
{
    m_cancel->store(true);
    wait();
}

bool AutoCalibration::startIfDue(const QStringList& folders, const QDateTime& now, bool force)
{
    if (running() || !StakeSettings::read(m_settings).autoCalibrate) {
        return false;
    }
    // Once a day in Japan, and at once when the folder is another than the one fitted.
    if (const auto kept = fitFor(folders);
        !force && kept && jraDateOf(kept->fittedAt) >= jraDateOf(now)) {
        return false;
    }
    m_lastFolders = folders;
    m_watcher.setFuture(QtConcurrent::run(
        [folders, now, cancel = m_cancel] { return fitFolders(folders, now, cancel.get()); }));
    return true;
}

void AutoCalibration::wait()
{
    m_watcher.waitForFinished();
}

std::optional<ModelFit> AutoCalibration::fitFor(const QStringList& folders) const
{
    auto kept = ModelFit::read(m_settings);
    // A fit of another folder says nothing of this one's races.
    if (kept
        && (folders.isEmpty()
            || !std::all_of(folders.begin(), folders.end(), [&](const QString& f) {
                   return kept->madeOn(f);
               }))) {
        kept.reset();
    }
    return kept;
}

void AutoCalibration::take()
{
    const ModelFitRun run = m_watcher.result();
    m_why = run.why;
    if (run.fit) {
        run.fit->write(m_settings);
    }
    Q_EMIT finished();
}
