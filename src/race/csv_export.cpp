// SPDX-License-Identifier: MIT
#include "csv_export.h"

#include <QSaveFile>
#include <QStringEncoder>

#include "base/display_format.h"
#include "base/number_text.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

// One CSV line built from values, then ended with CR LF.
class Line
{
public:
    Line& text(const QString& value)
    {
        QString quoted = value;
        quoted.replace(u'"', u"\"\""_s); // a quote inside a text is doubled
        return add(u'"' + quoted + u'"');
    }
    Line& texts(std::initializer_list<const char16_t*> values)
    {
        for (const char16_t* value : values) {
            text(QString::fromUtf16(value));
        }
        return *this;
    }
    Line& integer(int value) { return add(QString::number(value)); }
    Line& integerOf(const QString& cell) { return integer(textToInteger(cell)); }
    Line& singleOf(const QString& cell) { return add(formatSingle(textToSingle(cell))); }
    const QString& str() const { return m_line; }

private:
    Line& add(const QString& value)
    {
        if (m_any) {
            m_line += u',';
        }
        m_line += value;
        m_any = true;
        return *this;
    }

    QString m_line;
    bool m_any = false;
};

void pairHalf(Line& line, const PairGridModel::Row* row)
{
    const auto cell = [row](int column) {
        return row != nullptr ? row->at(static_cast<std::size_t>(column)).text : QString();
    };
    line.text(cell(LabelColumn))
        .singleOf(cell(TheoreticalColumn))
        .singleOf(cell(ActualColumn))
        .singleOf(cell(DeviationColumn))
        .singleOf(cell(SupportRatioColumn))
        .text(cell(MarkColumn))
        .text(cell(PopularityColumn))
        .text(cell(DifferenceColumn));
}

} // namespace

QByteArray CsvExport::encode(const QString& text)
{
    QStringEncoder encoder("windows-932");
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError()) {
        return bytes;
    }
    // The converter writes 0xFC 0xFC for what it cannot map; find those characters one by one.
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder one("windows-932");
        const QByteArray part = one.encode(QStringView(text).mid(i, length));
        bytes += one.hasError() ? QByteArray("?") : part;
        i += length;
    }
    return bytes;
}

QByteArray CsvExport::build(const RaceDisplay& display)
{
    QString out;
    const auto put = [&out](const QString& line) {
        out += line + u"\r\n"_s;
    };
    const HorseTable& t = display.horseTable();
    const int n = t.getHorseCount();
    const int pairs = n * (n - 1) / 2;

    put(Line().text(u"Mikazuki"_s).text(u"v0.10"_s).text(u"CSV出力ファイル"_s).str());
    put({});
    put(Line().text(u"開催"_s).text(display.meeting()).str());
    put(Line().text(u"ﾚｰｽ"_s).text(display.raceName()).str());
    put(Line().text(u"頭数"_s).integer(n).str());
    put({});

    put(Line()
            .texts({u"人気",
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
                    u"支持率"})
            .str());
    using C = HorseColumn;
    for (int k = 1; k <= n; ++k) {
        put(Line()
                .integer(k)
                .text(t.text(C::Mark, k))
                .integerOf(t.text(C::WinOrderHorseNo, k))
                .integerOf(t.text(C::PlaceOrderHorseNo, k))
                .text(t.text(C::WinOrderHorseName, k))
                .singleOf(t.text(C::WinOrderOdds, k))
                .singleOf(t.text(C::WinOrderRatio, k))
                .singleOf(t.text(C::WinPlaceRatio, k))
                .text(t.text(C::PlaceOrderHorseName, k))
                .singleOf(t.text(C::PlaceOrderOddsMin, k))
                .singleOf(t.text(C::PlaceOrderOddsMax, k))
                .singleOf(t.text(C::PlaceOrderOdds, k))
                .singleOf(t.text(C::PlaceOrderRatio, k))
                .str());
    }
    put({});
    put({});

    put(Line()
            .texts({u"馬連",
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
                    u"人気差"})
            .str());
    // Rows in their order on screen. A row the lists do not hold (no quinella odds were read)
    // counts as empty, and an empty quinella row gives an empty line.
    const auto& quinella = display.quinellaGrid().rows();
    const auto& wide = display.wideGrid().rows();
    for (std::size_t r = 0; r < static_cast<std::size_t>(pairs); ++r) {
        const PairGridModel::Row* q = r < quinella.size() ? &quinella[r] : nullptr;
        const PairGridModel::Row* w = r < wide.size() ? &wide[r] : nullptr;
        if (q == nullptr || (*q)[LabelColumn].text.isEmpty()) {
            put({});
            continue;
        }
        Line line;
        pairHalf(line, q);
        pairHalf(line, w);
        put(line.str());
    }
    put({});
    put(Line().text(u"推奨買い目（ワイド）"_s).str());
    for (const QString& entry : display.recommendedBetLines()) {
        put(Line().text(entry).str());
    }
    put({});
    put({});
    for (const QString& entry : display.raceResultLines()) {
        put(Line().text(entry).str());
    }
    return encode(out);
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
