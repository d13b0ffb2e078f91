// SPDX-License-Identifier: MIT
#include "main_window.h"

#include <algorithm>
#include <span>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include "base/file_failure.h"
#include "base/texts.h"
#include "gui/about_dialog.h"
#include "gui/backtest_window.h"
#include "gui/file_list_window.h"
#include "gui/odds_chart_window.h"
#include "gui/options_dialog.h"
#include "gui/pair_list_model.h"
#include "gui/twips_layout.h"
#include "gui/widget_message_sink.h"
#include "gui/window_placement.h"
#include "pat/pat_names.h"
#include "race/csv_export.h"
#include "race/csv_writer.h"
#include "race/live_race.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kMainWindow = QString::fromUtf16(SettingsSection::kMainWindow);
const QString kRecentFiles = u"RecentFiles"_s;

// How long a status note stays.
constexpr int kStatusMilliseconds = 5000;

// Two paths name the same race when they do on this platform's file system.
bool samePath(const QString& a, const QString& b)
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(), cs) == 0;
}

constexpr int kDefaultLeft = 1000;
constexpr int kDefaultTop = 1000;

// Rows of the popularity lists and of the "元データ" frame.
constexpr int kListHeadingTop = 1740;
constexpr int kListRowTop = 2100;
constexpr int kFrameHeadingTop = 360;
constexpr int kFrameRowTop = 720;
constexpr int kRowPitch = 240;
constexpr int kRowHeight = 270;
constexpr int kHeadingHeight = 345;

struct ColumnPlace
{
    HorseColumn column;
    int left;
    int width;
    Qt::Alignment align;
};

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

// Block A, inside the frame.
constexpr ColumnPlace kFrameColumns[] = {
    {HorseColumn::HorseName, 240, 1755, kLeft},
    {HorseColumn::WinOdds, 2040, 735, kRight},
    {HorseColumn::WinPopularity, 2820, 495, kCentre},
    {HorseColumn::WinRatio, 3360, 735, kRight},
    {HorseColumn::PlaceOddsMin, 4260, 735, kRight},
    {HorseColumn::PlaceOddsMax, 4980, 735, kRight},
    {HorseColumn::PlaceOdds, 5760, 735, kRight},
    {HorseColumn::PlacePopularity, 6540, 495, kCentre},
    {HorseColumn::PlaceRatio, 7080, 735, kRight},
};

// Blocks B and C.
constexpr ColumnPlace kListColumns[] = {
    {HorseColumn::PopularityRank, 420, 480, kCentre},
    {HorseColumn::Mark, 900, 495, kCentre},
    {HorseColumn::WinOrderHorseNo, 1380, 675, kCentre},
    {HorseColumn::PlaceOrderHorseNo, 2040, 675, kCentre},
    {HorseColumn::WinOrderHorseName, 2820, 1515, kLeft},
    {HorseColumn::WinOrderOdds, 4320, 675, kRight},
    {HorseColumn::WinOrderRatio, 4980, 675, kRight},
    {HorseColumn::WinPlaceRatio, 5640, 675, kRight},
    {HorseColumn::PlaceOrderHorseName, 6420, 1515, kLeft},
    {HorseColumn::PlaceOrderOddsMin, 7920, 675, kRight},
    {HorseColumn::PlaceOrderOddsMax, 8580, 675, kRight},
    {HorseColumn::PlaceOrderOdds, 9240, 675, kRight},
    {HorseColumn::PlaceOrderRatio, 9900, 675, kRight},
};

struct HeadingPlace
{
    const char16_t* name;
    const char16_t* caption;
    int left;
    int width;
};

constexpr HeadingPlace kFrameHeadings[] = {
    {u"Label7", u"馬名", 240, 1755},
    {u"Label2", u"単ｵｯｽﾞ", 2040, 735},
    {u"Label9", u"人気", 2820, 495},
    {u"Label5", u"支持率", 3360, 735},
    {u"Label4_0", u"複ｵｯｽﾞMin～Max    平均", 4260, 2235},
    {u"Label10", u"人気", 6540, 495},
    {u"Label6", u"支持率", 7080, 735},
};

constexpr HeadingPlace kListHeadings[] = {
    {u"Label3", u"人気", 420, 480},
    {u"Label20", u"判定", 900, 495},
    {u"Label17", u"単馬番", 1380, 675},
    {u"Label8", u"複馬番", 2040, 675},
    {u"Label11", u"単勝人気順　馬名", 2820, 1515},
    {u"Label12", u"単ｵｯｽﾞ", 4320, 675},
    {u"Label13", u"支持率", 4980, 675},
    {u"Label19", u"単：複", 5640, 675},
    {u"Label14", u"複勝人気順　馬名", 6420, 1515},
    {u"Label4_1", u"複ｵｯｽﾞMin～Max    平均", 7920, 1995},
    {u"Label18", u"支持率", 9900, 675},
};

// Odds that moved: falling odds (money coming in) red and pointing down, rising blue and up. A
// tint under the text, an arrow at the cell's left, away from the right-aligned value.
QColor moveColour(int direction)
{
    return direction < 0 ? QColor(200, 0, 0) : QColor(0, 70, 200);
}

void paintMoveTint(QPainter& painter, const QRect& cell, int direction)
{
    painter.fillRect(cell, direction < 0 ? QColor(255, 226, 226) : QColor(226, 234, 255));
}

