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

constexpr int kSortRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;

constexpr int column(BoardColumn c)
{
    return static_cast<int>(c);
}

QStandardItem* item(const QString& text, const QVariant& sortValue)
{
    auto* cell = new QStandardItem(text);
    cell->setData(sortValue, kSortRole);
    cell->setEditable(false);
    return cell;
}

// A race's best expected value of a bet type, for sorting; below every value without one.
double bestValue(const RaceStakes& stakes, BetType bet)
{
    const PairValue* best = stakes.best(bet);
    return best != nullptr ? best->value : -1.0;
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

    m_model = new QStandardItemModel(0, column(BoardColumn::Count), this);
    m_model->setHorizontalHeaderLabels(boardHeadings());
    m_model->setSortRole(kSortRole);
    m_table = new QTableView(this);
    m_table->setObjectName(u"tblBoard"_s);
    m_table->setModel(m_model);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(column(BoardColumn::Post), Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_layout.px(270));
    m_table->horizontalHeader()->setStretchLastSection(true);
    page->addWidget(m_table, 1);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        Q_EMIT raceChosen(
            m_model->index(index.row(), column(BoardColumn::Venue)).data(kPathRole).toString());
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

const BoardRow* BoardWindow::rowAt(int tableRow) const
{
    const QString path
        = m_model->index(tableRow, column(BoardColumn::Venue)).data(kPathRole).toString();
    for (const BoardRow& row : m_board.rows()) {
        if (!path.isEmpty() && row.path == path) {
            return &row;
        }
    }
    return nullptr;
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
    const QDateTime at = now();
    for (const BoardRow& row : m_board.rows()) {
        const QStringList texts = boardTexts(row, at);
        const QVariant sortValues[] = {row.venue,
                                       row.raceNo,
                                       row.post,
                                       row.post,
                                       row.runners,
                                       row.bestQuinella ? row.bestQuinella->deviation : -1e9,
                                       row.bestWide ? row.bestWide->deviation : -1e9,
                                       texts[column(BoardColumn::Marked)],
                                       texts[column(BoardColumn::Recommended)],
                                       texts[column(BoardColumn::Move)],
                                       texts[column(BoardColumn::Result)],
                                       bestValue(row.stakes, BetType::Quinella),
                                       bestValue(row.stakes, BetType::Wide),
                                       row.stakes.totalStake()};
        static_assert(std::size(sortValues) == column(BoardColumn::Count));
        QList<QStandardItem*> cells;
        for (int c = 0; c < column(BoardColumn::Count); ++c) {
            cells << item(texts[c], sortValues[c]);
        }
        cells[column(BoardColumn::Venue)]->setData(row.path, kPathRole);
        m_model->appendRow(cells);
    }
    m_model->sort(sortColumn, order);
    m_table->resizeColumnsToContents();
    m_shownNext.clear();
    tick();
}

void BoardWindow::tick()
{
    const QDateTime at = now();
    const int next = m_board.nextToClose(at);
    const QString nextPath
        = next < 0 ? QString() : m_board.rows()[static_cast<std::size_t>(next)].path;
    int nextRow = -1;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        QStandardItem* cell = m_model->item(r, column(BoardColumn::Close));
        const QDateTime post = cell->data(kSortRole).toDateTime();
        bool urgent = false;
        cell->setText(closeText(post, at, &urgent));
        // The closed races stay on top in grey; the next to close is kept in view.
        const QBrush ink = hasClosed(post, at) ? QBrush(Qt::gray) : QBrush();
        for (int c = 0; c < column(BoardColumn::Count); ++c) {
            m_model->item(r, c)->setForeground(
                c == column(BoardColumn::Close) && urgent ? QBrush(Qt::red) : ink);
        }
        if (m_model->item(r, column(BoardColumn::Venue))->data(kPathRole).toString() == nextPath) {
            nextRow = r;
        }
    }
    if (nextRow >= 0 && nextPath != m_shownNext) {
        // Scrolled to once each time another race becomes the next; the user may scroll away.
        m_shownNext = nextPath;
        m_table->scrollTo(m_model->index(nextRow, 0), QAbstractItemView::PositionAtCenter);
    }
    if (!m_follow->isChecked() || nextRow < 0) {
        return;
    }
    m_table->selectRow(nextRow);
    if (nextPath != m_followed) {
        m_followed = nextPath;
        Q_EMIT raceChosen(nextPath);
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
