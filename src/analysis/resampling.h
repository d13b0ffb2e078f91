// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
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
