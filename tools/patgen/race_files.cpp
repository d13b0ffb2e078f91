// SPDX-License-Identifier: MIT
// The PAT files of a generated race: their fixed-width code page 932 bytes, names and writing.
#include <algorithm>
#include <memory>

#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>

#include "generator_fields.h"
#include "race_generator.h"

using namespace Qt::StringLiterals;
using generator_fields::pick;
using generator_fields::rightAligned;
using generator_fields::zeroPadded;

namespace {

constexpr const char16_t* kJockeys[] = {
    u"武豊",
    u"横山典弘",
    u"ルメール",
    u"川田将雅",
    u"戸崎圭太",
    u"松山弘平",
    u"岩田望来",
    u"坂井瑠星",
    u"田辺裕信",
    u"鮫島克駿",
    u"丹内祐次",
    u"菅原明良",
};

// Appends a field; generated texts always fit their widths.
void put(QByteArray& out, const QString& text, int width)
{
    const QByteArray field = encodePatField(text, width);
    Q_ASSERT(field.size() == width);
    out += field;
}

void putOdds(QByteArray& out, bool scratched, double odds, int width)
{
    put(out, scratched ? u"ﾄﾘｹｼ"_s : formatOdds(odds, width), width);
}

QByteArray headerBytes(const GeneratedRace& race)
{
    QByteArray out;
    put(out, race.date, 8);
    put(out, u"00000001"_s, 8);
    put(out, race.venueCode, 2);
    put(out, race.date, 8);
    put(out, u"01"_s, 2);
    put(out, race.venueName, 4);
    put(out, QString(), 4);
    put(out, zeroPadded(race.meetingNo, 2), 2);
    put(out, zeroPadded(race.meetingDay, 2), 2);
    put(out, zeroPadded(race.raceNo, 2), 2);
    put(out, QString(), 1);
    put(out, QString(race.formatMark), 1);
    put(out, race.distance, 4);
    put(out, race.raceName, 28);
    put(out, race.conditions, 64);
    put(out, rightAligned(race.runners(), 2), 2);
    return out;
}

} // namespace

QByteArray encodePatField(const QString& text, int width)
{
    // Most fields are digits and blanks, which code page 932 keeps as they are; opening the
    // converter for each would cost more than a season's file writes.
    const bool plain = std::ranges::all_of(text, [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u' ' || c == u'.' || c == u'-' || c == u':';
    });
    if (plain) {
        if (text.size() > width) {
            return {};
        }
        return text.toLatin1() + QByteArray(width - text.size(), ' ');
    }
    QStringEncoder encoder("windows-932");
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError() || bytes.size() > width) {
        return {};
    }
    return bytes + QByteArray(width - bytes.size(), ' ');
}

QString formatOdds(double odds, int width)
{
    return u"%1"_s.arg(odds, width, 'f', 1);
}

QByteArray winPlaceOddsBytes(const GeneratedRace& race)
{
    QByteArray out = headerBytes(race);
    const auto brackets = bracketsOf(race.runners());
    for (int k = 1; k <= race.runners(); ++k) {
        const auto& horse = race.horses[static_cast<std::size_t>(k - 1)];
        put(out, QString::number(brackets[static_cast<std::size_t>(k - 1)]), 1);
        put(out, zeroPadded(k, 2), 2);
        putOdds(out, horse.scratched, horse.winOdds, 5);
        put(out, horse.scratched ? QString() : formatOdds(horse.placeOddsMin, 5), 5);
        put(out, horse.scratched ? QString() : formatOdds(horse.placeOddsMax, 5), 5);
    }
    return out;
}

QByteArray quinellaOddsBytes(const GeneratedRace& race)
{
    QByteArray out = headerBytes(race);
    put(out, u"  "_s, 2);
    for (const auto& pair : race.pairs) {
        const bool scratched = pair.quinellaOdds == 0.0;
        put(out, zeroPadded(pair.first, 2), 2);
        put(out, zeroPadded(pair.second, 2), 5);
        putOdds(out, scratched, pair.quinellaOdds, 6);
        putOdds(out, scratched, pair.wideOddsMin, 6);
        putOdds(out, scratched, pair.wideOddsMax, 6);
    }
    return out;
}

// The race's key as the race card and the result both begin: date, venue, meeting, day, race.
void putRaceKey(QByteArray& out, const GeneratedRace& race)
{
    put(out, race.date, 8);
    put(out, race.venueCode + u"01"_s, 4);
    put(out, u"0000"_s, 4);
    put(out, zeroPadded(race.meetingNo, 2), 2);
    put(out, zeroPadded(race.meetingDay, 2), 2);
    put(out, zeroPadded(race.raceNo, 2), 2);
}

