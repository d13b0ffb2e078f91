// SPDX-License-Identifier: MIT
#include "file_list_model.h"

#include <algorithm>
#include <optional>

#include "base/display_format.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/pat_folder.h"

using namespace Qt::StringLiterals;

namespace {

// The pattern "#0": the numeric value with at least one digit.
QString wholeNumber(QStringView field)
{
    return formatFixed(numericValue(field), 0);
}

} // namespace

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_rows[static_cast<std::size_t>(index.row())]
                     [static_cast<std::size_t>(index.column())];
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QString kHeadings[kColumns]
        = {u"No"_s, u"場名"_s, u"開催"_s, u"ﾚｰｽ"_s, u"ﾚｰｽ名"_s, u"頭数"_s, u"条件"_s, u"ﾌｧｲﾙ名"_s};
    if (orientation == Qt::Horizontal && section >= 0 && section < kColumns) {
        if (role == Qt::DisplayRole) {
            return kHeadings[section];
        }
        if (role == Qt::TextAlignmentRole) {
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        }
        return {};
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

int FileListModel::columnWidthTwips(int column)
{
    static constexpr int kWidths[kColumns] = {400, 700, 1000, 600, 2000, 450, 2200, 1500};
    return column >= 0 && column < kColumns ? kWidths[column] : 0;
}

void FileListModel::setRows(std::vector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QString FileListModel::fileName(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)][7] : QString();
}

std::vector<FileListModel::Row> fileListRows(const std::vector<PatFolderRace>& races)
{
    std::vector<FileListModel::Row> rows;
    rows.reserve(races.size());
    for (const PatFolderRace& race : races) {
        const PatFileHeader& header = race.header;
        FileListModel::Row row;
        row[1] = header.venueName.toString();
        row[2] = u"第"_s + wholeNumber(header.meetingNo.view()) + u"回 "_s
                 + wholeNumber(header.meetingDay.view()) + u"日"_s;
        row[3] = header.raceNo.trimmed().toString() + u'R';
        row[4] = header.raceName.toString();
        row[5] = header.runnerCount.toString();
        row[6] = header.conditions.toString();
        row[7] = race.fileName;
        rows.push_back(std::move(row));
    }
    // Keys are read once per row, not at every comparison.
    std::vector<std::pair<std::array<GenericSortKey, 3>, std::size_t>> keys;
    keys.reserve(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        keys.push_back(
            {{genericSortKey(rows[r][1]), genericSortKey(rows[r][2]), genericSortKey(rows[r][3])},
             r});
    }
    std::sort(keys.begin(), keys.end(), [&rows](const auto& a, const auto& b) {
        for (std::size_t column = 0; column < 3; ++column) {
            const int c = compareGeneric(a.first[column], b.first[column]);
            if (c != 0) {
                return c < 0;
            }
        }
        return rows[a.second][7] < rows[b.second][7];
    });
    std::vector<FileListModel::Row> sorted;
    sorted.reserve(rows.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        sorted.push_back(std::move(rows[keys[k].second]));
        sorted.back()[0] = QString::number(k + 1);
    }
    return sorted;
}
