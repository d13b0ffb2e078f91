// SPDX-License-Identifier: MIT
#pragma once

#include "pat/pat_file.h"
#include "pat/pat_header.h"

/// One runner of a Zo- file; entry k belongs to horse number k.
struct WinPlaceHorseEntry
{
    PatText<1> field0;
    PatText<2> field1;
    PatText<5> winOdds; ///< decimal text, or "ﾄﾘｹｼ" for a scratched horse
    PatText<5> placeOddsMin;
    PatText<5> placeOddsMax;

    bool operator==(const WinPlaceHorseEntry&) const = default;
};

/// A Zo- file: race header plus win and place odds of up to 18 runners.
struct WinPlaceOddsRecord
{
    PatFileHeader header;
    std::array<WinPlaceHorseEntry, kMaxRunners> horses;

    /// Entry of horse number `no`, 1 to 18.
    WinPlaceHorseEntry& horse(int no) { return horses.at(no - 1); }
    const WinPlaceHorseEntry& horse(int no) const { return horses.at(no - 1); }

    bool operator==(const WinPlaceOddsRecord&) const = default;
};

/// Bytes a reader needs of a Zo- file whose header gives `runners`.
qsizetype winPlaceOddsFileSize(int runners);

/// Parses a Zo- file held in memory. Writes the header and entries 1 to n only; false when the
/// header fails, the bytes end inside an entry, or the runner count exceeds 18.
bool readWinPlaceOdds(QByteArrayView bytes, WinPlaceOddsRecord& record, MessageSink& sink);

/// Reads the Zo- file at `path` (see readWinPlaceOdds).
bool readWinPlaceOddsFile(const QString& path,
                          WinPlaceOddsRecord& record,
                          MessageSink& sink,
                          PatFileCheck check = PatFileCheck::Type);
