// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "archive/odds_archive.h"
#include "base/file_failure.h"
#include "base/texts.h"
#include "cli/archive_command.h"
#include "cli/board_command.h"
#include "cli/ledger_command.h"
#include "cli/stakes_command.h"
#include "cli/stderr_message_sink.h"
#include "race/backtest.h"
#include "race/backtest_choices.h"
#include "race/calibration_run.h"
#include "race/csv_export.h"
#include "race/race_display.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"
#include "settings/stake_settings.h"

using namespace Qt::StringLiterals;

namespace {

const QString kCommands = u"backtest, calibrate, archive, board, stakes, ledger"_s;

QCommandLineOption makeSettingsOption()
{
    return {u"settings"_s,
            u"設定をこのINIファイルに読み書きする（既定: ~/.config/Mikazuki＋.conf）。"_s,
            u"INI"_s};
}

bool isOption(const QString& argument)
{
    return argument.startsWith(u'-') && argument.size() > 1;
}

} // namespace

Command commandOf(const QStringList& arguments)
{
    if (arguments.size() >= 2) {
        if (arguments[1] == u"backtest"_s) {
            return Command::Backtest;
        }
        if (arguments[1] == u"calibrate"_s) {
            return Command::Calibrate;
        }
        if (arguments[1] == u"archive"_s) {
            return Command::Archive;
        }
        if (arguments[1] == u"board"_s) {
            return Command::Board;
        }
        if (arguments[1] == u"stakes"_s) {
            return Command::Stakes;
        }
        if (arguments[1] == u"ledger"_s) {
            return Command::Ledger;
        }
    }
    const QStringList rest = arguments.mid(1);
    for (const QString& argument : rest) {
        if (argument.startsWith(u"--export-csv"_s) || argument.startsWith(u"-export-csv"_s)) {
            return Command::Export;
        }
    }
    for (const QString& argument : rest) {
        for (const auto& option : {u"--help", u"-h", u"-?", u"--help-all", u"--version", u"-v"}) {
            if (argument == option) {
                return Command::Info;
            }
        }
    }
    // The first word that is no option nor an option's value.
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QString& argument = rest[i];
        if (argument == u"--settings"_s || argument == u"-settings"_s) {
            ++i;
            continue;
        }
        if (isOption(argument)) {
            continue;
        }
        // A mistyped command ("backtst") is no file and looks like no path; a path that is
        // not there is the window's to report.
        const bool pathLike
            = argument.contains(u'.') || argument.contains(u'/') || argument.contains(u'\\');
        if (i == 0 && !pathLike && !QFileInfo::exists(argument)) {
            return Command::Unknown;
        }
        break;
    }
    return Command::Window;
}

bool hasDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Another platform chosen (offscreen, vnc, …) decides for itself.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(u"xcb"_s)
        && !platform.startsWith(u"wayland"_s)) {
        return true;
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

namespace {

// The options Qt's command-line parser adds itself, which Qt's own Japanese leaves in English.
class CommandLineTranslator final : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context,
                      const char* sourceText,
                      const char* disambiguation,
                      int n) const override
    {
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        if (qstrcmp(context, "QCommandLineParser") != 0) {
            return {};
        }
        static const std::pair<const char*, const char16_t*> kTexts[] = {
            {"Displays help on commandline options.",
             u"コマンドラインのオプションの説明を表示する。"},
            {"Displays help including Qt specific options.",
             u"Qt 固有のオプションも含めて説明を表示する。"},
            {"Displays version information.", u"版を表示する。"},
        };
        for (const auto& [source, japanese] : kTexts) {
            if (qstrcmp(sourceText, source) == 0) {
                return QString::fromUtf16(japanese);
            }
        }
        return {};
    }
};

} // namespace

