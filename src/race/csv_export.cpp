// SPDX-License-Identifier: MIT
#include "csv_export.h"

#include <charconv>
#include <string_view>

#include <QSaveFile>

#include "base/cell.h"
#include "pat/shift_jis.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

// The file's bytes, written through a pointer into room made beforehand: the values are short,
// and a size check per byte would cost more than the values.
class Bytes
{
public:
    Bytes()
    {
        m_data.resize(64 * 1024); // more than an 18-runner race writes
        m_begin = m_data.data();
    }

    /// Room for `count` more bytes; wrote() then counts what was written there.
    char* room(qsizetype count)
    {
        if (m_size + count > m_data.size()) {
            m_data.resize(qMax(2 * m_data.size(), m_size + count));
            m_begin = m_data.data();
        }
        return m_begin + m_size;
    }
    void wrote(qsizetype count) { m_size += count; }
    void put(char c)
    {
        *room(1) = c;
        wrote(1);
    }
    void put(std::string_view text)
    {
        char* at = room(static_cast<qsizetype>(text.size()));
        for (const char c : text) { // a few bytes: a library copy would be a call
            *at++ = c;
        }
        wrote(static_cast<qsizetype>(text.size()));
    }
    QByteArray take()
    {
        m_data.truncate(m_size);
        return std::move(m_data);
    }

private:
    QByteArray m_data;
    char* m_begin = nullptr; // m_data's bytes, asked once per growth: data() checks for sharing
    qsizetype m_size = 0;
};

// Through the code page; a quote inside is doubled (only reached when the code page does not
// keep ASCII as it is).
char* encodeRun(QStringView run, char* out)
{
    qsizetype from = 0;
    for (qsizetype at = 0; at < run.size(); ++at) {
        if (run[at] == u'"') {
            out += writeShiftJis(run.mid(from, at + 1 - from), out);
            from = at;
        }
    }
    return out + writeShiftJis(run.mid(from), out);
}

// The bytes a quoted text may take: every character at most two, a doubled quote too.
qsizetype quotedRoom(QStringView text)
{
    return 2 * text.size() + 2;
}

// A text in double quotes, a quote inside doubled.
char* writeQuoted(char* at, QStringView value)
{
    *at++ = '"';
    const bool asciiAsIs = shiftJisKeepsPrintableAscii();
    qsizetype i = 0;
    while (i < value.size()) {
        const char16_t c = value[i].unicode();
        if (c == u'"' && asciiAsIs) {
            *at++ = '"';
            *at++ = '"';
            ++i;
        } else if (c >= 0x20 && c < 0x7F && asciiAsIs) {
            *at++ = static_cast<char>(c);
            ++i;
        } else {
            // A run of other characters goes through the code page as a whole.
            qsizetype end = i + 1;
            while (end < value.size()
                   && !(value[end].unicode() >= 0x20 && value[end].unicode() < 0x7F)) {
                ++end;
            }
            if (!asciiAsIs) {
                end = value.size();
            }
            at = encodeRun(value.mid(i, end - i), at);
            i = end;
        }
    }
    *at++ = '"';
    return at;
}

constexpr qsizetype kIntegerRoom = 24;

// A cell as the CSV quotes it; an integer's digits without making its text.
qsizetype cellTextRoom(const Cell& cell)
{
    return cell.form() == CellForm::Integer ? kIntegerRoom + 2 : 2 * cell.textLength() + 2;
}

char* writeCellText(char* at, const Cell& cell)
{
    switch (cell.form()) {
    case CellForm::Empty:
        return writeQuoted(at, {});
    case CellForm::Text:
    case CellForm::PairLabel:
        return writeQuoted(at, cell.textValue());
    case CellForm::Integer:
        *at++ = '"';
        at = std::to_chars(at, at + kIntegerRoom, static_cast<qint64>(cell.value())).ptr;
        *at++ = '"';
        return at;
    default:
        return writeQuoted(at, cell.text());
    }
}

// One CSV line: values separated by ",", ended with CR LF.
class Line
{
public:
    explicit Line(Bytes& out)
        : m_out(out)
    {}
    ~Line() { m_out.put("\r\n"); }
    Q_DISABLE_COPY_MOVE(Line)

    Line& text(QStringView value)
    {
        separate();
        char* const start = m_out.room(quotedRoom(value));
        m_out.wrote(writeQuoted(start, value) - start);
        return *this;
    }
    Line& texts(std::initializer_list<const char16_t*> values)
    {
        for (const char16_t* value : values) {
            text(QStringView(value));
        }
        return *this;
    }
    Line& integer(qint64 value)
    {
        separate();
        char* at = m_out.room(kIntegerRoom);
        m_out.wrote(std::to_chars(at, at + kIntegerRoom, value).ptr - at);
        return *this;
    }
    Line& single(const Cell& cell)
    {
        separate();
        m_out.wrote(cell.writeShownSingle(m_out.room(Cell::kMaxSingleText)));
        return *this;
    }
    Line& singleOfText(QStringView text)
    {
        separate();
        m_out.wrote(writeSingleOfText(text, m_out.room(Cell::kMaxSingleText)));
        return *this;
    }
    Line& cellText(const Cell& cell)
    {
        separate();
        char* const start = m_out.room(cellTextRoom(cell));
        m_out.wrote(writeCellText(start, cell) - start);
        return *this;
    }

private:
    void separate()
    {
        if (m_any) {
            m_out.put(',');
        }
        m_any = true;
    }

    Bytes& m_out;
    bool m_any = false;
};

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

qsizetype halfRoom(const PairGridModel::Row* row)
{
    qsizetype room = 8; // separators
    for (const int column : kHalfColumns) {
        const bool number = column >= TheoreticalColumn && column <= SupportRatioColumn;
        room += number ? Cell::kMaxSingleText
                       : cellTextRoom(row != nullptr ? (*row)[column] : Cell());
    }
    return room;
}

char* writeHalf(char* at, const PairGridModel::Row* row)
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
    Bytes out;
    const auto blank = [&out] {
        out.put("\r\n");
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
        char* const start = out.room(halfRoom(q) + halfRoom(w) + 3);
        char* at = writeHalf(start, q);
        *at++ = ',';
        at = writeHalf(at, w);
        *at++ = '\r';
        *at++ = '\n';
        out.wrote(at - start);
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
    return out.take();
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
