// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "base/message_sink.h"

/// Texts that more than one part of the program shows, kept in one place.
namespace Texts {

/// The mark of a scratched horse or pair, in the odds files and on screen.
inline QString scratched()
{
    return QStringLiteral("ﾄﾘｹｼ");
}

/// The recommended bets of a race where none qualifies: the two lines the list shows.
inline QString noBets()
{
    return QStringLiteral("該当無し");
}
inline QString skipRace()
{
    return QStringLiteral("見送りレース");
}

/// A field of the options that must hold a number does not.
inline QString notANumber()
{
    return QStringLiteral("数値を正しく入力して下さい。");
}

/// A file of the race could not be read.
inline void tellLoadFailed(MessageSink& sink)
{
    sink.message(QStringLiteral("ファイルの読み込みに失敗しました。"),
                 QStringLiteral("えらー"),
                 MessageIcon::Critical);
}

/// A CSV file could not be written.
inline void tellSaveFailed(MessageSink& sink)
{
    sink.message(QStringLiteral("ファイルの保存に失敗しました。"),
                 QStringLiteral("えらー"),
                 MessageIcon::Critical);
}

} // namespace Texts
