// SPDX-License-Identifier: MIT
#include "options_dialog.h"

#include <span>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeView>

#include "analysis/pair_list.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "gui/twips_layout.h"
#include "gui/window_placement.h"
#include "settings/options_values.h"

using namespace Qt::StringLiterals;

namespace {

const QString kOptionWindow = QString::fromUtf16(SettingsSection::kOptionWindow);

constexpr float kDefaultLeft = 1500;
constexpr float kDefaultTop = 1000;
constexpr int kClientWidth = 14535;
// The designed 6825, and a row below for the theory model.
constexpr int kClientHeight = 7755;
constexpr qint32 kWhite = OptionsValues::kWhite;

constexpr int kLevelTops[] = {720, 1020, 1320, 1620, 1920};
constexpr int kLimitTops[] = {4140, 4500, 4860, 5220};
constexpr int kColourRowTops[] = {300, 720, 1140, 1560, 1980, 2400};
constexpr int kColourLabelLefts[] = {180, 1680, 3180};
constexpr int kColourButtonLefts[] = {780, 2280, 3780};

// The lists of the combo boxes; a mark list item may be a full-width blank, so marks are
// listed one by one.
constexpr char16_t kLevelItems[] = u"50 100 150 200 250 300 400 500 1000";
constexpr char16_t kLimitItems[]
    = u"100 200 300 400 500 600 700 800 900 1000 2000 3000 4000 5000 6000 7000 8000 9000 9999.9";
constexpr const char16_t* kMarkItems[]
    = {u"　", u"◎", u"○", u"▲", u"△", u"×", u"注", u"※", u"★", u"☆", u"！", u"？"};

QStringList items(std::span<const char16_t* const> texts)
{
    QStringList list;
    for (const char16_t* text : texts) {
        list << QString::fromUtf16(text);
    }
    return list;
}

QString indexed(const QString& name, int index)
{
    return name + u'_' + QString::number(index);
}

QString cleanFolder(const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

// A number typed in a model field, read by the program's one parser; empty for anything else.
std::optional<double> fieldNumber(const QString& text)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        return std::nullopt;
    }
    const QString digits
        = QString::fromLatin1(number->integerDigits.empty() ? "0" : number->integerDigits) + u'.'
          + QString::fromLatin1(number->fractionDigits);
    bool ok = false;
    const double value = digits.toDouble(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return number->negative ? -value : value;
}

// The shortest text that reads back as the same number.
QString fieldText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

const QString kNotANumber = u"数値を正しく入力して下さい。"_s;
const QString kModelRange = u"λとτは0より大きく10以下の数値を入力して下さい。"_s;
const QString kPaybackRange = u"払戻率は0より大きく1以下の数値を入力して下さい。"_s;

} // namespace

