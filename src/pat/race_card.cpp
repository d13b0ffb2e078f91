// SPDX-License-Identifier: MIT
#include "race_card.h"

#include "pat/pat_file.h"
#include "pat/pat_header.h"

namespace {
constexpr qsizetype kEntrySize = 48;
}

qsizetype raceCardFileSize(int runners)
{
    return kRaceCardHeaderSize + kEntrySize * qBound(0, runners, kMaxRunners);
}

bool readRaceCardHeader(PatByteReader& in, RaceCardRecord& r)
{
    return readPatFields(in,
                         r.field0,
                         r.field8,
                         r.field12,
                         r.field16,
                         r.field18,
                         r.field20,
                         r.startTime,
                         r.field26,
                         r.field34,
                         r.field62,
                         r.runnerCount);
}

bool readRaceCard(QByteArrayView bytes, RaceCardRecord& record)
{
    PatByteReader in(bytes);
    if (!readRaceCardHeader(in, record)) {
        return false;
    }
    const int runners = runnerCountOf(record.runnerCount);
    for (int k = 1; k <= runners; ++k) {
        if (k > kMaxRunners) {
            return false;
        }
        auto& e = record.horse(k);
        if (!readPatFields(in,
                           e.field0,
                           e.field1,
                           e.field2,
                           e.field4,
                           e.field5,
                           e.horseName,
                           e.field24,
                           e.field42,
                           e.field44)) {
            return false;
        }
    }
    return true;
}

bool readRaceCardFile(const QString& path, RaceCardRecord& record, PatFileCheck check)
{
    PatFileBuffer buffer;
    return loadPatFile(path, buffer, raceCardFileSize(kMaxRunners), check)
           && readRaceCard(buffer.view(), record);
}
