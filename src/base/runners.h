// SPDX-License-Identifier: MIT
#pragma once

/// The most runners a JRA race has, and so the rows of every table of horses and the horse
/// numbers a pair label can hold.
inline constexpr int kMaxRunners = 18;
