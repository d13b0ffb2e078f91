// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class QAction;
class QMenu;
class SettingsStore;

/// The races opened last, most recent first, as the settings keep them (RecentFiles/File1…8),
/// and their entries in the file menu; one chosen there is told through `chosen`.
class RecentRaces final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCount = 8;

    /// The entries sit in `menu` after the separator `bar`.
    RecentRaces(SettingsStore& settings, QMenu& menu, QAction& bar, QObject* parent);

    QStringList files() const;
    /// A race that loaded moves to the top (without a duplicate; the oldest drops off).
    void add(const QString& path);
    void remove(const QString& path);

Q_SIGNALS:
    void chosen(const QString& path);

private:
    void store(const QStringList& files);
    void rebuildMenu();

    SettingsStore& m_settings;
    QMenu& m_menu;
    QAction& m_bar;
    QList<QAction*> m_actions;
};
