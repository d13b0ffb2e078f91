// SPDX-License-Identifier: MIT
#include "season_report.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <optional>

#include <QLocale>

#include "analysis/calibration.h"
#include "analysis/ordering_model.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/folder_index.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"

using namespace Qt::StringLiterals;

namespace {

constexpr double kPairReturn = 0.775; // the quinella and wide pools keep 22.5%

// A ratio of sums over races, Σy / Σx, with its standard error by the delta method with the
// races as clusters: the starters or pairs of one race share its finish, so they are not
// independent.
class ClusteredRatio
{
public:
    void add(double y, double x)
    {
        ++m_races;
        m_y += y;
        m_x += x;
        m_yy += y * y;
        m_xx += x * x;
        m_xy += x * y;
    }
    Estimate estimate() const
    {
        if (m_x <= 0.0) {
            return {};
        }
        const double r = m_y / m_x;
        const double squares = std::max(0.0, m_yy - 2 * r * m_xy + r * r * m_xx);
        const double n = m_races;
        return {r, n > 1 ? std::sqrt(squares * n / (n - 1)) / m_x : 0.0};
    }

private:
    qint64 m_races = 0;
    double m_y = 0.0, m_x = 0.0, m_yy = 0.0, m_xx = 0.0, m_xy = 0.0;
};

template<std::size_t N>
std::size_t bandOf(const std::array<double, N>& edges, double value)
{
    const auto above = std::ranges::upper_bound(edges, value);
    return static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(
        above - edges.begin() - 1, 0, static_cast<std::ptrdiff_t>(N) - 2));
}

template<typename Key>
std::optional<int> paidOn(const std::vector<std::pair<Key, int>>& paid, const Key& key)
{
    const auto it = std::ranges::find(paid, key, &std::pair<Key, int>::first);
    return it == paid.end() ? std::nullopt : std::optional<int>(it->second);
}

// Pair index in the order (1,2), (1,3) … (n−1,n).
std::size_t pairIndex(int n, int a, int b)
{
    return static_cast<std::size_t>((a - 1) * n - (a - 1) * a / 2 + (b - a - 1));
}

// The figures of one pair bet type: the pool's gain on Harville over the paid pairs, and by
// Harville's odds how often the pairs came in against Harville, and what they returned.
struct PairSums
{
    ClusteredRatio gain;
    std::array<ClusteredRatio, 8> ratio, returns;

    void add(const ReportRace& race,
             const std::array<double, kMaxRunners + 1>& p,
             const std::vector<double>& harville,
             const std::vector<std::pair<std::pair<int, int>, int>>& paid,
             const std::array<double, 9>& bands,
             bool withGain)
    {
        std::array<double, 8> hits{}, predicted{}, yen{}, pairs{};
        for (int a = 1; a <= race.runners; ++a) {
            for (int b = a + 1; b <= race.runners; ++b) {
                const double chance = harville[pairIndex(race.runners, a, b)];
                if (p[static_cast<std::size_t>(a)] <= 0.0 || p[static_cast<std::size_t>(b)] <= 0.0
                    || chance <= 0.0) {
                    continue;
                }
                const std::size_t band = bandOf(bands, 1.0 / chance);
                const std::optional<int> payout = paidOn(paid, std::pair{a, b});
                hits[band] += payout ? 1.0 : 0.0;
                predicted[band] += chance;
                yen[band] += payout.value_or(0) / 100.0;
                pairs[band] += 1.0;
            }
        }
        for (std::size_t band = 0; band < ratio.size(); ++band) {
            ratio[band].add(hits[band], predicted[band]);
            returns[band].add(yen[band], pairs[band]);
        }
        if (!withGain) {
            return;
        }
        double sum = 0.0;
        double count = 0.0;
        for (const auto& [pair, payout] : paid) {
            const auto [a, b] = pair;
            if (a < 1 || b > race.runners || a >= b || payout <= 0) {
                continue;
            }
            const double chance = harville[pairIndex(race.runners, a, b)];
            if (chance > 0.0) {
                sum += -std::log(chance) + std::log(kPairReturn * 100.0 / payout);
                count += 1.0;
            }
        }
        if (count > 0.0) {
            gain.add(sum, count);
        }
    }
};

std::optional<int> wholeOf(QStringView text)
{
    const std::optional<double> value = leadingNumber(text);
    if (!value || *value != std::floor(*value)) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<std::pair<int, int>> pairOf(QStringView key)
{
    const qsizetype dash = key.indexOf(u'-');
    if (dash < 0) {
        return std::nullopt;
    }
    const auto a = wholeOf(key.left(dash));
    const auto b = wholeOf(key.mid(dash + 1));
    if (!a || !b) {
        return std::nullopt;
    }
    return std::pair{std::min(*a, *b), std::max(*a, *b)};
}

} // namespace

