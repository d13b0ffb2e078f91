// SPDX-License-Identifier: MIT
#include "backtest_choices_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "base/message_sink.h"
#include "gui/twips_layout.h"
#include "settings/model_settings.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kFieldWidth = 1200;

} // namespace

BacktestChoicesBox::BacktestChoicesBox(SettingsStore& settings,
                                       const QString& section,
                                       const TwipsLayout& layout,
                                       QWidget* parent)
    : QGroupBox(u"成績の条件"_s, parent)
    , m_settings(settings)
    , m_section(section)
{
    setObjectName(u"fraRunChoice"_s);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(layout.px(90));
    const auto label = [&](const QString& text, QWidget* field, int row, int column) {
        auto* l = new QLabel(text, this);
        l->setBuddy(field);
        grid->addWidget(l, row, column);
        grid->addWidget(field, row, column + 1);
    };
    m_resample = new QComboBox(this);
    m_resample->setObjectName(u"cmbResample"_s);
    // In the order of ResampleUnit.
    m_resample->addItems({u"開催日ごと"_s, u"レースごと"_s});
    m_resample->setToolTip(u"区間とSPA検定の再標本化の単位"_s);
    m_stake = new QComboBox(this);
    m_stake->setObjectName(u"cmbStake"_s);
    // In the order of StakeRule.
    m_stake->addItems({u"均等"_s, u"ケリー"_s});
    m_stake->setToolTip(u"資金タブの賭け方: 均等は全組番に100円"_s);
    m_fraction = new QLineEdit(this);
    m_fraction->setObjectName(u"txtKellyFraction"_s);
    m_fraction->setToolTip(u"ケリー基準の賭け金に掛ける係数 (0より大きく1以下)"_s);
    m_bankroll = new QLineEdit(this);
    m_bankroll->setObjectName(u"txtBankroll"_s);
    m_bankroll->setToolTip(u"馬連・ワイドそれぞれの最初の資金 (100円以上)"_s);
    for (QLineEdit* edit : {m_fraction, m_bankroll}) {
        edit->setAlignment(Qt::AlignRight);
        edit->setMinimumWidth(layout.px(kFieldWidth));
    }
    label(u"再標本化"_s, m_resample, 0, 0);
    label(u"賭け方"_s, m_stake, 0, 2);
    label(u"ケリー係数"_s, m_fraction, 1, 0);
    label(u"初期資金"_s, m_bankroll, 1, 2);
    grid->addWidget(new QLabel(u"円"_s, this), 1, 4);

    const BacktestChoices stored = BacktestChoices::read(settings, section);
    m_resample->setCurrentIndex(stored.resample == ResampleUnit::Race ? 1 : 0);
    m_stake->setCurrentIndex(stored.stake == StakeRule::Kelly ? 1 : 0);
    m_fraction->setText(ModelSettings::fieldText(stored.kellyFraction));
    m_bankroll->setText(BacktestChoices::bankrollText(stored.bankroll));
    enableFraction();
    for (QComboBox* box : {m_resample, m_stake}) {
        connect(box, &QComboBox::currentIndexChanged, this, &BacktestChoicesBox::remember);
    }
    connect(m_stake, &QComboBox::currentIndexChanged, this, &BacktestChoicesBox::enableFraction);
    for (QLineEdit* edit : {m_fraction, m_bankroll}) {
        connect(edit, &QLineEdit::textChanged, this, &BacktestChoicesBox::remember);
    }
}

BacktestChoices::Input BacktestChoicesBox::input() const
{
    return {m_resample->currentIndex() == 1 ? ResampleUnit::Race : ResampleUnit::Day,
            m_stake->currentIndex() == 1 ? StakeRule::Kelly : StakeRule::Flat,
            m_fraction->text(),
            m_bankroll->text()};
}

std::optional<BacktestChoices> BacktestChoicesBox::checkedChoices(MessageSink& sink)
{
    const BacktestChoices::Input typed = input();
    if (const auto failure = BacktestChoices::validate(typed)) {
        sink.message(failure->message, {}, MessageIcon::Warning);
        QLineEdit* edit = failure->field == BacktestChoices::InputFailure::KellyFraction
                              ? m_fraction
                              : m_bankroll;
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        return std::nullopt;
    }
    return BacktestChoices::fromInput(typed, BacktestChoices::read(m_settings, m_section));
}

void BacktestChoicesBox::setEditable(bool editable)
{
    m_editable = editable;
    for (QWidget* w : std::initializer_list<QWidget*>{m_resample, m_stake, m_bankroll}) {
        w->setEnabled(editable);
    }
    enableFraction();
}

void BacktestChoicesBox::remember()
{
    // A field that does not pass is not kept: it shows what was typed until the user corrects
    // it, and a new window starts from the last value that passed.
    BacktestChoices::fromInput(input(), BacktestChoices::read(m_settings, m_section))
        .write(m_settings, m_section);
}

void BacktestChoicesBox::enableFraction()
{
    m_fraction->setEnabled(m_editable && m_stake->currentIndex() == 1);
}
