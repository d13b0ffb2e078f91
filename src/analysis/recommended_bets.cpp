// SPDX-License-Identifier: MIT
#include "recommended_bets.h"

#include <cmath>
#include <limits>

#include "analysis/horse_table.h"
#include "analysis/pair_grid_model.h"
#include "pat/race_result.h"

using namespace Qt::StringLiterals;

namespace {

// A value rounded ties-to-even into 16 bits, as the window bounds are held; empty beyond them.
std::optional<int> toInteger16(float value)
{
    const float rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<qint16>::min()
          && rounded <= std::numeric_limits<qint16>::max())) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

} // namespace

QStringList listRecommendedBets(const HorseTable& table, const PairGridModel& quinella)
{
    QStringList bets;
    const int favourite = table.findWinPopularityRow(1);
    if (favourite != 0) {
        const float centre = (table.getWinOddsValue(favourite) - 1.0F) * 10.0F;
        const auto lo = toInteger16(centre - 5.0F);
        const auto hi = toInteger16(centre + 5.0F);
        // A window beyond 16 bits (every horse scratched) lies above all odds: nothing qualifies.
        if (lo && hi) {
            for (const auto& row : quinella.rows()) {
                const auto deviation = row[DeviationColumn].value.shownNumber();
                const auto actual = row[ActualColumn].value.shownNumber();
                if (!deviation || *deviation < 0.0 || !actual) {
                    continue;
                }
                const auto odds = static_cast<float>(*actual);
                if (static_cast<float>(*lo) <= odds && odds < static_cast<float>(*hi)) {
                    bets << row[LabelColumn].text();
                }
            }
        }
    }
    if (bets.isEmpty()) {
        bets << u"該当無し"_s << u"見送りレース"_s;
    }
    return bets;
}

void markResultHit(const QString& label,
                   bool first,
                   PairGridModel& quinella,
                   PairGridModel& wide,
                   QStringList& bets)
{
    // Views, not copies: this runs for every wide payout over every row of both lists.
    const QStringView wanted = QStringView(label).trimmed();
    if (wanted.isEmpty()) {
        return;
    }
    const QColor colour = first ? QColor(255, 0, 0) : QColor(0, 255, 0);
    for (PairGridModel* grid : {&quinella, &wide}) {
        for (int r = 0; r < grid->rowCount(); ++r) {
            if (grid->cell(r, LabelColumn).value.textValue().trimmed() == wanted) {
                grid->setBackground(r, LabelColumn, colour);
            }
        }
    }
    for (QString& entry : bets) {
        if (QStringView(entry).trimmed() == wanted) {
            entry += first ? u"◎"_s : u"○"_s;
        }
    }
}

void markResultHits(const RaceResultRecord& result,
                    PairGridModel& quinella,
                    PairGridModel& wide,
                    QStringList& bets)
{
    for (std::size_t j = 0; j < result.widePayouts.size(); ++j) {
        markResultHit(result.widePayouts[j].betKey.toString(), j == 0, quinella, wide, bets);
    }
}
