// SPDX-License-Identifier: MIT
#pragma once

#include "pat/pat_file.h"
#include "pat/pat_header.h"

/// Odds of one pair of runners in a Uo- file: quinella odds and the wide odds range.
struct QuinellaPairEntry
{
    PatText<2> field0;
    PatText<5> field2;
    PatText<6> quinellaOdds; ///< decimal text, or a text containing "ﾄﾘｹｼ"
    PatText<6> wideOddsMin;  ///< decimal text, or a text containing "ﾄﾘｹｼ"
    PatText<6> wideOddsMax;

    bool operator==(const QuinellaPairEntry&) const = default;
};

/// A Uo- file: race header plus the quinella and wide odds of every pair.
struct QuinellaOddsRecord
{
    PatFileHeader header;
    PatText<2> field142;
    /// Only entries (first, second) with first < second are ever filled.
    std::array<QuinellaPairEntry, kMaxRunners * kMaxRunners> pairs;

    /// Entry (first, second), each 1 to 18.
    QuinellaPairEntry& pair(int first, int second)
    {
        return pairs.at((first - 1) * kMaxRunners + (second - 1));
    }
    const QuinellaPairEntry& pair(int first, int second) const
    {
        return pairs.at((first - 1) * kMaxRunners + (second - 1));
    }

    bool operator==(const QuinellaOddsRecord&) const = default;
};

/// Bytes a reader needs of a Uo- file whose header gives `runners`.
qsizetype quinellaOddsFileSize(int runners);

/// Parses a Uo- file held in memory. Every pair entry is blanked first, then the pairs
/// (1,2), (1,3), … (n−1,n) are read; false when the header fails, the bytes end early, or a
/// horse number would exceed 18.
bool readQuinellaOdds(QByteArrayView bytes, QuinellaOddsRecord& record, MessageSink& sink);

/// Reads the Uo- file at `path` (see readQuinellaOdds).
bool readQuinellaOddsFile(const QString& path,
                          QuinellaOddsRecord& record,
                          MessageSink& sink,
                          PatFileCheck check = PatFileCheck::Type);
