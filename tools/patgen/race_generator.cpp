// SPDX-License-Identifier: MIT
#include "race_generator.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>

using namespace Qt::StringLiterals;

std::uint64_t PatRandom::next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double PatRandom::uniform()
{
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

int PatRandom::between(int low, int high)
{
    return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
}

double PatRandom::normal()
{
    // Box-Muller; 1 − u keeps the logarithm finite.
    const double u = 1.0 - uniform();
    const double v = uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
}

namespace {

struct Venue
{
    const char16_t* code;
    const char16_t* name;
};

// December meetings first.
constexpr Venue kVenues[] = {
    {u"06", u"中山"},
    {u"09", u"阪神"},
    {u"07", u"中京"},
    {u"05", u"東京"},
    {u"08", u"京都"},
    {u"10", u"小倉"},
    {u"03", u"福島"},
    {u"04", u"新潟"},
    {u"01", u"札幌"},
    {u"02", u"函館"},
};

constexpr const char16_t* kSyllables[] = {
    u"ア", u"イ", u"ウ", u"エ", u"オ", u"カ", u"キ", u"ク", u"ケ", u"コ", u"サ", u"シ",
    u"ス", u"セ", u"ソ", u"タ", u"チ", u"ツ", u"テ", u"ト", u"ナ", u"ニ", u"ヌ", u"ネ",
    u"ノ", u"ハ", u"ヒ", u"フ", u"ヘ", u"ホ", u"マ", u"ミ", u"ム", u"メ", u"モ", u"ヤ",
    u"ユ", u"ヨ", u"ラ", u"リ", u"ル", u"レ", u"ロ", u"ワ", u"ン", u"ガ", u"ギ", u"グ",
    u"ゴ", u"ザ", u"ジ", u"ズ", u"ダ", u"デ", u"ド", u"バ", u"ビ", u"ブ", u"ボ", u"パ",
    u"ピ", u"プ", u"ー", u"ッ", u"ャ", u"ュ", u"ョ", u"ィ", u"ェ",
};

constexpr const char16_t* kJockeys[] = {
    u"武豊",
    u"横山典弘",
    u"ルメール",
    u"川田将雅",
    u"戸崎圭太",
    u"松山弘平",
    u"岩田望来",
    u"坂井瑠星",
    u"田辺裕信",
    u"鮫島克駿",
    u"丹内祐次",
    u"菅原明良",
};

struct RaceKind
{
    const char16_t* name;
    const char16_t* conditions;
};

// Early races of a day are maidens, the middle ones classes, the last ones stakes.
constexpr RaceKind kEarlyRaces[] = {
    {u"２歳未勝利", u"サラ系２歳　未勝利　（混合）（特指）　馬齢"},
    {u"２歳新馬", u"サラ系２歳　新馬　（混合）　馬齢"},
    {u"３歳以上未勝利", u"サラ系３歳以上　未勝利　（混合）（特指）　定量"},
};
constexpr RaceKind kMiddleRaces[] = {
    {u"３歳以上１勝クラス", u"サラ系３歳以上　１勝クラス　（混合）（特指）　定量"},
    {u"３歳以上２勝クラス", u"サラ系３歳以上　２勝クラス　（混合）（特指）　定量"},
    {u"３歳以上３勝クラス", u"サラ系３歳以上　３勝クラス　（混合）（特指）　ハンデ"},
};
constexpr RaceKind kStakes[] = {
    {u"ステイヤーズステークス", u"サラ系３歳以上　オープン　（国際）（指定）　別定"},
    {u"カペラステークス", u"サラ系３歳以上　オープン　（国際）（特指）　別定"},
    {u"ターコイズステークス", u"サラ系３歳以上　オープン　（国際）牝（特指）　ハンデ"},
    {u"チャレンジカップ", u"サラ系３歳以上　オープン　（国際）（特指）　別定"},
};

template<typename T, std::size_t N>
const T& pick(PatRandom& random, const T (&items)[N])
{
    return items[random.between(0, static_cast<int>(N) - 1)];
}

QString horseName(PatRandom& random)
{
    // A first syllable that can start a word, then up to eight more: at most 18 bytes.
    QString name = QString::fromUtf16(kSyllables[random.between(0, 44)]);
    const int length = random.between(2, 9);
    while (name.size() < length) {
        name += QString::fromUtf16(pick(random, kSyllables));
    }
    return name;
}

double roundOdds(double odds, double low, double high)
{
    return std::clamp(std::floor(odds * 10.0 + 1e-9) / 10.0, low, high);
}

} // namespace

// One horse per bracket up to 8 runners, the extra runners filling brackets from 8 downwards.
std::vector<int> bracketsOf(int runners)
{
    std::vector<int> sizes(8, 0);
    for (int k = 0; k < runners; ++k) {
        sizes[k < 8 ? k : 7 - ((k - 8) % 8)] += 1;
    }
    std::vector<int> brackets;
    for (int b = 0; b < 8; ++b) {
        brackets.insert(brackets.end(), static_cast<std::size_t>(sizes[b]), b + 1);
    }
    return brackets;
}

QString pairLabel(int a, int b)
{
    return u"%1-%2"_s.arg(qMin(a, b), 2).arg(qMax(a, b), 2);
}

namespace {

QString rightAligned(int value, int width)
{
    return u"%1"_s.arg(value, width);
}

QString zeroPadded(int value, int width)
{
    return u"%1"_s.arg(value, width, 10, QChar(u'0'));
}

void makeMarket(PatRandom& random, GeneratedRace& race)
{
    const int n = race.runners();
    int scratched = 0;
    for (auto& horse : race.horses) {
        // At most one scratched horse in six, and never below two starters.
        if (n >= 5 && scratched < n / 6 && random.uniform() < 0.08) {
            horse.scratched = true;
            ++scratched;
        }
    }
    const int starters = n - scratched;

    // The favourite's share sets the market: odds 1.5 to 4.0 where the field allows it.
    const double favourite = std::max(0.2 + 0.33 * random.uniform(), 1.0 / starters + 0.05);
    std::vector<double> weights;
    for (int k = 1; k < starters; ++k) {
        weights.push_back(std::exp(1.1 * random.normal()));
    }
    std::vector<double> shares(weights.size());
    for (int round = 0; round < 20; ++round) {
        double sum = 0.0;
        for (double w : weights) {
            sum += w;
        }
        bool clipped = false;
        for (std::size_t k = 0; k < weights.size(); ++k) {
            shares[k] = weights[k] / sum * (1.0 - favourite);
            if (shares[k] > favourite * 0.9) {
                weights[k] *= favourite * 0.9 / shares[k];
                clipped = true;
            }
        }
        if (!clipped) {
            break;
        }
    }
    shares.insert(shares.begin() + random.between(0, static_cast<int>(shares.size())), favourite);
    std::size_t next = 0;
    for (auto& horse : race.horses) {
        if (!horse.scratched) {
            horse.winProbability = shares[next++];
        }
    }
    priceMarket(random, race);
}

} // namespace

void priceMarket(PatRandom& random, GeneratedRace& race)
{
    const int n = race.runners();
    int starters = 0;
    for (const auto& horse : race.horses) {
        starters += horse.scratched ? 0 : 1;
    }
    const int placed = starters <= 7 ? 2 : 3;
    race.pairs.clear();
    for (auto& horse : race.horses) {
        if (horse.scratched) {
            continue;
        }
        const double p = horse.winProbability;
        horse.winOdds = roundOdds(0.8 / p, 1.0, 999.9);
        const double placeChance = std::min(0.92, 1.0 - std::pow(1.0 - p, placed * 1.1));
        const double middle = std::max(1.0, 0.8 / placeChance);
        horse.placeOddsMin = roundOdds(std::max(1.0, middle * 0.8), 1.0, 999.9);
        horse.placeOddsMax = roundOdds(std::max(horse.placeOddsMin, middle * 1.3), 1.0, 999.9);
    }

    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            GeneratedPair pair{i, j, 0.0, 0.0, 0.0};
            const auto& a = race.horses[static_cast<std::size_t>(i - 1)];
            const auto& b = race.horses[static_cast<std::size_t>(j - 1)];
            if (!a.scratched && !b.scratched) {
                const double pa = a.winProbability;
                const double pb = b.winProbability;
                // Harville: either horse wins and the other comes second.
                const double both = pa * pb * (1.0 / (1.0 - pa) + 1.0 / (1.0 - pb));
                const double noise = std::exp(0.15 * random.normal());
                pair.quinellaOdds = roundOdds(0.775 / both * noise, 1.0, 9999.9);
                const double wide
                    = std::max(1.0, pair.quinellaOdds / 3.0 * std::exp(0.12 * random.normal()));
                pair.wideOddsMin = roundOdds(std::max(1.0, wide * 0.85), 1.0, 9999.9);
                pair.wideOddsMax = roundOdds(std::max(pair.wideOddsMin, wide * 1.3), 1.0, 9999.9);
            }
            race.pairs.push_back(pair);
        }
    }
}

