// SPDX-License-Identifier: MIT
// Reading every setting one analysis run needs from an INI-backed store, against the same
// number of lookups in a QHash<QString, QString> measured in the same run.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

#include <QCoreApplication>
#include <QHash>
#include <QTemporaryDir>

#include "bench_main.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

// A store holding every key, as after the options dialog's OK.
QString populatedIni()
{
    static const QString path = [] {
        const QString file = folder().filePath(u"settings.ini"_s);
        SettingsStore store(file);
        store.setPatFolder(u"/srv/pat"_s);
        store.writeInteger16(SettingsKey::DetectVal, {}, 1, 5);
        for (int horse = 1; horse <= 18; ++horse) {
            store.writeInteger32(SettingsKey::HorseNoColour, {}, horse, 16777215);
        }
        for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
            for (int level = 1; level <= 5; ++level) {
                store.writeInteger16(SettingsKey::DetectMin, bet, level, 100);
                store.writeInteger16(SettingsKey::DetectMax, bet, level, 200);
                store.writeText(SettingsKey::DispChar, bet, level, u"◎"_s);
            }
            store.writeInteger16(SettingsKey::DispSign, bet, 1, 0);
            store.writeInteger32(SettingsKey::PlusColour, bet, 1, 0);
            store.writeInteger32(SettingsKey::MinusColour, bet, 1, 255);
            store.writeFlag(SettingsKey::IsTheoreticalLimit, bet, 1, true);
            store.writeFlag(SettingsKey::IsActualLimit, bet, 1, true);
            store.writeFlag(SettingsKey::IsWinRatioLimit, bet, 1, true);
            store.writeFlag(SettingsKey::IsPlaceRatioLimit, bet, 1, true);
            store.writeSingle(SettingsKey::TheoreticalLimit, bet, 1, 1000.0F);
            store.writeSingle(SettingsKey::ActualLimit, bet, 1, 300.0F);
            store.writeSingle(SettingsKey::WinRatioLimit, bet, 1, 0.04F);
            store.writeSingle(SettingsKey::PlaceRatioLimit, bet, 1, 0.05F);
        }
        return file;
    }();
    return path;
}

// The keys of one analysis run: horse colours, the popularity threshold, and per bet type the
// five levels and the eleven other keys. 71 reads.
int readRun(const SettingsStore& store)
{
    int sum = 0;
    for (int horse = 1; horse <= 18; ++horse) {
        sum += store.readInteger32(SettingsKey::HorseNoColour, {}, horse).value_or(0) & 1;
    }
    sum += store.readInteger16(SettingsKey::DetectVal).value_or(0);
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        for (int level = 1; level <= 5; ++level) {
            sum += store.readInteger16(SettingsKey::DetectMin, bet, level).value_or(0);
            sum += store.readInteger16(SettingsKey::DetectMax, bet, level).value_or(0);
            sum += static_cast<int>(store.readText(SettingsKey::DispChar, bet, level).size());
        }
        sum += store.readInteger16(SettingsKey::DispSign, bet).value_or(0);
        sum += store.readInteger32(SettingsKey::PlusColour, bet).value_or(0) & 1;
        sum += store.readInteger32(SettingsKey::MinusColour, bet).value_or(0) & 1;
        sum += store.readFlag(SettingsKey::IsTheoreticalLimit, bet).value_or(false);
        sum += store.readFlag(SettingsKey::IsActualLimit, bet).value_or(false);
        sum += store.readFlag(SettingsKey::IsWinRatioLimit, bet).value_or(false);
        sum += store.readFlag(SettingsKey::IsPlaceRatioLimit, bet).value_or(false);
        sum += static_cast<int>(store.readSingle(SettingsKey::TheoreticalLimit, bet).value_or(0));
        sum += static_cast<int>(store.readSingle(SettingsKey::ActualLimit, bet).value_or(0));
        sum += static_cast<int>(store.readSingle(SettingsKey::WinRatioLimit, bet).value_or(0)
                                * 100);
        sum += static_cast<int>(store.readSingle(SettingsKey::PlaceRatioLimit, bet).value_or(0)
                                * 100);
    }
    return sum;
}

constexpr int kKeysPerRun = 18 + 1 + 2 * (15 + 11);

void BM_HashBaseline(benchmark::State& state)
{
    QHash<QString, QString> hash;
    QStringList keys;
    for (int k = 0; k < kKeysPerRun; ++k) {
        keys << u"Option/AutoJudge/Key%1"_s.arg(k);
        hash.insert(keys.back(), QString::number(k));
    }
    for (auto _ : state) {
        qsizetype sum = 0;
        for (const QString& key : keys) {
            sum += hash.value(key).size();
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_SettingsRun(benchmark::State& state)
{
    const SettingsStore store(populatedIni());
    for (auto _ : state) {
        benchmark::DoNotOptimize(readRun(store));
    }
}

BENCHMARK(BM_HashBaseline);
BENCHMARK(BM_SettingsRun);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks(
        argc, argv, "71 settings of one analysis run", "BM_SettingsRun", "BM_HashBaseline");
}
