// SPDX-License-Identifier: MIT
// A byte-level net under the CSV export: 2,000 exports of generated races, compared by SHA-256
// with a recorded list. It guards that no byte of any race's CSV changes; whether the bytes are
// right is for the other tests. The list also holds patgen's random draws: a change to the
// generator needs a new list.
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

#include "race/csv_export.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

// Four seeds × 100 races × 5 settings = 2,000 CSVs. Per race the seed draws the runner count
// (2 to 18) and whether a result file exists (three races in five).
constexpr std::uint64_t kSeeds[] = {1, 1206, 20261206, 0x5EEDF00D};
constexpr int kRacesPerSeed = 100;

GeneratedHorse& horse(GeneratedRace& race, int no)
{
    return race.horses[static_cast<std::size_t>(no - 1)];
}

// The running horse with the highest or the lowest win chance.
int runnerWith(GeneratedRace& race, bool highest)
{
    int found = 0;
    for (int no = 1; no <= race.runners(); ++no) {
        const double p = horse(race, no).winProbability;
        if (!horse(race, no).scratched
            && (found == 0
                || (highest ? p > horse(race, found).winProbability
                            : p < horse(race, found).winProbability))) {
            found = no;
        }
    }
    return found;
}

void setPair(GeneratedPair& pair, double quinella, double wideMin, double wideMax)
{
    pair.quinellaOdds = quinella;
    pair.wideOddsMin = wideMin;
    pair.wideOddsMax = wideMax;
}

// Edge values the generator's plausible markets never reach, one kind per race (index % 8):
//   0, 1  as generated;
//   2     the favourite at 1.0 win and 1.0–1.0 place;
//   3     the longest outsider at 999.9 (the widest a win or place field holds) and every open
//         pair with it at 9999.9;
//   4     first pair 9999.9 / 9999.9–9999.9, middle pair wide 0.0–0.0 (actual odds 0), last
//         pair 1.0 / 1.0–1.0 (a quinella 0.0 would be written "ﾄﾘｹｼ"); a pair may now be open
//         although one of its horses is scratched;
//   5     the highest-numbered running horse scratched after the market was made, so the
//         ratios no longer sum to one and the result may name the scratched horse;
//   6     the favourite at win odds 0.0 with an inverted place range 5.0–1.5;
//   7     the outsider's win odds field blank, patched into the written file (the generator
//         writes blanks only in a scratched horse's place odds).
void mutate(GeneratedRace& race, int kind)
{
    if (kind == 2) {
        auto& h = horse(race, runnerWith(race, true));
        h.winOdds = h.placeOddsMin = h.placeOddsMax = 1.0;
    } else if (kind == 3) {
        const int no = runnerWith(race, false);
        auto& h = horse(race, no);
        h.winOdds = h.placeOddsMin = h.placeOddsMax = 999.9;
        for (auto& pair : race.pairs) {
            if ((pair.first == no || pair.second == no) && pair.quinellaOdds != 0.0) {
                setPair(pair, 9999.9, 9999.9, 9999.9);
            }
        }
    } else if (kind == 4) {
        setPair(race.pairs.front(), 9999.9, 9999.9, 9999.9);
        setPair(race.pairs[race.pairs.size() / 2], 12.3, 0.0, 0.0);
        setPair(race.pairs.back(), 1.0, 1.0, 1.0);
    } else if (kind == 5) {
        int no = race.runners();
        while (horse(race, no).scratched) {
            --no;
        }
        auto& h = horse(race, no);
        h.scratched = true;
        h.winProbability = h.winOdds = h.placeOddsMin = h.placeOddsMax = 0.0;
        for (auto& pair : race.pairs) {
            if (pair.first == no || pair.second == no) {
                setPair(pair, 0.0, 0.0, 0.0);
            }
        }
    } else if (kind == 6) {
        auto& h = horse(race, runnerWith(race, true));
        h.winOdds = 0.0;
        h.placeOddsMin = 5.0;
        h.placeOddsMax = 1.5;
    }
}

void blankWinOdds(const TestFolder& folder, GeneratedRace& race)
{
    QByteArray bytes = winPlaceOddsBytes(race);
    // The file ends in one 18-byte entry per horse; its win odds are bytes 3 to 7.
    const int no = runnerWith(race, false);
    bytes.replace(bytes.size() - 18 * (race.runners() - no + 1) + 3, 5, QByteArray(5, ' '));
    folder.write(winPlaceOddsFileName(race), bytes);
}

