// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <vector>

#include <QAbstractTableModel>

class MessageSink;

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

/// Lists every Zo-*.jra file of `folder` (names compared ignoring case, regular files only),
/// reads each header and returns the rows sorted by venue, meeting and race (two numbers compare
/// as numbers, anything else as text; ties by file name) and numbered from 1. A file whose header
/// does not read is left out and the scan goes on; the format message is told once per scan.
std::vector<FileListModel::Row> scanPatFolder(const QString& folder, MessageSink& sink);