OptionsDialog::OptionsDialog(SettingsStore& settings, MessageSink& sink, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_sink(sink)
{
    setObjectName(u"frmOption"_s);
    setWindowTitle(u"ｵﾌﾟｼｮﾝ"_s);
    // A fixed dialog frame without minimise and maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(TwipsLayout::windowFont());
    setFixedSize(px(kClientWidth), px(kClientHeight));
    m_placement = std::make_unique<WindowPlacement>(
        *this,
        settings,
        kOptionWindow,
        QRectF(kDefaultLeft, kDefaultTop, kClientWidth, kClientHeight),
        WindowPlacement::Stored::Position,
        WindowPlacement::Resize::Fixed);

    m_chooseColour = [this](const QColor& initial) -> std::optional<QColor> {
        QColorDialog dialog(initial, this);
        dialog.setWindowTitle(u"色の設定"_s);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.selectedColor();
    };

    buildControls();
    loadSettings();
}

OptionsDialog::~OptionsDialog() = default;

int OptionsDialog::px(double twips) const
{
    return m_layout.px(twips);
}

QRect OptionsDialog::place(int left, int top, int width, int height) const
{
    return {px(left), px(top), px(width), px(height)};
}

void OptionsDialog::buildControls()
{
    const auto frame
        = [this](QWidget* parent, const QString& name, const QString& title, const QRect& twips) {
              auto* box = new QGroupBox(title, parent);
              box->setObjectName(name);
              box->setGeometry(place(twips.x(), twips.y(), twips.width(), twips.height()));
              return box;
          };
    const auto label
        = [this](QWidget* parent, const QString& name, const QString& text, int left, int top) {
              auto* l = new QLabel(text, parent);
              l->setObjectName(name);
              l->move(px(left), px(top));
              l->adjustSize();
              return l;
          };

    // PAT folder: the text, the drive list and the folder list.
    QGroupBox* folderFrame = frame(this, u"Frame1"_s, u"PAT ﾌｫﾙﾀﾞ"_s, {120, 120, 4635, 2655});
    m_patFolder = new QLineEdit(SettingsStore::defaultPatFolder(), folderFrame);
    m_patFolder->setObjectName(u"txtPatFolder"_s);
    m_patFolder->setGeometry(place(240, 360, 4095, 300));
    m_drives = new QComboBox(folderFrame);
    m_drives->setObjectName(u"drvList"_s);
    m_drives->setGeometry(place(240, 780, 4095, 300));
    m_folderModel = new QFileSystemModel(this);
    m_folderModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_folderModel->setRootPath(QString());
    m_folders = new QTreeView(folderFrame);
    m_folders->setObjectName(u"dirList"_s);
    m_folders->setModel(m_folderModel);
    for (int column = 1; column < m_folderModel->columnCount(); ++column) {
        m_folders->hideColumn(column);
    }
    m_folders->setHeaderHidden(true);
    m_folders->setGeometry(place(240, 1140, 4095, 1350));
    // Like a folder list, it starts in the current folder.
    const QModelIndex start = m_folderModel->index(QDir::currentPath());
    m_folderPath = QDir::currentPath();
    m_folders->setCurrentIndex(start);
    m_folders->scrollTo(start);
    connect(m_folders->selectionModel(),
            &QItemSelectionModel::currentChanged,
            this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    folderListChanged(m_folderModel->filePath(current));
                }
            });
    setDriveRoots([] {
        QStringList roots;
        for (const QFileInfo& drive : QDir::drives()) {
            roots << drive.absoluteFilePath();
        }
        return roots;
    }());
    connect(m_drives, &QComboBox::currentIndexChanged, this, &OptionsDialog::driveListChanged);

    // Horse-number colours: three columns of six.
    QGroupBox* colourFrame = frame(this, u"Frame2"_s, u"馬番別色分け"_s, {120, 2940, 4635, 2955});
    for (int i = 0; i < kMaxRunners; ++i) {
        const int column = i / 6;
        const int row = i % 6;
        label(colourFrame,
              indexed(u"Label1"_s, i),
              QString::number(i + 1) + u"番"_s,
              kColourLabelLefts[column],
              kColourRowTops[row] + 60);
        m_horseColours[static_cast<std::size_t>(i)]
            = addColourButton(colourFrame,
                              indexed(u"btnColor"_s, i),
                              {kColourButtonLefts[column], kColourRowTops[row], 615, 375});
    }

    QGroupBox* popularFrame = frame(this, u"Frame3"_s, u"単複自動判定"_s, {4980, 120, 4635, 795});
    label(popularFrame, u"Label2"_s, u"単勝と複勝の人気の差が"_s, 240, 360);
    m_popularDiff = new QComboBox(popularFrame);
    m_popularDiff->setObjectName(u"cmbPopularDiff"_s);
    m_popularDiff->setGeometry(place(2280, 300, 675, 300));
    for (int n = 1; n <= 17; ++n) {
        m_popularDiff->addItem(QString::number(n));
    }
    m_popularDiff->setCurrentIndex(-1);
    label(popularFrame, u"Label3"_s, u"以上を判定する"_s, 3120, 360);

    buildJudgeBlock(frame(this, u"Frame4_0"_s, u"馬連自動判定"_s, {4980, 1080, 4635, 5655}),
                    BetType::Quinella,
                    m_quinella);
    buildJudgeBlock(frame(this, u"Frame4_1"_s, u"ワイド自動判定"_s, {9780, 1080, 4635, 5655}),
                    BetType::Wide,
                    m_wide);

    buildModelFrame();

    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"btnOk"_s);
    ok->setGeometry(place(12060, 240, 975, 495));
    ok->setDefault(true);
    auto* cancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    cancel->setObjectName(u"btnCancel"_s);
    cancel->setGeometry(place(13260, 240, 975, 495));
    connect(ok, &QPushButton::clicked, this, &OptionsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &OptionsDialog::reject);
}

