// SPDX-License-Identifier: MIT
#include "archive_command.h"

#include <cstdio>

#include <QCommandLineParser>
#include <QDir>
#include <QLocale>

#include "base/file_failure.h"
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
        u"  info                   記録のレース数・スナップショット数・期間・大きさ"_s);
    parser.addHelpOption();
    const QCommandLineOption archiveOption = makeArchiveOption();
    const QCommandLineOption raceOption(
        u"race"_s, u"書き出すレース: その Zo- ファイルの名前。"_s, u"KEY"_s);
    parser.addOptions({archiveOption, raceOption});
    parser.addPositionalArgument(u"archive"_s, u"コマンド。"_s, u"archive"_s);
    parser.addPositionalArgument(
        u"ACTION"_s, u"import, export または info。"_s, u"import|export|info"_s);
    parser.process(arguments);

    QStringList words = parser.positionalArguments();
    words.removeFirst(); // "archive"
    const QString action = words.value(0);
    words.removeFirst();
    const auto fail = [](const char* text) {
        std::fprintf(stderr, "mikazuki archive: %s\n", text);
        return ExitCode::Failed;
    };
    if (action != u"import"_s && action != u"export"_s && action != u"info"_s) {
        return fail("name an action: import FOLDER..., export --race KEY OUT or info");
    }
    if (action == u"import"_s && words.isEmpty()) {
        return fail("import: name at least one FOLDER");
    }
    if (action == u"export"_s && (!parser.isSet(raceOption) || words.size() != 1)) {
        return fail("export: name the race with --race KEY and one OUT file");
    }
    const QString path
        = parser.isSet(archiveOption) ? parser.value(archiveOption) : OddsArchive::defaultPath();
    QString note;
    const auto archive = OddsArchive::open(path, note, action != u"import"_s);
    if (!note.isEmpty()) {
        std::fprintf(stderr, "mikazuki archive: %s\n", qPrintable(note));
    }
    if (!archive || (action == u"import"_s && archive->isReadOnly())) {
        return ExitCode::Failed;
    }

    if (action == u"import"_s) {
        const ArchiveImport report = importFolders(*archive, words);
        std::printf("races %lld  stored %lld  unchanged %lld  failed %lld\n",
                    static_cast<long long>(report.races),
                    static_cast<long long>(report.added),
                    static_cast<long long>(report.unchanged),
                    static_cast<long long>(report.failed));
        if (!report.error.isEmpty()) {
            std::fprintf(stderr, "mikazuki archive: %s\n", qPrintable(report.error));
        }
        return report.failed == 0 && (report.races > 0 || report.error.isEmpty())
                   ? ExitCode::Ok
                   : ExitCode::Failed;
    }
    if (action == u"export"_s) {
        const QByteArray csv = archivedMovement(*archive, parser.value(raceOption));
        if (csv.isEmpty()) {
            std::fprintf(stderr,
                         "mikazuki archive: no race %s in the archive\n",
                         qPrintable(parser.value(raceOption)));
            return ExitCode::Failed;
        }
        QString error;
        if (!saveCsvBytes(csv, words.first(), &error)) {
            std::fprintf(stderr, "mikazuki archive: %s\n", qPrintable(error));
            return ExitCode::Failed;
        }
        return ExitCode::Ok;
    }
    const OddsArchive::Info info = archive->info();
    const auto time = [](const QDateTime& t) {
        return t.isValid() ? t.toString(u"yyyy/MM/dd HH:mm:ss"_s) : u"-"_s;
    };
    std::printf("races %lld\nsnapshots %lld\nfirst %s\nlast %s\nbytes %lld\n",
                static_cast<long long>(info.races),
                static_cast<long long>(info.snapshots),
                qPrintable(time(info.first)),
                qPrintable(time(info.last)),
                static_cast<long long>(info.bytes));
    return ExitCode::Ok;
}
