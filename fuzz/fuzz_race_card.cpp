// SPDX-License-Identifier: MIT
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "pat/pat_header.h"
#include "pat/race_card.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    auto record = std::make_unique<RaceCardRecord>();
    if (readRaceCard(bytes, *record)
        && bytes.size() < raceCardFileSize(runnerCountOf(record->runnerCount))) {
        std::abort();
    }
    return 0;
}
