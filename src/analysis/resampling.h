// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include <QtGlobal>

/// The seed every bootstrap of the program starts from, so that a run repeats exactly.
inline constexpr quint64 kBootstrapSeed = 20261208;

/// Draws for the bootstraps: splitmix64, so that a fixed seed gives the same resamples on every
/// platform and library.
class Resampler
{
public:
    explicit Resampler(quint64 seed)
        : m_state(seed)
    {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9E37'79B9'7F4A'7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBULL;
        return z ^ (z >> 31);
    }
    /// 32 random bits: each 64-bit draw serves twice.
    quint32 next32()
    {
        if (m_halfLeft) {
            m_halfLeft = false;
            return static_cast<quint32>(m_half);
        }
        m_half = next();
        m_halfLeft = true;
        return static_cast<quint32>(m_half >> 32);
    }
    /// Uniform in [0, n), without the bias of a plain modulo (Lemire's method).
    quint32 below(quint32 n)
    {
        quint64 product = quint64{next32()} * n;
        auto low = static_cast<quint32>(product);
        if (low < n) {
            const quint32 threshold = (0U - n) % n;
            while (low < threshold) {
                product = quint64{next32()} * n;
                low = static_cast<quint32>(product);
            }
        }
        return static_cast<quint32>(product >> 32);
    }

private:
    quint64 m_state;
    quint64 m_half = 0;
    bool m_halfLeft = false;
};

/// Nearest rank: the smallest value with at least P‰ of the values at or below it.
template<typename T>
const T& nearestRank(const std::vector<T>& sorted, qint64 perMille)
{
    const auto n = static_cast<qint64>(sorted.size());
    const qint64 rank = std::max<qint64>((perMille * n + 999) / 1000, 1);
    return sorted[static_cast<std::size_t>(rank - 1)];
}

/// The bootstrap of statistics made of sums over resampling units (course-days or races): each
/// of `resamples` resamples draws as many units as there are, with replacement, sums their
/// values (every unit holds as many) and hands the sums to `take`. A return rate, a difference
/// of two rates and a gain per race are each a function of such sums.
template<typename Take>
void resampleUnitSums(const std::vector<std::vector<double>>& units,
                      int resamples,
                      quint64 seed,
                      Take take)
{
    if (units.empty()) {
        return;
    }
    Resampler random(seed);
    const auto n = static_cast<quint32>(units.size());
    std::vector<double> sums(units.front().size());
    for (int k = 0; k < resamples; ++k) {
        std::fill(sums.begin(), sums.end(), 0.0);
        for (quint32 u = 0; u < n; ++u) {
            const std::vector<double>& unit = units[random.below(n)];
            for (std::size_t i = 0; i < sums.size(); ++i) {
                sums[i] += unit[i];
            }
        }
        take(sums);
    }
}

/// The 95% percentile interval of bootstrap draws by nearest rank; empty without draws.
inline std::optional<std::pair<double, double>> percentileInterval(std::vector<double> draws)
{
    if (draws.empty()) {
        return std::nullopt;
    }
    std::sort(draws.begin(), draws.end());
    return std::pair{nearestRank(draws, 25), nearestRank(draws, 975)};
}
