// SPDX-License-Identifier: MIT
#include "main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "gui/about_dialog.h"
#include "gui/backtest_window.h"
#include "gui/bets_panel.h"
#include "gui/cell_label.h"
#include "gui/csv_commands.h"
#include "gui/file_list_window.h"
#include "gui/folder_picker.h"
#include "gui/horse_table_panel.h"
#include "gui/ledger_commands.h"
#include "gui/main_menus.h"
#include "gui/odds_chart_window.h"
#include "gui/options_dialog.h"
#include "gui/pair_list_model.h"
#include "gui/pair_list_view.h"
#include "gui/race_day.h"
#include "gui/race_drop.h"
#include "gui/recent_races.h"
#include "gui/stake_panel.h"
#include "gui/status_note.h"
#include "gui/twips_layout.h"
#include "gui/widget_message_sink.h"
#include "gui/window_placement.h"
#include "pat/pat_names.h"
#include "race/live_race.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kMainWindow = QString::fromUtf16(SettingsSection::kMainWindow);

// How long a note of the moment stays.
constexpr int kStatusMilliseconds = 5000;
// The note at start that the PAT folder is missing stays longer than a note of the moment: the
// window is still coming up when it shows.
constexpr int kStartNoteMilliseconds = 15000;

constexpr int kDefaultLeft = 1000;
constexpr int kDefaultTop = 1000;

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

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
    m_csv = std::make_unique<CsvCommands>(*m_display, *m_sink, *this);
    m_placement = std::make_unique<WindowPlacement>(
        *this,
        settings,
        kMainWindow,
        QRectF(kDefaultLeft, kDefaultTop, kSummaryWidth, kHeight),
        WindowPlacement::Stored::PositionAndWidth,
        WindowPlacement::Resize::Fixed,
        QSizeF(10 * kFurtherWidth, kHeight));
    setFont(TwipsLayout::windowFont());

    m_client = new QWidget(this);
    m_client->setObjectName(u"client"_s);
    setCentralWidget(m_client);
    m_menus = std::make_unique<MainMenus>(*this, *m_client, m_layout);
    m_recent = new RecentRaces(settings, *m_menus->fileMenu(), *m_menus->recentBar(), this);
    connectCommands();

    // In the order of the tab chain: header, view buttons, the horse table, the bet type, the
    // pair lists, the lists below.
    buildHeader();
    buildViewButtons();
    m_horses = new HorseTablePanel(*m_display, m_layout, m_client);
    connect(m_horses, &HorseTablePanel::horseChosen, this, &MainWindow::chooseHorse);
    connect(m_horses, &HorseTablePanel::horseOpened, this, &MainWindow::showOddsChart);
    // The model line ends above the lists' right edge and grows to the left as it needs.
    m_model = CellLabel::create(m_client, u"lblModel"_s, {}, CellLabel::Look::Caption, kRight);
    m_layout.place(m_model, {6840, 600, 8415, 255});
    m_status = new StatusNote(
        m_layout, [this] { return m_layout.px(m_placement->placed().width()); }, m_client);
    auto* drop = new RaceDrop(*this);
    connect(drop, &RaceDrop::dropped, this, &MainWindow::loadRace);
    connect(drop, &RaceDrop::refused, this, [this](const QString& note) {
        m_status->showNote(note, kStatusMilliseconds);
    });
    m_day = new RaceDay(
        settings,
        *m_display,
        [this](const QString& n) { m_status->showNote(n, kStatusMilliseconds); },
        this);
    connect(m_day, &RaceDay::raceChosen, this, &MainWindow::loadRace);
    buildBetTypeSwitch();
    buildPairLists();
    m_bets = new BetsPanel(m_layout, m_client);

    connectDisplay();
    m_stakes
        = new StakePanel(settings, *m_display, {m_quinellaModel, m_wideModel}, m_layout, m_client);
    new LedgerCommands(*this, settings, *m_day, *m_display, *m_stakes, *m_sink);
    m_placement->restore();
    updateViewButtons();
    render();
    showModel();
    const QString folder = settings.getPatFolder();
    if (!QFileInfo(folder).isDir()) {
        m_status->showNote(FileListWindow::missingFolderText(folder), kStartNoteMilliseconds);
    }
}

