// SPDX-License-Identifier: MIT
#include "csv_commands.h"

#include <QFileDialog>

#include "base/file_failure.h"
#include "base/message_sink.h"
#include "base/texts.h"
#include "race/csv_export.h"
#include "race/csv_writer.h"

using namespace Qt::StringLiterals;

CsvCommands::CsvCommands(const RaceDisplay& display, MessageSink& sink, QWidget& window)
    : m_display(display)
    , m_sink(sink)
    , m_window(window)
{}

QString CsvCommands::askPath()
{
    // QFileDialog asks before it overwrites an existing file.
    return QFileDialog::getSaveFileName(
        &m_window, u"名前を付けて保存"_s, QString(), u"CSV(カンマ区切り) (*.csv)"_s);
}

void CsvCommands::saveRace()
{
    if (const QString path = askPath(); !path.isEmpty()) {
        writeRace(path);
    }
}

void CsvCommands::saveMovement()
{
    if (const QString path = askPath(); !path.isEmpty()) {
        writeMovement(path);
    }
}

bool CsvCommands::writeRace(const QString& path)
{
    return write(path, CsvExport::build(m_display));
}

bool CsvCommands::writeMovement(const QString& path)
{
    return write(path, CsvExport::buildMovement(m_display));
}

bool CsvCommands::write(const QString& path, const QByteArray& bytes)
{
    QString error;
    if (saveCsvBytes(bytes, path, &error)) {
        return true;
    }
    m_sink.message(fileFailureLine(path, error));
    Texts::tellSaveFailed(m_sink);
    return false;
}
