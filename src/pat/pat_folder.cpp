// SPDX-License-Identifier: MIT
#include "pat_folder.h"

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <dirent.h>
#endif

#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include "base/message_sink.h"
#include "pat/pat_names.h"

using namespace Qt::StringLiterals;

namespace {

// Passes each different message on once: a folder of broken files tells its fault once.
class OnceMessageSink final : public MessageSink
{
public:
    explicit OnceMessageSink(MessageSink& target)
        : m_target(target)
    {}

protected:
    void deliver(const QString& text, const QString& title, MessageIcon icon) override
    {
        if (!m_told.contains(text)) {
            m_told << text;
            m_target.message(text, title, icon);
        }
    }

private:
    MessageSink& m_target;
    QStringList m_told;
};

struct ListedName
{
    QString name;
    PatFileCheck check = PatFileCheck::Type;

    bool operator<(const ListedName& other) const { return name < other.name; }
};

// The Zo- names of a folder's entries. On Unix read straight from the directory, whose entries
// tell their type: a regular file need not be asked again when it opens, and what is plainly not
// one is left out (its header read would refuse it).
std::vector<ListedName> winPlaceOddsNames(const QString& folder)
{
    std::vector<ListedName> names;
#ifdef Q_OS_UNIX
    DIR* listing = ::opendir(QFile::encodeName(folder).constData());
    if (listing == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(listing)) {
        // Cheap test on the bytes first: most folders hold other PAT files too.
        const char* raw = entry->d_name;
        if (std::strlen(raw) < 7 || (raw[0] != 'z' && raw[0] != 'Z')) {
            continue;
        }
        const bool regular = entry->d_type == DT_REG;
        if (!regular && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) {
            continue;
        }
        QString name = QFile::decodeName(raw);
        if (isWinPlaceOddsName(name)) {
            names.push_back(
                {std::move(name), regular ? PatFileCheck::ListedRegular : PatFileCheck::Type});
        }
    }
    ::closedir(listing);
#else
    QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (isWinPlaceOddsName(it.fileName())) {
            names.push_back({it.fileName()});
        }
    }
#endif
    return names;
}

} // namespace

std::vector<PatFolderRace> scanPatFolder(const QString& folder, MessageSink& sink)
{
    // Names only: the header read refuses anything but a regular file, so the listing need not
    // ask the file system for each entry's type.
    std::vector<ListedName> names = winPlaceOddsNames(folder.isEmpty() ? u"."_s : folder);
    std::sort(names.begin(), names.end());

    OnceMessageSink once(sink);
    std::vector<PatFolderRace> races;
    races.reserve(names.size());
    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(u'/') && !path.endsWith(u'\\')) {
        path += u'/';
    }
    for (const ListedName& listed : names) {
        PatFolderRace race{listed.name, {}};
        if (readPatHeaderFile(path + listed.name, race.header, once, listed.check)) {
            races.push_back(std::move(race));
        }
    }
    return races;
}
