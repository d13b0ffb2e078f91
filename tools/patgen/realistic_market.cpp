// SPDX-License-Identifier: MIT
#include "realistic_market.h"

#include <algorithm>
#include <cmath>

#include "market_pairs.h"

using namespace Qt::StringLiterals;

namespace {

constexpr double kWinReturn = 0.8;    // win and place pools keep 20%
constexpr double kPairReturn = 0.775; // quinella, bracket and wide pools keep 22.5%
constexpr double kMaxWinOdds = 999.9; // five characters
constexpr double kMaxPairOdds = 9999.9;
// No horse is quite without a chance: the least a true win chance is.
constexpr double kLeastTrueChance = 0.0001;

using Chances = std::vector<double>;

using market_pairs::at;
using market_pairs::pairIndex;

// Odds and payouts are cut to tenths (10 yen on 100) and never pay back less than the stake.
double tenthsDown(double perYen)
{
    return std::max(1.0, std::floor(perYen * 10.0 + 1e-9) / 10.0);
}

double shownOdds(double perYen, double cap)
{
    return std::min(tenthsDown(perYen), cap);
}

int payoutYen(double perYen)
{
    return static_cast<int>(std::lround(tenthsDown(perYen) * 100.0));
}

// What a winning ticket pays per yen when `winners` combinations share the pool: each gets its
// stake back and an equal part of what the pool returns beyond the winning stakes. One winner
// gets returned / share.
double splitPool(double returned, double winningShares, int winners, double share)
{
    return 1.0 + (returned - winningShares) / (winners * share);
}

// The winning combinations' shares of a pool, added smallest first: the result and the truth's
// expected payouts add the same shares in the same order, so they pay the same yen.
double sumOfShares(std::vector<double> shares)
{
    std::ranges::sort(shares);
    double total = 0.0;
    for (const double share : shares) {
        total += share;
    }
    return total;
}

// What each of the winning combinations with these shares pays, in yen for 100 yen.
std::vector<int> sharedPayouts(const std::vector<double>& shares, double returned)
{
    const double total = sumOfShares(shares);
    const int count = static_cast<int>(shares.size());
    std::vector<int> yen;
    for (const double share : shares) {
        yen.push_back(payoutYen(splitPool(returned, total, count, share)));
    }
    return yen;
}

void normalise(Chances& chances)
{
    double total = 0.0;
    for (const double c : chances) {
        total += c;
    }
    for (double& c : chances) {
        c /= total;
    }
}

// The pools of one fetch: each bet's share of its pool (0 where a horse is scratched).
struct Pools
{
    Chances win, place, quinella, wide;
};

// Each horse's chance to finish within `places`, from the chances of the pairs.
Chances placedChances(const OrderChances& pairs, int n, int places)
{
    Chances placed(at(n), 0.0);
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            const std::size_t ab = pairIndex(n, a, b);
            // Each set of three holds each of its horses in two of its pairs.
            const double both = places == 2 ? pairs.firstTwo[ab] : pairs.topThree[ab] / 2;
            placed[at(a)] += both;
            placed[at(b)] += both;
        }
    }
    return placed;
}

// A pool's shares: each bet's chance as the public estimates it, with its error and its bias.
Chances biasedShares(const Chances& chances, const Chances& error, const BiasCurve& bias)
{
    Chances shares(chances.size(), 0.0);
    for (std::size_t x = 0; x < chances.size(); ++x) {
        if (chances[x] > 0.0) {
            const double estimate = chances[x] * std::exp(error[x]);
            shares[x] = estimate * std::exp(bias(estimate));
        }
    }
    normalise(shares);
    return shares;
}