void moveMarket(PatRandom& random, GeneratedRace& race)
{
    // Each chance drifts by a few per cent, most of all the outsiders' (little money moves them).
    double sum = 0.0;
    for (auto& horse : race.horses) {
        if (!horse.scratched) {
            horse.winProbability
                *= std::exp(0.025 * random.normal() / std::sqrt(horse.winProbability + 0.05));
            sum += horse.winProbability;
        }
    }
    for (auto& horse : race.horses) {
        horse.winProbability /= sum;
    }
    priceMarket(random, race);
}

namespace {

const GeneratedPair& pairOf(const GeneratedRace& race, int a, int b)
{
    const int i = qMin(a, b);
    const int j = qMax(a, b);
    const int n = race.runners();
    // Pairs (1,2) … (1,n), (2,3) … in file order.
    const int index = (i - 1) * n - (i - 1) * i / 2 + (j - i - 1);
    return race.pairs[static_cast<std::size_t>(index)];
}

int payoutOf(PatRandom& random, double low, double high)
{
    return static_cast<int>(std::lround((low + (high - low) * random.uniform()) * 10.0)) * 10;
}

void makeResult(PatRandom& random, GeneratedRace& race)
{
    std::vector<int> remaining;
    for (int k = 1; k <= race.runners(); ++k) {
        if (!race.horses[static_cast<std::size_t>(k - 1)].scratched) {
            remaining.push_back(k);
        }
    }
    // Harville order: each place drawn from those left, by win probability.
    while (!remaining.empty()) {
        double total = 0.0;
        for (int k : remaining) {
            total += race.horses[static_cast<std::size_t>(k - 1)].winProbability;
        }
        double draw = random.uniform() * total;
        std::size_t chosen = remaining.size() - 1;
        for (std::size_t r = 0; r < remaining.size(); ++r) {
            draw -= race.horses[static_cast<std::size_t>(remaining[r] - 1)].winProbability;
            if (draw < 0.0) {
                chosen = r;
                break;
            }
        }
        race.finishOrder.push_back(remaining[chosen]);
        remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(chosen));
    }

