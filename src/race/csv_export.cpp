// SPDX-License-Identifier: MIT
#include "csv_export.h"

#include <cmath>

#include "base/cell.h"
#include "pat/shift_jis.h"
#include "race/csv_writer.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

// Half of a pair line: label, four numbers, mark, popularity, difference. The bulk of the file,
// so written straight into room made once, without a step per value.
constexpr int kHalfColumns[] = {LabelColumn,
                                TheoreticalColumn,
                                ActualColumn,
                                DeviationColumn,
                                SupportRatioColumn,
                                MarkColumn,
                                PopularityColumn,
                                DifferenceColumn};

qsizetype halfRoom(const PairRow* row)
{
    qsizetype room = 8; // separators
    for (const int column : kHalfColumns) {
        const bool number = column >= TheoreticalColumn && column <= SupportRatioColumn;
        room += number ? Cell::kMaxSingleText
                       : cellTextRoom(row != nullptr ? (*row)[column] : Cell());
    }
    return room;
}

char* writeHalf(char* at, const PairRow* row)
{
    const auto cell = [row](int column) {
        return row != nullptr ? (*row)[column] : Cell();
    };
    const Cell numbers[] = {cell(TheoreticalColumn),
                            cell(ActualColumn),
                            cell(DeviationColumn),
                            cell(SupportRatioColumn)};
    // The four roundings first: they do not wait for one another, the writing does.
    const std::optional<qint64> units[] = {numbers[0].shownUnits(),
                                           numbers[1].shownUnits(),
                                           numbers[2].shownUnits(),
                                           numbers[3].shownUnits()};
    at = writeCellText(at, cell(LabelColumn));
    for (std::size_t k = 0; k < std::size(numbers); ++k) {
        *at++ = ',';
        at += numbers[k].writeShownSingle(at, units[k]);
    }
    for (const int column : {MarkColumn, PopularityColumn, DifferenceColumn}) {
        *at++ = ',';
        at = writeCellText(at, cell(column));
    }
    return at;
}

} // namespace

QByteArray CsvExport::encode(const QString& text)
{
    QByteArray bytes(2 * text.size(), Qt::Uninitialized);
    bytes.truncate(writeShiftJis(text, bytes.data()));
    return bytes;
}