// What the public believes at one fetch, given what it knows of the chances then.
Pools publicPools(const Chances& known,
                  const RealisticMarket& m,
                  const Chances& winError,
                  const Chances& placeError,
                  const Chances& quinellaError,
                  const Chances& wideError,
                  int places)
{
    const int n = static_cast<int>(known.size());
    Pools pools;
    pools.win = biasedShares(known, winError, m.winBias);
    // The other pools' bettors share part of the win bettors' error; the place bettors add an
    // error of their own, then see each horse's chance to place as the finishes run.
    Chances shared(known.size(), 0.0);
    Chances placeKnown(known.size(), 0.0);
    for (std::size_t k = 0; k < known.size(); ++k) {
        shared[k] = known[k] * std::exp(m.sharedError * winError[k]);
        placeKnown[k] = shared[k] * std::exp(placeError[k]);
    }
    normalise(shared);
    normalise(placeKnown);
    const Chances placed
        = placedChances(discountedOrderChances(placeKnown, m.trueLambda, m.trueTau), n, places);
    pools.place = biasedShares(placed, Chances(known.size(), 0.0), m.placeBias);

    const OrderChances pairs = discountedOrderChances(shared, m.trueLambda, m.trueTau);
    pools.quinella = biasedShares(pairs.firstTwo, quinellaError, m.quinellaBias);
    Chances wideShared(known.size(), 0.0);
    for (std::size_t k = 0; k < known.size(); ++k) {
        wideShared[k] = known[k] * std::exp(m.wideSharedError * winError[k]);
    }
    normalise(wideShared);
    pools.wide = biasedShares(discountedOrderChances(wideShared, m.trueLambda, m.trueTau).topThree,
                              wideError,
                              m.wideBias);
    return pools;
}

// Writes the odds of `pools` into `race`, whose horses not in them show as scratched.
void priceFetch(GeneratedRace& race, const Pools& pools, int places)
{
    const int n = race.runners();
    for (int k = 0; k < n; ++k) {
        GeneratedHorse& horse = race.horses[at(k)];
        const double share = pools.win[at(k)];
        horse.scratched = share == 0.0;
        if (horse.scratched) {
            horse.winOdds = horse.placeOddsMin = horse.placeOddsMax = 0.0;
            continue;
        }
        horse.winOdds = shownOdds(kWinReturn / share, kMaxWinOdds);
        // A place pays least when the others placed are the two most backed, most when they
        // are the two least backed.
        std::vector<double> others;
        for (int j = 0; j < n; ++j) {
            if (j != k && pools.place[at(j)] > 0.0) {
                others.push_back(pools.place[at(j)]);
            }
        }
        std::ranges::sort(others);
        const double s = pools.place[at(k)];
        double most = 0.0;
        double least = 0.0;
        for (int r = 0; r < places - 1; ++r) {
            most += others[others.size() - 1 - at(r)];
            least += others[at(r)];
        }
        horse.placeOddsMin = shownOdds(splitPool(kWinReturn, s + most, places, s), kMaxWinOdds);
        horse.placeOddsMax = shownOdds(splitPool(kWinReturn, s + least, places, s), kMaxWinOdds);
    }
    race.pairs.clear();
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            GeneratedPair pair{a + 1, b + 1, 0.0, 0.0, 0.0};
            const std::size_t ab = pairIndex(n, a, b);
            const double w = pools.quinella[ab];
            if (w > 0.0) {
                pair.quinellaOdds = shownOdds(kPairReturn / w, kMaxPairOdds);
                // A wide pair pays by the third horse: least with the one whose pairs with
                // these two hold most of the pool.
                const double v = pools.wide[ab];
                double most = 0.0;
                double least = 1.0;
                for (int c = 0; c < n; ++c) {
                    if (c == a || c == b || pools.win[at(c)] == 0.0) {
                        continue;
                    }
                    const double with = pools.wide[pairIndex(n, std::min(a, c), std::max(a, c))]
                                        + pools.wide[pairIndex(n, std::min(b, c), std::max(b, c))];
                    most = std::max(most, with);
                    least = std::min(least, with);
                }
                pair.wideOddsMin = shownOdds(splitPool(kPairReturn, v + most, 3, v), kMaxPairOdds);
                pair.wideOddsMax = shownOdds(splitPool(kPairReturn, v + least, 3, v), kMaxPairOdds);
            }
            race.pairs.push_back(pair);
        }
    }
}

// Draws the finish from the true chances: the first by p, the second by p^λ, the third by
// p^τ among those left, the rest by p.
std::vector<int> drawFinish(PatRandom& random, const Chances& p, double lambda, double tau)
{
    std::vector<int> left;
    for (int k = 0; k < static_cast<int>(p.size()); ++k) {
        if (p[at(k)] > 0.0) {
            left.push_back(k);
        }
    }
    std::vector<int> order;
    std::vector<double> weight(p.size(), 0.0);
    while (!left.empty()) {
        const double power = order.size() == 1 ? lambda : order.size() == 2 ? tau : 1.0;
        double total = 0.0;
        for (const int k : left) {
            weight[at(k)] = std::pow(p[at(k)], power);
            total += weight[at(k)];
        }
        double draw = random.uniform() * total;
        std::size_t chosen = left.size() - 1;
        for (std::size_t r = 0; r + 1 < left.size(); ++r) {
            draw -= weight[at(left[r])];
            if (draw < 0.0) {
                chosen = r;
                break;
            }
        }
        order.push_back(left[chosen]);
        left.erase(left.begin() + static_cast<std::ptrdiff_t>(chosen));
    }
    return order;
}

