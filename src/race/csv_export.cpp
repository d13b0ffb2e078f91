// SPDX-License-Identifier: MIT
#include "csv_export.h"

#include <QSaveFile>

#include "base/cell.h"
#include "pat/shift_jis.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

// One CSV line appended to the file's bytes: values separated by ",", ended with CR LF.
class Line
{
public:
    explicit Line(QByteArray& out)
        : m_out(out)
    {}
    ~Line() { m_out += "\r\n"; }
    Q_DISABLE_COPY_MOVE(Line)

    Line& text(QStringView value)
    {
        separate();
        m_out += '"';
        // A quote inside a text is doubled.
        qsizetype from = 0;
        for (qsizetype quote = value.indexOf(u'"'); quote >= 0;
             quote = value.indexOf(u'"', quote + 1)) {
            appendShiftJis(value.mid(from, quote + 1 - from), m_out);
            from = quote;
        }
        appendShiftJis(value.mid(from), m_out);
        m_out += '"';
        return *this;
    }
    Line& texts(std::initializer_list<const char16_t*> values)
    {
        for (const char16_t* value : values) {
            text(QStringView(value));
        }
        return *this;
    }
    Line& integer(int value)
    {
        separate();
        m_out += QByteArray::number(value);
        return *this;
    }
    Line& single(const Cell& cell)
    {
        separate();
        cell.appendShownSingle(m_out);
        return *this;
    }
    Line& singleOfText(QStringView text)
    {
        separate();
        appendSingleOfText(text, m_out);
        return *this;
    }
    Line& cellText(const Cell& cell)
    {
        return cell.form() == CellForm::Text ? text(cell.textValue()) : text(cell.text());
    }

private:
    void separate()
    {
        if (m_any) {
            m_out += ',';
        }
        m_any = true;
    }

    QByteArray& m_out;
    bool m_any = false;
};

void pairHalf(Line& line, const PairGridModel::Row* row)
{
    const auto cell = [row](int column) {
        return row != nullptr ? (*row)[column] : Cell();
    };
    line.cellText(cell(LabelColumn))
        .single(cell(TheoreticalColumn))
        .single(cell(ActualColumn))
        .single(cell(DeviationColumn))
        .single(cell(SupportRatioColumn))
        .cellText(cell(MarkColumn))
        .cellText(cell(PopularityColumn))
        .cellText(cell(DifferenceColumn));
}

} // namespace

QByteArray CsvExport::encode(const QString& text)
{
    QByteArray bytes;
    appendShiftJis(text, bytes);
    return bytes;
}

QByteArray CsvExport::build(const RaceDisplay& display)
{
    QByteArray out;
    out.reserve(16 * 1024);
    const auto blank = [&out] {
        out += "\r\n";
    };
    const HorseTable& t = display.horseTable();
    const int n = t.getHorseCount();
    const int pairs = n * (n - 1) / 2;

    Line(out).text(u"Mikazuki").text(u"v0.10").text(u"CSV出力ファイル");
    blank();
    Line(out).text(u"開催").text(display.meeting());
    Line(out).text(u"ﾚｰｽ").text(display.raceName());
    Line(out).text(u"頭数").integer(n);
    blank();

    Line(out).texts({u"人気",
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
    const auto single = [&t](Line& line, HorseColumn column, int row) -> Line& {
        const Cell cell = t.cell(column, row);
        return cell.form() == CellForm::Empty ? line.singleOfText(t.fileText(column, row))
                                              : line.single(cell);
    };
    const auto text = [&t](Line& line, HorseColumn column, int row) -> Line& {
        return HorseTable::isFileColumn(column) ? line.text(t.fileText(column, row))
                                                : line.cellText(t.cell(column, row));
    };
    for (int k = 1; k <= n; ++k) {
        Line line(out);
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

    Line(out).texts({u"馬連",
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
    const auto& quinella = display.quinellaGrid().rows();
    const auto& wide = display.wideGrid().rows();
    for (std::size_t r = 0; r < static_cast<std::size_t>(pairs); ++r) {
        const PairGridModel::Row* q = r < quinella.size() ? &quinella[r] : nullptr;
        const PairGridModel::Row* w = r < wide.size() ? &wide[r] : nullptr;
        if (q == nullptr || (*q)[LabelColumn].showsNothing()) {
            blank();
            continue;
        }
        Line line(out);
        pairHalf(line, q);
        pairHalf(line, w);
    }
    blank();
    Line(out).text(u"推奨買い目（ワイド）");
    for (const QString& entry : display.recommendedBetLines()) {
        Line(out).text(entry);
    }
    blank();
    blank();
    for (const QString& entry : display.raceResultLines()) {
        Line(out).text(entry);
    }
    return out;
}

bool CsvExport::write(const RaceDisplay& display, const QString& path, QString* error)
{
    const QByteArray bytes = build(display);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}