void putJudge(SettingsStore& s, const QString& key, const QString& text)
{
    s.writeText(QString::fromUtf16(SettingsSection::kAutoJudge), key, text);
}

struct SettingsCase
{
    const char* name;
    void (*fill)(SettingsStore&);
};

const SettingsCase kSettings[] = {
    {"defaults",
     [](SettingsStore&) {
     }},
    // Narrow, empty, inverted and overlapping levels; marks with a quote, a comma, a character
    // outside code page 932 and none at all.
    {"levels",
     [](SettingsStore& s) {
         s.writeInteger16(SettingsKey::DetectVal, {}, 1, 1);
         const qint16 bounds[2][5][2] = {{{0, 1}, {1, 1}, {-5, 3}, {50, 2}, {2, 32767}},
                                         {{0, 10}, {5, 15}, {10, 20}, {15, 1000}, {0, 0}}};
         const char16_t* marks[2][5]
             = {{u"\"", u"a\"b", u"🐎", u"", u"大穴"}, {u",", u"◎", u"'", u" ", u"€"}};
         for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
             const auto b = static_cast<std::size_t>(bet);
             for (int level = 1; level <= 5; ++level) {
                 const auto l = static_cast<std::size_t>(level - 1);
                 s.writeInteger16(SettingsKey::DetectMin, bet, level, bounds[b][l][0]);
                 s.writeInteger16(SettingsKey::DetectMax, bet, level, bounds[b][l][1]);
                 s.writeText(SettingsKey::DispChar, bet, level, QString::fromUtf16(marks[b][l]));
             }
         }
     }},
    // Only positive deviations for the quinella, only negative ones for the wide, with odd limits.
    {"signs",
     [](SettingsStore& s) {
         s.writeInteger16(SettingsKey::DispSign, BetType::Quinella, 1, 1);
         s.writeInteger16(SettingsKey::DispSign, BetType::Wide, 1, 2);
         s.writeSingle(SettingsKey::TheoreticalLimit, BetType::Quinella, 1, 50.5F);
         s.writeSingle(SettingsKey::ActualLimit, BetType::Wide, 1, 10.0F);
         s.writeSingle(SettingsKey::WinRatioLimit, BetType::Quinella, 1, 0.1F);
         s.writeSingle(SettingsKey::PlaceRatioLimit, BetType::Wide, 1, 0.0F);
     }},
    // The signs the other way round and every limit off.
    {"nolimits",
     [](SettingsStore& s) {
         s.writeInteger16(SettingsKey::DetectVal, {}, 1, 18);
         for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
             s.writeInteger16(SettingsKey::DispSign, bet, 1, bet == BetType::Quinella ? 2 : 1);
             s.writeFlag(SettingsKey::IsTheoreticalLimit, bet, 1, false);
             s.writeFlag(SettingsKey::IsActualLimit, bet, 1, false);
             s.writeFlag(SettingsKey::IsWinRatioLimit, bet, 1, false);
             s.writeFlag(SettingsKey::IsPlaceRatioLimit, bet, 1, false);
         }
     }},
    // Texts that do not convert, or convert only loosely, where numbers and flags belong.
    {"garbage",
     [](SettingsStore& s) {
         putJudge(s, u"DetectVal"_s, u"abc"_s);
         putJudge(s, u"DetectMinUma1"_s, u"1e3"_s);
         putJudge(s, u"DetectMaxUma2"_s, QString());
         putJudge(s, u"DetectMinWide3"_s, u"40000"_s);
         putJudge(s, u"DetectMaxWide1"_s, u"１００"_s);
         putJudge(s, u"DispSignUma"_s, u"x"_s);
         putJudge(s, u"DispSignWide"_s, u"1.5"_s);
         putJudge(s, u"IsIdealLimitUma"_s, u"maybe"_s);
         putJudge(s, u"IsRealLimitWide"_s, u"0.0"_s);
         putJudge(s, u"IsTanRatioLimitUma"_s, u"2"_s);
         putJudge(s, u"IdealLimitWide"_s, u"1,000.5"_s);
         putJudge(s, u"RealLimitUma"_s, u" 250 "_s);
         putJudge(s, u"TanRatioLimitWide"_s, u"0x10"_s);
         putJudge(s, u"FukuRatioLimitUma"_s, u"-0.0"_s);
     }},
};