void installJapaneseTranslations(QCoreApplication& app)
{
    // Kept for the program's life; a system without Qt's translations keeps Qt's English.
    static QTranslator qtbase;
    if (qtbase.load(QLocale(QLocale::Japanese, QLocale::Japan),
                    u"qtbase"_s,
                    u"_"_s,
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        app.installTranslator(&qtbase);
    }
    // Installed last, so asked first.
    static CommandLineTranslator commandLine;
    app.installTranslator(&commandLine);
}

QString noDisplayText()
{
    return u"mikazuki: ウィンドウを開くにはディスプレイが必要です（DISPLAY も WAYLAND_DISPLAY も"
           u"設定されていません）。ディスプレイなしで使えるもの: --export-csv OUT ZO_FILE, "_s
           + kCommands + u", --help, --version"_s;
}

QString unknownCommandText(const QString& word)
{
    return u"mikazuki: 不明なコマンドです: %1（コマンド: %2。レースを開くには Zo- ファイルを指定）"_s
        .arg(word, kCommands);
}

bool checkSettingsFile(const QString& command, const QString& iniPath)
{
    const QString problem = SettingsStore::iniFileProblem(iniPath);
    if (problem.isEmpty()) {
        return true;
    }
    std::fprintf(stderr,
                 "%s: --settings %s\n",
                 qPrintable(command),
                 qPrintable(fileFailureLine(iniPath, problem)));
    return false;
}

MainArguments parseMainArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"PATﾃﾞｰﾀのJRA馬連・ワイドのオッズから、単勝・複勝の市場に比べて妙味のある買い目を探す。\n"
        u"\n"
        u"コマンド（各オプションは mikazuki COMMAND --help）:\n"
        u"  backtest FOLDER...   結果のある全レースを再現し、組番のグループごとの回収率を集計する\n"
        u"                       （成績検証）\n"
        u"  calibrate FOLDER...  理論値モデルを結果に当てはめて評価する（較正）\n"
        u"  archive ACTION       オッズの記録を取り込む・書き出す・調べる\n"
        u"  board FOLDER         最新の開催日の全レースを一覧する（当日一覧）\n"
        u"  stakes ZO_FILE       レースの全組番の確率・期待値・賭け金を出す\n"
        u"  ledger ACTION        購入の記録（収支）: 記録・取り込み・精算・集計・書き出し"_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settings(
        u"settings"_s,
        u"設定をこのINIファイルに読み書きする（既定: ~/.config/Mikazuki＋.conf）。"_s,
        u"INI"_s);
    const QCommandLineOption exportOption(
        u"export-csv"_s,
        u"ウィンドウを開かずに ZO_FILE を読み、画面のCSV保存と同じCSVを OUT に書いて終わる。"_s,
        u"OUT"_s);
    const QCommandLineOption archiveOption = makeArchiveOption();
    parser.addOptions({settings, exportOption, archiveOption});
    parser.addPositionalArgument(u"ZO_FILE"_s, u"開く単複ｵｯｽﾞﾌｧｲﾙ（Zo-*.jra）。"_s, u"[ZO_FILE]"_s);
    parser.process(arguments);
    return {parser.value(settings),
            parser.value(exportOption),
            parser.value(archiveOption),
            parser.isSet(exportOption),
            parser.positionalArguments()};
}

ExitCode runHeadless(Command command, const QStringList& arguments)
{
    switch (command) {
    case Command::Backtest:
        return backtestCommand(arguments);
    case Command::Calibrate:
        return calibrateCommand(arguments);
    case Command::Archive:
        return archiveCommand(arguments);
    case Command::Board:
        return boardCommand(arguments);
    case Command::Stakes:
        return stakesCommand(arguments);
    case Command::Ledger:
        return ledgerCommand(arguments);
    case Command::Unknown:
        std::fprintf(stderr, "%s\n", qPrintable(unknownCommandText(arguments.value(1))));
        return ExitCode::Failed;
    case Command::Window:
    case Command::Export:
    case Command::Info:
        break;
    }
    const MainArguments main = parseMainArguments(arguments); // --help, --version exit here
    if (!checkSettingsFile(u"mikazuki"_s, main.settingsFile)) {
        return ExitCode::Failed;
    }
    if (main.files.size() != 1) {
        std::fputs(
            qPrintable(u"mikazuki: --export-csv OUT には Zo- ファイルを一つ指定してください。\n"_s),
            stderr);
        return ExitCode::Failed;
    }
    return exportCsv(main.settingsFile, main.exportPath, main.files.first());
}