void OptionsDialog::buildJudgeBlock(QWidget* frame, BetType bet, JudgeBlock& block)
{
    const bool quinella = bet == BetType::Quinella;
    const int blockIndex = quinella ? 0 : 1;
    const QString end = betKeySuffix(bet);
    const auto label = [this, frame](const QString& name, const QString& text, int left, int top) {
        auto* l = new QLabel(text, frame);
        l->setObjectName(name);
        l->move(px(left), px(top));
        l->adjustSize();
    };
    const QFont fixed = TwipsLayout::fixedPitchFont(9);
    const auto combo
        = [this, frame](const QString& name, const QStringList& list, const QRect& twips) {
              auto* c = new QComboBox(frame);
              c->setObjectName(name);
              c->setEditable(true);
              // Enter confirms the dialog; it never adds the typed text to the list. No inline
              // completion either: typing "10" must not become the list's "100".
              c->setInsertPolicy(QComboBox::NoInsert);
              c->setCompleter(nullptr);
              c->addItems(list);
              c->setGeometry(place(twips.x(), twips.y(), twips.width(), twips.height()));
              return c;
          };

    label(indexed(u"Label4"_s, blockIndex), u"理論値と実際値の乖離％の絶対値が"_s, 180, 360);
    const QStringList levelItems = QString::fromUtf16(kLevelItems).split(u' ');
    const QStringList markItems = items(kMarkItems);
    for (int k = 0; k < kLevels; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const int top = kLevelTops[k];
        block.bandLow[i]
            = combo(indexed(u"cmbDetectMin"_s + end, k), levelItems, {360, top, 735, 300});
        block.bandHigh[i]
            = combo(indexed(u"cmbDetectMax"_s + end, k), levelItems, {1560, top, 735, 300});
        block.marks[i]
            = combo(indexed(u"cmbDispChar"_s + end, k), markItems, {3000, top, 675, 300});
        for (QComboBox* c : {block.bandLow[i], block.bandHigh[i], block.marks[i]}) {
            c->setFont(fixed);
        }
        const int first = blockIndex * 15 + k * 3;
        label(indexed(u"Label5"_s, first), u"以上"_s, 1140, top + 60);
        label(indexed(u"Label5"_s, first + 1), u"未満を"_s, 2340, top + 60);
        label(indexed(u"Label5"_s, first + 2), u"で表示"_s, 3720, top + 60);
    }

    auto* signFrame = new QGroupBox(u"表示値の符号"_s, frame);
    signFrame->setObjectName(indexed(u"Frame5"_s, blockIndex));
    signFrame->setGeometry(place(240, 2340, 4275, 735));
    const char16_t* signs[] = {u"±値表示", u"＋値のみ表示", u"－値のみ表示"};
    const int signLefts[] = {120, 1260, 2760};
    const int signWidths[] = {1140, 1500, 1395};
    for (int k = 0; k < 3; ++k) {
        auto* option = new QRadioButton(QString::fromUtf16(signs[k]), signFrame);
        option->setObjectName(indexed(u"optDispSign"_s + end, k));
        option->setGeometry(place(signLefts[k], 300, signWidths[k], 300));
        block.markedSigns[static_cast<std::size_t>(k)] = option;
    }
    block.markedSigns[0]->setChecked(true);

    auto* colourFrame = new QGroupBox(u"表示色"_s, frame);
    colourFrame->setObjectName(indexed(u"Frame6"_s, blockIndex));
    colourFrame->setGeometry(place(240, 3180, 4275, 795));
    const auto colourLabel = [this, colourFrame](int index, const QString& text, int left) {
        auto* l = new QLabel(text, colourFrame);
        l->setObjectName(indexed(u"Label1"_s, index));
        l->move(px(left), px(360));
        l->adjustSize();
    };
    colourLabel(quinella ? 19 : 20, u"＋値"_s, 480);
    colourLabel(quinella ? 18 : 21, u"－値"_s, 2220);
    block.signColours[0]
        = addColourButton(colourFrame, indexed(u"btnDispColor"_s + end, 0), {1080, 300, 615, 375});
    block.signColours[1]
        = addColourButton(colourFrame, indexed(u"btnDispColor"_s + end, 1), {2820, 300, 615, 375});

    // The quinella block spells its ratio captions with 指示, the wide block with 支持.
    const QString limitCaptions[] = {u"理論値"_s,
                                     u"実際値"_s,
                                     quinella ? u"単指示率"_s : u"単支持率"_s,
                                     quinella ? u"複指示率"_s : u"複支持率"_s};
    const QStringList limitItems = QString::fromUtf16(kLimitItems).split(u' ');
    for (int k = 0; k < kLimits; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const int top = kLimitTops[k];
        auto* check = new QCheckBox(limitCaptions[k], frame);
        check->setObjectName(indexed(u"chkDispOption"_s + end, k));
        check->setGeometry(place(240, top, 1080, 300));
        block.limitOn[i] = check;
        block.limit[i]
            = combo(indexed(u"cmbDispLimit"_s + end, k), limitItems, {1320, top, 915, 300});
        label(indexed(u"Label6"_s, blockIndex * kLimits + k),
              k < 2 ? u"以上は判定から除外"_s : u"未満絡みは判定から除外"_s,
              2340,
              top + 60);
    }
}

