// SPDX-License-Identifier: MIT
#include "options_dialog.h"

#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/colour.h"
#include "base/message_sink.h"
#include "gui/colour_button.h"
#include "gui/folder_picker.h"
#include "gui/judge_frame.h"
#include "gui/stake_frame.h"
#include "gui/twips_layout.h"
#include "gui/window_placement.h"
#include "settings/options_values.h"

using namespace Qt::StringLiterals;

namespace {

const QString kOptionWindow = QString::fromUtf16(SettingsSection::kOptionWindow);

constexpr float kDefaultLeft = 1500;
constexpr float kDefaultTop = 1000;
constexpr int kClientWidth = 14535;
// The designed 6825, two rows below for the theory model and the blend's weights, and one for
// the stakes.
constexpr int kClientHeight = 9015;

constexpr int kColourRowTops[] = {300, 720, 1140, 1560, 1980, 2400};
constexpr int kColourLabelLefts[] = {180, 1680, 3180};
constexpr int kColourButtonLefts[] = {780, 2280, 3780};

QString indexed(const QString& name, int index)
{
    return name + u'_' + QString::number(index);
}

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

void OptionsDialog::setDriveRoots(const QStringList& roots)
{
    m_folder->setDriveRoots(roots);
}

void OptionsDialog::buildControls()
{
    const auto label
        = [this](QWidget* parent, const QString& name, const QString& text, int left, int top) {
              auto* l = new QLabel(text, parent);
              l->setObjectName(name);
              l->move(px(left), px(top));
              l->adjustSize();
          };

    m_folder = new FolderPicker(m_layout, this);

    // Horse-number colours: three columns of six.
    auto* colourFrame = new QGroupBox(u"馬番別色分け"_s, this);
    colourFrame->setObjectName(u"Frame2"_s);
    m_layout.place(colourFrame, {120, 2940, 4635, 2955});
    for (int i = 0; i < kMaxRunners; ++i) {
        const int column = i / 6;
        const int row = i % 6;
        label(colourFrame,
              indexed(u"Label1"_s, i),
              QString::number(i + 1) + u"番"_s,
              kColourLabelLefts[column],
              kColourRowTops[row] + 60);
        auto* button = new ColourButton(indexed(u"btnColor"_s, i), colourFrame);
        m_layout.place(button, {kColourButtonLefts[column], kColourRowTops[row], 615, 375});
        m_horseColours[static_cast<std::size_t>(i)] = button;
    }

    auto* popularFrame = new QGroupBox(u"単複自動判定"_s, this);
    popularFrame->setObjectName(u"Frame3"_s);
    m_layout.place(popularFrame, {4980, 120, 4635, 795});
    label(popularFrame, u"Label2"_s, u"単勝と複勝の人気の差が"_s, 240, 360);
    m_popularDiff = new QComboBox(popularFrame);
    m_popularDiff->setObjectName(u"cmbPopularDiff"_s);
    m_layout.place(m_popularDiff, {2280, 300, 675, 300});
    for (int n = 1; n <= 17; ++n) {
        m_popularDiff->addItem(QString::number(n));
    }
    m_popularDiff->setCurrentIndex(-1);
    label(popularFrame, u"Label3"_s, u"以上を判定する"_s, 3120, 360);

    m_quinella = new JudgeFrame(BetType::Quinella, m_layout, this);
    m_wide = new JudgeFrame(BetType::Wide, m_layout, this);
    buildModelFrame();
    m_stake = new StakeFrame(m_layout, this);
    m_layout.place(m_stake, {120, 8160, 14295, 735});

    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"btnOk"_s);
    m_layout.place(ok, {12060, 240, 975, 495});
    ok->setDefault(true);
    auto* cancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    cancel->setObjectName(u"btnCancel"_s);
    m_layout.place(cancel, {13260, 240, 975, 495});
    connect(ok, &QPushButton::clicked, this, &OptionsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &OptionsDialog::reject);
    for (ColourButton* button : findChildren<ColourButton*>()) {
        connect(button, &QPushButton::clicked, this, [this, button] { chooseColour(button); });
    }
}

void OptionsDialog::buildModelFrame()
{
    auto* frame = new QGroupBox(u"理論値モデル"_s, this);
    frame->setObjectName(u"Frame7"_s);
    m_layout.place(frame, {120, 6900, 14295, 1155});
    const auto label = [this, frame](const QString& name, const QString& text, int left) {
        auto* l = new QLabel(text, frame);
        l->setObjectName(name);
        l->move(px(left), px(360));
        l->adjustSize();
    };
    const auto field = [this, frame](const QString& name, int left) {
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(name);
        m_layout.place(edit, {left, 300, 735, 300});
        return edit;
    };

    m_model = new QComboBox(frame);
    m_model->setObjectName(u"cmbModel"_s);
    m_model->addItem(u"Harville（従来）"_s, static_cast<int>(TheoryModel::Harville));
    m_model->addItem(u"割引Harville"_s, static_cast<int>(TheoryModel::Discounted));
    m_model->addItem(u"市場合成"_s, static_cast<int>(TheoryModel::Blend));
    m_layout.place(m_model, {240, 300, 2055, 300});
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
    m_layout.place(m_payback, {6660, 300, 2055, 300});
    label(u"Label7_3"_s, u"λ・τは割引Harvilleの2着・3着の指数（1でHarville）"_s, 9000);

    // The blend's weights: model and pool for quinella; model, pool and place pool for wide.
    const auto weightLabel = [this, frame](const QString& name, const QString& text, int left) {
        auto* l = new QLabel(text, frame);
        l->setObjectName(name);
        l->move(px(left), px(780));
        l->adjustSize();
    };
    const auto weightField = [this, frame](int k, int left) {
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(u"txtWeight_%1"_s.arg(k));
        m_layout.place(edit, {left, 720, 735, 300});
        m_weights[static_cast<std::size_t>(k)] = edit;
    };
    weightLabel(u"Label7_4"_s, u"市場合成の重み　馬連(ﾓﾃﾞﾙ･売上)"_s, 240);
    weightField(0, 3300);
    weightField(1, 4140);
    weightLabel(u"Label7_5"_s, u"ﾜｲﾄﾞ(ﾓﾃﾞﾙ･売上･複勝)"_s, 5100);
    weightField(2, 7020);
    weightField(3, 7860);
    weightField(4, 8700);
    weightLabel(u"Label7_6"_s, u"重みは較正の「モデルを保存」で入ります"_s, 9660);
}

