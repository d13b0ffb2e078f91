// SPDX-License-Identifier: MIT
#include "stake_frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "gui/twips_layout.h"
#include "settings/model_settings.h"

using namespace Qt::StringLiterals;

StakeFrame::StakeFrame(const TwipsLayout& layout, QWidget* parent)
    : QGroupBox(u"賭け金"_s, parent)
{
    setObjectName(u"Frame8"_s);
    const auto label = [this, &layout](const QString& name, const QString& text, int left) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->move(layout.px(left), layout.px(360));
        l->adjustSize();
    };
    const auto field = [this, &layout](const QString& name, int left, int width) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        layout.place(edit, {left, 300, width, 300});
        return edit;
    };
    label(u"Label8_0"_s, u"資金（円）"_s, 240);
    m_bankroll = field(u"txtBankroll"_s, 1200, 1575);
    label(u"Label8_1"_s, u"ケリー係数"_s, 3000);
    m_kellyFraction = field(u"txtKellyFraction"_s, 4020, 735);
    label(u"Label8_2"_s, u"賭け金のモデル"_s, 5040);
    m_model = new QComboBox(this);
    m_model->setObjectName(u"cmbStakeModel"_s);
    m_model->addItem(u"市場合成（自動較正）"_s, static_cast<int>(StakeModel::Blend));
    m_model->addItem(u"割引Harville（自動較正）"_s, static_cast<int>(StakeModel::Discounted));
    m_model->addItem(u"Harville（賭け金なし）"_s, static_cast<int>(StakeModel::Harville));
    layout.place(m_model, {6480, 300, 2895, 300});
    m_autoCalibrate = new QCheckBox(u"自動較正"_s, this);
    m_autoCalibrate->setObjectName(u"chkAutoCalibrate"_s);
    layout.place(m_autoCalibrate, {9600, 300, 1335, 300});
}

void StakeFrame::setStake(const StakeSettings& settings)
{
    m_bankroll->setText(QString::number(settings.bankroll));
    m_kellyFraction->setText(ModelSettings::fieldText(settings.kellyFraction));
    m_model->setCurrentIndex(m_model->findData(static_cast<int>(settings.model)));
    m_autoCalibrate->setChecked(settings.autoCalibrate);
}

StakeSettings::Input StakeFrame::input() const
{
    return {m_bankroll->text(), m_kellyFraction->text()};
}

StakeSettings StakeFrame::stake() const
{
    StakeSettings settings;
    StakeSettings::applyInput(input(), settings);
    settings.model = static_cast<StakeModel>(m_model->currentData().toInt());
    settings.autoCalibrate = m_autoCalibrate->isChecked();
    return settings;
}

QLineEdit* StakeFrame::field(int index) const
{
    return index == 0 ? m_bankroll : m_kellyFraction;
}
