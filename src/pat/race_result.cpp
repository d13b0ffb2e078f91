// SPDX-License-Identifier: MIT
#include "race_result.h"

#include "base/number_text.h"
#include "pat/pat_file.h"

namespace {

template<int KeyWidth, std::size_t Count>
bool readPayouts(PatByteReader& in, std::array<PayoutSlot<KeyWidth>, Count>& entries)
{
    for (auto& slot : entries) {
        if (!readPatFields(in, slot.betKey, slot.payout)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool readRaceResult(QByteArrayView bytes, RaceResultRecord& r)
{
    PatByteReader in(bytes);
    if (!readPatFields(in,
                       r.field0,
                       r.field8,
                       r.field12,
                       r.field16,
                       r.field18,
                       r.field20,
                       r.field22,
                       r.field23,
                       r.field33,
                       r.field34,
                       r.field62)) {
        return false;
    }
    for (auto& f : r.finishers) {
        if (!readPatFields(
                in, f.finishCol1, f.finishCol2, f.horseName, f.finishCol3, f.finishCol4)) {
            return false;
        }
    }
    return readPatField(in, r.field370) && readPayouts(in, r.winPayouts)
           && readPayouts(in, r.placePayouts) && readPayouts(in, r.bracketQuinellaPayouts)
           && readPayouts(in, r.quinellaPayouts) && readPayouts(in, r.widePayouts);
}

bool readRaceResultFile(const QString& path, RaceResultRecord& record, PatFileCheck check)
{
    PatFileBuffer buffer;
    return loadPatFile(path, buffer, kRaceResultFileSize, check)
           && readRaceResult(buffer.view(), record);
}

std::vector<std::pair<int, int>> finishingOrderOf(const RaceResultRecord& record)
{
    std::vector<std::pair<int, int>> order;
    for (const FinisherSlot& slot : record.finishers) {
        const auto place = wholeNumberOf(slot.finishCol1.view());
        const auto horse = wholeNumberOf(slot.finishCol2.view());
        if (!place || !horse) {
            break;
        }
        order.emplace_back(*place, *horse);
    }
    return order;
}

std::optional<std::array<int, 3>> firstThreeOf(const RaceResultRecord& record)
{
    const auto order = finishingOrderOf(record);
    if (order.size() < 3) {
        return std::nullopt;
    }
    return std::array<int, 3>{order[0].second, order[1].second, order[2].second};
}
