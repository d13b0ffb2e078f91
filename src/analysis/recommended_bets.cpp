// SPDX-License-Identifier: MIT
#include "recommended_bets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "analysis/horse_table.h"
#include "analysis/pair_list.h"
#include "base/texts.h"
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
    if (deviation && *deviation < 0) {
        return false; // shown below zero ("-0.0" is zero)
    }
    const auto actual = actualCell.shownUnits();
    // Shown odds below 2^20 in tenths: the single of u/10 is at least an integer n exactly when
    // u ≥ 10·n, as singles there lie closer together than a tenth.
    constexpr qint64 kTenthsInRange = qint64{10} << 20;
    if (deviation && actual && *actual >= 0 && *actual < kTenthsInRange
        && actualCell.form() == CellForm::Fixed1) {
        return *actual >= qint64{10} * lo && *actual < qint64{10} * hi;
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

QStringList listRecommendedBets(const HorseTable& table, const PairList& quinella)
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
        bets << Texts::noBets() << Texts::skipRace();
    }
    return bets;
}

namespace {

// One payout key to mark: the pair it names and its colour.
struct HitKey
{
    QString text;
    QStringView wanted; // trimmed, into text
    Cell target;        // the pair label the key names, if any
    bool first = false;
};

// Adds the key of a payout unless it is blank. Its view points into the copy the list keeps.
void addHitKey(std::vector<HitKey>& keys, const QString& label, bool first)
{
    if (QStringView(label).trimmed().isEmpty()) {
        return;
    }
    HitKey& key = keys.emplace_back(HitKey{label, {}, {}, first});
    key.wanted = QStringView(key.text).trimmed();
    // The key names a pair label, or is compared as a text with the labels that are texts.
    const int pair = Cell::pairOfLabel(key.wanted);
    if (pair != 0) {
        key.target = Cell::pairLabel(pair / 100, pair % 100);
    }
}

// Marks the keys in order: a label cell takes the colour of the last key it matches, and a
// recommended bet gets a sign for every key it still matches once the earlier ones are added.
void markHits(const std::vector<HitKey>& keys,
              PairList& quinella,
              PairList& wide,
              QStringList& bets)
{
    if (keys.empty()) {
        return;
    }
    // One pass over each list for all keys: a race has up to eleven wide payouts. The last key
    // naming each pair label is looked up by the label's place; other labels are texts.
    std::array<const HitKey*, Cell::kPairIndexCount> lastKeyOfPair{};
    for (const HitKey& key : keys) {
        if (key.target.form() == CellForm::PairLabel) {
            lastKeyOfPair[static_cast<std::size_t>(key.target.pairIndex())] = &key;
        }
    }
    for (PairList* list : {&quinella, &wide}) {
        const auto& rows = list->rows();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Cell& label = rows[r][LabelColumn];
            const HitKey* last = nullptr;
            if (label.form() == CellForm::PairLabel) {
                last = lastKeyOfPair[static_cast<std::size_t>(label.pairIndex())];
            } else {
                for (const HitKey& key : keys) {
                    if (label.textValue().trimmed() == key.wanted) {
                        last = &key;
                    }
                }
            }
            if (last != nullptr) {
                list->setLabelBackground(static_cast<int>(r),
                                         last->first ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
            }
        }
    }
    for (const HitKey& key : keys) {
        for (QString& entry : bets) {
            if (QStringView(entry).trimmed() == key.wanted) {
                entry += key.first ? u"◎"_s : u"○"_s;
            }
        }
    }
}

} // namespace

void markResultHit(
    const QString& label, bool first, PairList& quinella, PairList& wide, QStringList& bets)
{
    std::vector<HitKey> keys;
    addHitKey(keys, label, first);
    markHits(keys, quinella, wide, bets);
}

void markResultHits(const RaceResultRecord& result,
                    PairList& quinella,
                    PairList& wide,
                    QStringList& bets)
{
    std::vector<HitKey> keys;
    keys.reserve(result.widePayouts.size());
    for (std::size_t j = 0; j < result.widePayouts.size(); ++j) {
        const PayoutSlot<6>& slot = result.widePayouts[j];
        if (!slot.betKey.trimmed().isEmpty()) { // no text made for a blank slot
            addHitKey(keys, slot.betKey.toString(), j == 0);
        }
    }
    markHits(keys, quinella, wide, bets);
}