void OptionsDialog::chooseColour(ColourButton* button)
{
    const qint32 current = button->colour();
    const std::optional<QColor> chosen = m_chooseColour(colourFromSetting(current));
    if (!chosen || !chosen->isValid()) {
        return;
    }
    const qint32 colour = settingFromColour(*chosen);
    if (colour != current) {
        button->setColour(colour);
    }
}

void OptionsDialog::loadSettings()
{
    m_placement->restore();
    setValues(OptionsValues::read(m_settings));
    setModelSettings(ModelSettings::read(m_settings));
    m_stake->setStake(StakeSettings::read(m_settings));
}

void OptionsDialog::setModelSettings(const ModelSettings& model)
{
    m_model->setCurrentIndex(m_model->findData(static_cast<int>(model.kind)));
    m_lambda->setText(ModelSettings::fieldText(model.lambda));
    m_tau->setText(ModelSettings::fieldText(model.tau));
    for (int k = 0; k < 5; ++k) {
        m_weights[static_cast<std::size_t>(k)]->setText(ModelSettings::fieldText(model.weight(k)));
    }
    // A payback of the list shows as its item, with its note.
    const int item = m_payback->findData(model.payback);
    if (item >= 0) {
        m_payback->setCurrentIndex(item);
    } else {
        m_payback->setEditText(ModelSettings::fieldText(model.payback));
    }
}

ModelSettings::Input OptionsDialog::modelInput() const
{
    // An item's text carries a note: the item stands for its number.
    const int item = m_payback->findText(m_payback->currentText());
    ModelSettings::Input input{static_cast<TheoryModel>(m_model->currentData().toInt()),
                               m_lambda->text(),
                               m_tau->text(),
                               item >= 0
                                   ? ModelSettings::fieldText(m_payback->itemData(item).toDouble())
                                   : m_payback->currentText(),
                               {}};
    for (std::size_t k = 0; k < m_weights.size(); ++k) {
        input.weights[k] = m_weights[k]->text();
    }
    return input;
}

std::optional<ModelSettings> OptionsDialog::modelSettings() const
{
    return ModelSettings::fromInput(modelInput());
}

void OptionsDialog::setValues(const OptionsValues& values)
{
    m_folder->setFolder(values.patFolder);
    for (std::size_t i = 0; i < kMaxRunners; ++i) {
        m_horseColours[i]->setColour(values.horseColours[i]);
    }
    m_popularDiff->setCurrentIndex(values.popularityThreshold - 1);
    m_quinella->setJudge(values.of(BetType::Quinella));
    m_wide->setJudge(values.of(BetType::Wide));
}

OptionsValues OptionsDialog::values() const
{
    OptionsValues values;
    values.patFolder = m_folder->folder();
    for (std::size_t i = 0; i < kMaxRunners; ++i) {
        values.horseColours[i] = m_horseColours[i]->colour();
    }
    values.popularityThreshold = static_cast<qint16>(m_popularDiff->currentIndex() + 1);
    values.of(BetType::Quinella) = m_quinella->judge();
    values.of(BetType::Wide) = m_wide->judge();
    return values;
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
    m_stake->stake().write(m_settings);
    QDialog::accept();
}

bool OptionsDialog::validateInput()
{
    const auto failure = values().validate();
    if (failure) {
        const JudgeFrame* frame = failure->field.bet == BetType::Quinella ? m_quinella : m_wide;
        QComboBox* box = frame->box(failure->field.box, failure->field.row);
        return refuse(failure->message, box, box->lineEdit());
    }
    // In the order of the rows: λ, τ, the payback, then the weights.
    if (const auto model = ModelSettings::validate(modelInput())) {
        using Box = ModelSettings::InputFailure::Box;
        if (model->box == Box::Payback) {
            return refuse(model->message, m_payback, m_payback->lineEdit());
        }
        if (model->box == Box::Weight) {
            QLineEdit* edit = m_weights[static_cast<std::size_t>(model->weight)];
            return refuse(model->message, edit, edit);
        }
        QLineEdit* edit = model->box == Box::Lambda ? m_lambda : m_tau;
        return refuse(model->message, edit, edit);
    }
    if (const auto stake = StakeSettings::validate(m_stake->input())) {
        QLineEdit* edit = m_stake->field(stake->field);
        return refuse(stake->message, edit, edit);
    }
    return true;
}

bool OptionsDialog::refuse(const QString& message, QWidget* box, QLineEdit* edit)
{
    m_sink.message(message, OptionsValues::messageTitle(), MessageIcon::Warning);
    box->setFocus(Qt::OtherFocusReason);
    if (edit != nullptr) {
        edit->selectAll();
    }
    return false;
}