ExitCode calibrateCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"PATフォルダのレースの着順に割引Harvilleモデルを当てはめ、それとHarvilleが馬連・ワイドの"
        u"組番をどれだけ当てるかを示す（較正）。"_s);
    parser.addHelpOption();
    const QCommandLineOption settingsOption = makeSettingsOption();
    const QCommandLineOption saveOption(u"save"_s, u"推定したモデルを設定に保存する。"_s);
    const QCommandLineOption jsonOption(u"json"_s, u"結果をJSONで出力する。"_s);
    const QCommandLineOption testOption(
        u"test"_s, u"FOLDER のレースでも検証する（標本外）。"_s, u"FOLDER"_s);
    // Taken as every command takes it; the calibration reads the folders' own odds.
    const QCommandLineOption archiveOption = makeArchiveOption();
    parser.addOptions({settingsOption, saveOption, jsonOption, testOption, archiveOption});
    parser.addPositionalArgument(u"calibrate"_s, u"コマンド。"_s, u"calibrate"_s);
    parser.addPositionalArgument(u"FOLDER"_s, u"推定に使うPATフォルダ。"_s, u"FOLDER..."_s);
    parser.process(arguments);

    if (!checkSettingsFile(u"mikazuki calibrate"_s, parser.value(settingsOption))) {
        return ExitCode::Failed;
    }
    QStringList folders = parser.positionalArguments();
    folders.removeFirst(); // "calibrate"
    if (folders.isEmpty()) {
        std::fputs(qPrintable(u"mikazuki calibrate: PATフォルダを一つ以上指定してください。\n"_s),
                   stderr);
        return ExitCode::Failed;
    }
    const CalibrationReport report
        = runCalibration(CalibrationRequest{folders, parser.values(testOption)});
    if (!report.ok) {
        std::fprintf(stderr, "mikazuki calibrate: %s\n", qPrintable(report.error));
        return ExitCode::Failed;
    }
    if (parser.isSet(saveOption)) {
        const auto settings = SettingsStore::open(parser.value(settingsOption));
        ModelSettings model = ModelSettings::read(*settings);
        saveFittedModel(report, model);
        model.write(*settings);
        settings->sync();
    }
    if (parser.isSet(jsonOption)) {
        std::fputs(calibrationJson(report).constData(), stdout);
    } else {
        std::fputs(calibrationText(report).toLocal8Bit().constData(), stdout);
    }
    return ExitCode::Ok;
}

