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
        store.setDetectVal(5);
        for (int horse = 1; horse <= 18; ++horse) {
            store.setHorseNoColor(horse, 16777215);
        }
        for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
            for (int level = 1; level <= 5; ++level) {
                store.setDetectMin(bet, level, 100);
                store.setDetectMax(bet, level, 200);
                store.setDispChar(bet, level, u"◎"_s);
            }
            store.setDispSign(bet, 0);
            store.setPlusColor(bet, 0);
            store.setMinusColor(bet, 255);
            store.setIsIdealLimit(bet, true);
            store.setIsRealLimit(bet, true);
            store.setIsWinRatioLimit(bet, true);
            store.setIsPlaceRatioLimit(bet, true);
            store.setIdealLimit(bet, 1000.0F);
            store.setRealLimit(bet, 300.0F);
            store.setWinRatioLimit(bet, 0.04F);
            store.setPlaceRatioLimit(bet, 0.05F);
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
        sum += store.getHorseNoColor(horse).value_or(0) & 1;
    }
    sum += store.getDetectVal().value_or(0);
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        for (int level = 1; level <= 5; ++level) {
            sum += store.getDetectMin(bet, level).value_or(0);
            sum += store.getDetectMax(bet, level).value_or(0);
            sum += static_cast<int>(store.getDispChar(bet, level).size());
        }
        sum += store.getDispSign(bet).value_or(0);
        sum += store.getPlusColor(bet).value_or(0) & 1;
        sum += store.getMinusColor(bet).value_or(0) & 1;
        sum += store.getIsIdealLimit(bet).value_or(false);
        sum += store.getIsRealLimit(bet).value_or(false);
        sum += store.getIsWinRatioLimit(bet).value_or(false);
        sum += store.getIsPlaceRatioLimit(bet).value_or(false);
        sum += static_cast<int>(store.getIdealLimit(bet).value_or(0));
        sum += static_cast<int>(store.getRealLimit(bet).value_or(0));
        sum += static_cast<int>(store.getWinRatioLimit(bet).value_or(0) * 100);
        sum += static_cast<int>(store.getPlaceRatioLimit(bet).value_or(0) * 100);
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