MainWindow::~MainWindow()
{
    // The views ask their models until the widgets go, after the members: the models read the
    // race display, so they go first and the views let go of them while the race still lives.
    delete m_quinellaModel;
    delete m_wideModel;
}

static_assert(MainWindow::kRecentCount == RecentRaces::kCount);

void MainWindow::connectCommands()
{
    using enum MainMenus::Command;
    const auto on = [this](MainMenus::Command command, void (MainWindow::*slot)()) {
        connect(m_menus->action(command), &QAction::triggered, this, slot);
    };
    on(Open, &MainWindow::openRace);
    on(List, &MainWindow::showFileList);
    on(Csv, &MainWindow::saveCsv);
    on(MovementCsv, &MainWindow::saveMovementCsv);
    on(OddsChart, &MainWindow::showOddsChart);
    connect(m_menus->action(Board), &QAction::triggered, this, [this] { m_day->showBoard(); });
    on(Options, &MainWindow::openOptions);
    on(Backtest, &MainWindow::showBacktest);
    on(About, &MainWindow::showAbout);
    connect(m_menus->action(Exit), &QAction::triggered, this, &QWidget::close);
    connect(m_recent, &RecentRaces::chosen, this, &MainWindow::openRecent);
}

void MainWindow::connectDisplay()
{
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
    connect(m_live.get(), &LiveRace::statusChanged, m_status, &StatusNote::showLive);
}

void MainWindow::buildHeader()
{
    const auto label =
        [this](const QString& name, CellLabel::Look look, const QString& text, const QRect& twips) {
            QLabel* l = CellLabel::create(m_client, name, text, look, kLeft);
            m_layout.place(l, twips);
            return l;
        };
    using enum CellLabel::Look;
    label(u"Label15_0"_s, Caption, u"開催"_s, {120, 600, 435, 255});
    m_meeting = label(u"lblKaisai"_s, Cell, {}, {540, 540, 2175, 315});
    label(u"Label16"_s, Caption, u"ﾚｰｽ"_s, {120, 960, 495, 255});
    m_raceName = label(u"lblRaceName"_s, Cell, {}, {540, 900, 2175, 315});
    label(u"Label1"_s, Caption, u"頭数"_s, {120, 1320, 555, 255});
    m_horseNum = label(u"lblHorseNum"_s, Cell, {}, {540, 1260, 495, 315});
    label(u"Label15_1"_s, Caption, u"発走時刻"_s, {2940, 600, 855, 255});
    m_raceTime = label(u"lblRaceTime"_s, Cell, {}, {3780, 540, 795, 315});
    auto* line = new QFrame(m_client);
    line->setObjectName(u"Line1"_s);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    m_layout.place(line, {120, 1665, 10500, 30});
}

