// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include <QDateTime>
#include <QString>

#include "analysis/horse_table.h"
#include "base/bet_type.h"
#include "base/cell.h"

class PairList;

/// How one odds value moved between the two latest snapshots.
struct OddsMove
{
    float previous = 0.0F;
    float current = 0.0F;
    QDateTime previousTime;

    /// Falling odds (money coming in) −1, rising +1.
    int direction() const { return current < previous ? -1 : 1; }
    /// "前回 12.3（14:05:10）".
    QString toolTip() const;
};

/// The odds of the race shown, one snapshot each time they changed while it was open. Values
/// are kept as shown (rounded to their decimals), so that a move is one the user can see.
struct ArchivedOdds;

class OddsHistory final
{
public:
    static constexpr int kHorseOddsKinds = 3;

    struct Snapshot
    {
        /// When the files holding these odds were written.
        QDateTime time;
        /// By HorseOdds, then horse number; NaN where no odds are shown.
        std::array<std::array<float, kMaxRunners + 1>, kHorseOddsKinds> horses{};
        /// The lists' actual odds by Cell::pairIndex(); NaN where none are shown.
        std::array<float, Cell::kPairIndexCount> quinella{};
        std::array<float, Cell::kPairIndexCount> wide{};
    };

    void clear()
    {
        m_snapshots.clear();
        m_horsesBefore = m_pairsBefore = -1;
    }
    /// Takes the odds the race shows now, unless they are those of the latest snapshot; true
    /// when a snapshot was added.
    bool add(const QDateTime& time,
             const HorseTable& table,
             const PairList& quinella,
             const PairList& wide);
    /// Takes a snapshot made elsewhere (an archived one), likewise.
    bool add(const Snapshot& snapshot);
    /// The odds of an archived snapshot as a race of `runners` shows them.
    static Snapshot snapshotOf(const ArchivedOdds& odds, int runners);
    const std::vector<Snapshot>& snapshots() const { return m_snapshots; }

    /// The move of a value since the snapshot before the latest one whose odds of that file
    /// differ: the horses' (Zo-) and the pairs' (Uo-) files are written apart, and a snapshot
    /// that changed only one keeps the other's moves. Empty when the value did not move or is
    /// missing in either.
    std::optional<OddsMove> pairMove(BetType bet, int pairIndex) const;
    std::optional<OddsMove> horseMove(HorseOdds odds, int horse) const;

    /// A value over every snapshot that shows it.
    using Series = std::vector<std::pair<QDateTime, float>>;
    Series pairSeries(BetType bet, int pairIndex) const;
    Series horseSeries(HorseOdds odds, int horse) const;

    /// The snapshot time as the tooltips and the CSV show it.
    static QString timeText(const QDateTime& time);

private:
    template<typename ValueOf>
    std::optional<OddsMove> move(ValueOf valueOf, int before) const;
    template<typename ValueOf>
    Series series(ValueOf valueOf) const;

    std::vector<Snapshot> m_snapshots;
    /// The snapshots the latest one's horse odds and pair odds moved from; -1 when none.
    int m_horsesBefore = -1;
    int m_pairsBefore = -1;
};