    const auto& order = race.finishOrder;
    const auto horse = [&race](int no) -> const GeneratedHorse& {
        return race.horses[static_cast<std::size_t>(no - 1)];
    };
    const int first = order[0];
    race.winPayouts.push_back(
        {rightAligned(first, 2), static_cast<int>(std::lround(horse(first).winOdds * 100.0))});
    const std::size_t placed = order.size() <= 7 ? 2 : 3;
    for (std::size_t r = 0; r < std::min(placed, order.size()); ++r) {
        const auto& h = horse(order[r]);
        race.placePayouts.push_back(
            {rightAligned(order[r], 2), payoutOf(random, h.placeOddsMin, h.placeOddsMax)});
    }
    if (order.size() >= 2) {
        const auto brackets = bracketsOf(race.runners());
        const int b1 = brackets[static_cast<std::size_t>(order[0] - 1)];
        const int b2 = brackets[static_cast<std::size_t>(order[1] - 1)];
        const auto& winners = pairOf(race, order[0], order[1]);
        race.bracketQuinellaPayouts.push_back(
            {u"%1-%2"_s.arg(qMin(b1, b2)).arg(qMax(b1, b2)),
             payoutOf(random, winners.quinellaOdds * 0.7, winners.quinellaOdds)});
        race.quinellaPayouts.push_back({pairLabel(order[0], order[1]),
                                        static_cast<int>(std::lround(winners.quinellaOdds * 100))});
        const std::size_t top = std::min<std::size_t>(3, order.size());
        for (std::size_t x = 0; x < top; ++x) {
            for (std::size_t y = x + 1; y < top; ++y) {
                const auto& pair = pairOf(race, order[x], order[y]);
                race.widePayouts.push_back({pairLabel(order[x], order[y]),
                                            payoutOf(random, pair.wideOddsMin, pair.wideOddsMax)});
            }
        }
    }
}

