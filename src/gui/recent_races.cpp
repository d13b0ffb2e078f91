// SPDX-License-Identifier: MIT
#include "recent_races.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kRecentFiles = u"RecentFiles"_s;

QString fileKey(int k)
{
    return u"File"_s + QString::number(k);
}

// Two paths name the same race when they do on this platform's file system.
bool samePath(const QString& a, const QString& b)
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(), cs) == 0;
}

} // namespace

RecentRaces::RecentRaces(SettingsStore& settings, QMenu& menu, QAction& bar, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_menu(menu)
    , m_bar(bar)
{
    // The tooltip gives the full path.
    m_menu.setToolTipsVisible(true);
    rebuildMenu();
}

QStringList RecentRaces::files() const
{
    QStringList files;
    for (int k = 1; k <= kCount; ++k) {
        const QString file = m_settings.readText(kRecentFiles, fileKey(k), {});
        if (!file.isEmpty()) {
            files << file;
        }
    }
    return files;
}

void RecentRaces::add(const QString& path)
{
    QStringList list = files();
    list.removeIf([&](const QString& f) { return samePath(f, path); });
    list.prepend(QFileInfo(path).absoluteFilePath());
    store(list);
}

void RecentRaces::remove(const QString& path)
{
    QStringList list = files();
    list.removeIf([&](const QString& f) { return samePath(f, path); });
    store(list);
}

void RecentRaces::store(const QStringList& files)
{
    for (int k = 1; k <= kCount; ++k) {
        const QString file = k <= files.size() ? files[k - 1] : QString();
        // Unchanged keys are not written again: each write moves the store's revision.
        if (m_settings.readText(kRecentFiles, fileKey(k), {}) != file) {
            m_settings.writeText(kRecentFiles, fileKey(k), file);
        }
    }
    rebuildMenu();
}

void RecentRaces::rebuildMenu()
{
    qDeleteAll(m_actions);
    m_actions.clear();
    const QStringList list = files();
    QAction* before = m_menu.actions().at(m_menu.actions().indexOf(&m_bar) + 1);
    for (qsizetype k = 0; k < list.size(); ++k) {
        const QString& file = list[k];
        QString name = QFileInfo(file).fileName();
        name.replace(u'&', u"&&"_s);
        auto* a = new QAction(u'&' + QString::number(k + 1) + u' ' + name, &m_menu);
        a->setObjectName(u"mnuFileRecent_"_s + QString::number(k + 1));
        a->setToolTip(QDir::toNativeSeparators(file));
        // Queued: the load rebuilds this menu, the action included.
        connect(
            a,
            &QAction::triggered,
            this,
            [this, file] { Q_EMIT chosen(file); },
            Qt::QueuedConnection);
        m_menu.insertAction(before, a);
        m_actions << a;
    }
    m_bar.setVisible(!list.isEmpty());
}