void paintMoveArrow(QPainter& painter, const QRect& cell, int direction)
{
    // Narrow enough to sit in the room a six-character value leaves in its column.
    const qreal h = qMax(4.0, cell.height() * 0.5);
    const qreal w = h * 0.6;
    const QPointF centre(cell.left() + 1 + w / 2, cell.center().y() + 0.5);
    const qreal tip = direction < 0 ? h / 2 : -h / 2;
    const QPointF arrow[] = {{centre.x(), centre.y() + tip},
                             {centre.x() - w / 2, centre.y() - tip * 0.1},
                             {centre.x() - w / 6, centre.y() - tip * 0.1},
                             {centre.x() - w / 6, centre.y() - tip},
                             {centre.x() + w / 6, centre.y() - tip},
                             {centre.x() + w / 6, centre.y() - tip * 0.1},
                             {centre.x() + w / 2, centre.y() - tip * 0.1}};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(moveColour(direction));
    painter.drawPolygon(arrow, static_cast<int>(std::size(arrow)));
    painter.restore();
}

// A label with a one-pixel border that keeps its colour whatever colour the text takes; odds
// that moved get the tint and arrow of their move ("move" property: -1, 0, +1).
class CellLabel final : public QLabel
{
public:
    using QLabel::QLabel;

    /// The move shown; also the "move" property, for a look from outside (set on a change only:
    /// a property is looked up by name).
    void setMove(int direction)
    {
        if (direction != m_move) {
            m_move = direction;
            setProperty("move", direction);
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const int direction = m_move;
        if (direction != 0) {
            QPainter tint(this);
            paintMoveTint(tint, rect(), direction);
        }
        QLabel::paintEvent(event);
        QPainter painter(this);
        if (direction != 0) {
            paintMoveArrow(painter, rect().adjusted(1, 1, -1, -1), direction);
        }
        painter.setPen(QColor(Qt::black));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    int m_move = 0;
};

// The actual odds of a pair list, with the tint and arrow of their move.
class MoveDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter,
               const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const int direction = index.data(PairListModel::MoveRole).toInt();
        if (direction != 0) {
            paintMoveTint(*painter, option.rect, direction);
        }
        QStyledItemDelegate::paint(painter, option, index);
        if (direction != 0) {
            paintMoveArrow(*painter, option.rect, direction);
        }
    }
};

// The horse-table columns that show odds as the Zo- file holds them.
bool showsFileOdds(HorseColumn column)
{
    switch (column) {
    case HorseColumn::WinOdds:
    case HorseColumn::PlaceOddsMin:
    case HorseColumn::PlaceOddsMax:
    case HorseColumn::WinOrderOdds:
    case HorseColumn::PlaceOrderOddsMin:
    case HorseColumn::PlaceOrderOddsMax:
        return true;
    default:
        return false;
    }
}

// The Qt form of a "description|pattern" filter: the description already names the pattern.
QString dialogFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(u'|');
    if (bar < 0) {
        return filter;
    }
    const QString description = filter.left(bar);
    return description.contains(u'(') ? description
                                      : description + u" ("_s + filter.mid(bar + 1) + u')';
}

} // namespace

MainWindow::MainWindow(SettingsStore& settings, MessageSink* sink, QWidget* parent)
    : QMainWindow(parent)
    , m_settings(settings)
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(u"Mikazuki＋"_s);
    if (sink == nullptr) {
        m_ownSink = std::make_unique<WidgetMessageSink>(this);
        sink = m_ownSink.get();
    }
    m_sink = sink;
    m_display = std::make_unique<RaceDisplay>(settings, *m_sink);
    m_display->setKeepsHistory(true);
    m_live = std::make_unique<LiveRace>(*m_display);
    m_placement = std::make_unique<WindowPlacement>(
        *this,
        settings,
        kMainWindow,
        QRectF(kDefaultLeft, kDefaultTop, kSummaryWidth, kHeight),
        QSizeF(10 * kFurtherWidth, kHeight),
        WindowPlacement::Stored::PositionAndWidth,
        false);
    setFont(TwipsLayout::windowFont());

    m_quinellaModel = new PairListModel(m_display->quinellaList(), this);
    m_wideModel = new PairListModel(m_display->wideList(), this);
    buildMenusAndToolbar();
    buildControls();
    for (PairListModel* model : {m_quinellaModel, m_wideModel}) {
        connect(m_display.get(), &RaceDisplay::aboutToChange, model, &PairListModel::beginChange);
        connect(m_display.get(), &RaceDisplay::changed, model, &PairListModel::endChange);
    }
    connect(m_display.get(), &RaceDisplay::changed, this, &MainWindow::render);
    connect(m_display.get(), &RaceDisplay::raceLoaded, this, &MainWindow::showFirstRows);
    connect(m_display.get(), &RaceDisplay::raceLoaded, this, &MainWindow::showModel);
    connect(m_display.get(), &RaceDisplay::aboutToRefresh, this, &MainWindow::noteView);
    connect(m_display.get(), &RaceDisplay::refreshed, this, &MainWindow::restoreView);
    connect(m_display.get(), &RaceDisplay::refreshed, this, &MainWindow::showModel);
    connect(m_live.get(), &LiveRace::statusChanged, this, &MainWindow::showLiveStatus);
    restorePlacement();
    render();
    showModel();
}

MainWindow::~MainWindow() = default;

int MainWindow::px(double twips) const
{
    return m_layout.px(twips);
}

