// SPDX-License-Identifier: MIT
#include "board_command.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QFileInfo>

#include "archive/odds_archive.h"
#include "cli/archive_command.h"
#include "race/race_day_board.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

QString pairText(const std::optional<BoardPair>& pair)
{
    return pair ? u"%1 %2"_s.arg(pair->pair.trimmed()).arg(pair->deviation, 0, 'f', 1) : u"-"_s;
}

} // namespace

ExitCode boardCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"PATフォルダの最新の開催日の全レースを、締切までの時間・最良の組番・印の数・推奨買い目・"
        u"最大のオッズ変動・結果とともに一覧する（当日一覧）。"_s);
    parser.addHelpOption();
    const QCommandLineOption settingsOption(
        u"settings"_s,
        u"設定をこのINIファイルから読む（既定: ~/.config/Mikazuki＋.conf）。"_s,
        u"INI"_s);
    const QCommandLineOption archiveOption = makeArchiveOption();
    const QCommandLineOption jsonOption(u"json"_s, u"JSONで出力する。"_s);
    parser.addOptions({settingsOption, archiveOption, jsonOption});
    parser.addPositionalArgument(u"board"_s, u"コマンド。"_s, u"board"_s);
    parser.addPositionalArgument(u"FOLDER"_s, u"PATフォルダ。"_s, u"FOLDER"_s);
    parser.process(arguments);
    if (!checkSettingsFile(u"mikazuki board"_s, parser.value(settingsOption))) {
        return ExitCode::Failed;
    }
    QStringList words = parser.positionalArguments();
    words.removeFirst(); // "board"
    if (words.size() != 1) {
        std::fputs("mikazuki board: name one FOLDER\n", stderr);
        return ExitCode::Failed;
    }
    // The moves come from the archive when there is one; without it the board still shows.
    const QString path
        = parser.isSet(archiveOption) ? parser.value(archiveOption) : OddsArchive::defaultPath();
    std::unique_ptr<OddsArchive> archive;
    if (QFileInfo::exists(path)) {
        QString note;
        archive = OddsArchive::open(path, note, true);
        if (!archive) {
            std::fprintf(stderr, "mikazuki board: %s\n", qPrintable(note));
        }
    }
    const auto settings = SettingsStore::open(parser.value(settingsOption));
    RaceDayBoard board(*settings, archive.get());
    if (!board.refresh(words.first())) {
        std::fprintf(stderr, "mikazuki board: no folder %s\n", qPrintable(words.first()));
        return ExitCode::Failed;
    }
    if (parser.isSet(jsonOption)) {
        std::fputs(board.json().constData(), stdout);
        return ExitCode::Ok;
    }
    const QDateTime now = QDateTime::currentDateTime();
    QString text = u"%1\n"_s.arg(board.date().toString(Qt::ISODate));
    for (const BoardRow& row : board.rows()) {
        QString result = u"-"_s;
        if (row.result) {
            result
                = u"%1-%2-%3"_s.arg((*row.result)[0]).arg((*row.result)[1]).arg((*row.result)[2]);
        }
        int marked = 0;
        for (const int count : row.marked) {
            marked += count;
        }
        text += u"%1 %2R %3 %4 %5頭 馬連 %6 ﾜｲﾄﾞ %7 印%8 %9 結果 %10\n"_s.arg(row.venue)
                    .arg(row.raceNo, 2)
                    .arg(row.post.isValid() ? row.post.toString(u"HH:mm"_s) : u"--:--"_s)
                    .arg(closeText(row.post, now), 5)
                    .arg(row.runners, 2)
                    .arg(pairText(row.bestQuinella), pairText(row.bestWide))
                    .arg(marked)
                    .arg(row.recommended.join(u' ').simplified(), result);
    }
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return ExitCode::Ok;
}
