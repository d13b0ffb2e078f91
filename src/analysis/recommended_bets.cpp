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

// Whether a pair's shown deviation is 0 or more (also "-0.0") and its shown actual odds, read as a
// single, lie in [lo, hi).
bool inWindow(const Cell& deviationCell, const Cell& actualCell, int lo, int hi)
{
    const auto deviation = deviationCell.shownUnits();
    const auto actual = actualCell.shownUnits();
    // Shown odds below 2^20 in tenths: the single of u/10 is at least an integer n exactly when
    // u ≥ 10·n, as singles there lie closer together than a tenth.
    constexpr qint64 kTenthsInRange = qint64{10} << 20;
    if (deviation && actual && *actual >= 0 && *actual < kTenthsInRange
        && actualCell.form() == CellForm::Fixed1) {
        return *deviation >= 0 && *actual >= qint64{10} * lo && *actual < qint64{10} * hi;
    }
    const auto deviationValue = deviationCell.shownNumber();
    const auto actualValue = actualCell.shownNumber();
    if (!deviationValue || *deviationValue < 0.0 || !actualValue) {
        return false;
    }
    const auto odds = static_cast<float>(*actualValue);
    return static_cast<float>(lo) <= odds && odds < static_cast<float>(hi);
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
                if (inWindow(row[DeviationColumn], row[ActualColumn], *lo, *hi)) {
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
    // The key names a pair label, or is compared as a text with the labels that are texts.
    const int pair = Cell::pairOfLabel(wanted);
    const Cell target = pair != 0 ? Cell::pairLabel(pair / 100, pair % 100) : Cell();
    const auto matches = [&wanted, &target](const Cell& cell) {
        if (cell.form() == CellForm::PairLabel) {
            return cell.sharesText(target);
        }
        return cell.textValue().trimmed() == wanted;
    };
    for (PairGridModel* grid : {&quinella, &wide}) {
        const auto& rows = grid->rows();
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            if (matches(rows[static_cast<std::size_t>(r)][LabelColumn])) {
                grid->setLabelBackground(r, colour);
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
