// SPDX-License-Identifier: MIT
#include "race_generator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "generator_fields.h"

using namespace Qt::StringLiterals;
using generator_fields::pick;
using generator_fields::rightAligned;
using generator_fields::zeroPadded;

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

} // namespace

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
