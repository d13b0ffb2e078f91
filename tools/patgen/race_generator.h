// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>
#include <QString>

/// A small deterministic random source (splitmix64), so that a seed gives the same race on every
/// platform and standard library.
class PatRandom final
{
public:
    explicit PatRandom(std::uint64_t seed)
        : m_state(seed)
    {}

    std::uint64_t next();
    double uniform();               ///< in [0, 1)
    int between(int low, int high); ///< in [low, high]
    double normal();                ///< standard normal

private:
    std::uint64_t m_state;
};

/// One runner of a generated race.
struct GeneratedHorse
{
    QString name;
    bool scratched = false;
    double winProbability = 0.0; ///< 0 for a scratched horse
    double winOdds = 0.0;
    double placeOddsMin = 0.0;
    double placeOddsMax = 0.0;
};

/// Odds of one pair (first < second).
struct GeneratedPair
{
    int first = 0;
    int second = 0;
    double quinellaOdds = 0.0;
    double wideOddsMin = 0.0;
    double wideOddsMax = 0.0;
};

/// A payout line of the result: the key text as the file holds it and the amount in yen.
struct GeneratedPayout
{
    QString key;
    int amount = 0;
};

/// A complete race, the source of all four PAT files.
struct GeneratedRace
{
    QString fileKey; ///< the part after "Zo-" and before ".jra"
    QString date;    ///< yyyymmdd
    QString venueCode;
    QString venueName;
    int meetingNo = 1;
    int meetingDay = 1;
    int raceNo = 1;
    QChar formatMark = u' ';
    QString distance;
    QString raceName;
    QString conditions;
    QString startTime;                  ///< hhmm
    std::vector<GeneratedHorse> horses; ///< horse number k at index k − 1
    std::vector<GeneratedPair> pairs;   ///< in file order (1,2), (1,3), …

    bool hasResult = false;
    std::vector<int> finishOrder; ///< horse numbers, winner first
    /// The position of each finisher in finishOrder (1, 1, 3 … after a dead heat); empty: 1, 2, 3 …
    std::vector<int> finishPositions;
    std::vector<GeneratedPayout> winPayouts, placePayouts, bracketQuinellaPayouts, quinellaPayouts,
        widePayouts;

    int runners() const { return static_cast<int>(horses.size()); }
};

/// The card of race number `index` (0-based) of a meeting, as generateRace makes it: header,
/// distance, race kind and `runners` horse names; no odds, no result.
GeneratedRace generateRaceCard(PatRandom& random, int index, int runners);

/// Generates race number `index` (0-based) of a meeting: a plausible market for `runners`
/// runners (2 to 18), the odd scratched horse, and a result when `withResult`.
GeneratedRace generateRace(PatRandom& random, int index, int runners, bool withResult);

/// The bracket (枠, 1 to 8) of each horse number of a field of `runners`, at index number − 1.
std::vector<int> bracketsOf(int runners);

/// A horse pair as payout keys and the program's pair labels write it: " 1- 2", lower first.
QString pairLabel(int a, int b);

/// Shift-JIS bytes of `text`, padded with blanks to `width` bytes; empty when the text does not
/// fit or cannot be encoded.
QByteArray encodePatField(const QString& text, int width);

/// Decimal odds right-aligned in `width` characters with one decimal ("  2.3").
QString formatOdds(double odds, int width);

QByteArray winPlaceOddsBytes(const GeneratedRace& race);
QByteArray quinellaOddsBytes(const GeneratedRace& race);
QByteArray raceCardBytes(const GeneratedRace& race);
QByteArray raceResultBytes(const GeneratedRace& race);

QString winPlaceOddsFileName(const GeneratedRace& race); ///< "Zo-<key>.jra"
QString raceResultFileName(const GeneratedRace& race);   ///< "Ks-" with two inserted characters

/// Prices the race's market from its horses' win chances: win and place odds, and the quinella
/// and wide odds of every pair.
void priceMarket(PatRandom& random, GeneratedRace& race);
/// The race's odds at PAT's next fetch: every chance drifts a little, and the market is priced
/// again (the race card and the result stay).
void moveMarket(PatRandom& random, GeneratedRace& race);

/// One file of a race: its name and contents.
struct RaceFile
{
    QString name;
    QByteArray bytes;
};

/// The race's Zo-, Uo- and De- files, and its Ks- file when it has a result.
std::vector<RaceFile> raceSetFiles(const GeneratedRace& race);

/// Writes the race's files into `folder` (Ks- only when it has a result); false with `error` set
/// when a file cannot be written.
bool writeRaceSet(const QString& folder, const GeneratedRace& race, QString* error);
