// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>

#include "settings/stake_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class TwipsLayout;

/// The stakes' block of the options dialog (Frame8 賭け金): the bankroll, the Kelly fraction,
/// the model the stakes are made under and whether the window fits it itself (自動較正).
class StakeFrame final : public QGroupBox
{
    Q_OBJECT

public:
    StakeFrame(const TwipsLayout& layout, QWidget* parent);

    void setStake(const StakeSettings& settings);
    /// The bankroll and the fraction as typed.
    StakeSettings::Input input() const;
    /// The settings the controls give; the number fields only when they pass validate().
    StakeSettings stake() const;
    /// The field a check names (StakeSettings::InputFailure::field), for the focus.
    QLineEdit* field(int index) const;

private:
    QLineEdit* m_bankroll = nullptr;
    QLineEdit* m_kellyFraction = nullptr;
    QComboBox* m_model = nullptr;
    QCheckBox* m_autoCalibrate = nullptr;
};