QByteArray CsvExport::build(const RaceDisplay& display)
{
    CsvBytes out;
    const auto blank = [&out] {
        out.put("\r\n");
    };
    const HorseTable& t = display.horseTable();
    const int n = t.getHorseCount();
    const int pairs = n * (n - 1) / 2;

    CsvLine(out).text(u"Mikazuki").text(u"v0.10").text(u"CSV出力ファイル");
    blank();
    CsvLine(out).text(u"開催").text(display.meeting());
    CsvLine(out).text(u"ﾚｰｽ").text(display.raceName());
    CsvLine(out).text(u"頭数").integer(n);
    blank();

    CsvLine(out).texts({u"人気",
                        u"判定",
                        u"単馬番",
                        u"複馬番",
                        u"単勝人気順　馬番",
                        u"単ｵｯｽﾞ",
                        u"支持率",
                        u"単：複比",
                        u"複勝人気順　馬番",
                        u"複ｵｯｽﾞMin",
                        u"Max",
                        u"平均",
                        u"支持率"});
    using C = HorseColumn;
    // A column shows a file's text or a derived cell, depending on the row's horse.
    const auto single = [&t](CsvLine& line, HorseColumn column, int row) -> CsvLine& {
        const Cell cell = t.cell(column, row);
        return cell.form() == CellForm::Empty ? line.singleOfText(t.fileText(column, row))
                                              : line.single(cell);
    };
    const auto text = [&t](CsvLine& line, HorseColumn column, int row) -> CsvLine& {
        return HorseTable::isFileColumn(column) ? line.text(t.fileText(column, row))
                                                : line.cellText(t.cell(column, row));
    };
    for (int k = 1; k <= n; ++k) {
        CsvLine line(out);
        line.integer(k);
        text(line, C::Mark, k)
            .integer(t.cell(C::WinOrderHorseNo, k).shownInteger())
            .integer(t.cell(C::PlaceOrderHorseNo, k).shownInteger());
        text(line, C::WinOrderHorseName, k);
        single(line, C::WinOrderOdds, k);
        single(line, C::WinOrderRatio, k);
        single(line, C::WinPlaceRatio, k);
        text(line, C::PlaceOrderHorseName, k);
        single(line, C::PlaceOrderOddsMin, k);
        single(line, C::PlaceOrderOddsMax, k);
        single(line, C::PlaceOrderOdds, k);
        single(line, C::PlaceOrderRatio, k);
    }
    blank();
    blank();

    CsvLine(out).texts({u"馬連",
                        u"理論値",
                        u"実際値",
                        u"乖離％",
                        u"支持率",
                        u"判定",
                        u"人気",
                        u"人気差",
                        u"ﾜｲﾄﾞ",
                        u"理論値",
                        u"実際値",
                        u"乖離％",
                        u"支持率",
                        u"判定",
                        u"人気",
                        u"人気差"});
    // Rows in their order on screen. A row the lists do not hold (no quinella odds were read)
    // counts as empty, and an empty quinella row gives an empty line.
    const auto& quinella = display.quinellaList().rows();
    const auto& wide = display.wideList().rows();
    for (std::size_t r = 0; r < static_cast<std::size_t>(pairs); ++r) {
        const PairRow* q = r < quinella.size() ? &quinella[r] : nullptr;
        const PairRow* w = r < wide.size() ? &wide[r] : nullptr;
        if (q == nullptr || (*q)[LabelColumn].showsNothing()) {
            blank();
            continue;
        }
        char* const start = out.room(halfRoom(q) + halfRoom(w) + 3);
        char* at = writeHalf(start, q);
        *at++ = ',';
        at = writeHalf(at, w);
        *at++ = '\r';
        *at++ = '\n';
        out.wrote(at - start);
    }
    blank();
    CsvLine(out).text(u"推奨買い目（ワイド）");
    for (const QString& entry : display.recommendedBetLines()) {
        CsvLine(out).text(entry);
    }
    blank();
    blank();
    for (const QString& entry : display.raceResultLines()) {
        CsvLine(out).text(entry);
    }
    return out.take();
}

bool CsvExport::write(const RaceDisplay& display, const QString& path, QString* error)
{
    return saveCsvBytes(build(display), path, error);
}

QByteArray CsvExport::buildMovement(const RaceDisplay& display)
{
    return buildMovement(display.meeting(),
                         display.raceName(),
                         display.horseTable().getHorseCount(),
                         display.history());
}

QByteArray CsvExport::buildMovement(const QString& meeting,
                                    const QString& raceName,
                                    int runners,
                                    const OddsHistory& history)
{
    CsvBytes out;
    CsvLine(out).text(u"Mikazuki").text(u"v0.10").text(u"オッズ推移");
    CsvLine(out).text(u"開催").text(meeting);
    CsvLine(out).text(u"ﾚｰｽ").text(raceName);
    out.put("\r\n");
    const int n = qMin(runners, kMaxRunners);
    std::vector<int> pairs;
    for (int a = 1; a < n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
            pairs.push_back(Cell::pairLabel(a, b).pairIndex());
        }
    }
    {
        CsvLine heading(out);
        heading.text(u"時刻");
        for (const auto& bet : {u"馬連"_s, u"ﾜｲﾄﾞ"_s}) {
            for (const int pair : pairs) {
                const int a = pair / (kMaxRunners + 1);
                heading.text(QString(bet + Cell::pairLabel(a, pair % (kMaxRunners + 1)).text()));
            }
        }
    }
    for (const OddsHistory::Snapshot& s : history.snapshots()) {
        CsvLine line(out);
        line.text(OddsHistory::timeText(s.time));
        for (const auto* values : {&s.quinella, &s.wide}) {
            for (const int pair : pairs) {
                const float value = (*values)[static_cast<std::size_t>(pair)];
                if (std::isnan(value)) {
                    line.plain({});
                } else {
                    line.single(Cell::number(value, CellForm::Fixed1));
                }
            }
        }
    }
    return out.take();
}

bool CsvExport::writeMovement(const RaceDisplay& display, const QString& path, QString* error)
{
    return saveCsvBytes(buildMovement(display), path, error);
}
