// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#ifndef Q_OS_UNIX
#include <QFile>
#endif

/// The folder part of a path, separator included ("" when there is none).
QString folderOfPath(const QString& path);

/// What a folder's listing tells of an entry's type.
enum class ListedType {
    Regular, ///< a regular file
    Unknown, ///< a link, or a type the listing does not tell: ask the file system
    Other,   ///< a folder, FIFO, device or socket
};

/// Calls `visit` with the name and listed type of every entry of `folder` but "." and "..", in
/// the folder's own order; an empty folder means the current one. On Unix the folder is read
/// directly: the platform's iterator makes a file-info object per entry, which costs more than
/// reading the PAT headers of a season's folder.
void listFolder(const QString& folder,
                const std::function<void(const QString& name, ListedType type)>& visit);

/// The name of the first regular file in `folder`, in ordinal name order, for which `matches`
/// holds; empty when there is none. An empty folder means the current one. `alsoVisit`, when
/// given, sees every entry of the same listing.
QString firstFileMatching(const QString& folder,
                          const std::function<bool(const QString&)>& matches,
                          const std::function<void(const QString& name, ListedType type)>& alsoVisit
                          = {});

/// The first regular file in `folder` whose name equals `name` ignoring letter case.
QString findFileIgnoringCase(const QString& folder, const QString& name);

/// How a PAT file's type is checked when it opens.
enum class PatFileCheck {
    Type,          ///< ask the file system once open: only a regular file is read
    ListedRegular, ///< a folder listing just named it a regular file: not asked again
};

/// A PAT file opened for reading front to back. The PAT folder comes from a Windows file system,
/// so a name that does not exist exactly is looked up in its folder ignoring letter case. Only
/// regular files open: folders, FIFOs and devices are refused without blocking.
class PatFile final
{
    Q_DISABLE_COPY_MOVE(PatFile)

public:
    explicit PatFile(const QString& path, PatFileCheck check = PatFileCheck::Type);
    ~PatFile();

    bool isOpen() const;

    /// Reads up to `count` bytes into `dest`; fewer only at the end of the file or on an error.
    qsizetype read(char* dest, qsizetype count);

private:
    bool openExact(const QString& path, PatFileCheck check = PatFileCheck::Type);

#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    QFile m_file;
#endif
};

/// A buffer large enough for the largest PAT file any reader needs (a quinella file of 18
/// runners is 3,969 bytes), filled from a PatFile only as far as the reader needs.
class PatFileBuffer final
{
public:
    static constexpr qsizetype kCapacity = 4096;

    /// Reads from `file` until the buffer holds `size` bytes (at most kCapacity) or the file ends.
    void fillTo(PatFile& file, qsizetype size);

    qsizetype size() const { return m_size; }
    const char* data() const { return m_data; }
    QByteArrayView view() const { return QByteArrayView(m_data, m_size); }

private:
    char m_data[kCapacity];
    qsizetype m_size = 0;
};

/// Opens `path` and fills `buffer` with at most `maxSize` bytes: the largest file of its kind
/// that a reader can use, so a read never takes more than a record can hold. False only when
/// the file does not open; a short file leaves a short buffer for the parser to refuse.
bool loadPatFile(const QString& path,
                 PatFileBuffer& buffer,
                 qsizetype maxSize,
                 PatFileCheck check = PatFileCheck::Type);