// The result and its payouts from the pools at the close. A dead heat shares the places tied
// (positions 1, 1, 3 …): every combination it makes wins and they split the pool.
void settle(GeneratedRace& race,
            const std::vector<int>& order,
            const std::vector<int>& positions,
            const Pools& pools,
            int places)
{
    const int n = race.runners();
    race.hasResult = true;
    race.finishOrder.clear();
    for (const int k : order) {
        race.finishOrder.push_back(k + 1);
    }
    race.finishPositions = positions;
    const auto horseKey = [](int k) {
        return u"%1"_s.arg(k + 1, 2);
    };
    const auto pay = [](std::vector<GeneratedPayout>& out,
                        const std::vector<std::pair<QString, double>>& winners,
                        double returned) {
        std::vector<double> shares;
        for (const auto& winner : winners) {
            shares.push_back(winner.second);
        }
        const std::vector<int> yen = sharedPayouts(shares, returned);
        for (std::size_t w = 0; w < winners.size(); ++w) {
            out.push_back({winners[w].first, yen[w]});
        }
    };

    std::vector<std::pair<QString, double>> win, place;
    for (std::size_t r = 0; r < order.size(); ++r) {
        if (positions[r] == 1) {
            win.emplace_back(horseKey(order[r]), pools.win[at(order[r])]);
        }
        if (positions[r] <= places) {
            place.emplace_back(horseKey(order[r]), pools.place[at(order[r])]);
        }
    }
    pay(race.winPayouts, win, kWinReturn);
    pay(race.placePayouts, place, kWinReturn);

    // A pair wins when both finished within `limit`, unless both share the last of it: with
    // two horses tied for second, each of them goes with the winner.
    struct Winner
    {
        int a = 0;
        int b = 0;
    };
    const auto winningPairs = [&](int limit) {
        std::vector<Winner> pairs;
        for (std::size_t x = 0; x < order.size(); ++x) {
            for (std::size_t y = x + 1; y < order.size() && positions[y] <= limit; ++y) {
                if (positions[x] != limit || positions[y] != limit) {
                    pairs.push_back({order[x], order[y]});
                }
            }
        }
        return pairs;
    };
    const auto payPairs = [&](std::vector<GeneratedPayout>& out, int limit, const Chances& pool) {
        std::vector<std::pair<QString, double>> winners;
        for (const Winner& w : winningPairs(limit)) {
            winners.emplace_back(pairLabel(w.a + 1, w.b + 1),
                                 pool[pairIndex(n, std::min(w.a, w.b), std::max(w.a, w.b))]);
        }
        pay(out, winners, kPairReturn);
    };
    payPairs(race.quinellaPayouts, 2, pools.quinella);
    payPairs(race.widePayouts, 3, pools.wide);

    // Bracket quinella: a bracket pair holds the quinella money of all its horse pairs.
    const std::vector<int> brackets = bracketsOf(n);
    std::vector<std::pair<QString, double>> bracketWinners;
    for (const Winner& w : winningPairs(2)) {
        const int b1 = std::min(brackets[at(w.a)], brackets[at(w.b)]);
        const int b2 = std::max(brackets[at(w.a)], brackets[at(w.b)]);
        const QString key = u"%1-%2"_s.arg(b1).arg(b2);
        if (std::ranges::any_of(bracketWinners, [&key](const auto& x) { return x.first == key; })) {
            continue;
        }
        double held = 0.0;
        for (int i = 0; i < n; ++i) {
            for (int j = i + 1; j < n; ++j) {
                if (std::min(brackets[at(i)], brackets[at(j)]) == b1
                    && std::max(brackets[at(i)], brackets[at(j)]) == b2) {
                    held += pools.quinella[pairIndex(n, i, j)];
                }
            }
        }
        bracketWinners.emplace_back(key, held);
    }
    pay(race.bracketQuinellaPayouts, bracketWinners, kPairReturn);
}

