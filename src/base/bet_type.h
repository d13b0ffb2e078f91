// SPDX-License-Identifier: MIT
#pragma once

/// The two bet types the judgement handles; their settings keys end in "Uma" and "Wide".
enum class BetType { Quinella, Wide };
