// SPDX-License-Identifier: MIT
#include "quinella_odds.h"

#include "pat/pat_file.h"

namespace {
constexpr qsizetype kPairsOffset = kPatHeaderSize + 2;
constexpr qsizetype kEntrySize = 25;
} // namespace

qsizetype quinellaOddsFileSize(int runners)
{
    if (runners > kMaxRunners) {
        // The read fails at pair (1, 19), after the 17 pairs of horse 1.
        return kPairsOffset + kEntrySize * (kMaxRunners - 1);
    }
    const qsizetype n = qMax(runners, 0);
    return kPairsOffset + kEntrySize * (n * (n - 1) / 2);
}

bool readQuinellaOdds(QByteArrayView bytes, QuinellaOddsRecord& record, MessageSink& sink)
{
    PatByteReader in(bytes);
    if (!readPatHeader(in, record.header, sink) || !readPatField(in, record.field142)) {
        return false;
    }
    const int runners = runnerCountOf(record.header.runnerCount);

    // Odds are digits, blanks and "ﾄﾘｹｼ": when the whole body is such single bytes, every field
    // is widened in place instead of decoded on its own, which gives the same characters.
    const qsizetype pairs = qMax(runners, 0) * (qMax(runners, 0) - 1) / 2;
    const qsizetype body = in.position();
    if (runners <= kMaxRunners && bytes.size() - body >= kEntrySize * pairs
        && isSingleByteShiftJis(bytes.data() + body, kEntrySize * pairs)) {
        // Every entry the body does not fill is blanked (a record is read into again and again).
        const QuinellaPairEntry blank;
        for (int i = 1; i <= kMaxRunners; ++i) {
            for (int j = 1; j <= kMaxRunners; ++j) {
                if (!(i < j && j <= runners)) {
                    record.pair(i, j) = blank;
                }
            }
        }
        const char* at = bytes.data() + body;
        const auto widen = [&at](auto& field) {
            decodeSingleByteShiftJis(at, field.kWidth, field.data());
            at += field.kWidth;
        };
        for (int i = 1; i <= runners; ++i) {
            for (int j = i + 1; j <= runners; ++j) {
                auto& e = record.pair(i, j);
                widen(e.field0);
                widen(e.field2);
                widen(e.quinellaOdds);
                widen(e.wideOddsMin);
                widen(e.wideOddsMax);
            }
        }
        return true;
    }
    record.pairs.fill(QuinellaPairEntry{});
    for (int i = 1; i <= runners; ++i) {
        for (int j = i + 1; j <= runners; ++j) {
            if (i > kMaxRunners || j > kMaxRunners) {
                return false;
            }
            auto& e = record.pair(i, j);
            if (!readPatFields(
                    in, e.field0, e.field2, e.quinellaOdds, e.wideOddsMin, e.wideOddsMax)) {
                return false;
            }
        }
    }
    return true;
}

bool readQuinellaOddsFile(const QString& path,
                          QuinellaOddsRecord& record,
                          MessageSink& sink,
                          PatFileCheck check)
{
    PatFileBuffer buffer;
    return loadPatFile(path, buffer, quinellaOddsFileSize(kMaxRunners), check)
           && readQuinellaOdds(buffer.view(), record, sink);
}