SeasonFigures seasonFigures(const std::vector<ReportRace>& races)
{
    ClusteredRatio runners, sixteen, seventeen, eight, favourite;
    std::array<ClusteredRatio, 5> starters;
    std::array<ClusteredRatio, 6> win, place;
    PairSums quinella, wide;
    std::vector<CalibrationRace> ordered;
    std::vector<double> firstTwo, firstThree;
    for (const ReportRace& race : races) {
        const auto n = static_cast<std::size_t>(race.runners);
        std::array<double, 5> inBand{};
        std::array<double, 6> winYen{}, placeYen{}, count{};
        int field = 0;
        double shortest = 0.0;
        for (int h = 1; h <= race.runners; ++h) {
            const double odds = race.winOdds[static_cast<std::size_t>(h)];
            if (odds <= 0.0) {
                continue;
            }
            ++field;
            shortest = shortest == 0.0 ? odds : std::min(shortest, odds);
            const std::size_t band = bandOf(SeasonFigures::kWinBands, odds);
            inBand[band] += 1.0;
            for (const std::size_t b : {band, std::size_t{5}}) {
                winYen[b] += paidOn(race.winPaid, h).value_or(0) / 100.0;
                placeYen[b] += paidOn(race.placePaid, h).value_or(0) / 100.0;
                count[b] += 1.0;
            }
        }
        if (field == 0 || race.finish.empty()) {
            continue;
        }
        runners.add(field, 1.0);
        sixteen.add(field >= 16 ? 1.0 : 0.0, 1.0);
        seventeen.add(field >= 17 ? 1.0 : 0.0, 1.0);
        eight.add(field <= 8 ? 1.0 : 0.0, 1.0);
        for (std::size_t b = 0; b < starters.size(); ++b) {
            starters[b].add(inBand[b], field);
        }
        for (std::size_t b = 0; b < win.size(); ++b) {
            win[b].add(winYen[b], count[b]);
            place[b].add(placeYen[b], count[b]);
        }
        const int winner = race.finish.front().second;
        const bool favouriteWon = winner >= 1 && winner <= race.runners
                                  && race.winOdds[static_cast<std::size_t>(winner)] == shortest;
        favourite.add(favouriteWon ? 1.0 : 0.0, 1.0);

        const auto p = winChances(std::span(race.winOdds.data(), n + 1));
        const OrderingModel harville(std::span(p.data(), n + 1), 1.0, 1.0);
        firstTwo.assign(n * (n - 1) / 2, 0.0);
        firstThree.assign(firstTwo.size(), 0.0);
        harville.firstTwoOfPairs(firstTwo);
        harville.firstThreeOfPairs(firstThree);
        // A dead heat pays more than one quinella pair: the frequencies and returns count them
        // all, the gain of a race leaves such a race out.
        quinella.add(race,
                     p,
                     firstTwo,
                     race.quinellaPaid,
                     SeasonFigures::kQuinellaBands,
                     race.quinellaPaid.size() == 1);
        wide.add(race, p, firstThree, race.widePaid, SeasonFigures::kWideBands, true);

        if (race.finish.size() >= 3 && race.finish[0].first == 1 && race.finish[1].first == 2
            && race.finish[2].first == 3) {
            CalibrationRace fitted;
            fitted.p = p;
            fitted.runners = race.runners;
            fitted.first = race.finish[0].second;
            fitted.second = race.finish[1].second;
            fitted.third = race.finish[2].second;
            const auto runs = [&](int h) {
                return h >= 1 && h <= race.runners && p[static_cast<std::size_t>(h)] > 0.0;
            };
            if (runs(fitted.first) && runs(fitted.second) && runs(fitted.third)) {
                ordered.push_back(fitted);
            }
        }
    }

    SeasonFigures f;
    f.races = static_cast<qint64>(races.size());
    f.runners = runners.estimate();
    f.sixteenOrMore = sixteen.estimate();
    f.seventeenOrMore = seventeen.estimate();
    f.eightOrFewer = eight.estimate();
    for (std::size_t b = 0; b < starters.size(); ++b) {
        f.starters[b] = starters[b].estimate();
    }
    f.favouriteWon = favourite.estimate();
    for (std::size_t b = 0; b < win.size(); ++b) {
        f.winReturn[b] = win[b].estimate();
        f.placeReturn[b] = place[b].estimate();
    }
    f.quinellaGain = quinella.gain.estimate();
    f.wideGain = wide.gain.estimate();
    for (std::size_t b = 0; b < f.quinellaRatio.size(); ++b) {
        f.quinellaRatio[b] = quinella.ratio[b].estimate();
        f.quinellaReturn[b] = quinella.returns[b].estimate();
        f.wideRatio[b] = wide.ratio[b].estimate();
        f.wideReturn[b] = wide.returns[b].estimate();
    }
    const DiscountFit fit = fitDiscount(ordered);
    f.lambda = {fit.lambda, fit.lambdaSe};
    f.tau = {fit.tau, fit.tauSe};
    return f;
}

