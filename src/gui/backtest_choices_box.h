// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QGroupBox>

#include "race/backtest_choices.h"

class QComboBox;
class QLineEdit;
class MessageSink;
class SettingsStore;
class TwipsLayout;

/// How the backtest resamples and stakes (fraRunChoice): 再標本化 (cmbResample), 賭け方
/// (cmbStake), ケリー係数 (txtKellyFraction, used by Kelly staking only) and 初期資金
/// (txtBankroll). Every change that passes the checks is remembered in the window's section.
class BacktestChoicesBox final : public QGroupBox
{
    Q_OBJECT

public:
    BacktestChoicesBox(SettingsStore& settings,
                       const QString& section,
                       const TwipsLayout& layout,
                       QWidget* parent);

    BacktestChoices::Input input() const;
    /// The choices as typed; on a failed check `sink` is told, the field gets the focus and the
    /// result is empty.
    std::optional<BacktestChoices> checkedChoices(MessageSink& sink);
    /// While a run lasts the choices stay as the run found them.
    void setEditable(bool editable);

private:
    void remember();
    void enableFraction();

    SettingsStore& m_settings;
    QString m_section;
    bool m_editable = true;
    QComboBox* m_resample = nullptr;
    QComboBox* m_stake = nullptr;
    QLineEdit* m_fraction = nullptr;
    QLineEdit* m_bankroll = nullptr;
};