void OptionsDialog::buildModelFrame()
{
    auto* frame = new QGroupBox(u"理論値モデル"_s, this);
    frame->setObjectName(u"Frame7"_s);
    frame->setGeometry(place(120, 6900, 14295, 735));
    const auto label = [this, frame](const QString& name, const QString& text, int left) {
        auto* l = new QLabel(text, frame);
        l->setObjectName(name);
        l->move(px(left), px(360));
        l->adjustSize();
    };
    const auto field = [this, frame](const QString& name, int left) {
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(name);
        edit->setGeometry(place(left, 300, 735, 300));
        return edit;
    };

    m_model = new QComboBox(frame);
    m_model->setObjectName(u"cmbModel"_s);
    m_model->addItem(u"Harville（従来）"_s, static_cast<int>(TheoryModel::Harville));
    m_model->addItem(u"割引Harville"_s, static_cast<int>(TheoryModel::Discounted));
    m_model->setGeometry(place(240, 300, 2055, 300));
    label(u"Label7_0"_s, u"λ(2着)"_s, 2580);
    m_lambda = field(u"txtLambda"_s, 3300);
    label(u"Label7_1"_s, u"τ(3着)"_s, 4260);
    m_tau = field(u"txtTau"_s, 4980);
    label(u"Label7_2"_s, u"払戻率"_s, 5940);
    m_payback = new QComboBox(frame);
    m_payback->setObjectName(u"cmbPayback"_s);
    m_payback->setEditable(true);
    // As the judgement boxes: Enter confirms, and a typed number is never completed.
    m_payback->setInsertPolicy(QComboBox::NoInsert);
    m_payback->setCompleter(nullptr);
    m_payback->addItem(u"0.75"_s, 0.75);
    m_payback->addItem(u"0.775（現行JRA）"_s, ModelSettings::kCurrentJraPayback);
    m_payback->setGeometry(place(6660, 300, 2055, 300));
    label(u"Label7_3"_s, u"λ・τは割引Harvilleの2着・3着の指数（1でHarville）"_s, 9000);
}

QPushButton*
OptionsDialog::addColourButton(QWidget* parent, const QString& name, const QRect& twips)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setGeometry(place(twips.x(), twips.y(), twips.width(), twips.height()));
    setButtonColour(button, kWhite);
    connect(button, &QPushButton::clicked, this, [this, button] { chooseColour(button); });
    return button;
}