QByteArray raceCardBytes(const GeneratedRace& race)
{
    QByteArray out;
    putRaceKey(out, race);
    put(out, race.startTime, 4);
    put(out, u"芝"_s + race.distance, 8);
    put(out, race.raceName, 28);
    put(out, QString(), 28);
    put(out, rightAligned(race.runners(), 2), 2);
    const auto brackets = bracketsOf(race.runners());
    PatRandom random(static_cast<std::uint64_t>(race.raceNo) * 7919U);
    for (int k = 1; k <= race.runners(); ++k) {
        const auto& horse = race.horses[static_cast<std::size_t>(k - 1)];
        put(out, QString::number(brackets[static_cast<std::size_t>(k - 1)]), 1);
        put(out, QString(), 1);
        put(out, zeroPadded(k, 2), 2);
        put(out, QString::number(random.between(1, 3)), 1);
        put(out, QString(), 1);
        put(out, horse.name, 18);
        put(out, QString::fromUtf16(pick(random, kJockeys)), 18);
        put(out, rightAligned(random.between(2, 7), 2), 2);
        put(out, u"%1.0"_s.arg(random.between(52, 58)), 4);
    }
    return out;
}

QByteArray raceResultBytes(const GeneratedRace& race)
{
    QByteArray out;
    putRaceKey(out, race);
    put(out, QString(), 1);
    put(out, QString(), 10);
    put(out, QString(), 1);
    put(out, race.raceName, 28);
    put(out, QString(), 28);
    PatRandom random(static_cast<std::uint64_t>(race.raceNo) * 104729U);
    int tenths = 940 + random.between(0, 60);
    for (std::size_t r = 0; r < 7; ++r) {
        if (r < race.finishOrder.size()) {
            const int no = race.finishOrder[r];
            const int position
                = race.finishPositions.empty() ? static_cast<int>(r) + 1 : race.finishPositions[r];
            // Horses in a dead heat share the time as well.
            const int gap = random.between(0, 4);
            tenths += position == static_cast<int>(r) + 1 ? gap : 0;
            put(out, rightAligned(position, 2), 2);
            put(out, rightAligned(no, 2), 2);
            put(out, race.horses[static_cast<std::size_t>(no - 1)].name, 18);
            put(out,
                u"%1:%2.%3"_s.arg(tenths / 600)
                    .arg(tenths / 10 % 60, 2, 10, QChar(u'0'))
                    .arg(tenths % 10),
                6);
            put(out, QString::fromUtf16(pick(random, kJockeys)), 12);
        } else {
            out += QByteArray(40, ' ');
        }
    }
    put(out, QString(), 5);
    const auto putPayouts
        = [&out](const std::vector<GeneratedPayout>& payouts, std::size_t count, int keyWidth) {
              for (std::size_t s = 0; s < count; ++s) {
                  if (s < payouts.size()) {
                      put(out, payouts[s].key, keyWidth);
                      put(out, rightAligned(payouts[s].amount, 8), 8);
                  } else {
                      out += QByteArray(keyWidth + 8, ' ');
                  }
              }
          };
    putPayouts(race.winPayouts, 3, 2);
    putPayouts(race.placePayouts, 5, 2);
    putPayouts(race.bracketQuinellaPayouts, 3, 4);
    putPayouts(race.quinellaPayouts, 3, 6);
    putPayouts(race.widePayouts, 11, 6);
    return out;
}

QString winPlaceOddsFileName(const GeneratedRace& race)
{
    return u"Zo-"_s + race.fileKey + u".jra"_s;
}

QString raceResultFileName(const GeneratedRace& race)
{
    // The result file carries two more characters after the first of the race key.
    return u"Ks-"_s + race.fileKey.left(1) + u"26"_s + race.fileKey.mid(1) + u".jra"_s;
}

std::vector<RaceFile> raceSetFiles(const GeneratedRace& race)
{
    std::vector<RaceFile> files;
    files.push_back({winPlaceOddsFileName(race), winPlaceOddsBytes(race)});
    files.push_back({u"Uo-"_s + race.fileKey + u".jra"_s, quinellaOddsBytes(race)});
    files.push_back({u"De-"_s + race.fileKey + u".jra"_s, raceCardBytes(race)});
    if (race.hasResult) {
        files.push_back({raceResultFileName(race), raceResultBytes(race)});
    }
    return files;
}

bool writeRaceSet(const QString& folder, const GeneratedRace& race, QString* error)
{
    const QDir dir(folder);
    // Every file is written in full before any takes its name, so that a reader following the
    // folder sees the race's files change together, as when PAT fetches new odds.
    std::vector<std::unique_ptr<QSaveFile>> files;
    const auto fail = [error](const QSaveFile& file) {
        if (error != nullptr) {
            *error = u"%1: %2"_s.arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
        }
        return false;
    };
    for (const RaceFile& made : raceSetFiles(race)) {
        auto file = std::make_unique<QSaveFile>(dir.filePath(made.name));
        if (!file->open(QIODevice::WriteOnly) || file->write(made.bytes) != made.bytes.size()) {
            return fail(*file);
        }
        files.push_back(std::move(file));
    }
    for (const auto& file : files) {
        if (!file->commit()) {
            return fail(*file);
        }
    }
    return true;
}
