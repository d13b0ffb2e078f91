// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class MessageSink;

/// The label of a pair of horses: the lower number and the higher, each right-aligned in two
/// characters, joined by "-" (" 3- 5", " 9-10"). It joins the pair lists, the recommended bets
/// and the result's payouts. Equal numbers are told to `sink` and still give a label (" 7- 7").
QString makePairLabel(int first, int second, MessageSink& sink);
