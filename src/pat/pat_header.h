// SPDX-License-Identifier: MIT
#pragma once

#include "pat/pat_field.h"
#include "pat/pat_file.h"

class MessageSink;

/// Bytes of the race header that every Zo- and Uo- file begins with.
inline constexpr qsizetype kPatHeaderSize = 142;

/// The race header of Zo- and Uo- files. Fields named after their offset are kept but never
/// interpreted.
struct PatFileHeader
{
    PatText<8> field0;
    PatText<8> field8;
    PatText<2> field16;
    PatText<8> field18;
    PatText<2> field26;
    PatText<4> venueName;
    PatText<4> field32;
    PatText<2> meetingNo;
    PatText<2> meetingDay;
    PatText<2> raceNo;
    PatText<1> field42;
    PatText<1> formatMark;
    PatText<4> field44;
    PatText<28> raceName;
    PatText<64> conditions;
    PatText<2> runnerCount;

    bool operator==(const PatFileHeader&) const = default;
};

/// Reads the 16 header fields, then checks the format mark (a blank, "2" or "3"). A bad mark is
/// told to `sink` as "ファイル形式が違います。"; bytes ending inside the header fail silently.
bool readPatHeader(PatByteReader& in, PatFileHeader& header, MessageSink& sink);

/// The header of the file at `path`; reads its first 142 bytes and nothing more.
bool readPatHeaderFile(const QString& path,
                       PatFileHeader& header,
                       MessageSink& sink,
                       PatFileCheck check = PatFileCheck::Type);

/// The runner count of a header as the readers use it: its numeric value, rounded.
int runnerCountOf(const PatText<2>& runnerCount);

/// The meeting as the window shows it ("中山 第1回 2日") and the race ("11R 有馬記念").
QString meetingText(const PatFileHeader& header);
QString raceNameText(const PatFileHeader& header);
