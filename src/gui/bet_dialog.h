// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include "archive/bet_ledger.h"

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

/// A bet of the ledger to record or correct (dlgBet): race, bet type and pair, stake, odds and a
/// note, with the model's chance and value of the moment shown as they were. Recording a pair of
/// the window keeps its race, bet type and pair; a correction may change them too.
class BetDialog final : public QDialog
{
    Q_OBJECT

public:
    enum class Purpose { Record, Correct };

    BetDialog(const LedgerBet& bet, Purpose purpose, QWidget* parent);

    /// The bet as edited.
    LedgerBet bet() const;
    void accept() override;

private:
    LedgerBet m_bet;
    QComboBox* m_betType = nullptr;
    QSpinBox* m_first = nullptr;
    QSpinBox* m_second = nullptr;
    QSpinBox* m_stake = nullptr;
    QDoubleSpinBox* m_odds = nullptr;
    double m_shownOdds = 0.0; ///< as the box first showed them, rounded to its decimal
    QLineEdit* m_note = nullptr;
};