// Appends a field; generated texts always fit their widths.
void put(QByteArray& out, const QString& text, int width)
{
    const QByteArray field = encodePatField(text, width);
    Q_ASSERT(field.size() == width);
    out += field;
}

void putOdds(QByteArray& out, bool scratched, double odds, int width)
{
    put(out, scratched ? u"ﾄﾘｹｼ"_s : formatOdds(odds, width), width);
}

QByteArray headerBytes(const GeneratedRace& race)
{
    QByteArray out;
    put(out, race.date, 8);
    put(out, u"00000001"_s, 8);
    put(out, race.venueCode, 2);
    put(out, race.date, 8);
    put(out, u"01"_s, 2);
    put(out, race.venueName, 4);
    put(out, QString(), 4);
    put(out, zeroPadded(race.meetingNo, 2), 2);
    put(out, zeroPadded(race.meetingDay, 2), 2);
    put(out, zeroPadded(race.raceNo, 2), 2);
    put(out, QString(), 1);
    put(out, QString(race.formatMark), 1);
    put(out, race.distance, 4);
    put(out, race.raceName, 28);
    put(out, race.conditions, 64);
    put(out, rightAligned(race.runners(), 2), 2);
    return out;
}

} // namespace

QByteArray encodePatField(const QString& text, int width)
{
    // Most fields are digits and blanks, which code page 932 keeps as they are; opening the
    // converter for each would cost more than a season's file writes.
    const bool plain = std::ranges::all_of(text, [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u' ' || c == u'.' || c == u'-' || c == u':';
    });
    if (plain) {
        if (text.size() > width) {
            return {};
        }
        return text.toLatin1() + QByteArray(width - text.size(), ' ');
    }
    QStringEncoder encoder("windows-932");
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError() || bytes.size() > width) {
        return {};
    }
    return bytes + QByteArray(width - bytes.size(), ' ');
}

QString formatOdds(double odds, int width)
{
    return u"%1"_s.arg(odds, width, 'f', 1);
}

GeneratedRace generateRaceCard(PatRandom& random, int index, int runners)
{
    GeneratedRace race;
    const Venue& venue = kVenues[static_cast<std::size_t>(index / 12) % std::size(kVenues)];
    race.date = u"20261206"_s;
    race.venueCode = QString::fromUtf16(venue.code);
    race.venueName = QString::fromUtf16(venue.name);
    race.meetingNo = 5;
    race.meetingDay = 2 + index / 120;
    race.raceNo = index % 12 + 1;
    race.formatMark = (index % 3 == 0) ? u' ' : (index % 3 == 1 ? u'2' : u'3');
    race.distance = QString::number(1000 + 200 * random.between(0, 12));
    const RaceKind& kind = race.raceNo <= 4    ? pick(random, kEarlyRaces)
                           : race.raceNo <= 10 ? pick(random, kMiddleRaces)
                                               : pick(random, kStakes);
    race.raceName = QString::fromUtf16(kind.name);
    race.conditions = QString::fromUtf16(kind.conditions);
    race.startTime
        = u"%1%2"_s.arg(9 + race.raceNo / 2 + (race.raceNo > 5 ? 1 : 0), 2, 10, QChar(u'0'))
              .arg((race.raceNo * 35) % 60, 2, 10, QChar(u'0'));
    race.fileKey = u"%1%2%3"_s.arg(race.date.mid(2), race.venueCode, zeroPadded(race.raceNo, 2))
                   + (index >= 12 ? zeroPadded(index / 12, 2) : QString());
    race.horses.resize(static_cast<std::size_t>(runners));
    for (auto& horse : race.horses) {
        horse.name = horseName(random);
    }
    return race;
}

