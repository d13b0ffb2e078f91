// SPDX-License-Identifier: MIT
#pragma once

#include "pat/pat_field.h"
#include "pat/pat_file.h"

/// One runner of a De- file; entry k belongs to horse number k.
struct RaceCardHorseEntry
{
    PatText<1> field0;
    PatText<1> field1;
    PatText<2> field2;
    PatText<1> field4;
    PatText<1> field5;
    PatText<18> horseName;
    PatText<18> field24;
    PatText<2> field42;
    PatText<4> field44;

    bool operator==(const RaceCardHorseEntry&) const = default;
};

/// A De- file: its own 92-byte header (start time, runner count) and the horse names.
struct RaceCardRecord
{
    PatText<8> field0;
    PatText<4> field8;
    PatText<4> field12;
    PatText<2> field16;
    PatText<2> field18;
    PatText<2> field20;
    PatText<4> startTime; ///< hours then minutes, "0945"
    PatText<8> field26;
    PatText<28> field34;
    PatText<28> field62;
    PatText<2> runnerCount;
    std::array<RaceCardHorseEntry, kMaxRunners> horses;

    /// Entry of horse number `no`, 1 to 18.
    RaceCardHorseEntry& horse(int no) { return horses.at(no - 1); }
    const RaceCardHorseEntry& horse(int no) const { return horses.at(no - 1); }

    bool operator==(const RaceCardRecord&) const = default;
};

inline constexpr qsizetype kRaceCardHeaderSize = 92;

/// Bytes a reader needs of a De- file whose header gives `runners`.
qsizetype raceCardFileSize(int runners);

/// Reads the 11 header fields; there is no format check.
bool readRaceCardHeader(PatByteReader& in, RaceCardRecord& record);

/// Parses a De- file held in memory; false when the bytes end early or the runner count
/// exceeds 18. Writes the header and entries 1 to n only.
bool readRaceCard(QByteArrayView bytes, RaceCardRecord& record);

/// Reads the De- file at `path` (see readRaceCard).
bool readRaceCardFile(const QString& path,
                      RaceCardRecord& record,
                      PatFileCheck check = PatFileCheck::Type);
