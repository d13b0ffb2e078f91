// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <vector>

#include <QAbstractTableModel>

struct PatFolderRace;

/// The races of the PAT folder, one row per Zo- file: No, venue, meeting, race, race name,
/// runners, conditions, file name.
class FileListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumns = 8;
    using Row = std::array<QString, kColumns>;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Column widths of the design, in twips.
    static int columnWidthTwips(int column);

    void setRows(std::vector<Row> rows);
    const std::vector<Row>& rows() const { return m_rows; }
    /// The file name of a row (column 7), or empty text.
    QString fileName(int row) const;

private:
    std::vector<Row> m_rows;
};

/// The rows of the races of a folder scan: sorted by venue, meeting and race (two numbers
/// compare as numbers, anything else as text; ties by file name) and numbered from 1.
std::vector<FileListModel::Row> fileListRows(const std::vector<PatFolderRace>& races);
