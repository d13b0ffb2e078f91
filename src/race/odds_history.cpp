// SPDX-License-Identifier: MIT
#include "odds_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/pair_judgement.h"
#include "analysis/pair_list.h"
#include "archive/odds_archive.h"
#include "base/number_text.h"
#include "base/texts.h"

using namespace Qt::StringLiterals;

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

float shownOdds(const std::optional<double>& value)
{
    return value ? static_cast<float>(*value) : kNone;
}

void takePairs(std::array<float, Cell::kPairIndexCount>& out, const PairList& list)
{
    out.fill(kNone);
    for (const PairRow& row : list.rows()) {
        const int pair = row[LabelColumn].pairIndex();
        if (pair >= 0 && !row[ActualColumn].showsNothing()) {
            out[static_cast<std::size_t>(pair)] = shownOdds(row[ActualColumn].shownNumber());
        }
    }
}

// Equal values, or none on both sides.
template<std::size_t N>
bool sameOdds(const std::array<float, N>& a, const std::array<float, N>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), [](float x, float y) {
        return x == y || (std::isnan(x) && std::isnan(y));
    });
}

} // namespace

QString OddsMove::toolTip() const
{
    return u"前回 "_s + QString::number(static_cast<double>(previous), 'f', 1) + u"（"_s
           + OddsHistory::timeText(previousTime) + u"）"_s;
}

QString OddsHistory::timeText(const QDateTime& time)
{
    return time.toString(u"yyyy/MM/dd HH:mm:ss"_s);
}

bool OddsHistory::add(const QDateTime& time,
                      const HorseTable& table,
                      const PairList& quinella,
                      const PairList& wide)
{
    Snapshot s;
    s.time = time;
    for (auto& kind : s.horses) {
        kind.fill(kNone);
    }
    // Every odds cell of block A shows one horse's odds as the file holds them.
    constexpr HorseColumn kColumns[]
        = {HorseColumn::WinOdds, HorseColumn::PlaceOddsMin, HorseColumn::PlaceOddsMax};
    for (const HorseColumn column : kColumns) {
        for (int row = 1; row <= table.getHorseCount() && row <= kMaxRunners; ++row) {
            if (const auto source = table.oddsShownAt(column, row)) {
                s.horses[static_cast<std::size_t>(source->first)]
                        [static_cast<std::size_t>(source->second)]
                    = shownOdds(leadingNumber(table.fileText(column, row)));
            }
        }
    }
    takePairs(s.quinella, quinella);
    takePairs(s.wide, wide);
    return add(s);
}

OddsHistory::Snapshot OddsHistory::snapshotOf(const ArchivedOdds& odds, int runners)
{
    // As the horse table and the pair lists show the files' texts.
    Snapshot s;
    s.time = odds.fetched;
    for (auto& kind : s.horses) {
        kind.fill(kNone);
    }
    s.quinella.fill(kNone);
    s.wide.fill(kNone);
    const int n = std::min(runners, kMaxRunners);
    for (int h = 1; h <= n; ++h) {
        const WinPlaceHorseEntry& horse = odds.win.horse(h);
        const auto i = static_cast<std::size_t>(h);
        const bool scratched = horse.winOdds.trimmed() == Texts::scratched();
        s.horses[0][i] = shownOdds(leadingNumber(horse.winOdds.trimmed()));
        if (!scratched) {
            s.horses[1][i] = shownOdds(leadingNumber(horse.placeOddsMin.trimmed()));
            s.horses[2][i] = shownOdds(leadingNumber(horse.placeOddsMax.trimmed()));
        }
    }
    for (int a = 1; a < n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
            const auto pair = static_cast<std::size_t>(Cell::pairLabel(a, b).pairIndex());
            for (const BetType bet : kBetTypes) {
                const float actual = pairActualOdds(odds.pairs->pair(a, b), bet);
                if (!std::isnan(actual)) {
                    (bet == BetType::Quinella ? s.quinella : s.wide)[pair]
                        = shownOdds(Cell::number(actual, CellForm::Fixed1).shownNumber());
                }
            }
        }
    }
    return s;
}

bool OddsHistory::add(const Snapshot& s)
{
    // The same odds written again are no new snapshot.
    if (!m_snapshots.empty()) {
        const Snapshot& last = m_snapshots.back();
        const bool sameHorses = std::equal(
            last.horses.begin(), last.horses.end(), s.horses.begin(), sameOdds<kMaxRunners + 1>);
        const bool samePairs = sameOdds(last.quinella, s.quinella) && sameOdds(last.wide, s.wide);
        if (sameHorses && samePairs) {
            return false;
        }
        const int latest = static_cast<int>(m_snapshots.size()) - 1;
        if (!sameHorses) {
            m_horsesBefore = latest;
        }
        if (!samePairs) {
            m_pairsBefore = latest;
        }
    }
    m_snapshots.push_back(s);
    return true;
}

template<typename ValueOf>
std::optional<OddsMove> OddsHistory::move(ValueOf valueOf, int before) const
{
    if (before < 0) {
        return std::nullopt;
    }
    const Snapshot& earlier = m_snapshots[static_cast<std::size_t>(before)];
    const float previous = valueOf(earlier);
    const float current = valueOf(m_snapshots.back());
    if (std::isnan(previous) || std::isnan(current) || previous == current) {
        return std::nullopt;
    }
    return OddsMove{previous, current, earlier.time};
}

template<typename ValueOf>
OddsHistory::Series OddsHistory::series(ValueOf valueOf) const
{
    Series out;
    for (const Snapshot& s : m_snapshots) {
        const float value = valueOf(s);
        if (!std::isnan(value)) {
            out.emplace_back(s.time, value);
        }
    }
    return out;
}

namespace {

auto pairValue(BetType bet, int pairIndex)
{
    return [bet, pairIndex](const OddsHistory::Snapshot& s) {
        if (pairIndex < 0 || pairIndex >= Cell::kPairIndexCount) {
            return kNone;
        }
        const auto& values = bet == BetType::Quinella ? s.quinella : s.wide;
        return values[static_cast<std::size_t>(pairIndex)];
    };
}

auto horseValue(HorseOdds odds, int horse)
{
    return [odds, horse](const OddsHistory::Snapshot& s) {
        if (horse < 1 || horse > kMaxRunners) {
            return kNone;
        }
        return s.horses[static_cast<std::size_t>(odds)][static_cast<std::size_t>(horse)];
    };
}

} // namespace

std::optional<OddsMove> OddsHistory::pairMove(BetType bet, int pairIndex) const
{
    return move(pairValue(bet, pairIndex), m_pairsBefore);
}

std::optional<OddsMove> OddsHistory::horseMove(HorseOdds odds, int horse) const
{
    return move(horseValue(odds, horse), m_horsesBefore);
}

OddsHistory::Series OddsHistory::pairSeries(BetType bet, int pairIndex) const
{
    return series(pairValue(bet, pairIndex));
}

OddsHistory::Series OddsHistory::horseSeries(HorseOdds odds, int horse) const
{
    return series(horseValue(odds, horse));
}