qint32 OptionsDialog::settingFromColour(const QColor& colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

void OptionsDialog::setButtonColour(QPushButton* button, qint32 colour)
{
    // Only the 24 colour bits count; the button shows nothing else.
    const qint32 bgr = colour & 0xFFFFFF;
    button->setProperty("colour", bgr);
    button->setStyleSheet(u"QPushButton { background-color: %1; border: 1px solid #808080; }"_s.arg(
        colourFromSetting(bgr).name()));
}

qint32 OptionsDialog::buttonColour(const QPushButton* button)
{
    return button->property("colour").toInt();
}

void OptionsDialog::chooseColour(QPushButton* button)
{
    const qint32 current = buttonColour(button);
    const std::optional<QColor> chosen = m_chooseColour(colourFromSetting(current));
    if (!chosen || !chosen->isValid()) {
        return;
    }
    const qint32 colour = settingFromColour(*chosen);
    if (colour != current) {
        setButtonColour(button, colour);
    }
}

void OptionsDialog::loadSettings()
{
    restorePlacement();
    setValues(OptionsValues::read(m_settings));
    setModelSettings(ModelSettings::read(m_settings));
}

void OptionsDialog::setModelSettings(const ModelSettings& model)
{
    m_model->setCurrentIndex(m_model->findData(static_cast<int>(model.kind)));
    m_lambda->setText(fieldText(model.lambda));
    m_tau->setText(fieldText(model.tau));
    // A payback of the list shows as its item, with its note.
    const int item = m_payback->findData(model.payback);
    if (item >= 0) {
        m_payback->setCurrentIndex(item);
    } else {
        m_payback->setEditText(fieldText(model.payback));
    }
}

std::optional<double> OptionsDialog::paybackNumber() const
{
    // An item's text carries a note: the item stands for its number.
    const int item = m_payback->findText(m_payback->currentText());
    return item >= 0 ? std::optional(m_payback->itemData(item).toDouble())
                     : fieldNumber(m_payback->currentText());
}

std::optional<ModelSettings> OptionsDialog::modelSettings() const
{
    ModelSettings model;
    model.kind = static_cast<TheoryModel>(m_model->currentData().toInt());
    const auto lambda = fieldNumber(m_lambda->text());
    const auto tau = fieldNumber(m_tau->text());
    const auto share = paybackNumber();
    if (!lambda || !tau || !share) {
        return std::nullopt;
    }
    model.lambda = *lambda;
    model.tau = *tau;
    model.payback = *share;
    return model;
}

void OptionsDialog::setValues(const OptionsValues& values)
{
    m_patFolder->setText(values.patFolder);
    // The folder list takes the folder and writes back its own form of the path; a folder that
    // does not exist keeps the text as stored. The drive list only follows, so that it cannot
    // replace the stored folder by another drive's folder.
    setFolderListPath(m_patFolder->text());
    selectDriveOf(m_patFolder->text());
    for (std::size_t i = 0; i < kMaxRunners; ++i) {
        setButtonColour(m_horseColours[i], values.horseColours[i]);
    }
    m_popularDiff->setCurrentIndex(values.popularityThreshold - 1);
    for (const auto& [bet, block] :
         {std::pair{BetType::Quinella, &m_quinella}, std::pair{BetType::Wide, &m_wide}}) {
        const OptionsValues::Judge& judge = values.of(bet);
        for (std::size_t i = 0; i < kLevels; ++i) {
            block->bandLow[i]->setEditText(judge.bandLow[i]);
            block->bandHigh[i]->setEditText(judge.bandHigh[i]);
            block->marks[i]->setEditText(judge.marks[i]);
        }
        // A sign outside the three choices leaves the buttons as they are.
        if (judge.markedSigns >= 0
            && judge.markedSigns < static_cast<int>(block->markedSigns.size())) {
            block->markedSigns[static_cast<std::size_t>(judge.markedSigns)]->setChecked(true);
        }
        setButtonColour(block->signColours[0], judge.plusColour);
        setButtonColour(block->signColours[1], judge.minusColour);
        for (std::size_t i = 0; i < kLimits; ++i) {
            block->limitOn[i]->setChecked(judge.limitOn[i]);
            block->limit[i]->setEditText(judge.limit[i]);
        }
    }
}

OptionsValues OptionsDialog::values() const
{
    OptionsValues values;
    values.patFolder = m_patFolder->text();
    for (std::size_t i = 0; i < kMaxRunners; ++i) {
        values.horseColours[i] = buttonColour(m_horseColours[i]);
    }
    values.popularityThreshold = static_cast<qint16>(m_popularDiff->currentIndex() + 1);
    for (const auto& [bet, block] :
         {std::pair{BetType::Quinella, &m_quinella}, std::pair{BetType::Wide, &m_wide}}) {
        OptionsValues::Judge& judge = values.of(bet);
        for (std::size_t i = 0; i < kLevels; ++i) {
            judge.bandLow[i] = block->bandLow[i]->currentText();
            judge.bandHigh[i] = block->bandHigh[i]->currentText();
            judge.marks[i] = block->marks[i]->currentText();
        }
        judge.markedSigns = -1;
        for (std::size_t k = 0; k < block->markedSigns.size(); ++k) {
            if (block->markedSigns[k]->isChecked()) {
                judge.markedSigns = static_cast<int>(k);
            }
        }
        judge.plusColour = buttonColour(block->signColours[0]);
        judge.minusColour = buttonColour(block->signColours[1]);
        for (std::size_t i = 0; i < kLimits; ++i) {
            judge.limitOn[i] = block->limitOn[i]->isChecked();
            judge.limit[i] = block->limit[i]->currentText();
        }
    }
    return values;
}

void OptionsDialog::restorePlacement()
{
    m_placement->restore();
}

void OptionsDialog::done(int result)
{
    m_placement->store();
    QDialog::done(result);
}

void OptionsDialog::accept()
{
    if (!validateInput()) {
        return;
    }
    values().write(m_settings);
    if (const auto model = modelSettings()) {
        model->write(m_settings);
    }
    QDialog::accept();
}

bool OptionsDialog::validateInput()
{
    const auto failure = values().validate();
    if (!failure) {
        return validateModel();
    }
    m_sink.message(failure->message, OptionsValues::messageTitle(), MessageIcon::Warning);
    const JudgeBlock& block = failure->field.bet == BetType::Quinella ? m_quinella : m_wide;
    const auto row = static_cast<std::size_t>(failure->field.row);
    QComboBox* box = failure->field.box == OptionsValues::Field::DetectMin   ? block.bandLow[row]
                     : failure->field.box == OptionsValues::Field::DetectMax ? block.bandHigh[row]
                                                                             : block.limit[row];
    box->setFocus(Qt::OtherFocusReason);
    if (box->lineEdit() != nullptr) {
        box->lineEdit()->selectAll();
    }
    return false;
}

bool OptionsDialog::validateModel()
{
    // In the order of the row: λ, τ, then the payback.
    const auto fail = [this](QWidget* box, QLineEdit* edit, const QString& message) {
        m_sink.message(message, OptionsValues::messageTitle(), MessageIcon::Warning);
        box->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        return false;
    };
    for (QLineEdit* edit : {m_lambda, m_tau}) {
        const auto value = fieldNumber(edit->text());
        if (!value) {
            return fail(edit, edit, kNotANumber);
        }
        if (!ModelSettings::validParameter(*value)) {
            return fail(edit, edit, kModelRange);
        }
    }
    const auto share = paybackNumber();
    if (!share) {
        return fail(m_payback, m_payback->lineEdit(), kNotANumber);
    }
    if (!ModelSettings::validPayback(*share)) {
        return fail(m_payback, m_payback->lineEdit(), kPaybackRange);
    }
    return true;
}

void OptionsDialog::setDriveRoots(const QStringList& roots)
{
    const QSignalBlocker blocker(m_drives);
    m_drives->clear();
    for (const QString& root : roots) {
        m_drives->addItem(QDir::toNativeSeparators(root), root);
    }
    m_drives->setCurrentIndex(-1);
    selectDriveOf(m_folderPath);
}

QString OptionsDialog::driveOf(const QString& path) const
{
    const QString clean = cleanFolder(path);
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
    QString best;
    for (int i = 0; i < m_drives->count(); ++i) {
        const QString root = m_drives->itemData(i).toString();
        const QString prefix = root.endsWith(u'/') ? root : root + u'/';
        if ((clean.startsWith(prefix, kCase) || clean.compare(root, kCase) == 0)
            && root.size() > best.size()) {
            best = root;
        }
    }
    return best;
}

void OptionsDialog::selectDriveOf(const QString& path)
{
    const QString drive = driveOf(path);
    if (drive.isEmpty()) {
        return;
    }
    const QSignalBlocker blocker(m_drives);
    m_drives->setCurrentIndex(m_drives->findData(drive));
}

bool OptionsDialog::setFolderListPath(const QString& path)
{
    const QFileInfo info(QDir::fromNativeSeparators(path));
    if (path.isEmpty() || !info.isDir()) {
        return false;
    }
    const QModelIndex index = m_folderModel->index(cleanFolder(info.absoluteFilePath()));
    if (!index.isValid()) {
        return false;
    }
    {
        const QSignalBlocker blocker(m_folders->selectionModel());
        m_folders->setCurrentIndex(index);
    }
    m_folders->scrollTo(index);
    folderListChanged(m_folderModel->filePath(index));
    return true;
}

void OptionsDialog::folderListChanged(const QString& path)
{
    m_folderPath = path;
    m_patFolder->setText(QDir::toNativeSeparators(path));
    selectDriveOf(path);
}

void OptionsDialog::driveListChanged(int index)
{
    const QString drive = m_drives->itemData(index).toString();
    if (drive == driveOf(m_folderPath)) {
        return;
    }
    // A drive that cannot be opened (no medium, no rights) puts the list back without a word.
    const QDir dir(drive);
    if (drive.isEmpty() || !dir.exists() || !dir.isReadable() || !setFolderListPath(drive)) {
        const QSignalBlocker blocker(m_drives);
        m_drives->setCurrentIndex(m_drives->findData(driveOf(m_folderPath)));
    }
}
