// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

// The pair order of the market's files, shared by its pricing and its ordering chances.
namespace market_pairs {

/// Pairs (0,1) … (0,n−1), (1,2) … in file order; a < b.
inline std::size_t pairIndex(int n, int a, int b)
{
    return static_cast<std::size_t>(a * n - a * (a + 1) / 2 + (b - a - 1));
}

inline std::size_t at(int k)
{
    return static_cast<std::size_t>(k);
}

} // namespace market_pairs