const SeasonFigures& jraFigures()
{
    static const SeasonFigures real = [] {
        SeasonFigures f;
        f.races = 40970;
        f.runners = {13.96, 0.0};
        f.sixteenOrMore = {0.415, 0.0};
        f.seventeenOrMore = {0.092, 0.0};
        f.eightOrFewer = {0.045, 0.0};
        f.starters = {{{0.290, 0.0}, {0.160, 0.0}, {0.205, 0.0}, {0.135, 0.0}, {0.209, 0.0}}};
        f.favouriteWon = {0.329, 0.0};
        const auto values = [](auto& out, std::initializer_list<double> in) {
            std::size_t k = 0;
            for (const double v : in) {
                out[k++] = {v, 0.0};
            }
        };
        values(f.winReturn, {0.794, 0.828, 0.782, 0.752, 0.478, 0.725});
        values(f.placeReturn, {0.811, 0.797, 0.775, 0.740, 0.510, 0.729});
        f.quinellaGain = {0.0217, 0.0014};
        values(f.quinellaRatio, {0.91, 0.88, 0.92, 1.02, 1.10, 1.17, 1.20, 1.24});
        values(f.quinellaReturn, {0.839, 0.809, 0.790, 0.792, 0.777, 0.762, 0.726, 0.445});
        f.wideGain = {0.0347, 0.0012};
        values(f.wideRatio, {0.84, 0.81, 0.83, 0.91, 1.05, 1.19, 1.34, 1.45});
        values(f.wideReturn, {0.847, 0.826, 0.808, 0.803, 0.806, 0.781, 0.743, 0.486});
        f.lambda = {0.846, 0.005};
        f.tau = {0.722, 0.005};
        return f;
    }();
    return real;
}

bool readReportRaces(const QString& folder, std::vector<ReportRace>& races, QString* error)
{
    const std::optional<FolderIndex> index = FolderIndex::read(folder);
    if (!index) {
        if (error != nullptr) {
            *error = u"%1 is no folder"_s.arg(folder);
        }
        return false;
    }
    NullMessageSink sink;
    const auto odds = std::make_unique<WinPlaceOddsRecord>();
    RaceResultRecord result;
    for (const QString& name : index->raceNames()) {
        const QString zo = index->prefix() + name;
        const QString ks = index->resultPathOf(zo).value_or(QString());
        if (ks.isEmpty() || !readWinPlaceOddsFile(zo, *odds, sink)
            || !readRaceResultFile(ks, result)) {
            continue;
        }
        ReportRace race;
        race.runners = std::clamp(runnerCountOf(odds->header.runnerCount), 0, kMaxRunners);
        for (int h = 1; h <= race.runners; ++h) {
            race.winOdds[static_cast<std::size_t>(h)]
                = std::max(0.0, leadingNumber(odds->horse(h).winOdds.trimmed()).value_or(0.0));
        }
        for (const FinisherSlot& slot : result.finishers) {
            const auto position = wholeOf(slot.finishCol1.view());
            const auto horse = wholeOf(slot.finishCol2.view());
            if (!position || !horse) {
                break;
            }
            race.finish.emplace_back(*position, *horse);
        }
        const auto horses = [](const auto& slots, std::vector<std::pair<int, int>>& out) {
            for (const auto& slot : slots) {
                const auto horse = wholeOf(slot.betKey.view());
                const auto yen = wholeOf(slot.payout.view());
                if (horse && yen) {
                    out.emplace_back(*horse, *yen);
                }
            }
        };
        const auto pairs = [](const auto& slots, auto& out) {
            for (const auto& slot : slots) {
                const auto pair = pairOf(slot.betKey.view());
                const auto yen = wholeOf(slot.payout.view());
                if (pair && yen) {
                    out.emplace_back(*pair, *yen);
                }
            }
        };
        horses(result.winPayouts, race.winPaid);
        horses(result.placePayouts, race.placePaid);
        pairs(result.quinellaPayouts, race.quinellaPaid);
        pairs(result.widePayouts, race.widePaid);
        races.push_back(std::move(race));
    }
    return true;
}

