// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Whether a failed file was being read or written: a missing name means a missing file when
/// reading, a missing folder when writing.
enum class FileAccess { Read, Write };

/// What went wrong with a file, for the user, in Japanese: from the system's error number the
/// failed call left (errno), else the platform's own text. The C library's texts would follow
/// the user's locale only where its translations are installed.
QString fileProblemText(int systemError, FileAccess access, const QString& platformText);

/// One line for the user: the file (native separators), then what went wrong.
QString fileFailureLine(const QString& path, const QString& problem);
