// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QDateTime>

#include "pat/quinella_odds.h"
#include "pat/win_place_odds.h"

/// One snapshot: when the files were written and every odds value they held, as texts. The
/// records' headers are blank: the race's own files give them.
struct ArchivedOdds
{
    QDateTime fetched;
    WinPlaceOddsRecord win;
    std::shared_ptr<QuinellaOddsRecord> pairs = std::make_shared<QuinellaOddsRecord>();
};