// The expected payouts of the win and place bets and of the wide pairs at the closing pools, in
// yen for 100 yen: a horse's win chance times what it pays; for the places and the wide pairs,
// each set of horses that can fill the places, by its chance under the discounted model, times
// what each of its bets pays (sharedPayouts, as the result pays them). A race is taken as run
// without a dead heat: a tie for a place (one race in a hundred) splits the same pool among more
// winners, which these expectations leave out. A scratched horse has chance 0, so it and its
// pairs expect nothing, as their refunded tickets win nothing.
void expectPayouts(RealisticRace& out, const Pools& pools, double lambda, double tau, int places)
{
    const Chances& p = out.trueWin;
    const int n = static_cast<int>(p.size());
    Chances second(p.size(), 0.0);
    Chances third(p.size(), 0.0);
    double secondTotal = 0.0;
    double thirdTotal = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        if (p[k] > 0.0) {
            second[k] = std::pow(p[k], lambda);
            third[k] = std::pow(p[k], tau);
            secondTotal += second[k];
            thirdTotal += third[k];
        }
    }
    // A win bet pays what the pool holds, beyond the 999.9 a Zo- file can show.
    out.winReturn.assign(p.size(), 0.0);
    for (std::size_t k = 0; k < p.size(); ++k) {
        if (p[k] > 0.0) {
            out.winReturn[k] = p[k] * sharedPayouts({pools.win[k]}, kWinReturn)[0];
        }
    }
    out.placeReturn.assign(p.size(), 0.0);
    out.wideReturn.assign(at(n * (n - 1) / 2), 0.0);
    // a first, b second, in this order; then c third.
    const auto firstTwo = [&](int a, int b) {
        return p[at(a)] * second[at(b)] / (secondTotal - second[at(a)]);
    };
    const auto thenThird = [&](int a, int b, int c) {
        return third[at(c)] / (thirdTotal - third[at(a)] - third[at(b)]);
    };
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            if (p[at(a)] == 0.0 || p[at(b)] == 0.0) {
                continue;
            }
            const double ab = firstTwo(a, b);
            const double ba = firstTwo(b, a);
            if (places == 2) {
                const std::vector<int> yen
                    = sharedPayouts({pools.place[at(a)], pools.place[at(b)]}, kWinReturn);
                out.placeReturn[at(a)] += (ab + ba) * yen[0];
                out.placeReturn[at(b)] += (ab + ba) * yen[1];
            }
            for (int c = b + 1; c < n; ++c) {
                if (p[at(c)] == 0.0) {
                    continue;
                }
                const double chance
                    = ab * thenThird(a, b, c) + ba * thenThird(b, a, c)
                      + firstTwo(a, c) * thenThird(a, c, b) + firstTwo(c, a) * thenThird(c, a, b)
                      + firstTwo(b, c) * thenThird(b, c, a) + firstTwo(c, b) * thenThird(c, b, a);
                const std::array<std::size_t, 3> pairs
                    = {pairIndex(n, a, b), pairIndex(n, a, c), pairIndex(n, b, c)};
                const std::vector<int> wide = sharedPayouts(
                    {pools.wide[pairs[0]], pools.wide[pairs[1]], pools.wide[pairs[2]]},
                    kPairReturn);
                for (std::size_t w = 0; w < pairs.size(); ++w) {
                    out.wideReturn[pairs[w]] += chance * wide[w];
                }
                if (places == 3) {
                    const std::vector<int> yen = sharedPayouts(
                        {pools.place[at(a)], pools.place[at(b)], pools.place[at(c)]}, kWinReturn);
                    out.placeReturn[at(a)] += chance * yen[0];
                    out.placeReturn[at(b)] += chance * yen[1];
                    out.placeReturn[at(c)] += chance * yen[2];
                }
            }
        }
    }
}

} // namespace

