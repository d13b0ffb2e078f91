// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "pat/pat_field.h"
#include "pat/pat_file.h"

/// One of the first seven finishers of a Ks- file.
struct FinisherSlot
{
    PatText<2> finishCol1;
    PatText<2> finishCol2;
    PatText<18> horseName;
    PatText<6> finishCol3;
    PatText<12> finishCol4;

    bool operator==(const FinisherSlot&) const = default;
};

/// A payout: the key of the bet (horse number, bracket pair or horse pair), then the amount.
template<int KeyWidth>
struct PayoutSlot
{
    PatText<KeyWidth> betKey;
    PatText<8> payout;

    bool operator==(const PayoutSlot&) const = default;
};

/// A Ks- file: 687 bytes, no counts; unused slots are present all the same.
struct RaceResultRecord
{
    PatText<8> field0;
    PatText<4> field8;
    PatText<4> field12;
    PatText<2> field16;
    PatText<2> field18;
    PatText<2> field20;
    PatText<1> field22;
    PatText<10> field23;
    PatText<1> field33;
    PatText<28> field34;
    PatText<28> field62;
    std::array<FinisherSlot, 7> finishers;
    PatText<5> field370;
    std::array<PayoutSlot<2>, 3> winPayouts;
    std::array<PayoutSlot<2>, 5> placePayouts;
    std::array<PayoutSlot<4>, 3> bracketQuinellaPayouts;
    std::array<PayoutSlot<6>, 3> quinellaPayouts;
    std::array<PayoutSlot<6>, 11> widePayouts;

    bool operator==(const RaceResultRecord&) const = default;
};

inline constexpr qsizetype kRaceResultFileSize = 687;

/// Parses a Ks- file held in memory; true when all 687 bytes were there.
bool readRaceResult(QByteArrayView bytes, RaceResultRecord& record);

/// Reads the Ks- file at `path` (see readRaceResult); bytes after the 687th are never read.
bool readRaceResultFile(const QString& path,
                        RaceResultRecord& record,
                        PatFileCheck check = PatFileCheck::Type);

/// The finishing order as the slots give it, (place, horse number) slot by slot until one does
/// not hold two whole numbers. Places repeat where horses dead-heated.
std::vector<std::pair<int, int>> finishingOrderOf(const RaceResultRecord& record);

/// The horse numbers of the first three slots; empty when fewer than three read.
std::optional<std::array<int, 3>> firstThreeOf(const RaceResultRecord& record);
