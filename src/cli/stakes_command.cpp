// SPDX-License-Identifier: MIT
#include "stakes_command.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>

#include "cli/stderr_message_sink.h"
#include "race/race_display.h"
#include "race/race_stakes.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

ExitCode stakesCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"レースの全組番の確率・期待値・賭け金を、メインウィンドウと同じ計算で出力する。"
        u"確率は自動較正の結果（無ければレースのフォルダで当てはめたもの）から取る。"_s);
    parser.addHelpOption();
    const QCommandLineOption settingsOption(
        u"settings"_s,
        u"設定をこのINIファイルから読む（既定: ~/.config/Mikazuki＋.conf）。"_s,
        u"INI"_s);
    const QCommandLineOption jsonOption(u"json"_s, u"JSONで出力する。"_s);
    const QCommandLineOption bankrollOption(
        u"bankroll"_s, u"資金（円、既定は設定の値）。"_s, u"YEN"_s);
    const QCommandLineOption kellyOption(
        u"kelly"_s, u"ケリー係数（0より大きく1以下、既定は設定の値）。"_s, u"F"_s);
    parser.addOptions({settingsOption, jsonOption, bankrollOption, kellyOption});
    parser.addPositionalArgument(u"stakes"_s, u"コマンド。"_s, u"stakes"_s);
    parser.addPositionalArgument(u"ZO_FILE"_s, u"単複ｵｯｽﾞﾌｧｲﾙ（Zo-*.jra）。"_s, u"ZO_FILE"_s);
    parser.process(arguments);
    const QString name = u"mikazuki stakes"_s;
    if (!checkSettingsFile(name, parser.value(settingsOption))) {
        return ExitCode::Failed;
    }
    QStringList words = parser.positionalArguments();
    words.removeFirst(); // "stakes"
    const auto fail = [&name](const QString& message) {
        std::fputs(qPrintable(u"%1: %2\n"_s.arg(name, message)), stderr);
        return ExitCode::Failed;
    };
    if (words.size() != 1) {
        return fail(u"単複ｵｯｽﾞﾌｧｲﾙを一つ指定してください。"_s);
    }
    const auto settings = SettingsStore::open(parser.value(settingsOption));
    StakeSettings stake = StakeSettings::read(*settings);
    StakeSettings::Input input{QString::number(stake.bankroll),
                               ModelSettings::fieldText(stake.kellyFraction)};
    if (parser.isSet(bankrollOption)) {
        input.bankroll = parser.value(bankrollOption);
    }
    if (parser.isSet(kellyOption)) {
        input.kellyFraction = parser.value(kellyOption);
    }
    if (const auto failure = StakeSettings::validate(input)) {
        return fail(u"%1 %2"_s.arg(failure->field == 0 ? u"--bankroll:"_s : u"--kelly:"_s,
                                   failure->message));
    }
    StakeSettings::applyInput(input, stake);

    StderrMessageSink sink;
    RaceDisplay display(*settings, sink);
    const QString path = words.first();
    if (!display.load(path)) {
        return ExitCode::Failed; // the display has said why
    }
    if (!display.quinellaOddsRead()) {
        return fail(u"馬連・ワイドのｵｯｽﾞﾌｧｲﾙが読めないため、賭け金を出せません。"_s);
    }
    // The kept fit when it was made on the race's folder; else one made on that folder now.
    const QString folder = QFileInfo(path).absolutePath();
    std::optional<ModelFit> fit = ModelFit::read(*settings);
    if (fit && !fit->madeOn(folder)) {
        fit.reset();
    }
    QString noFit;
    if (!fit && stake.model != StakeModel::Harville) {
        const ModelFitRun run = fitFolders({folder}, QDateTime::currentDateTimeUtc());
        fit = run.fit;
        noFit = run.why;
    }
    const RaceStakes stakes = raceStakesOf(display, stake, fit, noFit);
    if (parser.isSet(jsonOption)) {
        std::fputs(raceStakesJson(stakes, QFileInfo(path).fileName(), stake).constData(), stdout);
    } else {
        std::fputs(raceStakesText(stakes).toLocal8Bit().constData(), stdout);
    }
    return ExitCode::Ok;
}
