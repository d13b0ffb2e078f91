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

/// scanPatFolder made again after files came or went: the folder is listed, and only the Zo- files
/// that `known` (an earlier scan's result, in name order) does not hold are read; races whose file
/// is gone are dropped. Nobody is told of a file that does not read: the scan runs unasked, and
/// such a file (perhaps still being written) is counted in `unread` and read at the next one.
std::vector<PatFolderRace> rescanPatFolder(const QString& folder,
                                           const std::vector<PatFolderRace>& known,
                                           int* unread = nullptr);
