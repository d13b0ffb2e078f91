// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// The open dialog's filter for win/place odds files: description, "|", pattern.
QString winPlaceOddsFilter();

/// Whether a file name is that of a win/place odds file: "Zo-*.jra", ignoring case.
bool isWinPlaceOddsName(const QString& name);

/// The De- sibling of a Zo- path: the first "zo-" (any case) replaced by "De-"; empty when the
/// path holds no "zo-". Does not look at the file system.
QString raceCardPathOf(const QString& zoPath);

/// The Uo- sibling of a Zo- path, as raceCardPathOf.
QString quinellaOddsPathOf(const QString& zoPath);

/// The Ks- file of a Zo- path: "zo-" becomes "Ks-" and two wildcard characters are inserted after
/// the next character ("Zo-1234.jra" → "Ks-1??234.jra"). Returns the folder plus the name of the
/// first regular file matching that pattern in ordinal name order, or empty text when there is
/// none, no "zo-", or nothing after it.
QString raceResultPathOf(const QString& zoPath);

/// What one listing of a race's folder tells: its result file (as raceResultPathOf), its Uo- and
/// De- files as the listing found them (under any letter case), and whether the Zo-, Uo- and De-
/// files are listed under their names as regular files (their type need not be asked again when
/// they open).
struct RaceFolderListing
{
    QString resultPath;
    /// Only when `siblingsFound` are the two paths the listing's answer (empty: there is none,
    /// and none is searched for); without it the files are looked up by their names as
    /// raceCardPathOf and quinellaOddsPathOf make them.
    QString uoPath;
    QString dePath;
    bool siblingsFound = false;
    bool zoRegular = false;
    bool uoRegular = false;
    bool deRegular = false;
};
/// Lists the folder of `zoPath` once (FolderIndex) and tells what it found of the race.
RaceFolderListing listRaceFolder(const QString& zoPath);

/// Whether a file name matches a pattern in which only "?" is a wildcard (any one character);
/// everything else is literal and compared ignoring letter case.
bool matchesPatPattern(QStringView name, QStringView pattern);
