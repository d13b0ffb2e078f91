// SPDX-License-Identifier: MIT
#include "ledger_csv.h"

#include <QStringDecoder>

#include "pat/race_time.h"
#include "pat/shift_jis.h"
#include "race/csv_writer.h"

using namespace Qt::StringLiterals;

namespace {

const QString kTimeForm = u"yyyy/MM/dd HH:mm:ss"_s;

QString decoded(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        view = view.sliced(3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) {
        return text;
    }
    std::u16string out(static_cast<std::size_t>(view.size()), u'\0');
    out.resize(static_cast<std::size_t>(decodeShiftJis(view.data(), view.size(), out.data())));
    return QString::fromStdU16String(out);
}

// The records of a CSV text with the line each starts on: "," between fields, a record ends at
// a line end outside double quotes, a quoted field may hold ",", line ends and "" for ".
std::vector<std::pair<int, QStringList>> recordsOf(QStringView text)
{
    std::vector<std::pair<int, QStringList>> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    int line = 1;
    int start = 1;
    const auto endRecord = [&] {
        fields << field;
        if (fields.size() > 1 || !fields.front().trimmed().isEmpty()) {
            records.emplace_back(start, fields);
        }
        fields.clear();
        field.clear();
        start = line;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n') {
            ++line;
        }
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else if (c == u'\n') {
            if (field.endsWith(u'\r')) {
                field.chop(1);
            }
            endRecord();
        } else {
            field += c;
        }
    }
    endRecord();
    return records;
}

QString number(double value, int decimals)
{
    return value > 0.0 ? QString::number(value, 'f', decimals) : QString();
}

} // namespace

QDateTime parseLedgerTime(const QString& text)
{
    const QString t = text.trimmed();
    // Date and time read apart: read together they would pass through the machine's zone,
    // where a Japan time may fall in a daylight-saving gap.
    const QStringList parts = t.split(u' ', Qt::SkipEmptyParts);
    if (parts.size() == 2) {
        for (const QString& dateForm : {u"yyyy/MM/dd"_s, u"yyyy-MM-dd"_s}) {
            const QDate date = QDate::fromString(parts[0], dateForm);
            for (const QString& timeForm : {u"HH:mm:ss"_s, u"HH:mm"_s}) {
                const QTime time = QTime::fromString(parts[1], timeForm);
                if (date.isValid() && time.isValid()) {
                    return QDateTime(date, time, jraTimeZone());
                }
            }
        }
    }
    QDateTime iso = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (iso.isValid() && iso.timeSpec() == Qt::LocalTime) {
        iso = QDateTime(iso.date(), iso.time(), jraTimeZone());
    }
    return iso;
}

std::optional<std::pair<int, int>> parseLedgerPair(const QString& text)
{
    const QStringList parts = text.trimmed().split(u'-');
    if (parts.size() != 2) {
        return std::nullopt;
    }
    bool ok1 = false;
    bool ok2 = false;
    const int a = parts[0].trimmed().toInt(&ok1);
    const int b = parts[1].trimmed().toInt(&ok2);
    if (!ok1 || !ok2 || a == b) {
        return std::nullopt;
    }
    return std::pair{std::min(a, b), std::max(a, b)};
}

QByteArray ledgerCsv(const std::vector<LedgerBet>& bets)
{
    CsvBytes out;
    CsvLine(out).texts({u"日時",
                        u"レース",
                        u"券種",
                        u"組番",
                        u"金額",
                        u"オッズ",
                        u"メモ",
                        u"モデル",
                        u"確率",
                        u"期待値",
                        u"払戻",
                        u"返還",
                        u"確定日時",
                        u"締切オッズ"});
    const auto time = [](const QDateTime& t) {
        return t.isValid() ? t.toTimeZone(jraTimeZone()).toString(kTimeForm) : QString();
    };
    for (const LedgerBet& bet : bets) {
        CsvLine line(out);
        line.text(time(bet.placed))
            .text(bet.race)
            .text(betName(bet.bet))
            .text(u"%1-%2"_s.arg(bet.first).arg(bet.second))
            .integer(bet.stake)
            .plain(number(bet.odds, 1))
            .text(bet.note)
            .text(bet.model)
            .plain(bet.model.isEmpty() ? QString() : QString::number(bet.chance, 'f', 6))
            .plain(bet.model.isEmpty() ? QString() : QString::number(bet.ev, 'f', 4));
        if (bet.settlement) {
            line.integer(bet.settlement->payout)
                .integer(bet.settlement->refund)
                .text(time(bet.settlement->settled))
                .plain(number(bet.settlement->closing, 1));
        } else {
            line.plain({}).plain({}).text({}).plain({});
        }
    }
    return out.take();
}

std::optional<std::vector<LedgerBet>>
parseLedgerCsv(const QByteArray& bytes, QString& error, std::vector<int>* lineOf)
{
    std::vector<LedgerBet> bets;
    const QString text = decoded(bytes);
    bool first = true;
    for (const auto& [n, f] : recordsOf(text)) {
        if (std::exchange(first, false)
            && (f[0].trimmed() == u"日時"_s || f[0].trimmed() == u"placed"_s)) {
            continue;
        }
        const auto refuse = [&, n = n](const QString& why) {
            error = u"%1行目: %2"_s.arg(n).arg(why);
            return std::nullopt;
        };
        if (f.size() < 5) {
            return refuse(u"列が足りません（日時, レース, 券種, 組番, 金額 が要ります）"_s);
        }
        LedgerBet bet;
        bet.placed = parseLedgerTime(f[0]);
        if (!bet.placed.isValid()) {
            return refuse(u"日時が読めません: %1"_s.arg(f[0]));
        }
        bet.race = f[1].trimmed();
        const auto type = betOfKey(f[2]);
        if (!type) {
            return refuse(u"券種が分かりません: %1"_s.arg(f[2]));
        }
        bet.bet = *type;
        const auto pair = parseLedgerPair(f[3]);
        if (!pair) {
            return refuse(u"組番が読めません: %1"_s.arg(f[3]));
        }
        std::tie(bet.first, bet.second) = *pair;
        bool ok = false;
        bet.stake = f[4].trimmed().toLongLong(&ok);
        if (!ok) {
            return refuse(u"金額が読めません: %1"_s.arg(f[4]));
        }
        if (f.size() > 5 && !f[5].trimmed().isEmpty()) {
            bet.odds = f[5].trimmed().toDouble(&ok);
            if (!ok || !(bet.odds >= 1.0)) {
                return refuse(u"オッズが読めません: %1"_s.arg(f[5]));
            }
        }
        bet.note = f.value(6);
        bet.model = f.value(7).trimmed();
        if (!bet.model.isEmpty() && bet.model != u"blend"_s && bet.model != u"discount"_s
            && bet.model != u"harville"_s) {
            return refuse(u"モデルが分かりません: %1"_s.arg(bet.model));
        }
        if (!bet.model.isEmpty()) {
            bool okChance = false;
            bool okEv = false;
            bet.chance = f.value(8).trimmed().toDouble(&okChance);
            bet.ev = f.value(9).trimmed().toDouble(&okEv);
            if (!okChance || !okEv || bet.chance < 0.0 || bet.chance > 1.0) {
                return refuse(u"モデルの確率・期待値が読めません"_s);
            }
        }
        bets.push_back(std::move(bet));
        if (lineOf != nullptr) {
            lineOf->push_back(n);
        }
    }
    return bets;
}