void MainWindow::buildMenusAndToolbar()
{
    const auto action = [this](const QString& name,
                               const QString& text,
                               const QString& tip,
                               QStyle::StandardPixmap icon) {
        auto* a = new QAction(style()->standardIcon(icon), text, this);
        a->setObjectName(name);
        a->setToolTip(tip);
        return a;
    };
    QAction* open = action(u"mnuFileOpen"_s,
                           u"PATﾃﾞｰﾀを開く(&O)..."_s,
                           u"PATﾃﾞｰﾀを開く"_s,
                           QStyle::SP_DialogOpenButton);
    QAction* list = action(u"mnuFileList"_s,
                           u"PATﾃﾞｰﾀ一覧(&L)..."_s,
                           u"PATﾃﾞｰﾀ一覧"_s,
                           QStyle::SP_FileDialogDetailedView);
    QAction* csv
        = action(u"mnuFileCSV"_s, u"CSV保存(&S)..."_s, u"CSV保存"_s, QStyle::SP_DialogSaveButton);
    QAction* movementCsv = action(u"mnuFileMovementCSV"_s,
                                  u"オッズ推移をCSV出力(&M)..."_s,
                                  u"オッズ推移をCSV出力"_s,
                                  QStyle::SP_DialogSaveButton);
    QAction* oddsChart = action(
        u"mnuToolOddsChart"_s, u"ｵｯｽﾞ推移(&M)..."_s, u"ｵｯｽﾞ推移"_s, QStyle::SP_FileDialogInfoView);
    QAction* exit
        = action(u"mnuFileExit"_s, u"終了(&X)"_s, QString(), QStyle::SP_DialogCloseButton);
    QAction* option = action(
        u"mnuToolOption"_s, u"ｵﾌﾟｼｮﾝ(&O)..."_s, u"ｵﾌﾟｼｮﾝ設定"_s, QStyle::SP_FileDialogContentsView);
    QAction* backtest = action(
        u"mnuToolBacktest"_s, u"成績検証(&B)..."_s, u"成績検証"_s, QStyle::SP_FileDialogInfoView);
    QAction* about = action(u"mnuHelpAbout"_s,
                            u"ﾊﾞｰｼﾞｮﾝ情報(&A).."_s,
                            u"ﾊﾞｰｼﾞｮﾝ情報"_s,
                            QStyle::SP_MessageBoxInformation);
    connect(open, &QAction::triggered, this, &MainWindow::openRace);
    connect(list, &QAction::triggered, this, &MainWindow::showFileList);
    connect(csv, &QAction::triggered, this, &MainWindow::saveCsv);
    connect(movementCsv, &QAction::triggered, this, &MainWindow::saveMovementCsv);
    connect(oddsChart, &QAction::triggered, this, &MainWindow::showOddsChart);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(option, &QAction::triggered, this, &MainWindow::openOptions);
    connect(backtest, &QAction::triggered, this, &MainWindow::showBacktest);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);

    QMenu* file = menuBar()->addMenu(u"ﾌｧｲﾙ(&F)"_s);
    file->setObjectName(u"mnuFile"_s);
    file->addActions({open, list, csv, movementCsv});
    // The recent races sit between their own separator and the one above 終了.
    m_recentBar = file->addSeparator();
    m_recentBar->setObjectName(u"mnuFileRecentBar"_s);
    file->addSeparator()->setObjectName(u"mnuFileBar1"_s);
    file->addAction(exit);
    m_fileMenu = file;
    rebuildRecentMenu();
    QMenu* tool = menuBar()->addMenu(u"ﾂｰﾙ(&T)"_s);
    tool->setObjectName(u"mnuTool"_s);
    tool->addActions({option, backtest, oddsChart});
    QMenu* help = menuBar()->addMenu(u"ﾍﾙﾌﾟ(&H)"_s);
    help->setObjectName(u"mnuHelp"_s);
    help->addAction(about);

    m_client = new QWidget(this);
    m_client->setObjectName(u"client"_s);
    setCentralWidget(m_client);
    // The toolbar is part of the client area, as the control positions assume.
    auto* toolbar = new QToolBar(m_client);
    toolbar->setObjectName(u"Toolbar1"_s);
    toolbar->setMovable(false);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->addActions({open, list, csv, option, about});
    // Each button carries its historic key ("Open", "List", …).
    const std::pair<QAction*, const char16_t*> keys[] = {
        {open, u"Open"}, {list, u"List"}, {csv, u"Save"}, {option, u"Option"}, {about, u"About"}};
    for (const auto& [a, key] : keys) {
        toolbar->widgetForAction(a)->setObjectName(u"Toolbar1_"_s + QString::fromUtf16(key));
    }
    toolbar->setGeometry(0, 0, px(kFurtherWidth), px(480));
}