RealisticRace runRealisticRace(PatRandom& random, GeneratedRace card, const RealisticMarket& m)
{
    const int n = card.runners();
    // Scratched before sales, as in the efficient season: only in full fields.
    std::vector<bool> entered(at(n), true);
    int scratched = 0;
    for (int k = 0; k < n; ++k) {
        if (n >= 10 && scratched < 2 && random.uniform() < 0.015) {
            entered[at(k)] = false;
            ++scratched;
        }
    }
    Chances strength(at(n), 0.0);
    for (int k = 0; k < n; ++k) {
        if (entered[at(k)]) {
            // One draw a statement: the order of the draws is the seed's, on every compiler.
            const double tail = -std::log(1.0 - random.uniform());
            const double range = random.uniform();
            const double spread = random.normal();
            strength[at(k)] = std::exp(m.strengthSpread * spread - m.strengthTail * tail
                                       - m.strengthRange * range);
        }
    }
    normalise(strength);
    const int entrants = n - scratched;
    for (double& s : strength) {
        if (s > 0.0) {
            s = kLeastTrueChance + (1.0 - kLeastTrueChance * entrants) * s;
        }
    }
    int late = -1;
    int lateMinute = 0;
    for (int k = 0; k < n; ++k) {
        if (entered[at(k)] && late < 0 && entrants > 5 && random.uniform() < m.lateScratchRate) {
            late = k;
            lateMinute = random.between(2, 89);
        }
    }
    const auto runsAt = [&](int k, int fetch) {
        return entered[at(k)] && !(k == late && kFetchMinutes[at(fetch)] <= lateMinute);
    };
    const int starters = entrants - (late >= 0 ? 1 : 0);
    const int places = starters <= 7 ? 2 : 3;

    // The news still to come at each fetch, and the public's errors that no news corrects.
    std::vector<Chances> news(at(kFetches), Chances(at(n), 0.0));
    for (int f = kFetches - 2; f >= 0; --f) {
        for (int k = 0; k < n; ++k) {
            news[at(f)][at(k)] = news[at(f + 1)][at(k)] + m.lateNews[at(f)] * random.normal();
        }
    }
    Chances winError(at(n)), placeError(at(n));
    for (int k = 0; k < n; ++k) {
        winError[at(k)] = m.winNoise * random.normal();
        placeError[at(k)] = m.placeNoise * random.normal();
    }
    const auto pairCount = at(n * (n - 1) / 2);
    Chances quinellaError(pairCount), wideError(pairCount);
    for (std::size_t x = 0; x < pairCount; ++x) {
        quinellaError[x] = m.quinellaNoise * random.normal();
        wideError[x] = m.wideNoise * random.normal();
    }

    RealisticRace out;
    Pools closing;
    for (int f = 0; f < kFetches; ++f) {
        // What the public knows of the chances at this fetch: the truth, with the news still to
        // come as noise.
        Chances known(at(n), 0.0);
        int listed = 0;
        for (int k = 0; k < n; ++k) {
            if (runsAt(k, f)) {
                known[at(k)] = strength[at(k)] * std::exp(news[at(f)][at(k)]);
                ++listed;
            }
        }
        normalise(known);
        if (f == kFetches - 1) {
            out.trueWin = known; // no news is still to come at the close
        }
        const int fetchPlaces = listed <= 7 ? 2 : 3;
        const Pools pools
            = publicPools(known, m, winError, placeError, quinellaError, wideError, fetchPlaces);
        GeneratedRace fetched = card;
        priceFetch(fetched, pools, fetchPlaces);
        out.fetches.push_back(std::move(fetched));
        if (f == kFetches - 1) {
            closing = pools;
        }
    }
    for (int k = 0; k < n; ++k) {
        for (GeneratedRace& fetched : out.fetches) {
            fetched.horses[at(k)].winProbability = out.trueWin[at(k)];
        }
    }
    const OrderChances truth = discountedOrderChances(out.trueWin, m.trueLambda, m.trueTau);
    out.trueFirstTwo = truth.firstTwo;
    out.trueTopThree = truth.topThree;

    // The finish, now and then with a dead heat.
    const std::vector<int> order = drawFinish(random, out.trueWin, m.trueLambda, m.trueTau);
    std::vector<int> positions(order.size());
    for (std::size_t r = 0; r < order.size(); ++r) {
        positions[r] = static_cast<int>(r) + 1;
    }
    if (random.uniform() < m.deadHeatRate) {
        const int tied = random.between(1, 3); // the place two horses share
        positions[at(tied)] = tied;
    }
    out.race = out.fetches.back();
    settle(out.race, order, positions, closing, places);
    expectPayouts(out, closing, m.trueLambda, m.trueTau, places);
    return out;
}
