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

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;
class MessageSink;
class WindowPlacement;

/// The options dialog (frmOption): loads every setting into its controls when it is made,
/// stores them all at OK once every number field passes the checks, and stores nothing but its
/// placement when it is cancelled or closed. Controls sit at their twips positions scaled by the
/// logical DPI; each carries its historic name.
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
    /// payback); on the first failure tells the user, moves the focus to the failing box and
    /// returns false.
    bool validateInput();

    /// OK: validate, store everything, close.
    void accept() override;
    /// Every way of closing ends here: the placement is stored unless minimised.
    void done(int result) override;

    /// A colour as the settings hold it, 0x00BBGGRR.
    static qint32 settingFromColour(const QColor& colour);

private:
    struct JudgeBlock
    {
        std::array<QComboBox*, kLevels> bandLow{};
        std::array<QComboBox*, kLevels> bandHigh{};
        std::array<QComboBox*, kLevels> marks{};
        std::array<QRadioButton*, 3> markedSigns{};
        std::array<QPushButton*, 2> signColours{}; // plus, minus
        std::array<QCheckBox*, kLimits> limitOn{};
        std::array<QComboBox*, kLimits> limit{};
    };

    int px(double twips) const;
    QRect place(int left, int top, int width, int height) const;
    void buildControls();
    void buildJudgeBlock(QWidget* frame, BetType bet, JudgeBlock& block);
    void buildModelFrame();
    bool validateModel();
    std::optional<double> paybackNumber() const;
    QPushButton* addColourButton(QWidget* parent, const QString& name, const QRect& twips);

    void loadSettings();
    void restorePlacement();

    void chooseColour(QPushButton* button);
    static void setButtonColour(QPushButton* button, qint32 colour);
    static qint32 buttonColour(const QPushButton* button);

    /// Points the folder list at `path`; false (and nothing changes) when it is not a folder.
    bool setFolderListPath(const QString& path);
    void folderListChanged(const QString& path);
    void driveListChanged(int index);
    void selectDriveOf(const QString& path);
    QString driveOf(const QString& path) const;

    SettingsStore& m_settings;
    MessageSink& m_sink;
    ColourChooser m_chooseColour;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;

    QLineEdit* m_patFolder = nullptr;
    QComboBox* m_drives = nullptr;
    QTreeView* m_folders = nullptr;
    QFileSystemModel* m_folderModel = nullptr;
    QString m_folderPath;
    std::array<QPushButton*, kMaxRunners> m_horseColours{};
    QComboBox* m_popularDiff = nullptr;
    JudgeBlock m_quinella;
    JudgeBlock m_wide;
    QComboBox* m_model = nullptr;
    QLineEdit* m_lambda = nullptr;
    QLineEdit* m_tau = nullptr;
    QComboBox* m_payback = nullptr;
};