ExitCode backtestCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"PATフォルダの結果のある全レースで画面と同じ分析を再現し、組番のグループごとに買っていたら"
        u"どれだけ戻ったかを示す（成績検証）。"_s);
    parser.addHelpOption();
    const QCommandLineOption settingsOption = makeSettingsOption();
    const QCommandLineOption csvOption(u"csv"_s, u"集計表をCSVで OUT に書く。"_s, u"OUT"_s);
    const QCommandLineOption pairsOption(
        u"pairs"_s, u"集計した全レースの全組番をCSVで OUT に書く。"_s, u"OUT"_s);
    const QCommandLineOption quietOption(u"quiet"_s, u"進み具合を表示しない。"_s);
    const QCommandLineOption testOption(
        u"test"_s, u"FOLDER のレースでも同じグループを集計する（標本外の検証）。"_s, u"FOLDER"_s);
    const QCommandLineOption resampleOption(
        u"resample"_s,
        u"区間の再標本化の単位: day（開催日ごと、既定）または race（レースごと）。"_s,
        u"UNIT"_s);
    const QCommandLineOption stakeOption(u"stake"_s,
                                         u"賭け方: flat（全組番に100円、既定）または "
                                         u"kelly[:FRACTION]（理論値モデルによるケリー基準の"
                                         u"FRACTION倍、既定 0.5）。"_s,
                                         u"RULE"_s);
    const QCommandLineOption bankrollOption(
        u"bankroll"_s, u"初期資金（円、既定 100000）。"_s, u"YEN"_s);
    const QCommandLineOption stakesOption(
        u"stakes"_s, u"ケリー基準の賭け金をすべてCSVで OUT に書く。"_s, u"OUT"_s);
    const QCommandLineOption atOption(
        u"at"_s,
        u"各レースを発走 MINUTES 分前までに記録された最後のオッズで判定し、ファイルのオッズとの"
        u"差（先読み差）も示す。"_s,
        u"MINUTES"_s);
    const QCommandLineOption walkOption(
        u"walk-forward"_s,
        u"各開催日をそれより前の開催日だけで当てはめたモデルのケリー基準で賭け、"
        u"プールに勝るかの判定から賭け金まで規則全体を検証する。"_s);
    const QCommandLineOption refitOption(
        u"refit-days"_s, u"ウォークフォワードで当てはめ直す間隔（開催日数、既定 7）。"_s, u"N"_s);
    const QCommandLineOption archiveOption = makeArchiveOption();
    parser.addOptions({settingsOption,
                       walkOption,
                       refitOption,
                       atOption,
                       archiveOption,
                       csvOption,
                       pairsOption,
                       quietOption,
                       testOption,
                       resampleOption,
                       stakeOption,
                       bankrollOption,
                       stakesOption});
    parser.addPositionalArgument(u"backtest"_s, u"コマンド。"_s, u"backtest"_s);
    parser.addPositionalArgument(u"FOLDER"_s, u"PATフォルダ。"_s, u"FOLDER..."_s);
    parser.process(arguments);

    if (!checkSettingsFile(u"mikazuki backtest"_s, parser.value(settingsOption))) {
        return ExitCode::Failed;
    }
    QStringList folders = parser.positionalArguments();
    folders.removeFirst(); // "backtest"
    if (folders.isEmpty()) {
        std::fputs(qPrintable(u"mikazuki backtest: PATフォルダを一つ以上指定してください。\n"_s),
                   stderr);
        return ExitCode::Failed;
    }
    BacktestRequest request;
    request.folders = folders;
    request.settingsFile = parser.value(settingsOption);
    request.csvPath = parser.value(csvOption);
    request.pairsPath = parser.value(pairsOption);
    request.testFolders = parser.values(testOption);
    if (parser.isSet(atOption)) {
        bool ok = false;
        const int minutes = parser.value(atOption).toInt(&ok);
        if (!ok || minutes < 0 || minutes > 24 * 60) {
            std::fputs(qPrintable(u"mikazuki backtest: --at には 0 から 1440 までの分を整数で"
                                  u"指定してください。\n"_s),
                       stderr);
            return ExitCode::Failed;
        }
        request.atMinutes = minutes;
        request.archivePath = parser.isSet(archiveOption) ? parser.value(archiveOption)
                                                          : OddsArchive::defaultPath();
        QString note;
        if (!OddsArchive::open(request.archivePath, note, true)) {
            std::fprintf(stderr, "mikazuki backtest: %s\n", qPrintable(note));
            return ExitCode::Failed;
        }
    }
    const QString unit = parser.value(resampleOption);
    if (unit == u"race"_s) {
        request.resample = ResampleUnit::Race;
    } else if (parser.isSet(resampleOption) && unit != u"day"_s) {
        std::fputs(
            qPrintable(u"mikazuki backtest: --resample には day か race を指定してください。\n"_s),
            stderr);
        return ExitCode::Failed;
    }
    const QString stake = parser.value(stakeOption);
    if (stake == u"kelly"_s || stake.startsWith(u"kelly:"_s)) {
        request.stake = StakeRule::Kelly;
        if (stake.size() > 5) {
            bool ok = false;
            request.kellyFraction = stake.mid(6).toDouble(&ok);
            if (!ok || !BacktestChoices::validKellyFraction(request.kellyFraction)) {
                std::fputs(
                    qPrintable(u"mikazuki backtest: kelly:FRACTION には 0 より大きく 1 以下の"
                               u"数を指定してください。\n"_s),
                    stderr);
                return ExitCode::Failed;
            }
        }
    } else if (parser.isSet(stakeOption) && stake != u"flat"_s) {
        std::fputs(qPrintable(u"mikazuki backtest: --stake には flat か kelly[:FRACTION] を"
                              u"指定してください。\n"_s),
                   stderr);
        return ExitCode::Failed;
    }
    if (parser.isSet(bankrollOption)) {
        bool ok = false;
        request.bankroll = parser.value(bankrollOption).toLongLong(&ok);
        if (!ok || !BacktestChoices::validBankroll(request.bankroll)) {
            std::fputs(
                qPrintable(u"mikazuki backtest: --bankroll には 100 から 1000000000000 までの"
                           u"円を整数で指定してください。\n"_s),
                stderr);
            return ExitCode::Failed;
        }
    }
    request.stakesPath = parser.value(stakesOption);
    if (!request.stakesPath.isEmpty() && request.stake != StakeRule::Kelly) {
        std::fputs(
            qPrintable(u"mikazuki backtest: --stakes は --stake kelly と一緒に使います。\n"_s),
            stderr);
        return ExitCode::Failed;
    }
    if (parser.isSet(walkOption)) {
        if (parser.isSet(stakeOption) && request.stake != StakeRule::Kelly) {
            std::fputs(qPrintable(u"mikazuki backtest: --walk-forward はケリー基準の賭け金で"
                                  u"行います。\n"_s),
                       stderr);
            return ExitCode::Failed;
        }
        // The rule as the window stakes: the settings' model and, unless given, their fraction.
        const StakeSettings stakes
            = StakeSettings::read(*SettingsStore::open(request.settingsFile));
        if (stakes.model == StakeModel::Harville) {
            std::fputs(qPrintable(u"mikazuki backtest: 賭け金のモデルがHarvilleのため、"
                                  u"ウォークフォワードでは何も賭けません。設定で市場合成か"
                                  u"割引Harvilleを選んでください。\n"_s),
                       stderr);
            return ExitCode::Failed;
        }
        if (!stake.startsWith(u"kelly:"_s)) {
            request.kellyFraction = stakes.kellyFraction;
        }
        request.stake = StakeRule::Kelly;
        request.walkForward = true;
        request.walkForwardModel = stakes.model;
        if (parser.isSet(refitOption)) {
            bool ok = false;
            request.refitDays = parser.value(refitOption).toInt(&ok);
            if (!ok || request.refitDays < 1 || request.refitDays > 1000) {
                std::fputs(qPrintable(u"mikazuki backtest: --refit-days には 1 から 1000 までの"
                                      u"整数を指定してください。\n"_s),
                           stderr);
                return ExitCode::Failed;
            }
        }
    } else if (parser.isSet(refitOption)) {
        std::fputs(qPrintable(u"mikazuki backtest: --refit-days は --walk-forward と一緒に"
                              u"使います。\n"_s),
                   stderr);
        return ExitCode::Failed;
    }
    const bool quiet = parser.isSet(quietOption);
    QElapsedTimer clock;
    clock.start();
    bool shown = false;
    const auto progress = [&](qint64 done, qint64 total) {
        // Only a run that lasts tells how it goes.
        if (quiet || clock.elapsed() < 1000 || total == 0) {
            return;
        }
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        std::fprintf(stderr,
                     "\r%3lld%%  %.0f レース/秒",
                     static_cast<long long>(done * 100 / total),
                     static_cast<double>(done) / seconds);
        std::fflush(stderr);
        shown = true;
    };
    const BacktestReport report = runBacktest(request, progress);
    if (shown) {
        std::fputs("\n", stderr);
    }
    std::fputs(qPrintable(backtestSkippedText(report)), stderr);
    if (!report.ok) {
        std::fprintf(stderr, "mikazuki backtest: %s\n", qPrintable(report.error));
        return ExitCode::Failed;
    }
    QString text = backtestSummaryText(report) + backtestSpaText(report) + u'\n';
    if (report.tested) {
        text += backtestChoiceText(report) + u'\n';
    }
    text += u'\n' + backtestStakeText(report) + backtestWalkForwardText(report);
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return ExitCode::Ok;
}

ExitCode exportCsv(const QString& settingsFile, const QString& out, const QString& zoFile)
{
    const auto settings = SettingsStore::open(settingsFile);
    StderrMessageSink sink;
    RaceDisplay display(*settings, sink);
    if (!display.load(zoFile)) {
        return ExitCode::Failed;
    }
    QString error;
    if (!CsvExport::write(display, out, &error)) {
        sink.message(fileFailureLine(out, error));
        Texts::tellSaveFailed(sink);
        return ExitCode::Failed;
    }
    return ExitCode::Ok;
}