GeneratedRace generateRace(PatRandom& random, int index, int runners, bool withResult)
{
    GeneratedRace race = generateRaceCard(random, index, runners);
    makeMarket(random, race);
    race.hasResult = withResult;
    if (withResult) {
        makeResult(random, race);
    }
    return race;
}

QByteArray winPlaceOddsBytes(const GeneratedRace& race)
{
    QByteArray out = headerBytes(race);
    const auto brackets = bracketsOf(race.runners());
    for (int k = 1; k <= race.runners(); ++k) {
        const auto& horse = race.horses[static_cast<std::size_t>(k - 1)];
        put(out, QString::number(brackets[static_cast<std::size_t>(k - 1)]), 1);
        put(out, zeroPadded(k, 2), 2);
        putOdds(out, horse.scratched, horse.winOdds, 5);
        put(out, horse.scratched ? QString() : formatOdds(horse.placeOddsMin, 5), 5);
        put(out, horse.scratched ? QString() : formatOdds(horse.placeOddsMax, 5), 5);
    }
    return out;
}

QByteArray quinellaOddsBytes(const GeneratedRace& race)
{
    QByteArray out = headerBytes(race);
    put(out, u"  "_s, 2);
    for (const auto& pair : race.pairs) {
        const bool scratched = pair.quinellaOdds == 0.0;
        put(out, zeroPadded(pair.first, 2), 2);
        put(out, zeroPadded(pair.second, 2), 5);
        putOdds(out, scratched, pair.quinellaOdds, 6);
        putOdds(out, scratched, pair.wideOddsMin, 6);
        putOdds(out, scratched, pair.wideOddsMax, 6);
    }
    return out;
}

QByteArray raceCardBytes(const GeneratedRace& race)
{
    QByteArray out;
    put(out, race.date, 8);
    put(out, race.venueCode + u"01"_s, 4);
    put(out, u"0000"_s, 4);
    put(out, zeroPadded(race.meetingNo, 2), 2);
    put(out, zeroPadded(race.meetingDay, 2), 2);
    put(out, zeroPadded(race.raceNo, 2), 2);
    put(out, race.startTime, 4);
    put(out, u"芝"_s + race.distance, 8);
    put(out, race.raceName, 28);
    put(out, QString(), 28);
    put(out, rightAligned(race.runners(), 2), 2);
    const auto brackets = bracketsOf(race.runners());
    PatRandom random(static_cast<std::uint64_t>(race.raceNo) * 7919U);
    for (int k = 1; k <= race.runners(); ++k) {
        const auto& horse = race.horses[static_cast<std::size_t>(k - 1)];
        put(out, QString::number(brackets[static_cast<std::size_t>(k - 1)]), 1);
        put(out, QString(), 1);
        put(out, zeroPadded(k, 2), 2);
        put(out, QString::number(random.between(1, 3)), 1);
        put(out, QString(), 1);
        put(out, horse.name, 18);
        put(out, QString::fromUtf16(pick(random, kJockeys)), 18);
        put(out, rightAligned(random.between(2, 7), 2), 2);
        put(out, u"%1.0"_s.arg(random.between(52, 58)), 4);
    }
    return out;
}

