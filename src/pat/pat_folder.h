// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include <QString>

#include "pat/pat_header.h"

class MessageSink;

/// One race of a PAT folder: its Zo- file's name and header.
struct PatFolderRace
{
    QString fileName;
    PatFileHeader header;
};

/// Lists every Zo-*.jra file of `folder` (names compared ignoring case) in name order and reads
/// each header. A file whose header does not read (not a regular file, too short, a bad header)
/// is left out and the scan goes on; the format message is told once per scan.
std::vector<PatFolderRace> scanPatFolder(const QString& folder, MessageSink& sink);
