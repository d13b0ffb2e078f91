// SPDX-License-Identifier: MIT
#include "bet_dialog.h"

#include <algorithm>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include "base/runners.h"
#include "race/ledger_report.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kStakeStep = 100;
// Far above any stake a bettor places, well inside an int.
constexpr int kLargestStake = 1'000'000'000;

QSpinBox* horseBox(int number, const QString& name, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(1, kMaxRunners);
    box->setValue(qBound(1, number, kMaxRunners));
    return box;
}

} // namespace

BetDialog::BetDialog(const LedgerBet& bet, Purpose purpose, QWidget* parent)
    : QDialog(parent)
    , m_bet(bet)
{
    setObjectName(u"dlgBet"_s);
    setWindowTitle(purpose == Purpose::Record ? u"購入を記録"_s : u"購入の修正"_s);
    const bool correcting = purpose == Purpose::Correct;
    auto* form = new QFormLayout(this);

    auto* race = new QLineEdit(bet.race, this);
    race->setObjectName(u"txtRace"_s);
    race->setReadOnly(true);
    form->addRow(u"レース"_s, race);

    m_betType = new QComboBox(this);
    m_betType->setObjectName(u"cboBetType"_s);
    for (const BetType type : kBetTypes) {
        m_betType->addItem(betName(type), static_cast<int>(type));
    }
    m_betType->setCurrentIndex(static_cast<int>(betIndex(bet.bet)));
    m_betType->setEnabled(correcting);
    form->addRow(u"券種"_s, m_betType);

    auto* pair = new QHBoxLayout;
    m_first = horseBox(bet.first, u"spnFirst"_s, this);
    m_second = horseBox(bet.second, u"spnSecond"_s, this);
    m_first->setEnabled(correcting);
    m_second->setEnabled(correcting);
    pair->addWidget(m_first);
    pair->addWidget(new QLabel(u"-"_s, this));
    pair->addWidget(m_second);
    pair->addStretch();
    form->addRow(u"組番"_s, pair);

    m_stake = new QSpinBox(this);
    m_stake->setObjectName(u"spnStake"_s);
    m_stake->setRange(kStakeStep, kLargestStake);
    m_stake->setSingleStep(kStakeStep);
    m_stake->setSuffix(u" 円"_s);
    m_stake->setGroupSeparatorShown(true);
    m_stake->setValue(static_cast<int>(std::clamp<qint64>(bet.stake, kStakeStep, kLargestStake)));
    form->addRow(u"金額"_s, m_stake);

    m_odds = new QDoubleSpinBox(this);
    m_odds->setObjectName(u"spnOdds"_s);
    m_odds->setDecimals(1);
    m_odds->setRange(0.0, 99999.9);
    m_odds->setSpecialValueText(u"不明"_s);
    m_odds->setValue(bet.odds);
    m_shownOdds = m_odds->value();
    form->addRow(u"オッズ"_s, m_odds);

    m_note = new QLineEdit(bet.note, this);
    m_note->setObjectName(u"txtNote"_s);
    form->addRow(u"メモ"_s, m_note);

    // What the model said when the bet was placed; a record of that moment, not to be edited.
    if (!bet.model.isEmpty()) {
        auto* model = new QLabel(
            u"%1　確率 %2%　期待値 %3"_s.arg(ledgerModelName(bet.model),
                                             QString::number(bet.chance * 100.0, 'f', 2),
                                             QString::number(bet.ev, 'f', 3)),
            this);
        model->setObjectName(u"lblBetModel"_s);
        form->addRow(u"モデル"_s, model);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(correcting ? u"修正"_s : u"記録"_s);
    buttons->button(QDialogButtonBox::Cancel)->setText(u"キャンセル"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

LedgerBet BetDialog::bet() const
{
    LedgerBet b = m_bet;
    b.bet = static_cast<BetType>(m_betType->currentData().toInt());
    b.first = qMin(m_first->value(), m_second->value());
    b.second = qMax(m_first->value(), m_second->value());
    b.stake = m_stake->value();
    // The box keeps one decimal: odds left as shown stay exactly as they were taken.
    if (m_odds->value() != m_shownOdds) {
        b.odds = m_odds->value();
    }
    b.note = m_note->text();
    // Another ticket: the odds and the model's figures taken were the old one's.
    if (b.bet != m_bet.bet || b.first != m_bet.first || b.second != m_bet.second) {
        b.model.clear();
        b.chance = 0.0;
        b.ev = 0.0;
        if (m_odds->value() == m_shownOdds) {
            b.odds = 0.0;
        }
    }
    return b;
}

void BetDialog::accept()
{
    // Checked here, so that what was typed is not lost to a refusal after the dialog closed.
    QString why;
    if (m_first->value() == m_second->value()) {
        why = u"組番には異なる二頭を選んでください"_s;
    } else if (m_stake->value() % kStakeStep != 0) {
        why = u"金額は100円単位にしてください"_s;
    }
    if (!why.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), why);
        return;
    }
    QDialog::accept();
}