QLabel* MainWindow::addLabel(QWidget* parent,
                             const QString& name,
                             const QString& text,
                             const QRect& twips,
                             Qt::Alignment align,
                             bool framed,
                             bool white)
{
    auto* label = framed ? new CellLabel(text, parent) : new QLabel(text, parent);
    label->setObjectName(name);
    m_layout.place(label, twips);
    label->setAlignment(align);
    if (white) {
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    label->setIndent(2);
    return label;
}

void MainWindow::buildControls()
{
    QWidget* c = m_client;
    // Race header.
    addLabel(c, u"Label15_0"_s, u"開催"_s, {120, 600, 435, 255}, kLeft, false, false);
    m_meeting = addLabel(c, u"lblKaisai"_s, {}, {540, 540, 2175, 315}, kLeft, true, true);
    addLabel(c, u"Label16"_s, u"ﾚｰｽ"_s, {120, 960, 495, 255}, kLeft, false, false);
    m_raceName = addLabel(c, u"lblRaceName"_s, {}, {540, 900, 2175, 315}, kLeft, true, true);
    addLabel(c, u"Label1"_s, u"頭数"_s, {120, 1320, 555, 255}, kLeft, false, false);
    m_horseNum = addLabel(c, u"lblHorseNum"_s, {}, {540, 1260, 495, 315}, kLeft, true, true);
    addLabel(c, u"Label15_1"_s, u"発走時刻"_s, {2940, 600, 855, 255}, kLeft, false, false);
    m_raceTime = addLabel(c, u"lblRaceTime"_s, {}, {3780, 540, 795, 315}, kLeft, true, true);
    auto* line = new QFrame(c);
    line->setObjectName(u"Line1"_s);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(px(120), px(1665), px(10500), px(30));

    const auto button = [this, c](const QString& name, const QString& text, const QRect& twips) {
        auto* b = new QPushButton(text, c);
        b->setObjectName(name);
        m_layout.place(b, twips);
        return b;
    };
    m_detail[0] = button(u"btnDetail_0"_s, u"詳細情報 >>"_s, {1500, 1260, 1215, 375});
    m_summary[0] = button(u"btnSummary_0"_s, u"<< 概要"_s, {2820, 1260, 1215, 375});
    m_detail[1] = button(u"btnDetail_1"_s, u"さらにドン！>>"_s, {9180, 1260, 1395, 375});
    m_summary[1] = button(u"btnSummary_1"_s, u"<< 戻る"_s, {10740, 1260, 1215, 375});
    connect(m_detail[0], &QPushButton::clicked, this, [this] {
        if (m_placement->placed().width() < kDetailWidth) {
            setOuterWidthTwips(kDetailWidth);
        }
    });
    connect(
        m_detail[1], &QPushButton::clicked, this, [this] { setOuterWidthTwips(kFurtherWidth); });
    connect(
        m_summary[0], &QPushButton::clicked, this, [this] { setOuterWidthTwips(kSummaryWidth); });
    connect(
        m_summary[1], &QPushButton::clicked, this, [this] { setOuterWidthTwips(kDetailWidth); });

    // Popularity lists (blocks B and C), then block A in the frame "元データ", below the height
    // the window shows.
    // One block of horse columns: headings, then 18 rows per column.
    const auto addHorseBlock = [this](QWidget* parent,
                                      std::span<const HeadingPlace> headings,
                                      std::span<const ColumnPlace> columns,
                                      int headingTop,
                                      int rowTop) {
        for (const auto& h : headings) {
            addLabel(parent,
                     QString::fromUtf16(h.name),
                     QString::fromUtf16(h.caption),
                     {h.left, headingTop, h.width, kHeadingHeight},
                     kCentre,
                     true,
                     false);
        }
        for (const auto& place : columns) {
            for (int row = 1; row <= kMaxRunners; ++row) {
                m_cells[static_cast<std::size_t>(place.column)][static_cast<std::size_t>(row - 1)]
                    = addLabel(
                        parent,
                        horseColumnName(place.column) + u'_' + QString::number(row),
                        {},
                        {place.left, rowTop + kRowPitch * (row - 1), place.width, kRowHeight},
                        place.align,
                        true,
                        true);
            }
        }
    };
    addHorseBlock(c, kListHeadings, kListColumns, kListHeadingTop, kListRowTop);
    auto* frame = new QGroupBox(u"元データ"_s, c);
    frame->setObjectName(u"Frame1"_s);
    frame->setGeometry(px(540), px(6660), px(7995), px(5235));
    addHorseBlock(frame, kFrameHeadings, kFrameColumns, kFrameHeadingTop, kFrameRowTop);
    QLabel* const* marks = m_cells[static_cast<std::size_t>(HorseColumn::Mark)].data();
    for (int k = 0; k < kMaxRunners; ++k) {
        QPalette palette = marks[k]->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        marks[k]->setPalette(palette);
    }

    // Right part: the model line, bet-type switch, pair lists, recommended bets and result.
    // The model line ends above the lists' right edge and grows to the left as it needs.
    m_model = addLabel(c, u"lblModel"_s, {}, {6840, 600, 8415, 255}, kRight, false, false);
    m_status = new QLabel(c);
    m_status->setObjectName(u"lblStatus"_s);
    m_status->setWordWrap(true);
    m_status->setFrameShape(QFrame::Box);
    m_status->setMargin(2);
    m_status->setAutoFillBackground(true);
    m_status->setBackgroundRole(QPalette::ToolTipBase);
    m_status->setForegroundRole(QPalette::ToolTipText);
    m_status->hide();
    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(kStatusMilliseconds);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::clearStatus);
    setAcceptDrops(true);
    auto* betFrame = new QGroupBox(u"表示オッズ"_s, c);
    betFrame->setObjectName(u"Frame2"_s);
    betFrame->setGeometry(px(12120), px(960), px(2235), px(735));
    m_betType[0] = new QRadioButton(u"馬連"_s, betFrame);
    m_betType[0]->setObjectName(u"optBetType_0"_s);
    m_betType[0]->setGeometry(px(240), px(240), px(900), px(375));
    m_betType[0]->setChecked(true);
    m_betType[1] = new QRadioButton(u"ﾜｲﾄﾞ"_s, betFrame);
    m_betType[1]->setObjectName(u"optBetType_1"_s);
    m_betType[1]->setGeometry(px(1200), px(240), px(900), px(375));
    connect(m_betType[0], &QRadioButton::clicked, this, [this] { showBetType(0); });
    connect(m_betType[1], &QRadioButton::clicked, this, [this] { showBetType(1); });

    // A point smaller than the labels: the pair lists fit eight columns in their width.
    const QFont fixed = TwipsLayout::fixedPitchFont(8);
    const auto grid = [&](const QString& name, PairListModel* model) {
        auto* view = new QTableView(c);
        view->setObjectName(name);
        view->setModel(model);
        view->setFont(fixed);
        view->setGeometry(px(10620), px(1740), px(4635), px(2835));
        view->verticalHeader()->hide();
        view->verticalHeader()->setDefaultSectionSize(px(kRowPitch));
        view->horizontalHeader()->setDefaultSectionSize(px(540));
        view->horizontalHeader()->setHighlightSections(false);
        // Presses on a heading sort (eventFilter); the header itself selects nothing.
        view->horizontalHeader()->setSectionsClickable(false);
        view->horizontalHeader()->setMinimumSectionSize(px(150));
        sizeColumns(view);
        view->horizontalHeader()->setStretchLastSection(true);
        // Where a text is wider still (a long mark), it is clipped, never shortened to "…".
        view->setTextElideMode(Qt::ElideNone);
        view->setSelectionMode(QAbstractItemView::NoSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setWordWrap(false);
        return view;
    };
    m_quinellaView = grid(u"grdUmaRen"_s, m_quinellaModel);
    m_wideView = grid(u"grdWide"_s, m_wideModel);
    m_wideView->hide();
    // A press on a heading sorts by that column; the button picks the kind of sort.
    m_quinellaView->horizontalHeader()->viewport()->installEventFilter(this);
    m_wideView->horizontalHeader()->viewport()->installEventFilter(this);
    // The actual odds show how they moved; a pair chosen in either list is the chart's.
    for (QTableView* view : {m_quinellaView, m_wideView}) {
        view->setItemDelegateForColumn(ActualColumn, new MoveDelegate(view));
        connect(view->selectionModel(),
                &QItemSelectionModel::currentChanged,
                this,
                [this, view](const QModelIndex& current) {
                    if (current.isValid()) {
                        const auto& model = *static_cast<const PairListModel*>(view->model());
                        choosePair(model.list().cell(current.row(), LabelColumn).pairIndex());
                    }
                });
        connect(view, &QTableView::doubleClicked, this, &MainWindow::showOddsChart);
    }
    // A press on a horse's odds chooses the horse for the chart.
    for (int column = 0; column < static_cast<int>(HorseColumn::ColumnCount); ++column) {
        if (showsFileOdds(static_cast<HorseColumn>(column))) {
            for (QLabel* label : m_cells[static_cast<std::size_t>(column)]) {
                label->installEventFilter(this);
            }
        }
    }

    addLabel(
        c, u"Label21"_s, u"推奨買い目（ワイド）"_s, {10740, 4860, 1755, 255}, kLeft, false, false);
    addLabel(c, u"Label22"_s, u"競争結果"_s, {12960, 4860, 975, 255}, kLeft, false, false);
    const auto list = [&](const QString& name, QStringListModel*& model, const QRect& twips) {
        model = new QStringListModel(this);
        auto* view = new QListView(c);
        view->setObjectName(name);
        view->setModel(model);
        view->setFont(fixed);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_layout.place(view, twips);
        return view;
    };
    m_betsView = list(u"lstKaime"_s, m_betsModel, {10680, 5160, 2175, 1320});
    m_resultView = list(u"lstRaceResult"_s, m_resultModel, {12900, 5160, 2295, 1320});
}

void MainWindow::render()
{
    const RaceDisplay& d = *m_display;
    m_meeting->setText(d.meeting());
    m_raceName->setText(d.raceName());
    m_horseNum->setText(d.horseNum());
    m_raceTime->setText(d.raceTime());
    const HorseTable& table = d.horseTable();
    for (int column = 0; column < static_cast<int>(HorseColumn::ColumnCount); ++column) {
        const auto col = static_cast<HorseColumn>(column);
        const bool coloured
            = col == HorseColumn::WinOrderHorseNo || col == HorseColumn::WinOrderHorseName
              || col == HorseColumn::PlaceOrderHorseNo || col == HorseColumn::PlaceOrderHorseName;
        for (int row = 1; row <= kMaxRunners; ++row) {
            QLabel* label
                = m_cells[static_cast<std::size_t>(column)][static_cast<std::size_t>(row - 1)];
            label->setText(table.text(col, row));
            if (showsFileOdds(col)) {
                const auto move = d.horseCellMove(col, row);
                const int direction = move ? move->direction() : 0;
                // The odds columns' cells are framed cells.
                static_cast<CellLabel*>(label)->setMove(direction);
                const QString tip = move ? move->toolTip() : QString();
                if (label->toolTip() != tip) {
                    label->setToolTip(tip);
                }
            }
            if (coloured) {
                // A new palette makes the label resolve and repaint it: set it only on a change.
                const CellColours colours = table.colours(col, row);
                const QVariant applied = label->property("cellColours");
                const qint64 key = (qint64{colours.background} << 32) | quint32(colours.text);
                if (applied.isValid() && applied.toLongLong() == key) {
                    continue;
                }
                label->setProperty("cellColours", key);
                QPalette palette = label->palette();
                palette.setColor(QPalette::Window, colourFromSetting(colours.background));
                palette.setColor(QPalette::WindowText, colourFromSetting(colours.text));
                label->setPalette(palette);
            }
        }
    }
    sizeColumns(m_quinellaView);
    sizeColumns(m_wideView);
    m_betsModel->setStringList(d.recommendedBetLines());
    m_resultModel->setStringList(d.raceResultLines());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        for (int column = 0; column < static_cast<int>(HorseColumn::ColumnCount); ++column) {
            const auto col = static_cast<HorseColumn>(column);
            if (!showsFileOdds(col)) {
                continue;
            }
            const auto& labels = m_cells[static_cast<std::size_t>(column)];
            const auto* at = std::find(labels.begin(), labels.end(), watched);
            if (at == labels.end()) {
                continue;
            }
            const int row = static_cast<int>(at - labels.begin()) + 1;
            if (const auto source = m_display->horseTable().oddsShownAt(col, row)) {
                chooseHorse(source->second);
                if (event->type() == QEvent::MouseButtonDblClick) {
                    showOddsChart();
                }
            }
            return false;
        }
    }
    if (event->type() == QEvent::MouseButtonPress) {
        for (QTableView* view : {m_quinellaView, m_wideView}) {
            if (watched != view->horizontalHeader()->viewport()) {
                continue;
            }
            const auto* press = static_cast<QMouseEvent*>(event);
            const int column
                = view->horizontalHeader()->logicalIndexAt(press->position().toPoint());
            const auto kind = PairListModel::sortForClick(column, press->button());
            if (column >= 0 && kind) {
                static_cast<PairListModel*>(view->model())->sortByColumn(column, *kind);
                // No current cell, and so no focus frame, stays behind after a sort.
                view->setCurrentIndex({});
            }
            return false;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::sizeColumns(QTableView* view)
{
    // Each column as wide as its widest text with the cell's margins, so that no value is cut:
    // odds of a scratched pair, a far outsider's deviation, "ﾄﾘｹｼ", three-digit ranks. A
    // deviation has no bound, so its column also grows with the longest one shown; should the
    // columns then be wider than the list, the list scrolls sideways.
    const PairList& list = static_cast<const PairListModel*>(view->model())->list();
    qsizetype deviationLength = 0;
    for (const PairRow& row : list.rows()) {
        deviationLength = qMax(deviationLength, row[DeviationColumn].textLength());
    }
    // Widths change only when the longest deviation does: most loads leave them as they are.
    const QVariant sized = view->property("deviationLength");
    if (sized.isValid() && sized.toLongLong() == deviationLength) {
        return;
    }
    view->setProperty("deviationLength", QVariant::fromValue<qlonglong>(deviationLength));
    const QFontMetrics metrics(view->font());
    const char16_t* widest[PairList::kColumns]
        = {u"17-18", u"99999.9", u"99999.9", u"-1583.4", u"0.000", u"◎", u"ﾄﾘｹｼ", u"-152"};
    const int cellMargins
        = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 1;
    const int headingMargins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, view);
    for (int col = 0; col < PairList::kColumns; ++col) {
        int text = metrics.horizontalAdvance(QString::fromUtf16(widest[col]));
        if (col == DeviationColumn) {
            // Deviations are digits, a sign and a point: as wide as as many zeros.
            text = qMax(text, metrics.horizontalAdvance(QString(deviationLength, u'0')));
        }
        view->setColumnWidth(col,
                             qMax(text + cellMargins,
                                  metrics.horizontalAdvance(PairList::heading(list.betType(), col))
                                      + headingMargins));
    }
}

void MainWindow::showFirstRows()
{
    for (QAbstractItemView* view : std::initializer_list<QAbstractItemView*>{
             m_quinellaView, m_wideView, m_betsView, m_resultView}) {
        // Only what moved is set back: a view already at its first row costs nothing.
        if (view->currentIndex().isValid()) {
            view->setCurrentIndex({});
        }
        for (QScrollBar* bar : {view->verticalScrollBar(), view->horizontalScrollBar()}) {
            if (bar->value() != bar->minimum()) {
                bar->setValue(bar->minimum());
            }
        }
    }
}

void MainWindow::noteView()
{
    const QAbstractItemView* views[] = {m_quinellaView, m_wideView, m_betsView, m_resultView};
    for (std::size_t k = 0; k < std::size(views); ++k) {
        m_scrolls[k]
            = {views[k]->verticalScrollBar()->value(), views[k]->horizontalScrollBar()->value()};
        m_hadCurrent[k] = views[k]->currentIndex().isValid();
    }
}

void MainWindow::restoreView()
{
    QAbstractItemView* views[] = {m_quinellaView, m_wideView, m_betsView, m_resultView};
    for (std::size_t k = 0; k < std::size(views); ++k) {
        QAbstractItemView* view = views[k];
        // The reset left the scroll ranges to a later layout: lay out now, so that the old
        // positions fit again.
        view->doItemsLayout();
        // The chosen pair's cell again, where it had one (a sort or an open takes it away).
        if (k < 2 && m_chosenPair >= 0 && m_hadCurrent[k]) {
            const auto& model = *static_cast<const PairListModel*>(view->model());
            for (int row = 0; row < model.rowCount(); ++row) {
                if (model.list().cell(row, LabelColumn).pairIndex() == m_chosenPair) {
                    // The pair stays chosen where the sort put it; the scroll stays as it was.
                    view->selectionModel()->setCurrentIndex(model.index(row, LabelColumn),
                                                            QItemSelectionModel::NoUpdate);
                    break;
                }
            }
        }
        view->verticalScrollBar()->setValue(m_scrolls[k].first);
        view->horizontalScrollBar()->setValue(m_scrolls[k].second);
    }
}

void MainWindow::choosePair(int pairIndex)
{
    if (pairIndex < 0) {
        return;
    }
    m_chosenPair = pairIndex;
    m_chosenHorse = 0;
    if (m_oddsChart != nullptr) {
        m_oddsChart->showPair(pairIndex);
    }
}

void MainWindow::chooseHorse(int horse)
{
    m_chosenPair = -1;
    m_chosenHorse = horse;
    if (m_oddsChart != nullptr) {
        m_oddsChart->showHorse(horse);
    }
}

void MainWindow::showOddsChart()
{
    if (m_oddsChart == nullptr) {
        m_oddsChart = new OddsChartWindow(*m_display, m_settings, this);
    }
    if (m_chosenPair >= 0) {
        m_oddsChart->showPair(m_chosenPair);
    } else if (m_chosenHorse > 0) {
        m_oddsChart->showHorse(m_chosenHorse);
    }
    m_oddsChart->show();
    m_oddsChart->raise();
    m_oddsChart->activateWindow();
}

void MainWindow::showBetType(int index)
{
    QTableView* shown = index == 0 ? m_quinellaView : m_wideView;
    QTableView* other = index == 0 ? m_wideView : m_quinellaView;
    if (shown->isVisible()) {
        return;
    }
    // Keep the same pairs in view: both lists hold the pairs in the same order. The shown list
    // lays itself out first, or a hidden one would ignore the scroll.
    const int top = other->rowAt(0);
    shown->show();
    if (top >= 0) {
        shown->doItemsLayout();
        shown->scrollTo(shown->model()->index(top, 0), QAbstractItemView::PositionAtTop);
    }
    other->hide();
}

void MainWindow::loadRace(const QString& path)
{
    clearStatus();
    if (!m_display->load(path)) {
        return;
    }
    // An open starts afresh: nothing is chosen.
    m_chosenPair = -1;
    m_chosenHorse = 0;
    if (m_oddsChart != nullptr) {
        m_oddsChart->showPair(-1);
    }
    QStringList files = recentFiles();
    files.removeIf([&](const QString& f) { return samePath(f, path); });
    files.prepend(QFileInfo(path).absoluteFilePath());
    storeRecentFiles(files);
}

QStringList MainWindow::recentFiles() const
{
    QStringList files;
    for (int k = 1; k <= kRecentCount; ++k) {
        const QString file = m_settings.readText(kRecentFiles, u"File"_s + QString::number(k), {});
        if (!file.isEmpty()) {
            files << file;
        }
    }
    return files;
}

void MainWindow::storeRecentFiles(const QStringList& files)
{
    for (int k = 1; k <= kRecentCount; ++k) {
        const QString key = u"File"_s + QString::number(k);
        const QString file = k <= files.size() ? files[k - 1] : QString();
        // Unchanged keys are not written again: each write moves the store's revision.
        if (m_settings.readText(kRecentFiles, key, {}) != file) {
            m_settings.writeText(kRecentFiles, key, file);
        }
    }
    rebuildRecentMenu();
}

void MainWindow::rebuildRecentMenu()
{
    qDeleteAll(m_recentActions);
    m_recentActions.clear();
    const QStringList files = recentFiles();
    QAction* before = m_fileMenu->actions().at(m_fileMenu->actions().indexOf(m_recentBar) + 1);
    for (qsizetype k = 0; k < files.size(); ++k) {
        const QString& file = files[k];
        QString name = QFileInfo(file).fileName();
        name.replace(u'&', u"&&"_s);
        auto* a = new QAction(u'&' + QString::number(k + 1) + u' ' + name, m_fileMenu);
        a->setObjectName(u"mnuFileRecent_"_s + QString::number(k + 1));
        a->setToolTip(QDir::toNativeSeparators(file));
        // Queued: the load rebuilds this menu, the action included.
        connect(
            a, &QAction::triggered, this, [this, file] { openRecent(file); }, Qt::QueuedConnection);
        m_fileMenu->insertAction(before, a);
        m_recentActions << a;
    }
    // The tooltip gives the full path.
    m_fileMenu->setToolTipsVisible(true);
    m_recentBar->setVisible(!files.isEmpty());
}

void MainWindow::openRecent(const QString& path)
{
    if (QFileInfo(path).isFile()) {
        loadRace(path);
        return;
    }
    QStringList files = recentFiles();
    files.removeIf([&](const QString& f) { return samePath(f, path); });
    storeRecentFiles(files);
    showStatus(u"見つからないため一覧から外しました: "_s + QFileInfo(path).fileName());
}

QString MainWindow::droppedFile(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile()) {
        return {};
    }
    return urls.constFirst().toLocalFile();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedFile(event->mimeData()).isEmpty()) {
        // A refused drag never drops: the note says why as it enters.
        event->ignore();
        showStatus(u"ファイルを1つだけドロップしてください"_s);
        return;
    }
    event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedFile(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    if (!isWinPlaceOddsName(QFileInfo(path).fileName())) {
        event->ignore();
        showStatus(u"開けるのは Zo-*.jra だけです: "_s + QFileInfo(path).fileName());
        return;
    }
    event->acceptProposedAction();
    // The drag's source waits for the drop to end: the load runs afterwards.
    QTimer::singleShot(0, this, [this, path] { loadRace(path); });
}

void MainWindow::showStatus(const QString& text)
{
    m_status->setText(text);
    placeStatus();
    m_status->show();
    m_status->raise();
    m_statusTimer->start();
}

void MainWindow::clearStatus()
{
    m_statusTimer->stop();
    // A note of the moment gives way to the live race's line, if it has one.
    if (!m_live->status().isEmpty()) {
        showLiveStatus(m_live->status());
        return;
    }
    m_status->clear();
    m_status->hide();
}

void MainWindow::showLiveStatus(const QString& text)
{
    if (text.isEmpty()) {
        if (!m_statusTimer->isActive()) {
            clearStatus();
        }
        return;
    }
    m_statusTimer->stop();
    m_status->setText(text);
    placeStatus();
    m_status->show();
    m_status->raise();
}

void MainWindow::placeStatus()
{
    // Across the width the window shows, at the bottom of the client area.
    const int width
        = qMax(qMin(m_client->width(), px(m_placement->placed().width())) - px(240), px(1000));
    const int height = m_status->heightForWidth(width);
    m_status->setGeometry(px(120), m_client->height() - height - px(120), width, height);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_status != nullptr && m_status->isVisible()) {
        placeStatus();
    }
}

