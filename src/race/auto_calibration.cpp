// SPDX-License-Identifier: MIT
#include "auto_calibration.h"

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
    wait();
}

bool AutoCalibration::startIfDue(const QStringList& folders, const QDateTime& now, bool force)
{
    if (running() || !StakeSettings::read(m_settings).autoCalibrate) {
        return false;
    }
    if (const auto kept = fit(); !force && kept && jraDateOf(kept->fittedAt) >= jraDateOf(now)) {
        return false;
    }
    m_watcher.setFuture(QtConcurrent::run([folders, now] { return fitFolders(folders, now); }));
    return true;
}

void AutoCalibration::wait()
{
    m_watcher.waitForFinished();
}

std::optional<ModelFit> AutoCalibration::fit() const
{
    return ModelFit::read(m_settings);
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
