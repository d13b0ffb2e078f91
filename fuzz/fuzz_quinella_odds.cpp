// SPDX-License-Identifier: MIT
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/message_sink.h"
#include "pat/quinella_odds.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NullMessageSink sink;
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    auto record = std::make_unique<QuinellaOddsRecord>();
    const bool ok = readQuinellaOdds(bytes, *record, sink);
    if (ok) {
        const int n = runnerCountOf(record->header.runnerCount);
        if (bytes.size() < quinellaOddsFileSize(n)) {
            std::abort();
        }
        // Entries outside the pairs of the race stay blank.
        for (int i = 1; i <= kMaxRunners; ++i) {
            for (int j = 1; j <= kMaxRunners; ++j) {
                if (!(i < j && j <= n) && !(record->pair(i, j) == QuinellaPairEntry{})) {
                    std::abort();
                }
            }
        }
    }
    return 0;
}
