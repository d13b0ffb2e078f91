// SPDX-License-Identifier: MIT
#include "pat_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

QString folderOfPath(const QString& path)
{
    qsizetype cut = path.lastIndexOf(u'/');
#ifdef Q_OS_WIN
    cut = qMax(cut, path.lastIndexOf(u'\\'));
#endif
    return path.left(cut + 1);
}

void listFolder(const QString& folder,
                const std::function<void(const QString& name, ListedType type)>& visit)
{
    const QString listed = folder.isEmpty() ? u"."_s : folder;
#ifdef Q_OS_UNIX
    DIR* dir = ::opendir(QFile::encodeName(listed).constData());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        ListedType type = ListedType::Other;
        if (entry->d_type == DT_REG) {
            type = ListedType::Regular;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            type = ListedType::Unknown;
        }
        visit(QFile::decodeName(entry->d_name), type);
    }
    ::closedir(dir);
#else
    QDirIterator it(listed, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        visit(it.fileName(), it.fileInfo().isFile() ? ListedType::Regular : ListedType::Other);
    }
#endif
}

QString
firstFileMatching(const QString& folder,
                  const std::function<bool(const QString&)>& matches,
                  const std::function<void(const QString& name, ListedType type)>& alsoVisit)
{
    QString found;
    const QDir dir(folder.isEmpty() ? u"."_s : folder);
    listFolder(folder, [&](const QString& candidate, ListedType type) {
        if (alsoVisit) {
            alsoVisit(candidate, type);
        }
        if (type == ListedType::Other || !(found.isEmpty() || candidate < found)
            || !matches(candidate)) {
            return;
        }
        // Only a candidate that could win is asked its type; a link counts when it leads to a
        // file, as the platform's listing of files has it.
        if (type == ListedType::Unknown && !QFileInfo(dir.filePath(candidate)).isFile()) {
            return;
        }
        found = candidate;
    });
    return found;
}

QString findFileIgnoringCase(const QString& folder, const QString& name)
{
    return firstFileMatching(folder, [&name](const QString& candidate) {
        return candidate.compare(name, Qt::CaseInsensitive) == 0;
    });
}

PatFile::PatFile(const QString& path, PatFileCheck check)
{
    if (openExact(path, check) || QFileInfo::exists(path)) {
        return;
    }
    const QString folder = folderOfPath(path);
    const QString name = path.mid(folder.size());
    if (name.isEmpty()) {
        return;
    }
    const QString match = findFileIgnoringCase(folder, name);
    if (!match.isEmpty() && match != name) {
        openExact(folder + match);
    }
}

#ifdef Q_OS_UNIX

PatFile::~PatFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool PatFile::openExact(const QString& path, PatFileCheck check)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty()) {
        return false;
    }
    // O_NONBLOCK keeps a FIFO from blocking the open; fstat then refuses it.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // A file listed as regular a moment ago is not asked again (a scan of a season's folder would
    // spend a fifth of its time here). Should it have become something else meanwhile, the
    // bounded, non-blocking read still cannot hang: the header is then refused.
    struct stat info = {};
    if (check == PatFileCheck::Type && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool PatFile::isOpen() const
{
    return m_fd >= 0;
}

qsizetype PatFile::read(char* dest, qsizetype count)
{
    qsizetype total = 0;
    while (m_fd >= 0 && total < count) {
        const ssize_t n = ::read(m_fd, dest + total, static_cast<size_t>(count - total));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        total += n;
    }
    return total;
}

#else

PatFile::~PatFile() = default;

bool PatFile::openExact(const QString& path, PatFileCheck /*check*/)
{
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    m_file.setFileName(path);
    return m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool PatFile::isOpen() const
{
    return m_file.isOpen();
}

qsizetype PatFile::read(char* dest, qsizetype count)
{
    qsizetype total = 0;
    while (m_file.isOpen() && total < count) {
        const qint64 n = m_file.read(dest + total, count - total);
        if (n <= 0) {
            break;
        }
        total += n;
    }
    return total;
}

#endif

void PatFileBuffer::fillTo(PatFile& file, qsizetype size)
{
    const qsizetype target = qMin(size, kCapacity);
    if (target > m_size) {
        m_size += file.read(m_data + m_size, target - m_size);
    }
}

bool loadPatFile(const QString& path, PatFileBuffer& buffer, qsizetype maxSize, PatFileCheck check)
{
    PatFile file(path, check);
    if (!file.isOpen()) {
        return false;
    }
    buffer.fillTo(file, maxSize);
    return true;
}