struct Export
{
    explicit Export(const QString& iniPath)
        : settings(iniPath)
    {}
    SettingsStore settings;
    RecordingMessageSink sink;
    RaceDisplay display{settings, sink};
};

} // namespace

// To record the list again after a deliberate change of the output, run this test with
// MIKAZUKI_WRITE_CSV_SHA256=1: it then writes the list and fails, so it is never green by
// writing.
TEST(CsvRegression, GeneratedRacesExportTheRecordedBytes)
{
    TestFolder settingsFolder;
    std::vector<std::unique_ptr<Export>> exports;
    for (const SettingsCase& c : kSettings) {
        exports.push_back(std::make_unique<Export>(
            settingsFolder.filePath(QString::fromLatin1(c.name) + u".ini"_s)));
        c.fill(exports.back()->settings);
        exports.back()->settings.sync();
    }

    // MIKAZUKI_CSV_DUMP_DIR names a folder for every CSV written: two builds' folders compared
    // show which bytes changed.
    const QString dumpDir = qEnvironmentVariable("MIKAZUKI_CSV_DUMP_DIR");
    std::vector<std::pair<QByteArray, QByteArray>> digests;
    for (const std::uint64_t seed : kSeeds) {
        const TestFolder folder;
        PatRandom random(seed);
        for (int index = 0; index < kRacesPerSeed; ++index) {
            const int runners = random.between(2, 18);
            const bool withResult = random.uniform() < 0.6;
            GeneratedRace race = generateRace(random, index, runners, withResult);
            mutate(race, index % 8);
            QString error;
            ASSERT_TRUE(writeRaceSet(folder.path(), race, &error)) << error.toStdString();
            if (index % 8 == 7) {
                blankWinOdds(folder, race);
            }
            const QString zo = folder.filePath(winPlaceOddsFileName(race));
            for (std::size_t s = 0; s < exports.size(); ++s) {
                ASSERT_TRUE(exports[s]->display.load(zo)) << zo.toStdString();
                const QByteArray id = QByteArray::number(seed) + '-'
                                      + QByteArray::number(index).rightJustified(3, '0') + '-'
                                      + kSettings[s].name;
                const QByteArray csv = CsvExport::build(exports[s]->display);
                if (!dumpDir.isEmpty()) {
                    QFile dump(dumpDir + u'/' + QString::fromLatin1(id) + u".csv"_s);
                    ASSERT_TRUE(dump.open(QIODevice::WriteOnly) && dump.write(csv) == csv.size())
                        << dump.fileName().toStdString();
                }
                digests.emplace_back(
                    id, QCryptographicHash::hash(csv, QCryptographicHash::Sha256).toHex());
            }
        }
    }
    ASSERT_EQ(digests.size(), 2000U);

    const QString listPath = QString::fromUtf8(CSV_SHA256_FILE);
    if (qEnvironmentVariableIntValue("MIKAZUKI_WRITE_CSV_SHA256") == 1) {
        QSaveFile out(listPath);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("# SHA-256 of the CSV export of generated races: csv_regression_test.cpp.\n"
                  "# Rewritten by running regression_tests with MIKAZUKI_WRITE_CSV_SHA256=1.\n");
        for (const auto& [id, digest] : digests) {
            out.write(id + ' ' + digest + '\n');
        }
        ASSERT_TRUE(out.commit()) << out.errorString().toStdString();
        FAIL() << "Wrote " << digests.size() << " digests to " << listPath.toStdString()
               << "; run again without MIKAZUKI_WRITE_CSV_SHA256 to compare.";
    }

    QFile in(listPath);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << listPath.toStdString();
    std::map<QByteArray, QByteArray> recorded;
    for (const QByteArray& line : in.readAll().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() == 2 && !fields[0].startsWith('#')) {
            recorded[fields[0]] = fields[1];
        }
    }
    EXPECT_EQ(recorded.size(), digests.size()) << "the list and this test name other exports";
    QByteArrayList differing;
    for (const auto& [id, digest] : digests) {
        const auto it = recorded.find(id);
        if (it == recorded.end() || it->second != digest) {
            differing.push_back(id);
        }
    }
    EXPECT_TRUE(differing.isEmpty())
        << differing.size() << " of " << digests.size() << " CSVs differ from "
        << listPath.toStdString() << ", first " << differing.mid(0, 5).join(", ").toStdString()
        << ". If the change is intended, record the list again (MIKAZUKI_WRITE_CSV_SHA256=1).";
}
