// SPDX-License-Identifier: MIT
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/message_sink.h"
#include "pat/win_place_odds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NullMessageSink sink;
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    auto record = std::make_unique<WinPlaceOddsRecord>();
    const bool ok = readWinPlaceOdds(bytes, *record, sink);
    // A record that reads was backed by every byte it claims.
    if (ok && bytes.size() < winPlaceOddsFileSize(runnerCountOf(record->header.runnerCount))) {
        std::abort();
    }
    return 0;
}
