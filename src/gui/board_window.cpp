// SPDX-License-Identifier: MIT
#include "board_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/window_placement.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"BoardWindow"_s;
const QString kFollowKey = u"FollowNext"_s;
constexpr int kDefaultWidth = 14400;
constexpr int kDefaultHeight = 7200;

enum Column {
    Venue,
    Race,
    Post,
    Close,
    Runners,
    BestQuinella,
    BestWide,
    Marked,
    Recommended,
    Move,
    Result,
    ColumnCount
};
constexpr int kSortRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;

QString pairText(const std::optional<BoardPair>& pair)
{
    return pair ? u"%1 %2"_s.arg(pair->pair.trimmed()).arg(pair->deviation, 0, 'f', 1) : QString();
}

QStandardItem* item(const QString& text, const QVariant& sortValue)
{
    auto* cell = new QStandardItem(text);
    cell->setData(sortValue, kSortRole);
    cell->setEditable(false);
    return cell;
}

} // namespace

BoardWindow::BoardWindow(SettingsStore& settings, const OddsArchive* archive, QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_settings(settings)
    , m_board(settings, archive)
{
    setObjectName(u"frmBoard"_s);
    setWindowTitle(u"当日一覧"_s);
    setFont(TwipsLayout::windowFont());
    m_placement
        = std::make_unique<WindowPlacement>(*this,
                                            settings,
                                            kSection,
                                            QRectF(1200, 1200, kDefaultWidth, kDefaultHeight),
                                            WindowPlacement::Stored::PositionAndSize,
                                            WindowPlacement::Resize::ByUser);
    auto* page = new QVBoxLayout(this);
    const int margin = m_layout.px(90);
    page->setContentsMargins(margin, margin, margin, margin);
    auto* top = new QHBoxLayout;
    m_date = new QLabel(this);
    m_date->setObjectName(u"lblBoardDate"_s);
    m_follow = new QCheckBox(u"次に締切るレースを追う"_s, this);
    m_follow->setObjectName(u"chkFollowNext"_s);
    m_follow->setChecked(m_settings.readText(kSection, kFollowKey, u"0"_s) == u"1");
    connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.writeText(kSection, kFollowKey, on ? u"1"_s : u"0"_s);
        m_followed.clear();
        tick();
    });
    top->addWidget(m_date, 1);
    top->addWidget(m_follow);
    page->addLayout(top);

    m_model = new QStandardItemModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels({u"場"_s,
                                        u"R"_s,
                                        u"発走"_s,
                                        u"締切まで"_s,
                                        u"頭数"_s,
                                        u"馬連 最良"_s,
                                        u"ﾜｲﾄﾞ 最良"_s,
                                        u"印 (1/2/3/4/5)"_s,
                                        u"推奨買い目"_s,
                                        u"最大変動"_s,
                                        u"結果"_s});
    m_model->setSortRole(kSortRole);
    m_table = new QTableView(this);
    m_table->setObjectName(u"tblBoard"_s);
    m_table->setModel(m_model);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(Post, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_layout.px(270));
    m_table->horizontalHeader()->setStretchLastSection(true);
    page->addWidget(m_table, 1);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        Q_EMIT raceChosen(m_model->index(index.row(), Venue).data(kPathRole).toString());
    });

    connect(&m_clock, &QTimer::timeout, this, &BoardWindow::tick);
    m_clock.start(1000);
    m_placement->restore();
}

BoardWindow::~BoardWindow() = default;

QDateTime BoardWindow::now() const
{
    return m_fixedNow.isValid() ? m_fixedNow : QDateTime::currentDateTime();
}

void BoardWindow::setNow(const QDateTime& time)
{
    m_fixedNow = time;
    tick();
}

void BoardWindow::showFolder(const QString& folder)
{
    m_folder = folder;
    refresh();
}

void BoardWindow::refresh()
{
    if (m_board.refresh(m_folder)) {
        fill();
    }
}

void BoardWindow::fill()
{
    m_date->setText(m_board.date().toString(u"yyyy/MM/dd"_s));
    const int sortColumn = m_table->horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = m_table->horizontalHeader()->sortIndicatorOrder();
    m_model->setRowCount(0);
    for (const BoardRow& row : m_board.rows()) {
        QString marked;
        for (const int count : row.marked) {
            marked += (marked.isEmpty() ? QString() : u"/"_s) + QString::number(count);
        }
        QString move;
        if (row.largestMove) {
            move = u"%1 %2→%3"_s.arg(row.largestMove->pair.trimmed())
                       .arg(row.largestMove->from, 0, 'f', 1)
                       .arg(row.largestMove->to, 0, 'f', 1);
        }
        QString result;
        if (row.result) {
            result
                = u"%1-%2-%3"_s.arg((*row.result)[0]).arg((*row.result)[1]).arg((*row.result)[2]);
        }
        QList<QStandardItem*> cells{
            item(row.venue, row.venue),
            item(QString::number(row.raceNo), row.raceNo),
            item(row.post.isValid() ? row.post.toString(u"HH:mm"_s) : QString(), row.post),
            item(QString(), row.post),
            item(QString::number(row.runners), row.runners),
            item(pairText(row.bestQuinella), row.bestQuinella ? row.bestQuinella->deviation : -1e9),
            item(pairText(row.bestWide), row.bestWide ? row.bestWide->deviation : -1e9),
            item(marked, marked),
            item(row.recommended.join(u' ').simplified(), row.recommended.join(u' ')),
            item(move, move),
            item(result, result)};
        cells[Venue]->setData(row.path, kPathRole);
        m_model->appendRow(cells);
    }
    m_model->sort(sortColumn, order);
    m_table->resizeColumnsToContents();
    tick();
}

void BoardWindow::tick()
{
    const QDateTime at = now();
    for (int r = 0; r < m_model->rowCount(); ++r) {
        QStandardItem* cell = m_model->item(r, Close);
        bool urgent = false;
        cell->setText(closeText(cell->data(kSortRole).toDateTime(), at, &urgent));
        cell->setForeground(urgent ? QBrush(Qt::red) : QBrush());
    }
    if (!m_follow->isChecked()) {
        return;
    }
    const int next = m_board.nextToClose(at);
    if (next < 0) {
        return;
    }
    const QString path = m_board.rows()[static_cast<std::size_t>(next)].path;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        if (m_model->item(r, Venue)->data(kPathRole).toString() == path) {
            m_table->selectRow(r);
        }
    }
    if (path != m_followed) {
        m_followed = path;
        Q_EMIT raceChosen(path);
    }
}

void BoardWindow::storePlacement()
{
    m_placement->store();
}

void BoardWindow::closeEvent(QCloseEvent* event)
{
    storePlacement();
    QWidget::closeEvent(event);
}
