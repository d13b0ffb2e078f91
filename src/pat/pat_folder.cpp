// SPDX-License-Identifier: MIT
#include "pat_folder.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#ifdef Q_OS_UNIX
#include <dirent.h>
#endif

#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <QtConcurrent/QtConcurrentMap>

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
    std::vector<ListedName> names = winPlaceOddsNames(folder.isEmpty() ? u"."_s : folder);
    std::sort(names.begin(), names.end());

    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(u'/') && !path.endsWith(u'\\')) {
        path += u'/';
    }
    // The headers are read in blocks on the thread pool: a season's folder is mostly system
    // calls, which two cores share well. Each block keeps its messages, and they are told in the
    // order of the files afterwards, so the user hears what a file-by-file scan would say.
    constexpr std::size_t kBlock = 256;
    struct Block
    {
        std::size_t first = 0;
        std::vector<PatFolderRace> races;
        HeldMessageSink messages;
    };
    std::vector<Block> blocks((names.size() + kBlock - 1) / kBlock);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        blocks[b].first = b * kBlock;
    }
    QtConcurrent::blockingMap(blocks, [&names, &path](Block& block) {
        const std::size_t end = std::min(block.first + kBlock, names.size());
        for (std::size_t i = block.first; i < end; ++i) {
            PatFolderRace race{names[i].name, {}};
            if (readPatHeaderFile(
                    path + race.fileName, race.header, block.messages, names[i].check)) {
                block.races.push_back(std::move(race));
            }
        }
    });

    OnceMessageSink once(sink);
    std::vector<PatFolderRace> races;
    races.reserve(names.size());
    for (Block& block : blocks) {
        block.messages.passTo(once);
        std::move(block.races.begin(), block.races.end(), std::back_inserter(races));
    }
    return races;
}