QByteArray raceResultBytes(const GeneratedRace& race)
{
    QByteArray out;
    put(out, race.date, 8);
    put(out, race.venueCode + u"01"_s, 4);
    put(out, u"0000"_s, 4);
    put(out, zeroPadded(race.meetingNo, 2), 2);
    put(out, zeroPadded(race.meetingDay, 2), 2);
    put(out, zeroPadded(race.raceNo, 2), 2);
    put(out, QString(), 1);
    put(out, QString(), 10);
    put(out, QString(), 1);
    put(out, race.raceName, 28);
    put(out, QString(), 28);
    PatRandom random(static_cast<std::uint64_t>(race.raceNo) * 104729U);
    int tenths = 940 + random.between(0, 60);
    for (std::size_t r = 0; r < 7; ++r) {
        if (r < race.finishOrder.size()) {
            const int no = race.finishOrder[r];
            const int position
                = race.finishPositions.empty() ? static_cast<int>(r) + 1 : race.finishPositions[r];
            // Horses in a dead heat share the time as well.
            const int gap = random.between(0, 4);
            tenths += position == static_cast<int>(r) + 1 ? gap : 0;
            put(out, rightAligned(position, 2), 2);
            put(out, rightAligned(no, 2), 2);
            put(out, race.horses[static_cast<std::size_t>(no - 1)].name, 18);
            put(out,
                u"%1:%2.%3"_s.arg(tenths / 600)
                    .arg(tenths / 10 % 60, 2, 10, QChar(u'0'))
                    .arg(tenths % 10),
                6);
            put(out, QString::fromUtf16(pick(random, kJockeys)), 12);
        } else {
            out += QByteArray(40, ' ');
        }
    }
    put(out, QString(), 5);
    const auto putPayouts
        = [&out](const std::vector<GeneratedPayout>& payouts, std::size_t count, int keyWidth) {
              for (std::size_t s = 0; s < count; ++s) {
                  if (s < payouts.size()) {
                      put(out, payouts[s].key, keyWidth);
                      put(out, rightAligned(payouts[s].amount, 8), 8);
                  } else {
                      out += QByteArray(keyWidth + 8, ' ');
                  }
              }
          };
    putPayouts(race.winPayouts, 3, 2);
    putPayouts(race.placePayouts, 5, 2);
    putPayouts(race.bracketQuinellaPayouts, 3, 4);
    putPayouts(race.quinellaPayouts, 3, 6);
    putPayouts(race.widePayouts, 11, 6);
    return out;
}

QString winPlaceOddsFileName(const GeneratedRace& race)
{
    return u"Zo-"_s + race.fileKey + u".jra"_s;
}

QString raceResultFileName(const GeneratedRace& race)
{
    // The result file carries two more characters after the first of the race key.
    return u"Ks-"_s + race.fileKey.left(1) + u"26"_s + race.fileKey.mid(1) + u".jra"_s;
}

std::vector<RaceFile> raceSetFiles(const GeneratedRace& race)
{
    std::vector<RaceFile> files;
    files.push_back({winPlaceOddsFileName(race), winPlaceOddsBytes(race)});
    files.push_back({u"Uo-"_s + race.fileKey + u".jra"_s, quinellaOddsBytes(race)});
    files.push_back({u"De-"_s + race.fileKey + u".jra"_s, raceCardBytes(race)});
    if (race.hasResult) {
        files.push_back({raceResultFileName(race), raceResultBytes(race)});
    }
    return files;
}

bool writeRaceSet(const QString& folder, const GeneratedRace& race, QString* error)
{
    const QDir dir(folder);
    // Every file is written in full before any takes its name, so that a reader following the
    // folder sees the race's files change together, as when PAT fetches new odds.
    std::vector<std::unique_ptr<QSaveFile>> files;
    const auto fail = [error](const QSaveFile& file) {
        if (error != nullptr) {
            *error = u"%1: %2"_s.arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
        }
        return false;
    };
    for (const RaceFile& made : raceSetFiles(race)) {
        auto file = std::make_unique<QSaveFile>(dir.filePath(made.name));
        if (!file->open(QIODevice::WriteOnly) || file->write(made.bytes) != made.bytes.size()) {
            return fail(*file);
        }
        files.push_back(std::move(file));
    }
    for (const auto& file : files) {
        if (!file->commit()) {
            return fail(*file);
        }
    }
    return true;
}