void MainWindow::openRace()
{
    const QString path = QFileDialog::getOpenFileName(
        this, u"開く"_s, m_settings.getPatFolder(), dialogFilter(winPlaceOddsFilter()));
    if (!path.isEmpty()) {
        loadRace(path);
    }
}

void MainWindow::showFileList()
{
    if (m_fileList == nullptr) {
        m_fileList = new FileListWindow(m_settings, *m_sink, this);
        connect(m_fileList, &FileListWindow::raceChosen, this, &MainWindow::loadRace);
    }
    m_fileList->show();
    m_fileList->raise();
    m_fileList->activateWindow();
}

void MainWindow::showBacktest()
{
    if (m_backtest == nullptr) {
        // Messages of the window's own (a failed save) show over it, not over this window.
        m_backtest = new BacktestWindow(m_settings, m_ownSink ? nullptr : m_sink, this);
    }
    m_backtest->show();
    m_backtest->raise();
    m_backtest->activateWindow();
}

void MainWindow::openOptions()
{
    {
        OptionsDialog dialog(m_settings, *m_sink, this);
        dialog.exec();
    }
    // However the dialog closed, only the horse-number colours change now; the judgement
    // settings take effect at the next load.
    m_display->recolourHorseNumbers();
    showModel();
}

void MainWindow::showModel()
{
    const QString stored = ModelSettings::read(m_settings).description();
    const QString shown = m_display->quinellaList().theoryNote();
    if (shown.isEmpty() || shown == stored) {
        m_model->setText(u"理論値: "_s + stored);
        m_model->setToolTip({});
        return;
    }
    m_model->setText(u"理論値: "_s + shown + u" ※次の読込から変更"_s);
    m_model->setToolTip(u"次の読込から: "_s + stored);
}

