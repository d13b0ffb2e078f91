// SPDX-License-Identifier: MIT
#include "board_command.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include "archive/odds_archive.h"
#include "cli/archive_command.h"
#include "race/race_day_board.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

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
        std::fputs(qPrintable(u"mikazuki board: PATフォルダを一つ指定してください。\n"_s), stderr);
        return ExitCode::Failed;
    }
    // The moves come from the archive when there is one; without it the board still shows, but
    // an archive that cannot be used is said and ends the command.
    const QString path
        = parser.isSet(archiveOption) ? parser.value(archiveOption) : OddsArchive::defaultPath();
    std::unique_ptr<OddsArchive> archive;
    if (QFileInfo::exists(path)) {
        QString note;
        archive = OddsArchive::open(path, note, true);
        if (!archive) {
            std::fprintf(stderr, "mikazuki board: %s\n", qPrintable(note));
            return ExitCode::Failed;
        }
    }
    const auto settings = SettingsStore::open(parser.value(settingsOption));
    RaceDayBoard board(*settings, archive.get());
    // Without a kept fit the stakes come from one made on the folder now, as the window would.
    const auto kept = ModelFit::read(*settings);
    if ((!kept || !kept->madeOn(words.first()))
        && StakeSettings::read(*settings).model != StakeModel::Harville
        && QFileInfo(words.first()).isDir()) {
        const ModelFitRun run = fitFolders({words.first()}, QDateTime::currentDateTimeUtc());
        board.setFit(run.fit, run.why);
    }
    if (!board.refresh(words.first())) {
        std::fprintf(stderr,
                     "%s\n",
                     qPrintable(u"mikazuki board: フォルダがありません: %1"_s.arg(
                         QDir::toNativeSeparators(words.first()))));
        return ExitCode::Failed;
    }
    if (parser.isSet(jsonOption)) {
        std::fputs(board.json().constData(), stdout);
        return ExitCode::Ok;
    }
    const QDateTime now = QDateTime::currentDateTime();
    QString text = u"%1\n"_s.arg(board.date().toString(Qt::ISODate));
    for (const BoardRow& row : board.rows()) {
        const QStringList t = boardTexts(row, now);
        const auto at = [&t](BoardColumn column) {
            const QString& value = t[static_cast<int>(column)];
            return value.isEmpty() ? u"-"_s : value;
        };
        text
            += u"%1 %2R %3 %4 %5頭 馬連 %6 ﾜｲﾄﾞ %7 印%8 %9 結果 %10 期待値 %11 / %12 賭け金 %13\n"_s
                   .arg(at(BoardColumn::Venue), at(BoardColumn::Race).rightJustified(2))
                   .arg(row.post.isValid() ? t[static_cast<int>(BoardColumn::Post)] : u"--:--"_s,
                        t[static_cast<int>(BoardColumn::Close)].rightJustified(5),
                        at(BoardColumn::Runners).rightJustified(2),
                        at(BoardColumn::BestQuinella),
                        at(BoardColumn::BestWide),
                        at(BoardColumn::Marked),
                        t[static_cast<int>(BoardColumn::Recommended)],
                        at(BoardColumn::Result))
                   .arg(at(BoardColumn::ValueQuinella),
                        at(BoardColumn::ValueWide),
                        at(BoardColumn::Stake));
    }
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return ExitCode::Ok;
}
