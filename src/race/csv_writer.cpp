// SPDX-License-Identifier: MIT
#include "csv_writer.h"

#include <cerrno>

#include <QSaveFile>

#include "base/file_failure.h"

bool saveCsvBytes(const QByteArray& bytes, const QString& path, QString* error)
{
    QSaveFile file(path);
    // Each step starts with no error number, so that the one a failure leaves is its own.
    const auto step = [](auto call) {
        errno = 0;
        return call();
    };
    if (!step([&] { return file.open(QIODevice::WriteOnly); })
        || !step([&] { return file.write(bytes) == bytes.size(); })
        || !step([&] { return file.commit(); })) {
        const int systemError = errno;
        if (error != nullptr) {
            *error = fileProblemText(systemError, FileAccess::Write, file.errorString());
        }
        return false;
    }
    return true;
}
