// SPDX-License-Identifier: MIT
#include "pat_folder.h"

#include <algorithm>
#include <iterator>

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

// The Zo- names of a folder with what the listing tells of their type: a regular file need not
// be asked again when it opens, and what is plainly not one is left out (its header read would
// refuse it).
std::vector<ListedName> winPlaceOddsNames(const QString& folder)
{
    std::vector<ListedName> names;
    listFolder(folder, [&names](const QString& name, ListedType type) {
        if (type != ListedType::Other && isWinPlaceOddsName(name)) {
            names.push_back(
                {name,
                 type == ListedType::Regular ? PatFileCheck::ListedRegular : PatFileCheck::Type});
        }
    });
    return names;
}

} // namespace

namespace {

std::vector<ListedName> sortedNames(const QString& folder)
{
    std::vector<ListedName> names = winPlaceOddsNames(folder.isEmpty() ? u"."_s : folder);
    std::sort(names.begin(), names.end());
    return names;
}

QString folderPrefix(const QString& folder)
{
    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(u'/') && !path.endsWith(u'\\')) {
        path += u'/';
    }
    return path;
}

} // namespace

std::vector<PatFolderRace>
rescanPatFolder(const QString& folder, const std::vector<PatFolderRace>& known, int* unread)
{
    if (unread != nullptr) {
        *unread = 0;
    }
    const std::vector<ListedName> names = sortedNames(folder);
    const QString path = folderPrefix(folder);
    std::vector<PatFolderRace> races;
    races.reserve(names.size());
    NullMessageSink quiet;
    auto from = known.begin();
    for (const ListedName& listed : names) {
        // Both are in name order: one walk finds every known race.
        from = std::lower_bound(
            from, known.end(), listed.name, [](const PatFolderRace& r, const QString& n) {
                return r.fileName < n;
            });
        if (from != known.end() && from->fileName == listed.name) {
            races.push_back(*from);
            continue;
        }
        PatFolderRace race{listed.name, {}};
        if (readPatHeaderFile(path + race.fileName, race.header, quiet, listed.check)) {
            races.push_back(std::move(race));
        } else if (unread != nullptr) {
            ++*unread;
        }
    }
    return races;
}

std::vector<PatFolderRace> scanPatFolder(const QString& folder, MessageSink& sink)
{
    const std::vector<ListedName> names = sortedNames(folder);
    const QString path = folderPrefix(folder);
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
