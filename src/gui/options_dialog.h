// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <QColor>
#include <QDialog>

#include "gui/twips_layout.h"
#include "settings/model_settings.h"
#include "settings/options_values.h"
#include "settings/settings_store.h"

class QComboBox;
class QLineEdit;
class ColourButton;
class FolderPicker;
class JudgeFrame;
class StakeFrame;
class MessageSink;
class WindowPlacement;

/// The options dialog (frmOption): the PAT folder (FolderPicker), the horse-number colours, the
/// popularity threshold, the two judgement blocks (JudgeFrame), the theory model and the stakes
/// (StakeFrame). It loads every setting into its controls when it is made, stores them all at OK
/// once every number field passes the checks (OptionsValues::validate, ModelSettings::validate,
/// StakeSettings::validate), and stores nothing but its placement when it is cancelled or closed.
/// Controls sit at their twips positions scaled by the logical DPI; each carries its historic
/// name.
class OptionsDialog final : public QDialog
{
    Q_OBJECT

public:
    /// Asks the user for a colour, starting from `initial`; empty when the user cancels.
    using ColourChooser = std::function<std::optional<QColor>(const QColor& initial)>;

    static constexpr int kLevels = OptionsValues::kLevels;
    static constexpr int kLimits = OptionsValues::kLimits;

    OptionsDialog(SettingsStore& settings, MessageSink& sink, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    /// Replaces the colour dialog, for tests.
    void setColourChooser(ColourChooser chooser) { m_chooseColour = std::move(chooser); }
    /// Refills the drive list with these roots (QDir::drives() at start), for tests.
    void setDriveRoots(const QStringList& roots);

    /// What the controls show now.
    OptionsValues values() const;
    /// Shows these values in the controls.
    void setValues(const OptionsValues& values);

    /// The theory model the controls show, read as numbers; empty when a field is no number.
    std::optional<ModelSettings> modelSettings() const;
    /// Shows this model in the controls.
    void setModelSettings(const ModelSettings& model);

    /// Checks every number field in order (`OptionsValues::validate`, then λ, τ and the
    /// payback, `ModelSettings::validate`, then the stakes' fields); on the first failure tells the
    /// user, moves the focus to the failing box and returns false.
    bool validateInput();

    /// OK: validate, store everything, close.
    void accept() override;
    /// Every way of closing ends here: the placement is stored unless minimised.
    void done(int result) override;

private:
    int px(double twips) const;
    void buildControls();
    void buildModelFrame();
    /// The model row as typed; the payback item's note left out.
    ModelSettings::Input modelInput() const;
    /// Tells the user why the input cannot be stored and moves the focus to the box.
    bool refuse(const QString& message, QWidget* box, QLineEdit* edit);

    void loadSettings();
    void chooseColour(ColourButton* button);

    SettingsStore& m_settings;
    MessageSink& m_sink;
    ColourChooser m_chooseColour;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;

    FolderPicker* m_folder = nullptr;
    std::array<ColourButton*, kMaxRunners> m_horseColours{};
    QComboBox* m_popularDiff = nullptr;
    JudgeFrame* m_quinella = nullptr;
    JudgeFrame* m_wide = nullptr;
    QComboBox* m_model = nullptr;
    QLineEdit* m_lambda = nullptr;
    QLineEdit* m_tau = nullptr;
    QComboBox* m_payback = nullptr;
    std::array<QLineEdit*, 5> m_weights{};
    StakeFrame* m_stake = nullptr;
};
