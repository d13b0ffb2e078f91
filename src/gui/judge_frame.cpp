// SPDX-License-Identifier: MIT
#include "judge_frame.h"

#include <span>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

#include "gui/colour_button.h"
#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kLevelTops[] = {720, 1020, 1320, 1620, 1920};
constexpr int kLimitTops[] = {4140, 4500, 4860, 5220};

// The lists of the combo boxes; a mark list item may be a full-width blank, so marks are
// listed one by one.
constexpr char16_t kLevelItems[] = u"50 100 150 200 250 300 400 500 1000";
constexpr char16_t kLimitItems[]
    = u"100 200 300 400 500 600 700 800 900 1000 2000 3000 4000 5000 6000 7000 8000 9000 9999.9";
constexpr const char16_t* kMarkItems[]
    = {u"　", u"◎", u"○", u"▲", u"△", u"×", u"注", u"※", u"★", u"☆", u"！", u"？"};

QStringList items(std::span<const char16_t* const> texts)
{
    QStringList list;
    for (const char16_t* text : texts) {
        list << QString::fromUtf16(text);
    }
    return list;
}

QString indexed(const QString& name, int index)
{
    return name + u'_' + QString::number(index);
}

int blockIndex(BetType bet)
{
    return bet == BetType::Quinella ? 0 : 1;
}

} // namespace

JudgeFrame::JudgeFrame(BetType bet, const TwipsLayout& layout, QWidget* parent)
    : QGroupBox(bet == BetType::Quinella ? u"馬連自動判定"_s : u"ワイド自動判定"_s, parent)
    , m_bet(bet)
{
    setObjectName(indexed(u"Frame4"_s, blockIndex(bet)));
    layout.place(this, {bet == BetType::Quinella ? 4980 : 9780, 1080, 4635, 5655});
    buildLevels(layout);
    buildSigns(layout);
    buildLimits(layout);
}

void JudgeFrame::addLabel(const TwipsLayout& layout,
                          QWidget* parent,
                          const QString& name,
                          const QString& text,
                          int left,
                          int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(layout.px(left), layout.px(top));
    l->adjustSize();
}

QComboBox* JudgeFrame::addCombo(const TwipsLayout& layout,
                                const QString& name,
                                const QStringList& items,
                                const QRect& twips)
{
    auto* c = new QComboBox(this);
    c->setObjectName(name);
    c->setEditable(true);
    // Enter confirms the dialog; it never adds the typed text to the list. No inline
    // completion either: typing "10" must not become the list's "100".
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    c->addItems(items);
    layout.place(c, twips);
    return c;
}

void JudgeFrame::buildLevels(const TwipsLayout& layout)
{
    const QString end = betKeySuffix(m_bet);
    addLabel(layout,
             this,
             indexed(u"Label4"_s, blockIndex(m_bet)),
             u"理論値と実際値の乖離％の絶対値が"_s,
             180,
             360);
    const QStringList levelItems = QString::fromUtf16(kLevelItems).split(u' ');
    const QStringList markItems = items(kMarkItems);
    const QFont fixed = TwipsLayout::fixedPitchFont(9);
    for (int k = 0; k < kLevels; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const int top = kLevelTops[k];
        m_bandLow[i] = addCombo(
            layout, indexed(u"cmbDetectMin"_s + end, k), levelItems, {360, top, 735, 300});
        m_bandHigh[i] = addCombo(
            layout, indexed(u"cmbDetectMax"_s + end, k), levelItems, {1560, top, 735, 300});
        m_marks[i] = addCombo(
            layout, indexed(u"cmbDispChar"_s + end, k), markItems, {3000, top, 675, 300});
        for (QComboBox* c : {m_bandLow[i], m_bandHigh[i], m_marks[i]}) {
            c->setFont(fixed);
        }
        const int first = blockIndex(m_bet) * 15 + k * 3;
        addLabel(layout, this, indexed(u"Label5"_s, first), u"以上"_s, 1140, top + 60);
        addLabel(layout, this, indexed(u"Label5"_s, first + 1), u"未満を"_s, 2340, top + 60);
        addLabel(layout, this, indexed(u"Label5"_s, first + 2), u"で表示"_s, 3720, top + 60);
    }
}

