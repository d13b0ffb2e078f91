// SPDX-License-Identifier: MIT
#include "ledger_command.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "archive/odds_archive.h"
#include "cli/archive_command.h"
#include "race/bet_settlement.h"
#include "race/csv_writer.h"
#include "race/ledger_csv.h"
#include "race/ledger_report.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "mikazuki ledger: %s\n", qPrintable(text));
}

ExitCode fail(const QString& text)
{
    say(text);
    return ExitCode::Failed;
}

// Fills in the odds a bet was placed at from the archive when none were given.
void takeShownOdds(const OddsArchive& archive, LedgerBet& bet)
{
    if (!(bet.odds > 0.0)) {
        bet.odds = shownOddsOf(archive, bet);
    }
}

} // namespace

ExitCode ledgerCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"購入の記録（オッズの記録のファイルに保存）を扱う。\n"
        u"  add --race KEY --bet quinella|wide --pair A-B --stake YEN [--odds X] [--at TIME]\n"
        u"                         購入を一つ記録する（オッズを省くと記録のその時点のオッズ）\n"
        u"  import FILE            購入のCSV（UTF-8 または "
        u"CP932）を取り込む。一行でも読めなければ\n"
        u"                         何も記録しない\n"
        u"  settle [FOLDER...]     結果（Ks-）のあるレースの未確定の購入を精算する（既定: "
        u"PATﾃﾞｰﾀの\n"
        u"                         フォルダ）\n"
        u"  report [--json] [--from DATE] [--to DATE]\n"
        u"                         日・月・券種・モデル別の収支、締切オッズとの比、モデルの期待\n"
        u"  export OUT             すべての購入と精算をCSV（CP932, CR LF）に書く"_s);
    parser.addHelpOption();
    const QCommandLineOption archiveOption = makeArchiveOption();
    const QCommandLineOption settingsOption(
        u"settings"_s,
        u"設定をこのINIファイルから読む（既定: ~/.config/Mikazuki＋.conf）。"_s,
        u"INI"_s);
    const QCommandLineOption raceOption(
        u"race"_s, u"レース: その Zo- ファイルの名前。"_s, u"KEY"_s);
    const QCommandLineOption betOption(
        u"bet"_s, u"券種: quinella（馬連）または wide（ワイド）。"_s, u"TYPE"_s);
    const QCommandLineOption pairOption(u"pair"_s, u"組番（例: 3-7）。"_s, u"A-B"_s);
    const QCommandLineOption stakeOption(u"stake"_s, u"金額（円、100円単位）。"_s, u"YEN"_s);
    const QCommandLineOption oddsOption(u"odds"_s, u"購入時のオッズ（ワイドは下限）。"_s, u"X"_s);
    const QCommandLineOption atOption(
        u"at"_s, u"購入日時（日本時間、例: 2026/12/06 15:20、既定: 今）。"_s, u"TIME"_s);
    const QCommandLineOption noteOption(u"note"_s, u"メモ。"_s, u"TEXT"_s);
    const QCommandLineOption jsonOption(u"json"_s, u"集計をJSONで出力する。"_s);
    const QCommandLineOption fromOption(u"from"_s, u"この日から（YYYY-MM-DD）。"_s, u"DATE"_s);
    const QCommandLineOption toOption(u"to"_s, u"この日まで（YYYY-MM-DD）。"_s, u"DATE"_s);
    parser.addOptions({archiveOption,
                       settingsOption,
                       raceOption,
                       betOption,
                       pairOption,
                       stakeOption,
                       oddsOption,
                       atOption,
                       noteOption,
                       jsonOption,
                       fromOption,
                       toOption});
    parser.addPositionalArgument(u"ledger"_s, u"コマンド。"_s, u"ledger"_s);
    parser.addPositionalArgument(u"ACTION"_s,
                                 u"add, import, settle, report または export。"_s,
                                 u"add|import|settle|report|export"_s);
    parser.process(arguments);

    QStringList words = parser.positionalArguments();
    words.removeFirst(); // "ledger"
    const QString action = words.value(0);
    if (!words.isEmpty()) {
        words.removeFirst();
    }
    const QStringList actions{u"add"_s, u"import"_s, u"settle"_s, u"report"_s, u"export"_s};
    if (!actions.contains(action)) {
        return fail(u"操作を指定してください: add, import, settle, report または export"_s);
    }
    if ((action == u"import"_s || action == u"export"_s) && words.size() != 1) {
        return fail(u"%1: ファイルを一つ指定してください"_s.arg(action));
    }
    if (!checkSettingsFile(u"mikazuki ledger"_s, parser.value(settingsOption))) {
        return ExitCode::Failed;
    }
    QDate from;
    QDate to;
    for (const auto& [option, date] : {std::pair{&fromOption, &from}, std::pair{&toOption, &to}}) {
        if (parser.isSet(*option)) {
            *date = QDate::fromString(parser.value(*option), Qt::ISODate);
            if (!date->isValid()) {
                return fail(u"--%1: 日付は YYYY-MM-DD で指定してください: %2"_s.arg(
                    option->names().first(), parser.value(*option)));
            }
        }
    }

    // Everything the command line says about the bet is checked before the archive opens.
    LedgerBet bet;
    if (action == u"add"_s) {
        for (const QCommandLineOption* option :
             {&raceOption, &betOption, &pairOption, &stakeOption}) {
            if (!parser.isSet(*option)) {
                return fail(u"add: --%1 を指定してください"_s.arg(option->names().first()));
            }
        }
        bet.race = parser.value(raceOption);
        const auto type = betOfKey(parser.value(betOption));
        if (!type) {
            return fail(u"券種は quinella か wide です: %1"_s.arg(parser.value(betOption)));
        }
        bet.bet = *type;
        const auto pair = parseLedgerPair(parser.value(pairOption));
        if (!pair) {
            return fail(u"組番は A-B の形で指定してください: %1"_s.arg(parser.value(pairOption)));
        }
        std::tie(bet.first, bet.second) = *pair;
        bool ok = false;
        bet.stake = parser.value(stakeOption).toLongLong(&ok);
        if (!ok || bet.stake < 100 || bet.stake % 100 != 0) {
            return fail(
                u"金額は100円単位で100円以上にしてください: %1"_s.arg(parser.value(stakeOption)));
        }
        if (parser.isSet(oddsOption)) {
            bet.odds = parser.value(oddsOption).toDouble(&ok);
            if (!ok || !(bet.odds >= 1.0)) {
                return fail(u"オッズが読めません: %1"_s.arg(parser.value(oddsOption)));
            }
        }
        bet.placed = parser.isSet(atOption) ? parseLedgerTime(parser.value(atOption))
                                            : QDateTime::currentDateTimeUtc();
        if (!bet.placed.isValid()) {
            return fail(u"日時が読めません: %1"_s.arg(parser.value(atOption)));
        }
        bet.note = parser.value(noteOption);
    }
    std::vector<LedgerBet> imported;
    std::vector<int> lines;
    if (action == u"import"_s) {
        QFile file(words.first());
        if (!file.open(QIODevice::ReadOnly)) {
            return fail(u"読めません: %1 (%2)"_s.arg(QDir::toNativeSeparators(words.first()),
                                                     file.errorString()));
        }
        QString error;
        auto parsed = parseLedgerCsv(file.readAll(), error, &lines);
        if (!parsed) {
            return fail(u"%1: %2。何も記録していません"_s.arg(
                QDir::toNativeSeparators(words.first()), error));
        }
        imported = std::move(*parsed);
    }

    const bool writes = action == u"add"_s || action == u"import"_s || action == u"settle"_s;
    const QString path
        = parser.isSet(archiveOption) ? parser.value(archiveOption) : OddsArchive::defaultPath();
    QString note;
    const auto archive = OddsArchive::open(path, note, !writes);
    if (!archive) {
        return fail(note);
    }
    if (writes && archive->isReadOnly()) {
        return fail(BetLedger::readOnlyText());
    }
    BetLedger ledger(*archive);

    if (action == u"add"_s) {
        takeShownOdds(*archive, bet);
        QString error;
        const auto ids = ledger.add({bet}, error);
        if (!ids) {
            return fail(error);
        }
        std::printf("%s\n", qPrintable(u"記録しました: 番号 %1"_s.arg(ids->front())));
        return ExitCode::Ok;
    }
    if (action == u"import"_s) {
        for (std::size_t k = 0; k < imported.size(); ++k) {
            const QString why = ledger.check(imported[k]);
            if (!why.isEmpty()) {
                return fail(u"%1: %2行目: %3。何も記録していません"_s.arg(
                    QDir::toNativeSeparators(words.first()), QString::number(lines[k]), why));
            }
            takeShownOdds(*archive, imported[k]);
        }
        QString error;
        if (!ledger.add(imported, error)) {
            return fail(u"%1。何も記録していません"_s.arg(error));
        }
        std::printf("%s\n", qPrintable(u"取り込みました: %1件"_s.arg(imported.size())));
        return ExitCode::Ok;
    }
    if (action == u"settle"_s) {
        QStringList folders = words;
        if (folders.isEmpty()) {
            folders << SettingsStore::open(parser.value(settingsOption))->getPatFolder();
        }
        for (const QString& folder : folders) {
            if (!QFileInfo(folder).isDir()) {
                return fail(u"フォルダがありません: %1"_s.arg(QDir::toNativeSeparators(folder)));
            }
        }
        const LedgerSettling done
            = settleLedger(*archive, folders, QDateTime::currentDateTimeUtc());
        if (!done.error.isEmpty()) {
            return fail(done.error);
        }
        std::printf("%s\n",
                    qPrintable(u"精算 %1件  結果待ち %2件"_s.arg(done.settled).arg(done.waiting)));
        return ExitCode::Ok;
    }
    const std::vector<LedgerBet> bets = ledger.bets(from, to);
    if (action == u"export"_s) {
        QString error;
        if (!saveCsvBytes(ledgerCsv(bets), words.first(), &error)) {
            return fail(error);
        }
        return ExitCode::Ok;
    }
    const LedgerReport report = ledgerReport(bets);
    if (parser.isSet(jsonOption)) {
        std::fputs(ledgerReportJson(report).constData(), stdout);
    } else if (bets.empty()) {
        std::printf("%s\n", qPrintable(u"購入の記録がありません"_s));
    } else {
        std::fputs(ledgerReportText(report).toLocal8Bit().constData(), stdout);
    }
    return ExitCode::Ok;
}