QString seasonReportText(const SeasonFigures& season)
{
    const SeasonFigures& jra = jraFigures();
    const QLocale c = QLocale::c();
    QString out
        = u"JRA: %1 races, June 2014 to April 2026; season: %2 races. ± one standard "
          u"error, the races as clusters.\n"_s.arg(c.toString(jra.races), c.toString(season.races));
    enum class Form { Count, Share, Rate, Ratio, Nats };
    const auto number = [](double value, Form form) -> QString {
        switch (form) {
        case Form::Count:
            return QString::number(value, 'f', 2);
        case Form::Share:
            return QString::number(100 * value, 'f', 1) + u'%';
        case Form::Rate:
            return QString::number(value, 'f', 3);
        case Form::Ratio:
            return QString::number(value, 'f', 2);
        case Form::Nats:
            return QString::number(value, 'f', 4);
        }
        return QString();
    };
    const auto withSe = [&number](const Estimate& e, Form form) {
        QString text = number(e.value, form);
        if (e.se > 0.0) {
            text += u" ± "_s + number(e.se, form == Form::Ratio ? Form::Rate : form);
        }
        return text;
    };
    const auto line
        = [&](const QString& label, const Estimate& real, const Estimate& sim, Form form) {
              out += label.leftJustified(44) + withSe(real, form).leftJustified(18)
                     + withSe(sim, form) + u'\n';
          };
    out += u"figure"_s.leftJustified(44) + u"JRA"_s.leftJustified(18) + u"season\n"_s;
    line(u"runners per race"_s, jra.runners, season.runners, Form::Count);
    line(u"races with 16 or more runners"_s, jra.sixteenOrMore, season.sixteenOrMore, Form::Share);
    line(u"races with 17 or 18"_s, jra.seventeenOrMore, season.seventeenOrMore, Form::Share);
    line(u"races with 8 or fewer"_s, jra.eightOrFewer, season.eightOrFewer, Form::Share);
    const std::array<QString, 6> winBands
        = {u"1-9.9"_s, u"10-19.9"_s, u"20-49.9"_s, u"50-99.9"_s, u"100+"_s, u"all"_s};
    for (std::size_t b = 0; b < 5; ++b) {
        line(u"starters at win odds "_s + winBands[b],
             jra.starters[b],
             season.starters[b],
             Form::Share);
    }
    line(u"races won by the favourite"_s, jra.favouriteWon, season.favouriteWon, Form::Share);
    for (std::size_t b = 0; b < 6; ++b) {
        line(u"win return, "_s + winBands[b], jra.winReturn[b], season.winReturn[b], Form::Rate);
    }
    for (std::size_t b = 0; b < 6; ++b) {
        line(u"place return, "_s + winBands[b],
             jra.placeReturn[b],
             season.placeReturn[b],
             Form::Rate);
    }
    const auto bandName = [](const auto& edges, std::size_t b) -> QString {
        if (b == 0) {
            return u"<"_s + QString::number(edges[1]);
        }
        if (b + 2 == edges.size()) {
            return QString::number(edges[b]) + u'+';
        }
        return QString::number(edges[b]) + u'-' + QString::number(edges[b + 1]);
    };
    line(u"quinella: pool's gain on Harville, a race"_s,
         jra.quinellaGain,
         season.quinellaGain,
         Form::Nats);
    for (std::size_t b = 0; b < 8; ++b) {
        line(u"quinella at Harville odds "_s + bandName(SeasonFigures::kQuinellaBands, b)
                 + u": obs/pred"_s,
             jra.quinellaRatio[b],
             season.quinellaRatio[b],
             Form::Ratio);
    }
    for (std::size_t b = 0; b < 8; ++b) {
        line(u"quinella at Harville odds "_s + bandName(SeasonFigures::kQuinellaBands, b)
                 + u": return"_s,
             jra.quinellaReturn[b],
             season.quinellaReturn[b],
             Form::Rate);
    }
    line(
        u"wide: pool's gain on Harville, a paid pair"_s, jra.wideGain, season.wideGain, Form::Nats);
    for (std::size_t b = 0; b < 8; ++b) {
        line(u"wide at Harville odds "_s + bandName(SeasonFigures::kWideBands, b) + u": obs/pred"_s,
             jra.wideRatio[b],
             season.wideRatio[b],
             Form::Ratio);
    }
    for (std::size_t b = 0; b < 8; ++b) {
        line(u"wide at Harville odds "_s + bandName(SeasonFigures::kWideBands, b) + u": return"_s,
             jra.wideReturn[b],
             season.wideReturn[b],
             Form::Rate);
    }
    line(u"discounted order fitted: lambda"_s, jra.lambda, season.lambda, Form::Rate);
    line(u"discounted order fitted: tau"_s, jra.tau, season.tau, Form::Rate);
    return out;
}
