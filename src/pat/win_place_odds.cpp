// SPDX-License-Identifier: MIT
#include "win_place_odds.h"

#include "pat/pat_file.h"

namespace {
constexpr qsizetype kEntrySize = 18;
}

qsizetype winPlaceOddsFileSize(int runners)
{
    return kPatHeaderSize + kEntrySize * qBound(0, runners, kMaxRunners);
}

bool readWinPlaceOdds(QByteArrayView bytes, WinPlaceOddsRecord& record, MessageSink& sink)
{
    PatByteReader in(bytes);
    if (!readPatHeader(in, record.header, sink)) {
        return false;
    }
    const int runners = runnerCountOf(record.header.runnerCount);
    for (int k = 1; k <= runners; ++k) {
        if (k > kMaxRunners) {
            return false;
        }
        auto& e = record.horse(k);
        if (!readPatFields(in, e.field0, e.field1, e.winOdds, e.placeOddsMin, e.placeOddsMax)) {
            return false;
        }
    }
    return true;
}

bool readWinPlaceOddsFile(const QString& path,
                          WinPlaceOddsRecord& record,
                          MessageSink& sink,
                          PatFileCheck check)
{
    PatFileBuffer buffer;
    return loadPatFile(path, buffer, winPlaceOddsFileSize(kMaxRunners), check)
           && readWinPlaceOdds(buffer.view(), record, sink);
}
