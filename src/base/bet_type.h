// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include <QString>

/// The two bet types the judgement handles.
enum class BetType { Quinella, Wide };

/// Both, in the order every table of the program lists them.
inline constexpr BetType kBetTypes[] = {BetType::Quinella, BetType::Wide};

/// The bet type's place in arrays of both (quinella 0, wide 1).
constexpr std::size_t betIndex(BetType bet)
{
    return bet == BetType::Quinella ? 0 : 1;
}

/// The bet type as the lists and reports name it: "馬連", "ﾜｲﾄﾞ".
inline QString betName(BetType bet)
{
    return bet == BetType::Quinella ? QStringLiteral("馬連") : QStringLiteral("ﾜｲﾄﾞ");
}

/// The bet type as data names it (JSON, the ledger): "quinella", "wide".
inline QString betKey(BetType bet)
{
    return bet == BetType::Quinella ? QStringLiteral("quinella") : QStringLiteral("wide");
}

/// The end of the bet type's settings keys and control names: "Uma", "Wide".
inline QString betKeySuffix(BetType bet)
{
    return bet == BetType::Quinella ? QStringLiteral("Uma") : QStringLiteral("Wide");
}
