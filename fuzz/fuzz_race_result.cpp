// SPDX-License-Identifier: MIT
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "pat/race_result.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    auto record = std::make_unique<RaceResultRecord>();
    if (readRaceResult(bytes, *record) != (bytes.size() >= kRaceResultFileSize)) {
        std::abort();
    }
    return 0;
}
