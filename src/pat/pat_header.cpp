// SPDX-License-Identifier: MIT
#include "pat_header.h"

#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/pat_file.h"

using namespace Qt::StringLiterals;

bool readPatHeader(PatByteReader& in, PatFileHeader& header, MessageSink& sink)
{
    auto& h = header;
    if (!readPatFields(in,
                       h.field0,
                       h.field8,
                       h.field16,
                       h.field18,
                       h.field26,
                       h.venueName,
                       h.field32,
                       h.meetingNo,
                       h.meetingDay,
                       h.raceNo,
                       h.field42,
                       h.formatMark,
                       h.field44,
                       h.raceName,
                       h.conditions,
                       h.runnerCount)) {
        return false;
    }
    const QStringView mark = h.formatMark.view();
    if (mark != u" " && mark != u"2" && mark != u"3") {
        sink.message(u"ファイル形式が違います。"_s);
        return false;
    }
    return true;
}

bool readPatHeaderFile(const QString& path,
                       PatFileHeader& header,
                       MessageSink& sink,
                       PatFileCheck check)
{
    PatFileBuffer buffer;
    if (!loadPatFile(path, buffer, kPatHeaderSize, check)) {
        return false;
    }
    PatByteReader in(buffer.view());
    return readPatHeader(in, header, sink);
}

int runnerCountOf(const PatText<2>& runnerCount)
{
    return numericCount(runnerCount.view());
}

QString meetingText(const PatFileHeader& header)
{
    return header.venueName.toString() + u" 第" + header.meetingNo.view() + u"回 "
           + header.meetingDay.view() + u"日";
}

QString raceNameText(const PatFileHeader& header)
{
    return header.raceNo.toString() + u"R " + header.raceName.view();
}
