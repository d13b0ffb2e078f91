// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include <QGroupBox>

#include "settings/options_values.h"

class QCheckBox;
class QComboBox;
class QRadioButton;
class ColourButton;
class TwipsLayout;

/// One judgement block of the options dialog (Frame4_0 馬連, Frame4_1 ワイド): the five
/// deviation bands with their marks, the sign shown, its two colours and the four limits. Its
/// controls carry the historic names with the bet type's key suffix (cmbDetectMinUma_0).
class JudgeFrame final : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr int kLevels = OptionsValues::kLevels;
    static constexpr int kLimits = OptionsValues::kLimits;

    JudgeFrame(BetType bet, const TwipsLayout& layout, QWidget* parent);

    void setJudge(const OptionsValues::Judge& judge);
    OptionsValues::Judge judge() const;
    /// The box a check names, for the focus.
    QComboBox* box(OptionsValues::Field::Box box, int row) const;

private:
    void buildLevels(const TwipsLayout& layout);
    void buildSigns(const TwipsLayout& layout);
    void buildLimits(const TwipsLayout& layout);
    QComboBox* addCombo(const TwipsLayout& layout,
                        const QString& name,
                        const QStringList& items,
                        const QRect& twips);
    void addLabel(const TwipsLayout& layout,
                  QWidget* parent,
                  const QString& name,
                  const QString& text,
                  int left,
                  int top);

    BetType m_bet;
    std::array<QComboBox*, kLevels> m_bandLow{};
    std::array<QComboBox*, kLevels> m_bandHigh{};
    std::array<QComboBox*, kLevels> m_marks{};
    std::array<QRadioButton*, 3> m_markedSigns{};
    std::array<ColourButton*, 2> m_signColours{}; // plus, minus
    std::array<QCheckBox*, kLimits> m_limitOn{};
    std::array<QComboBox*, kLimits> m_limit{};
};