void MainWindow::buildViewButtons()
{
    const auto button = [this](const QString& name, const QString& text, const QRect& twips) {
        auto* b = new QPushButton(text, m_client);
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
}

void MainWindow::buildPairLists()
{
    m_quinellaModel = new PairListModel(m_display->quinellaList(), this);
    m_wideModel = new PairListModel(m_display->wideList(), this);
    m_quinellaView = new PairListView(u"grdUmaRen"_s, *m_quinellaModel, m_layout, m_client);
    m_wideView = new PairListView(u"grdWide"_s, *m_wideModel, m_layout, m_client);
    m_wideView->hide();
    // A pair chosen in either list is the chart's.
    for (PairListView* view : {m_quinellaView, m_wideView}) {
        connect(view, &PairListView::pairChosen, this, &MainWindow::choosePair);
        connect(view, &QTableView::doubleClicked, this, &MainWindow::showOddsChart);
    }
}

void MainWindow::buildBetTypeSwitch()
{
    auto* frame = new QGroupBox(u"表示オッズ"_s, m_client);
    frame->setObjectName(u"Frame2"_s);
    m_layout.place(frame, {12120, 960, 2235, 735});
    m_betType[0] = new QRadioButton(u"馬連"_s, frame);
    m_betType[0]->setObjectName(u"optBetType_0"_s);
    m_layout.place(m_betType[0], {240, 240, 900, 375});
    m_betType[0]->setChecked(true);
    m_betType[1] = new QRadioButton(u"ﾜｲﾄﾞ"_s, frame);
    m_betType[1]->setObjectName(u"optBetType_1"_s);
    m_layout.place(m_betType[1], {1200, 240, 900, 375});
    connect(m_betType[0], &QRadioButton::clicked, this, [this] { showBetType(0); });
    connect(m_betType[1], &QRadioButton::clicked, this, [this] { showBetType(1); });
}

void MainWindow::render()
{
    const RaceDisplay& d = *m_display;
    m_meeting->setText(d.meeting());
    m_raceName->setText(d.raceName());
    m_horseNum->setText(d.horseNum());
    m_raceTime->setText(d.raceTime());
    m_horses->render();
    m_quinellaView->sizeColumns();
    m_wideView->sizeColumns();
    m_bets->render(d);
}

void MainWindow::showFirstRows()
{
    ScrollMemory::showFirstRow(*m_quinellaView);
    ScrollMemory::showFirstRow(*m_wideView);
    m_bets->showFirstRows();
}

void MainWindow::noteView()
{
    m_quinellaView->noteView();
    m_wideView->noteView();
    m_bets->noteView();
}

void MainWindow::restoreView()
{
    m_quinellaView->restoreView(m_chosenPair);
    m_wideView->restoreView(m_chosenPair);
    m_bets->restoreView();
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
    bringUp(*m_oddsChart);
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
    m_status->clearNote();
    if (!m_display->load(path)) {
        return;
    }
    // An open starts afresh: nothing is chosen.
    m_chosenPair = -1;
    m_chosenHorse = 0;
    if (m_oddsChart != nullptr) {
        m_oddsChart->showPair(-1);
    }
    m_recent->add(path);
}

QStringList MainWindow::recentFiles() const
{
    return m_recent->files();
}

void MainWindow::openRecent(const QString& path)
{
    if (QFileInfo(path).isFile()) {
        loadRace(path);
        return;
    }
    m_recent->remove(path);
    m_status->showNote(u"見つからないため一覧から外しました: "_s + QFileInfo(path).fileName(),
                       kStatusMilliseconds);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_status != nullptr && m_status->isVisible()) {
        m_status->place();
    }
}

void MainWindow::openRace()
{
    const QString path = QFileDialog::getOpenFileName(
        this,
        u"開く"_s,
        FolderPicker::nearestExistingFolder(m_settings.getPatFolder()),
        qtDialogFilter(winPlaceOddsFilter()));
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
    bringUp(*m_fileList);
}

void MainWindow::showBacktest()
{
    if (m_backtest == nullptr) {
        // Messages of the window's own (a failed save) show over it, not over this window.
        m_backtest = new BacktestWindow(m_settings, m_ownSink ? nullptr : m_sink, this);
    }
    bringUp(*m_backtest);
}

void MainWindow::openOptions()
{
    OptionsDialog(m_settings, *m_sink, this).exec();
    // However the dialog closed, only the horse-number colours change now; the judgement
    // settings take effect at the next load. The recorder follows a PAT folder set there.
    m_display->recolourHorseNumbers();
    m_day->followFolder();
    m_stakes->calibrateIfDue();
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
    AboutDialog(this).exec();
}

void MainWindow::saveCsv()
{
    m_csv->saveRace();
}

void MainWindow::saveMovementCsv()
{
    m_csv->saveMovement();
}

bool MainWindow::writeCsvFile(const QString& path)
{
    return m_csv->writeRace(path);
}

bool MainWindow::writeMovementCsvFile(const QString& path)
{
    return m_csv->writeMovement(path);
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
    const int clientWidth = m_layout.px(m_placement->placed().width());
    for (QPushButton* b : {m_detail[0], m_detail[1], m_summary[0], m_summary[1]}) {
        b->setEnabled(b->geometry().right() < clientWidth);
    }
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
    m_placement->store();
    event->accept();
}
