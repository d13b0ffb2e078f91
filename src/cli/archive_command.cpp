// SPDX-License-Identifier: MIT
#include "archive_command.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QDir>
#include <QLocale>

#include "base/file_failure.h"
#include "pat/race_time.h"
#include "race/archive_files.h"
#include "race/csv_writer.h"

using namespace Qt::StringLiterals;

QCommandLineOption makeArchiveOption()
{
    return {u"archive"_s,
            u"オッズの記録にこのファイルを使う（既定: %1）。"_s.arg(
                QDir::toNativeSeparators(OddsArchive::defaultPath())),
            u"FILE"_s};
}

ExitCode archiveCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"オッズの記録（SQLite）を扱う。\n"
        u"  import FOLDER...       フォルダのファイルを、その更新時刻のオッズとして記録する\n"
        u"  export --race KEY OUT  レース（Zo- ファイル名）のオッズ推移をCSVに書く\n"
        u"  info                   記録のレース数・スナップショット数・期間・大きさ\n"
        u"  check                  記録のファイルが壊れていないか全体を調べる"_s);
    parser.addHelpOption();
    const QCommandLineOption archiveOption = makeArchiveOption();
    const QCommandLineOption raceOption(
        u"race"_s, u"書き出すレース: その Zo- ファイルの名前。"_s, u"KEY"_s);
    parser.addOptions({archiveOption, raceOption});
    parser.addPositionalArgument(u"archive"_s, u"コマンド。"_s, u"archive"_s);
    parser.addPositionalArgument(
        u"ACTION"_s, u"import, export, info または check。"_s, u"import|export|info|check"_s);
    parser.process(arguments);

    QStringList words = parser.positionalArguments();
    words.removeFirst(); // "archive"
    const QString action = words.value(0);
    words.removeFirst();
    const auto say = [](const QString& text) {
        std::fprintf(stderr, "mikazuki archive: %s\n", qPrintable(text));
    };
    const auto fail = [&say](const QString& text) {
        say(text);
        return ExitCode::Failed;
    };
    if (action != u"import"_s && action != u"export"_s && action != u"info"_s
        && action != u"check"_s) {
        return fail(u"操作を指定してください: import FOLDER..., export --race KEY OUT, info"
                    u" または check"_s);
    }
    if (action == u"import"_s && words.isEmpty()) {
        return fail(u"import: フォルダを一つ以上指定してください"_s);
    }
    if (action == u"export"_s && (!parser.isSet(raceOption) || words.size() != 1)) {
        return fail(
            u"export: --race KEY でレースを、続けて書き出すファイルを一つ指定してください"_s);
    }
    const QString path
        = parser.isSet(archiveOption) ? parser.value(archiveOption) : OddsArchive::defaultPath();
    QString note;
    const auto archive = OddsArchive::open(path,
                                           note,
                                           action != u"import"_s,
                                           action == u"check"_s ? OddsArchive::Check::None
                                                                : OddsArchive::Check::Quick);
    if (!note.isEmpty()) {
        say(note);
    }
    if (!archive || (action == u"import"_s && archive->isReadOnly())) {
        return ExitCode::Failed;
    }

    if (action == u"import"_s) {
        const ArchiveImport report = importFolders(*archive, words);
        std::printf("%s\n",
                    qPrintable(u"レース %1  記録 %2  変化なし %3  失敗 %4"_s.arg(report.races)
                                   .arg(report.added)
                                   .arg(report.unchanged)
                                   .arg(report.failed)));
        for (const QString& folder : report.missing) {
            say(u"フォルダがありません: %1"_s.arg(QDir::toNativeSeparators(folder)));
        }
        if (!report.error.isEmpty()) {
            say(report.error);
        }
        return report.failed == 0 && report.missing.isEmpty() ? ExitCode::Ok : ExitCode::Failed;
    }
    if (action == u"export"_s) {
        const QByteArray csv = archivedMovement(*archive, parser.value(raceOption));
        if (csv.isEmpty()) {
            return fail(u"記録にないレースです: %1"_s.arg(parser.value(raceOption)));
        }
        QString error;
        if (!saveCsvBytes(csv, words.first(), &error)) {
            return fail(error);
        }
        return ExitCode::Ok;
    }
    if (action == u"check"_s) {
        const QStringList problems = archive->integrityCheck();
        if (problems == QStringList{u"ok"_s}) {
            std::printf("%s\n",
                        qPrintable(u"記録は壊れていません (integrity_check: ok): %1"_s.arg(
                            QDir::toNativeSeparators(path))));
            return ExitCode::Ok;
        }
        say(u"記録が壊れています: %1"_s.arg(QDir::toNativeSeparators(path)));
        for (const QString& problem : problems) {
            std::fprintf(stderr, "  %s\n", qPrintable(problem));
        }
        return ExitCode::Failed;
    }
    const OddsArchive::Info info = archive->info();
    const auto time = [](const QDateTime& t) {
        return t.isValid() ? t.toTimeZone(jraTimeZone()).toString(u"yyyy/MM/dd HH:mm:ss"_s)
                           : u"-"_s;
    };
    std::printf("%s",
                qPrintable(u"レース %1\nスナップショット %2\n最初 %3\n最後 %4\nバイト %5\n"_s
                               .arg(info.races)
                               .arg(info.snapshots)
                               .arg(time(info.first), time(info.last))
                               .arg(info.bytes)));
    return ExitCode::Ok;
}
