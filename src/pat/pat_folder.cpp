// SPDX-License-Identifier: MIT
#include "pat_folder.h"

#include <algorithm>

#include <QDirIterator>
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

} // namespace

std::vector<PatFolderRace> scanPatFolder(const QString& folder, MessageSink& sink)
{
    QStringList names;
    // Names only: the header read refuses anything but a regular file, so the listing need not
    // ask the file system for each entry's type.
    QDirIterator it(folder.isEmpty() ? u"."_s : folder,
                    QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (isWinPlaceOddsName(it.fileName())) {
            names << it.fileName();
        }
    }
    std::sort(names.begin(), names.end());

    OnceMessageSink once(sink);
    std::vector<PatFolderRace> races;
    races.reserve(static_cast<std::size_t>(names.size()));
    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(u'/') && !path.endsWith(u'\\')) {
        path += u'/';
    }
    for (const QString& name : names) {
        PatFolderRace race{name, {}};
        if (readPatHeaderFile(path + name, race.header, once)) {
            races.push_back(std::move(race));
        }
    }
    return races;
}
