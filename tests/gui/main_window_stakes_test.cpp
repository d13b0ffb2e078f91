// SPDX-License-Identifier: MIT
// The pair lists' value columns, offscreen: the stakes of the race under a kept fit, the sort by
// expected value, and the line that says why a bet type has none.
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include <QDir>
#include <QTableView>

#include "gui/grouped_number.h"
#include "gui/main_window.h"
#include "gui/pair_list_model.h"
#include "gui/stake_panel.h"
#include "main_window_support.h"
#include "race/auto_calibration.h"
#include "race/race_stakes.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

// The row of a list that shows the pair a-b; -1 when none does.
int rowOf(QTableView* view, int a, int b)
{
    const QString label = Cell::pairLabel(a, b).text();
    const QStringList labels = columnTexts(view, LabelColumn);
    return static_cast<int>(labels.indexOf(label));
}

} // namespace

TEST(MainWindow, ValueColumnsShowTheStakesOfTheKeptFitAndSortByValue)
{
    Gui g;
    const QString zo = g.writeRaces();
    SettingsStore settings(g.ini);
    // The blend beats the pool on quinella out of sample, not on wide.
    ModelFit fit = openQuinellaFit(settings);
    fit.test[1].races = 1000;
    fit.test[1].blendGain = {0.001, -0.004, 0.006};
    fit.write(settings);

    MainWindow window(settings, &g.sink);
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    window.show();
    window.loadRace(zo);
    auto* uma = child<QTableView>(window, u"grdUmaRen"_s);
    auto* wide = child<QTableView>(window, u"grdWide"_s);
    const RaceStakes stakes
        = raceStakesOf(window.display(), StakeSettings::read(settings), ModelFit::read(settings));

    // Every quinella bet shows its stake by its pair; a pair without one shows none.
    int staked = 0;
    for (const PairValue& v : stakes.pairs[0]) {
        const int row = rowOf(uma, v.first, v.second);
        ASSERT_GE(row, 0);
        EXPECT_EQ(uma->model()->index(row, StakeYenColumn).data().toString(),
                  v.stake > 0 ? groupedNumber(QString::number(v.stake)) : QString());
        EXPECT_NEAR(uma->model()->index(row, ValueColumn).data().toString().toDouble(),
                    v.value,
                    0.005 + 1e-9);
        staked += v.stake > 0 ? 1 : 0;
    }
    EXPECT_GT(staked, 0) << "no quinella stake in the race; best value "
                         << stakes.best(BetType::Quinella)->value;
    // Wide values are shown, its stakes are not, and the line says why.
    EXPECT_FALSE(columnTexts(wide, ValueColumn).join(QString()).isEmpty());
    EXPECT_TRUE(columnTexts(wide, StakeYenColumn).join(QString()).isEmpty());
    const QString line = labelText(window, u"lblStakeModel"_s);
    EXPECT_TRUE(line.startsWith(stakes.modelLine)) << line.toStdString();
    EXPECT_TRUE(line.contains(u"ﾜｲﾄﾞ: 賭け金なし（プールに勝るモデルがありません）"_s))
        << line.toStdString();
    EXPECT_FALSE(line.contains(u"馬連: "_s));

    // A click on 期待値: the highest value first, the bets without one last; the list the CSV
    // writes keeps its order.
    const QStringList before = columnTexts(uma, LabelColumn);
    clickHeading(uma, ValueColumn, Qt::LeftButton);
    const PairValue* best = stakes.best(BetType::Quinella);
    ASSERT_NE(best, nullptr);
    EXPECT_EQ(uma->model()->index(0, LabelColumn).data().toString(),
              Cell::pairLabel(best->first, best->second).text());
    QStringList values = columnTexts(uma, ValueColumn);
    const auto firstBlank = std::ranges::find(values, QString());
    EXPECT_TRUE(
        std::all_of(firstBlank, values.end(), [](const QString& t) { return t.isEmpty(); }));
    std::vector<double> numbers;
    std::transform(values.begin(), firstBlank, std::back_inserter(numbers), [](const QString& t) {
        return t.toDouble();
    });
    EXPECT_TRUE(std::ranges::is_sorted(numbers, std::greater<>()));
    QStringList listOrder;
    for (const PairRow& row : window.display().quinellaList().rows()) {
        listOrder << row[LabelColumn].text();
    }
    EXPECT_EQ(listOrder, before);
    // A reload keeps the sort; a click on a column of the list's own ends it.
    window.loadRace(zo);
    EXPECT_EQ(uma->model()->index(0, LabelColumn).data().toString(),
              Cell::pairLabel(best->first, best->second).text());
    // Another race opened while sorted by value: its own values, in its own order.
    QString other;
    for (const QString& name : QDir(g.folder.path()).entryList({u"Zo-*"_s})) {
        if (g.folder.filePath(name) != zo) {
            other = g.folder.filePath(name);
        }
    }
    window.loadRace(other);
    const RaceStakes otherStakes
        = raceStakesOf(window.display(), StakeSettings::read(settings), ModelFit::read(settings));
    ASSERT_EQ(otherStakes.pairs[0].size(), 21U); // seven runners
    ASSERT_EQ(uma->model()->rowCount(), 21);
    for (const PairValue& v : otherStakes.pairs[0]) {
        const int row = rowOf(uma, v.first, v.second);
        ASSERT_GE(row, 0);
        EXPECT_NEAR(uma->model()->index(row, ValueColumn).data().toString().toDouble(),
                    v.value,
                    0.005 + 1e-9);
    }
    const PairValue* otherBest = otherStakes.best(BetType::Quinella);
    EXPECT_EQ(uma->model()->index(0, LabelColumn).data().toString(),
              Cell::pairLabel(otherBest->first, otherBest->second).text());
    window.loadRace(zo);
    clickHeading(uma, LabelColumn, Qt::LeftButton);
    EXPECT_EQ(columnTexts(uma, LabelColumn), before);

    // The gate shut for both: one reason for both, and no stakes anywhere.
    fit.test[0].blendGain = {0.001, -0.004, 0.006};
    fit.write(settings);
    window.findChild<StakePanel*>()->update();
    EXPECT_TRUE(labelText(window, u"lblStakeModel"_s)
                    .contains(u"馬連・ﾜｲﾄﾞ: 賭け金なし（プールに勝るモデルがありません）"_s));
    EXPECT_TRUE(columnTexts(uma, StakeYenColumn).join(QString()).isEmpty());
    EXPECT_FALSE(window.findChild<StakePanel*>()->calibration().running());
}