void MainWindow::showAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

QString MainWindow::askCsvPath()
{
    // QFileDialog asks before it overwrites an existing file.
    return QFileDialog::getSaveFileName(
        this, u"名前を付けて保存"_s, QString(), u"CSV(カンマ区切り) (*.csv)"_s);
}

void MainWindow::saveCsv()
{
    if (const QString path = askCsvPath(); !path.isEmpty()) {
        writeCsvFile(path);
    }
}

void MainWindow::saveMovementCsv()
{
    if (const QString path = askCsvPath(); !path.isEmpty()) {
        writeMovementCsvFile(path);
    }
}

bool MainWindow::writeCsvFile(const QString& path)
{
    return writeCsvBytes(path, CsvExport::build(*m_display));
}

bool MainWindow::writeMovementCsvFile(const QString& path)
{
    return writeCsvBytes(path, CsvExport::buildMovement(*m_display));
}

bool MainWindow::writeCsvBytes(const QString& path, const QByteArray& bytes)
{
    QString error;
    if (saveCsvBytes(bytes, path, &error)) {
        return true;
    }
    m_sink->message(fileFailureLine(path, error));
    Texts::tellSaveFailed(*m_sink);
    return false;
}

int MainWindow::outerWidthTwips() const
{
    return qRound(m_layout.twips(frameGeometry().width()));
}

void MainWindow::setOuterWidthTwips(int twips)
{
    m_placement->setOuterSize(QSizeF(twips, kHeight));
    updateViewButtons();
}

void MainWindow::updateViewButtons()
{
    // Only the buttons of the bands the window shows can be pressed.
    const int clientWidth = px(m_placement->placed().width());
    for (QPushButton* b : {m_detail[0], m_detail[1], m_summary[0], m_summary[1]}) {
        b->setEnabled(b->geometry().right() < clientWidth);
    }
}

void MainWindow::restorePlacement()
{
    m_placement->restore();
    updateViewButtons();
}

void MainWindow::storePlacement()
{
    m_placement->store();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_fileList != nullptr) {
        m_fileList->storePlacement();
    }
    if (m_backtest != nullptr) {
        m_backtest->storePlacement();
    }
    if (m_oddsChart != nullptr && m_oddsChart->isVisible()) {
        m_oddsChart->storePlacement();
    }
    // Closing the main window closes every other window of the program.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible()) {
            w->close();
        }
    }
    storePlacement();
    event->accept();
}