void JudgeFrame::buildSigns(const TwipsLayout& layout)
{
    const bool quinella = m_bet == BetType::Quinella;
    const QString end = betKeySuffix(m_bet);
    auto* signFrame = new QGroupBox(u"表示値の符号"_s, this);
    signFrame->setObjectName(indexed(u"Frame5"_s, blockIndex(m_bet)));
    layout.place(signFrame, {240, 2340, 4275, 735});
    const char16_t* signs[] = {u"±値表示", u"＋値のみ表示", u"－値のみ表示"};
    const int signLefts[] = {120, 1260, 2760};
    const int signWidths[] = {1140, 1500, 1395};
    for (int k = 0; k < 3; ++k) {
        auto* option = new QRadioButton(QString::fromUtf16(signs[k]), signFrame);
        option->setObjectName(indexed(u"optDispSign"_s + end, k));
        layout.place(option, {signLefts[k], 300, signWidths[k], 300});
        m_markedSigns[static_cast<std::size_t>(k)] = option;
    }
    m_markedSigns[0]->setChecked(true);

    auto* colourFrame = new QGroupBox(u"表示色"_s, this);
    colourFrame->setObjectName(indexed(u"Frame6"_s, blockIndex(m_bet)));
    layout.place(colourFrame, {240, 3180, 4275, 795});
    addLabel(layout, colourFrame, indexed(u"Label1"_s, quinella ? 19 : 20), u"＋値"_s, 480, 360);
    addLabel(layout, colourFrame, indexed(u"Label1"_s, quinella ? 18 : 21), u"－値"_s, 2220, 360);
    const int colourLefts[] = {1080, 2820};
    for (std::size_t k = 0; k < m_signColours.size(); ++k) {
        m_signColours[k]
            = new ColourButton(indexed(u"btnDispColor"_s + end, static_cast<int>(k)), colourFrame);
        layout.place(m_signColours[k], {colourLefts[k], 300, 615, 375});
    }
}

void JudgeFrame::buildLimits(const TwipsLayout& layout)
{
    const bool quinella = m_bet == BetType::Quinella;
    const QString end = betKeySuffix(m_bet);
    // The quinella block spells its ratio captions with 指示, the wide block with 支持.
    const QString limitCaptions[] = {u"理論値"_s,
                                     u"実際値"_s,
                                     quinella ? u"単指示率"_s : u"単支持率"_s,
                                     quinella ? u"複指示率"_s : u"複支持率"_s};
    const QStringList limitItems = QString::fromUtf16(kLimitItems).split(u' ');
    for (int k = 0; k < kLimits; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const int top = kLimitTops[k];
        auto* check = new QCheckBox(limitCaptions[k], this);
        check->setObjectName(indexed(u"chkDispOption"_s + end, k));
        layout.place(check, {240, top, 1080, 300});
        m_limitOn[i] = check;
        m_limit[i] = addCombo(
            layout, indexed(u"cmbDispLimit"_s + end, k), limitItems, {1320, top, 915, 300});
        addLabel(layout,
                 this,
                 indexed(u"Label6"_s, blockIndex(m_bet) * kLimits + k),
                 k < 2 ? u"以上は判定から除外"_s : u"未満絡みは判定から除外"_s,
                 2340,
                 top + 60);
    }
}

void JudgeFrame::setJudge(const OptionsValues::Judge& judge)
{
    for (std::size_t i = 0; i < kLevels; ++i) {
        m_bandLow[i]->setEditText(judge.bandLow[i]);
        m_bandHigh[i]->setEditText(judge.bandHigh[i]);
        m_marks[i]->setEditText(judge.marks[i]);
    }
    // A sign outside the three choices leaves the buttons as they are.
    if (judge.markedSigns >= 0 && judge.markedSigns < static_cast<int>(m_markedSigns.size())) {
        m_markedSigns[static_cast<std::size_t>(judge.markedSigns)]->setChecked(true);
    }
    m_signColours[0]->setColour(judge.plusColour);
    m_signColours[1]->setColour(judge.minusColour);
    for (std::size_t i = 0; i < kLimits; ++i) {
        m_limitOn[i]->setChecked(judge.limitOn[i]);
        m_limit[i]->setEditText(judge.limit[i]);
    }
}

OptionsValues::Judge JudgeFrame::judge() const
{
    OptionsValues::Judge judge;
    for (std::size_t i = 0; i < kLevels; ++i) {
        judge.bandLow[i] = m_bandLow[i]->currentText();
        judge.bandHigh[i] = m_bandHigh[i]->currentText();
        judge.marks[i] = m_marks[i]->currentText();
    }
    judge.markedSigns = -1;
    for (std::size_t k = 0; k < m_markedSigns.size(); ++k) {
        if (m_markedSigns[k]->isChecked()) {
            judge.markedSigns = static_cast<int>(k);
        }
    }
    judge.plusColour = m_signColours[0]->colour();
    judge.minusColour = m_signColours[1]->colour();
    for (std::size_t i = 0; i < kLimits; ++i) {
        judge.limitOn[i] = m_limitOn[i]->isChecked();
        judge.limit[i] = m_limit[i]->currentText();
    }
    return judge;
}

QComboBox* JudgeFrame::box(OptionsValues::Field::Box box, int row) const
{
    const auto i = static_cast<std::size_t>(row);
    return box == OptionsValues::Field::DetectMin   ? m_bandLow[i]
           : box == OptionsValues::Field::DetectMax ? m_bandHigh[i]
                                                    : m_limit[i];
}
