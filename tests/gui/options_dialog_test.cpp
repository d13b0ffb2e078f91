// SPDX-License-Identifier: MIT
// The options dialog, offscreen: load, the checks at OK, what OK and Cancel store, the folder
// and colour choices, and the main window's recolouring when it closes.
#include <functional>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "base/texts.h"
#include "gui/main_window.h"
#include "gui/options_dialog.h"
#include "gui_support.h"
#include "race_generator.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"
#include "settings/stake_settings.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kDpi = 96; // offscreen

int px(int twips)
{
    return qRound(twips * kDpi / 1440.0);
}

struct Options
{
    TestFolder folder;
    QString ini = folder.filePath(u"settings.ini"_s);
    SettingsStore settings{ini};
    RecordingMessageSink sink;

    QComboBox* combo(OptionsDialog& d, const QString& name) { return child<QComboBox>(d, name); }
    void setText(OptionsDialog& d, const QString& name, const QString& text)
    {
        combo(d, name)->setEditText(text);
    }
    qint32 colour(OptionsDialog& d, const QString& name)
    {
        return child<QPushButton>(d, name)->property("colour").toInt();
    }
    /// Every key written so far, as "Group/Key".
    QStringList storedKeys()
    {
        settings.sync();
        return QSettings(ini, QSettings::IniFormat).allKeys();
    }
};

} // namespace

TEST(OptionsDialog, FirstRunShowsTheDefaultsAndOkCreatesEveryKey)
{
    Options o;
    OptionsDialog d(o.settings, o.sink);
    EXPECT_EQ(d.objectName(), u"frmOption");
    EXPECT_EQ(d.windowTitle(), u"ｵﾌﾟｼｮﾝ");
    EXPECT_EQ(d.size(), QSize(px(14535), px(9015)));
    EXPECT_EQ(d.pos(), QPoint(px(1500), px(1000)));
    EXPECT_EQ(child<QWidget>(d, u"btnOk"_s)->geometry(),
              QRect(px(12060), px(240), px(975), px(495)));
    auto* wideMin = child<QWidget>(d, u"cmbDetectMinWide_2"_s);
    EXPECT_EQ(wideMin->parentWidget()->objectName(), u"Frame4_1");
    EXPECT_EQ(wideMin->geometry(), QRect(px(360), px(1320), px(735), px(300)));
    EXPECT_EQ(child<QWidget>(d, u"btnColor_13"_s)->geometry(),
              QRect(px(3780), px(720), px(615), px(375)));
    EXPECT_EQ(child<QLabel>(d, u"Label1_13"_s)->text(), u"14番");
    // The two blocks spell the ratio captions differently, each as written.
    EXPECT_EQ(child<QCheckBox>(d, u"chkDispOptionUma_2"_s)->text(), u"単指示率");
    EXPECT_EQ(child<QCheckBox>(d, u"chkDispOptionUma_3"_s)->text(), u"複指示率");
    EXPECT_EQ(child<QCheckBox>(d, u"chkDispOptionWide_2"_s)->text(), u"単支持率");
    EXPECT_EQ(child<QCheckBox>(d, u"chkDispOptionWide_3"_s)->text(), u"複支持率");
    EXPECT_EQ(child<QLabel>(d, u"Label6_7"_s)->text(), u"未満絡みは判定から除外");
    EXPECT_EQ(child<QLabel>(d, u"Label1_18"_s)->text(), u"－値");

    EXPECT_EQ(o.combo(d, u"cmbPopularDiff"_s)->count(), 17);
    EXPECT_FALSE(o.combo(d, u"cmbPopularDiff"_s)->isEditable());
    EXPECT_EQ(o.combo(d, u"cmbPopularDiff"_s)->currentText(), u"5");
    EXPECT_EQ(o.combo(d, u"cmbDispCharUma_0"_s)->count(), 12);
    EXPECT_EQ(o.combo(d, u"cmbDispLimitWide_3"_s)->itemText(18), u"9999.9");
    EXPECT_EQ(o.combo(d, u"cmbDetectMinWide_4"_s)->currentText(), u"30");
    EXPECT_EQ(o.combo(d, u"cmbDetectMaxUma_0"_s)->currentText(), u"1000");
    EXPECT_EQ(o.combo(d, u"cmbDispCharUma_3"_s)->currentText(), u"△");
    EXPECT_EQ(o.combo(d, u"cmbDispLimitUma_1"_s)->currentText(), u"300");
    EXPECT_EQ(o.combo(d, u"cmbDispLimitWide_1"_s)->currentText(), u"100");
    EXPECT_EQ(o.combo(d, u"cmbDispLimitUma_2"_s)->currentText(), u"0.04");
    EXPECT_TRUE(child<QCheckBox>(d, u"chkDispOptionWide_3"_s)->isChecked());
    EXPECT_TRUE(child<QRadioButton>(d, u"optDispSignUma_0"_s)->isChecked());
    EXPECT_EQ(o.colour(d, u"btnColor_17"_s), 16777215);
    EXPECT_EQ(o.colour(d, u"btnDispColorWide_1"_s), 255);
    // The default folder does not exist here: the text keeps it as stored.
    EXPECT_EQ(child<QLineEdit>(d, u"txtPatFolder"_s)->text(), o.settings.getPatFolder());

    d.show();
    saveScreenshot(d, u"options.png"_s);
    child<QPushButton>(d, u"btnOk"_s)->click();
    EXPECT_TRUE(o.sink.messages.empty());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    // Folder, 18 colours, DetectVal, 30 level keys, 11 keys per bet type, 9 of the model and 4
    // of the stakes.
    QStringList option = o.storedKeys().filter(QRegularExpression(u"^Option/"_s));
    EXPECT_EQ(option.size(), 1 + 18 + 1 + 30 + 22 + 9 + 4) << option.join(u' ').toStdString();
    QSettings raw(o.ini, QSettings::IniFormat);
    EXPECT_EQ(raw.value(u"Option/AutoJudge/DetectMinWide5"_s).toString(), u"30");
    EXPECT_EQ(raw.value(u"Option/AutoJudge/TanRatioLimitUma"_s).toString(), u"0.04");
    EXPECT_EQ(raw.value(u"Option/AutoJudge/IsRealLimitWide"_s).toString(), u"True");
    EXPECT_EQ(raw.value(u"Option/AutoJudge/RealLimitWide"_s).toString(), u"100");
    EXPECT_EQ(raw.value(u"Option/AutoJudge/DetectVal"_s).toString(), u"5");
    EXPECT_EQ(raw.value(u"Option/HorseNoColor/18"_s).toString(), u"16777215");
    EXPECT_EQ(raw.value(u"Option/AutoJudge/DispCharWide5"_s).toString(), u"×");
    EXPECT_EQ(ModelSettings::read(o.settings), ModelSettings{});
}

TEST(OptionsDialog, ModelFieldsRoundTripThroughTheStore)
{
    Options o;
    ModelSettings stored;
    stored.kind = TheoryModel::Discounted;
    stored.lambda = 0.9;
    stored.tau = 0.7;
    stored.payback = ModelSettings::kCurrentJraPayback;
    stored.write(o.settings);
    OptionsDialog d(o.settings, o.sink);
    // A payback of the list shows as its item.
    EXPECT_EQ(o.combo(d, u"cmbModel"_s)->currentText(), u"割引Harville");
    EXPECT_EQ(child<QLineEdit>(d, u"txtLambda"_s)->text(), u"0.9");
    EXPECT_EQ(child<QLineEdit>(d, u"txtTau"_s)->text(), u"0.7");
    EXPECT_EQ(o.combo(d, u"cmbPayback"_s)->currentText(), u"0.775（現行JRA）");

    o.combo(d, u"cmbModel"_s)->setCurrentIndex(0);
    child<QLineEdit>(d, u"txtLambda"_s)->setText(u" 10 "_s);
    o.setText(d, u"cmbPayback"_s, u"0.8"_s);
    child<QPushButton>(d, u"btnOk"_s)->click();
    EXPECT_TRUE(o.sink.messages.empty());
    EXPECT_EQ(ModelSettings::read(o.settings),
              (ModelSettings{TheoryModel::Harville, 10.0, 0.7, 0.8}));
    OptionsDialog again(o.settings, o.sink);
    EXPECT_EQ(o.combo(again, u"cmbPayback"_s)->currentText(), u"0.8");
}

TEST(OptionsDialog, ModelFieldsAreCheckedAfterEveryOtherField)
{
    const QString range = u"λとτは0より大きく10以下の数値を入力して下さい。"_s;
    const QString payback = u"払戻率は0より大きく1以下の数値を入力して下さい。"_s;
    struct Case
    {
        QString lambda, tau, payback, wideMax;
        QString message, focus;
    };
    const Case cases[] = {
        {u"0"_s, u"x"_s, u"2"_s, u"100"_s, range, u"txtLambda"_s},
        {u"10.5"_s, u"1"_s, u"0.75"_s, u"100"_s, range, u"txtLambda"_s},
        {u"1"_s, u"1e0"_s, u"0.75"_s, u"100"_s, u"数値を正しく入力して下さい。"_s, u"txtTau"_s},
        {u"1"_s, u"1"_s, u"0"_s, u"100"_s, payback, u"cmbPayback"_s},
        {u"1"_s,
         u"1"_s,
         u"0.775（JRA）"_s,
         u"100"_s,
         u"数値を正しく入力して下さい。"_s,
         u"cmbPayback"_s},
        // A judgement field fails first.
        {u"0"_s,
         u"1"_s,
         u"0.75"_s,
         u"x"_s,
         u"数値を正しく入力して下さい。"_s,
         u"cmbDetectMaxWide_4"_s},
    };
    for (const Case& c : cases) {
        Options o;
        OptionsDialog d(o.settings, o.sink);
        child<QLineEdit>(d, u"txtLambda"_s)->setText(c.lambda);
        child<QLineEdit>(d, u"txtTau"_s)->setText(c.tau);
        o.setText(d, u"cmbPayback"_s, c.payback);
        o.setText(d, u"cmbDetectMaxWide_4"_s, c.wideMax);
        d.show();
        child<QPushButton>(d, u"btnOk"_s)->click();
        ASSERT_EQ(o.sink.messages.size(), 1u) << c.focus.toStdString();
        EXPECT_EQ(o.sink.messages[0].text, c.message);
        EXPECT_EQ(o.sink.messages[0].title, u"オプション設定");
        const QWidget* focus = d.focusWidget();
        ASSERT_NE(focus, nullptr);
        if (focus->objectName().isEmpty() && focus->parentWidget() != nullptr) {
            focus = focus->parentWidget(); // an editable combo box's line edit
        }
        EXPECT_EQ(focus->objectName(), c.focus);
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(o.storedKeys().isEmpty());
    }
}

TEST(OptionsDialog, StakeFieldsAreCheckedLastAndStored)
{
    Options o;
    OptionsDialog d(o.settings, o.sink);
    d.show();
    child<QLineEdit>(d, u"txtBankroll"_s)->setText(u"250000"_s);
    child<QLineEdit>(d, u"txtKellyFraction"_s)->setText(u"1.5"_s);
    child<QComboBox>(d, u"cmbStakeModel"_s)->setCurrentIndex(1);
    child<QCheckBox>(d, u"chkAutoCalibrate"_s)->setChecked(false);
    child<QPushButton>(d, u"btnOk"_s)->click();
    ASSERT_EQ(o.sink.messages.size(), 1u);
    EXPECT_EQ(o.sink.messages[0].text, u"ケリー係数は0より大きく1以下の数値を入力して下さい。");
    ASSERT_NE(d.focusWidget(), nullptr);
    EXPECT_EQ(d.focusWidget()->objectName(), u"txtKellyFraction");
    EXPECT_TRUE(o.storedKeys().isEmpty());

    child<QLineEdit>(d, u"txtKellyFraction"_s)->setText(u"0.5"_s);
    child<QPushButton>(d, u"btnOk"_s)->click();
    EXPECT_EQ(o.sink.messages.size(), 1u);
    const StakeSettings stored = StakeSettings::read(o.settings);
    EXPECT_EQ(stored, (StakeSettings{250000, 0.5, StakeModel::Discounted, false}));
    OptionsDialog again(o.settings, o.sink);
    EXPECT_EQ(child<QLineEdit>(again, u"txtBankroll"_s)->text(), u"250000");
    EXPECT_FALSE(child<QCheckBox>(again, u"chkAutoCalibrate"_s)->isChecked());
}

TEST(OptionsDialog, OkStoresWhatTheControlsShow)
{
    Options o;
    o.settings.writeSingle(SettingsKey::ActualLimit, BetType::Wide, 1, 123.5F);
    OptionsDialog d(o.settings, o.sink);
    d.setColourChooser([](const QColor&) { return QColor(0x12, 0x34, 0x56); });
    child<QLineEdit>(d, u"txtPatFolder"_s)->setText(u"D:\\Races\\"_s);
    child<QPushButton>(d, u"btnColor_17"_s)->click();
    child<QPushButton>(d, u"btnDispColorWide_0"_s)->click();
    o.combo(d, u"cmbPopularDiff"_s)->setCurrentIndex(16);
    o.setText(d, u"cmbDetectMinUma_0"_s, u"150.4"_s);
    o.setText(d, u"cmbDetectMaxUma_0"_s, u" 150.6 "_s);
    o.setText(d, u"cmbDetectMinWide_4"_s, u"-0"_s);
    o.setText(d, u"cmbDetectMaxWide_4"_s, u"1,000"_s);
    o.setText(d, u"cmbDispCharUma_1"_s, QString());
    const QString longMark = QString(300, u'★');
    o.setText(d, u"cmbDispCharWide_2"_s, longMark);
    child<QRadioButton>(d, u"optDispSignWide_2"_s)->setChecked(true);
    child<QCheckBox>(d, u"chkDispOptionUma_0"_s)->setChecked(false);
    o.setText(d, u"cmbDispLimitUma_3"_s, u"9999.9"_s);
    // An unticked row may hold anything; its limit keeps the value stored before.
    child<QCheckBox>(d, u"chkDispOptionWide_1"_s)->setChecked(false);
    o.setText(d, u"cmbDispLimitWide_1"_s, u"abc"_s);

    child<QPushButton>(d, u"btnOk"_s)->click();
    EXPECT_TRUE(o.sink.messages.empty());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    const SettingsStore& s = o.settings;
    EXPECT_EQ(s.readText(u"Option"_s, u"PatFolder"_s, {}), u"D:\\Races\\");
    EXPECT_EQ(s.readInteger32(SettingsKey::HorseNoColour, {}, 18), 0x563412);
    EXPECT_EQ(s.readInteger32(SettingsKey::HorseNoColour, {}, 17), 16777215);
    EXPECT_EQ(s.readInteger32(SettingsKey::PlusColour, BetType::Wide), 0x563412);
    EXPECT_EQ(s.readInteger32(SettingsKey::PlusColour, BetType::Quinella), 0);
    EXPECT_EQ(s.readInteger16(SettingsKey::DetectVal), 17);
    EXPECT_EQ(s.readInteger16(SettingsKey::DetectMin, BetType::Quinella, 1), 150);
    EXPECT_EQ(s.readInteger16(SettingsKey::DetectMax, BetType::Quinella, 1), 151);
    EXPECT_EQ(s.readInteger16(SettingsKey::DetectMin, BetType::Wide, 5), 0);
    EXPECT_EQ(s.readInteger16(SettingsKey::DetectMax, BetType::Wide, 5), 1000);
    EXPECT_EQ(s.readText(SettingsKey::DispChar, BetType::Quinella, 2), QString());
    EXPECT_EQ(s.readText(SettingsKey::DispChar, BetType::Wide, 3), longMark);
    EXPECT_EQ(s.readInteger16(SettingsKey::DispSign, BetType::Wide), 2);
    EXPECT_EQ(s.readInteger16(SettingsKey::DispSign, BetType::Quinella), 0);
    EXPECT_EQ(s.readFlag(SettingsKey::IsTheoreticalLimit, BetType::Quinella), false);
    EXPECT_EQ(s.readFlag(SettingsKey::IsTheoreticalLimit, BetType::Wide), true);
    EXPECT_EQ(s.readSingle(SettingsKey::PlaceRatioLimit, BetType::Quinella), 9999.9F);
    EXPECT_EQ(s.readFlag(SettingsKey::IsActualLimit, BetType::Wide), false);
    EXPECT_EQ(s.readSingle(SettingsKey::ActualLimit, BetType::Wide), 123.5F);
}

TEST(OptionsDialog, TypedNumbersAreNotCompletedFromTheList)
{
    // The lists hold "100" and "150": typing "10" and "15" must store 10 and 15.
    Options o;
    OptionsDialog d(o.settings, o.sink);
    d.show();
    for (const auto& [name, typed] : {std::pair{u"cmbDispLimitUma_1"_s, u"10"_s},
                                      std::pair{u"cmbDetectMinWide_0"_s, u"15"_s}}) {
        QComboBox* box = o.combo(d, name);
        box->lineEdit()->clear();
        // Completion happens only in the focused box of the active window, as when a user types.
        QApplication::setActiveWindow(&d);
        box->lineEdit()->setFocus();
        ASSERT_TRUE(box->lineEdit()->hasFocus());
        QTest::keyClicks(box->lineEdit(), typed);
        EXPECT_EQ(box->currentText(), typed) << name.toStdString();
    }
    child<QPushButton>(d, u"btnOk"_s)->click();
    EXPECT_EQ(o.settings.readSingle(SettingsKey::ActualLimit, BetType::Quinella), 10.0F);
    EXPECT_EQ(o.settings.readInteger16(SettingsKey::DetectMin, BetType::Wide, 1), 15);
}

// One failing (or passing) set of entries and what OK must then do. The order of the checks is
// tested on OptionsValues (tests/settings/options_values_test.cpp); these cases show that the
// dialog passes its texts on, shows the message and focuses the box the check names.
struct CheckCase
{
    const char* name;
    std::vector<std::pair<QString, QString>> texts; // combo box, text
    std::vector<QString> ticked;                    // limit check boxes to tick
    QString message;                                // empty: the checks pass
    QString focus;
};

void PrintTo(const CheckCase& c, std::ostream* os)
{
    *os << c.name;
}

class OptionsChecks : public testing::TestWithParam<CheckCase>
{};

TEST_P(OptionsChecks, StopAtTheFirstFailureWithItsMessageAndFocus)
{
    const CheckCase& c = GetParam();
    Options o;
    OptionsDialog d(o.settings, o.sink);
    for (const auto& [name, text] : c.texts) {
        o.setText(d, name, text);
    }
    for (const QString& name : c.ticked) {
        child<QCheckBox>(d, name)->setChecked(true);
    }
    d.show();
    child<QPushButton>(d, u"btnOk"_s)->click();
    if (c.message.isEmpty()) {
        EXPECT_TRUE(o.sink.messages.empty());
        EXPECT_FALSE(d.isVisible());
        return;
    }
    ASSERT_EQ(o.sink.messages.size(), 1u);
    EXPECT_EQ(o.sink.messages[0].text, c.message);
    EXPECT_EQ(o.sink.messages[0].title, u"オプション設定");
    EXPECT_EQ(o.sink.messages[0].icon, MessageIcon::Warning);
    ASSERT_NE(d.focusWidget(), nullptr);
    const QWidget* focus = d.focusWidget();
    // An editable combo box hands its focus to its line edit.
    if (focus->objectName().isEmpty() && focus->parentWidget() != nullptr) {
        focus = focus->parentWidget();
    }
    EXPECT_EQ(focus->objectName(), c.focus);
    // The dialog stays open, as the user left it, and nothing is stored.
    EXPECT_TRUE(d.isVisible());
    for (const auto& [name, text] : c.texts) {
        EXPECT_EQ(o.combo(d, name)->currentText(), text);
    }
    EXPECT_TRUE(o.storedKeys().isEmpty());
}

const QString kM1 = u"数値を正しく入力して下さい。"_s;
const QString kM2 = u"数値の大小関係を正しく入力して下さい。"_s;

INSTANTIATE_TEST_SUITE_P(
    Cases,
    OptionsChecks,
    testing::Values(
        CheckCase{
            "EqualBounds", {{u"cmbDetectMaxUma_1"_s, u"300"_s}}, {}, kM2, u"cmbDetectMinUma_1"_s},
        CheckCase{
            "MaxExponent", {{u"cmbDetectMaxWide_0"_s, u"1e9"_s}}, {}, kM1, u"cmbDetectMaxWide_0"_s},
        CheckCase{"QuinellaLimitsBeforeWideLevels",
                  {{u"cmbDispLimitUma_3"_s, u"-"_s}, {u"cmbDetectMinWide_0"_s, u"x"_s}},
                  {},
                  kM1,
                  u"cmbDispLimitUma_3"_s},
        CheckCase{"PassesWithOddButValidTexts",
                  {{u"cmbDetectMinUma_0"_s, u"-0"_s},
                   {u"cmbDetectMaxUma_0"_s, u"+32767"_s},
                   {u"cmbDetectMinWide_0"_s, u"-32768"_s},
                   {u"cmbDispCharUma_0"_s, QString(300, u'x')},
                   {u"cmbDispCharWide_0"_s, QString()}},
                  {u"chkDispOptionWide_0"_s},
                  {},
                  {}}),
    [](const testing::TestParamInfo<CheckCase>& param) { return std::string(param.param.name); });

TEST(OptionsDialog, UntickedLimitIsNotChecked)
{
    Options o;
    o.settings.writeFlag(SettingsKey::IsWinRatioLimit, BetType::Quinella, 1, false);
    OptionsDialog d(o.settings, o.sink);
    o.setText(d, u"cmbDispLimitUma_2"_s, QString());
    EXPECT_TRUE(d.validateInput());
    child<QCheckBox>(d, u"chkDispOptionUma_2"_s)->setChecked(true);
    EXPECT_FALSE(d.validateInput());
    EXPECT_EQ(o.sink.messages.size(), 1u);
}

TEST(OptionsDialog, CancelAndTheCloseBoxStoreOnlyThePlacement)
{
    Options o;
    for (const bool closeBox : {false, true}) {
        OptionsDialog d(o.settings, o.sink);
        d.setColourChooser([](const QColor&) { return QColor(Qt::blue); });
        d.show();
        child<QPushButton>(d, u"btnColor_0"_s)->click();
        EXPECT_EQ(o.colour(d, u"btnColor_0"_s), 0xFF0000);
        o.setText(d, u"cmbDetectMinUma_0"_s, u"1"_s);
        child<QLineEdit>(d, u"txtPatFolder"_s)->setText(u"elsewhere"_s);
        d.move(closeBox ? 450 : 300, 200);
        if (closeBox) {
            d.close();
        } else {
            child<QPushButton>(d, u"btnCancel"_s)->click();
        }
        EXPECT_EQ(d.result(), QDialog::Rejected);
        QStringList keys = o.storedKeys();
        keys.sort();
        EXPECT_EQ(keys, QStringList({u"OptionWindow/Left"_s, u"OptionWindow/Top"_s}));
        EXPECT_EQ(o.settings.readTwips(u"OptionWindow"_s, u"Left"_s, 0),
                  closeBox ? 6750.0F : 4500.0F);
        EXPECT_EQ(o.settings.readTwips(u"OptionWindow"_s, u"Top"_s, 0), 3000.0F);
    }
    // The next opening starts there; closing it minimised keeps the stored placement.
    OptionsDialog d(o.settings, o.sink);
    EXPECT_EQ(d.pos(), QPoint(450, 200));
    d.showMinimized();
    d.move(10, 10);
    d.reject();
    EXPECT_EQ(o.settings.readTwips(u"OptionWindow"_s, u"Left"_s, 0), 6750.0F);
    EXPECT_TRUE(o.sink.messages.empty());

    // A placement off every screen gives way to the default.
    o.settings.writeTwips(u"OptionWindow"_s, u"Left"_s, -900000.0F);
    OptionsDialog lost(o.settings, o.sink);
    EXPECT_EQ(lost.pos(), QPoint(px(1500), px(1000)));
}

TEST(OptionsDialog, EnterInABoxConfirmsAndEscapeCancels)
{
    Options o;
    {
        OptionsDialog d(o.settings, o.sink);
        d.show();
        QComboBox* box = o.combo(d, u"cmbDetectMinUma_0"_s);
        box->setFocus();
        box->lineEdit()->setText(u"7"_s);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(o.settings.readInteger16(SettingsKey::DetectMin, BetType::Quinella, 1), 7);
        // The typed text does not join the list.
        EXPECT_EQ(box->count(), 9);
    }
    o.settings.writeInteger16(SettingsKey::DetectMin, BetType::Quinella, 1, 8);
    OptionsDialog d(o.settings, o.sink);
    d.show();
    QComboBox* box = o.combo(d, u"cmbDetectMinUma_0"_s);
    box->lineEdit()->setText(u"9"_s);
    QTest::keyClick(box->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(o.settings.readInteger16(SettingsKey::DetectMin, BetType::Quinella, 1), 8);
}

TEST(OptionsDialog, GarbageInEveryKeyLeavesTheControlsAsDesigned)
{
    Options o;
    // Every key of the table but the folder and the marks (texts both, so never garbage).
    for (const SettingsKeyInfo& info : settingsKeys()) {
        if (info.form == ValueForm::Text) {
            continue;
        }
        QString garbage = u"１"_s;
        if (info.key == SettingsKey::DetectVal) {
            garbage = u"18"_s; // a number, but beyond the list
        } else if (info.key == SettingsKey::DispSign) {
            garbage = u"7"_s;
        } else if (info.scope == KeyScope::PerLevel) {
            garbage = u"abc"_s;
        } else if (info.scope == KeyScope::PerHorse) {
            garbage = u"red"_s;
        }
        for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
            const int count = info.scope == KeyScope::PerLevel   ? SettingsKeyInfo::kLevels
                              : info.scope == KeyScope::PerHorse ? kMaxRunners
                                                                 : 1;
            for (int index = 1; index <= count; ++index) {
                o.settings.writeText(info.key, bet, index, garbage);
            }
        }
    }
    o.settings.writeText(u"OptionWindow"_s, u"Left"_s, u"left"_s);
    o.settings.writeText(u"OptionWindow"_s, u"Top"_s, u"1e99"_s);

    OptionsDialog d(o.settings, o.sink);
    EXPECT_EQ(d.pos(), QPoint(px(1500), px(1000)));
    EXPECT_EQ(o.combo(d, u"cmbPopularDiff"_s)->currentIndex(), -1);
    const char16_t* mins[] = {u"500", u"300", u"200", u"100", u"50"};
    const char16_t* maxes[] = {u"1000", u"500", u"300", u"200", u"100"};
    for (const QString& bet : {u"Uma"_s, u"Wide"_s}) {
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(
                o.combo(d, u"cmbDetectMin"_s + bet + u'_' + QString::number(k))->currentText(),
                QString::fromUtf16(mins[k]));
            EXPECT_EQ(
                o.combo(d, u"cmbDetectMax"_s + bet + u'_' + QString::number(k))->currentText(),
                QString::fromUtf16(maxes[k]));
        }
        const char16_t* limits[] = {u"1000", u"1000", u"0.04", u"0.05"};
        for (int k = 0; k < 4; ++k) {
            const QString index = u'_' + QString::number(k);
            EXPECT_EQ(o.combo(d, u"cmbDispLimit"_s + bet + index)->currentText(),
                      QString::fromUtf16(limits[k]));
            EXPECT_FALSE(child<QCheckBox>(d, u"chkDispOption"_s + bet + index)->isChecked());
        }
        EXPECT_TRUE(child<QRadioButton>(d, u"optDispSign"_s + bet + u"_0"_s)->isChecked());
        EXPECT_EQ(o.colour(d, u"btnDispColor"_s + bet + u"_0"_s), 16777215);
    }
    EXPECT_EQ(o.colour(d, u"btnColor_5"_s), 16777215);

    // OK stores what the controls show.
    child<QPushButton>(d, u"btnOk"_s)->click();
    EXPECT_TRUE(o.sink.messages.empty());
    EXPECT_EQ(o.settings.readInteger16(SettingsKey::DetectVal), 0);
    EXPECT_EQ(o.settings.readInteger16(SettingsKey::DispSign, BetType::Wide), 0);
    EXPECT_EQ(o.settings.readInteger16(SettingsKey::DetectMin, BetType::Wide, 5), 50);
    EXPECT_EQ(o.settings.readFlag(SettingsKey::IsPlaceRatioLimit, BetType::Quinella), false);
    EXPECT_EQ(o.settings.readSingle(SettingsKey::PlaceRatioLimit, BetType::Quinella), 0.05F);
    EXPECT_EQ(o.settings.readInteger32(SettingsKey::MinusColour, BetType::Wide), 16777215);
    EXPECT_EQ(o.settings.readInteger32(SettingsKey::HorseNoColour, {}, 6), 16777215);
}

TEST(OptionsDialog, ColourButtonsStartTheChooserFromTheirColour)
{
    Options o;
    o.settings.writeInteger32(SettingsKey::MinusColour, BetType::Quinella, 1, 0x00FF00);
    OptionsDialog d(o.settings, o.sink);
    std::vector<QColor> presets;
    std::optional<QColor> answer;
    d.setColourChooser([&](const QColor& initial) {
        presets.push_back(initial);
        return answer;
    });
    auto* button = child<QPushButton>(d, u"btnDispColorUma_1"_s);
    button->click(); // cancelled
    EXPECT_EQ(o.colour(d, u"btnDispColorUma_1"_s), 0x00FF00);
    answer = QColor(0, 0xFF, 0); // the same colour
    button->click();
    EXPECT_EQ(o.colour(d, u"btnDispColorUma_1"_s), 0x00FF00);
    answer = QColor(0xFF, 0, 0);
    button->click();
    EXPECT_EQ(o.colour(d, u"btnDispColorUma_1"_s), 0x0000FF);
    ASSERT_EQ(presets.size(), 3u);
    EXPECT_EQ(presets[0], QColor(0, 0xFF, 0));
    EXPECT_EQ(presets[2], QColor(0, 0xFF, 0));

    // The real chooser: its title and preset; cancelling it changes nothing.
    OptionsDialog real(o.settings, o.sink);
    QString title;
    QColor preset;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            preset = dialog->currentColor();
            dialog->reject();
        }
    });
    child<QPushButton>(real, u"btnDispColorUma_1"_s)->click();
    EXPECT_EQ(title, u"色の設定");
    EXPECT_EQ(preset, QColor(0, 0xFF, 0));
    EXPECT_EQ(o.colour(real, u"btnDispColorUma_1"_s), 0x00FF00);
}

TEST(OptionsDialog, FolderAndDriveLists)
{
    Options o;
    ASSERT_TRUE(QDir(o.folder.path()).mkpath(u"pat/sub"_s));
    const QString pat = QDir::cleanPath(o.folder.filePath(u"pat"_s));
    o.settings.setPatFolder(pat + u'/');
    OptionsDialog d(o.settings, o.sink);
    auto* text = child<QLineEdit>(d, u"txtPatFolder"_s);
    auto* folders = child<QTreeView>(d, u"dirList"_s);
    auto* drives = child<QComboBox>(d, u"drvList"_s);
    // The folder list writes back its own form of the path, without the trailing separator.
    EXPECT_EQ(text->text(), QDir::toNativeSeparators(pat));
    const auto* model = qobject_cast<const QFileSystemModel*>(folders->model());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->filePath(folders->currentIndex()), pat);
    EXPECT_TRUE(model->filter().testFlag(QDir::AllDirs));
    EXPECT_FALSE(model->filter().testFlag(QDir::Files));
    ASSERT_EQ(drives->count(), QDir::drives().size());
    EXPECT_EQ(drives->currentText(),
              QDir::toNativeSeparators(QDir::drives().first().absoluteFilePath()));

    // Choosing a folder in the list writes its path into the text.
    folders->setCurrentIndex(model->index(pat + u"/sub"_s));
    EXPECT_EQ(text->text(), QDir::toNativeSeparators(pat + u"/sub"_s));

    // A drive that cannot be opened puts the drive list back, without a message.
    const QString root = drives->itemData(0).toString();
    d.setDriveRoots({root, o.folder.filePath(u"no-medium"_s)});
    drives->setCurrentIndex(1);
    EXPECT_EQ(drives->currentIndex(), 0);
    EXPECT_EQ(text->text(), QDir::toNativeSeparators(pat + u"/sub"_s));
    EXPECT_TRUE(o.sink.messages.empty());

    // A stored folder that does not exist keeps its text as stored.
    o.settings.setPatFolder(u"C:\\Program Files\\Pat98\\"_s);
    OptionsDialog missing(o.settings, o.sink);
    EXPECT_EQ(child<QLineEdit>(missing, u"txtPatFolder"_s)->text(), u"C:\\Program Files\\Pat98\\");
}

TEST(OptionsDialog, MainWindowRecoloursHorseNumbersWhenItCloses)
{
    TestFolder folder;
    SettingsStore settings(folder.filePath(u"settings.ini"_s));
    RecordingMessageSink sink;
    PatRandom random(5);
    const GeneratedRace race = generateRace(random, 0, 8, false);
    QString error;
    ASSERT_TRUE(writeRaceSet(folder.path(), race, &error));
    // One band that takes every deviation, so that every judged pair carries a mark.
    settings.writeInteger16(SettingsKey::DetectMin, BetType::Quinella, 1, 0);
    settings.writeInteger16(SettingsKey::DetectMax, BetType::Quinella, 1, 32767);
    MainWindow window(settings, &sink);
    window.loadRace(folder.filePath(winPlaceOddsFileName(race)));
    const auto marks = [&window] {
        QStringList texts;
        for (const PairRow& row : window.display().quinellaList().rows()) {
            texts << row[MarkColumn].text();
        }
        return texts;
    };
    const QStringList before = marks();
    auto* cell = child<QLabel>(window, u"lblTanHorseNo_1"_s);
    EXPECT_EQ(cell->palette().color(QPalette::Window), QColor(Qt::white));

    // While the dialog is open the colours and marks change in the store; it is then closed by
    // its close box, which stores nothing itself.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        opened = dialog->parentWidget() == &window;
        for (int no = 1; no <= 18; ++no) {
            settings.writeInteger32(SettingsKey::HorseNoColour, {}, no, 255);
        }
        for (int level = 1; level <= 5; ++level) {
            settings.writeText(SettingsKey::DispChar, BetType::Quinella, level, u"Z"_s);
        }
        dialog->close();
    });
    child<QAction>(window, u"mnuToolOption"_s)->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(cell->palette().color(QPalette::Window), QColor(Qt::red));
    EXPECT_EQ(child<QLabel>(window, u"lblFukuHorseNo_8"_s)->palette().color(QPalette::Window),
              QColor(Qt::red));
    // Nothing else: the marks change only at the next load.
    EXPECT_EQ(marks(), before);
    window.loadRace(folder.filePath(winPlaceOddsFileName(race)));
    const QStringList after = marks();
    ASSERT_EQ(after.size(), before.size());
    int marked = 0;
    for (qsizetype row = 0; row < before.size(); ++row) {
        EXPECT_EQ(after[row], before[row].isEmpty() ? QString() : u"Z"_s) << row;
        marked += before[row].isEmpty() ? 0 : 1;
    }
    EXPECT_GT(marked, 0);
}

TEST(OptionsDialog, MainWindowNamesTheModelOfItsTheoreticalValues)
{
    TestFolder folder;
    SettingsStore settings(folder.filePath(u"settings.ini"_s));
    RecordingMessageSink sink;
    PatRandom random(7);
    const GeneratedRace race = generateRace(random, 0, 8, false);
    QString error;
    ASSERT_TRUE(writeRaceSet(folder.path(), race, &error));
    MainWindow window(settings, &sink);
    const QString path = folder.filePath(winPlaceOddsFileName(race));
    window.loadRace(path);
    auto* line = child<QLabel>(window, u"lblModel"_s);
    const ModelSettings harville;
    EXPECT_EQ(line->text(), u"理論値: "_s + harville.description());

    ModelSettings discounted;
    discounted.kind = TheoryModel::Discounted;
    discounted.lambda = 0.5;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr) {
            dialog->findChild<QComboBox*>(u"cmbModel"_s)->setCurrentIndex(1);
            dialog->findChild<QLineEdit*>(u"txtLambda"_s)->setText(u"0.5"_s);
            dialog->accept();
        }
    });
    child<QAction>(window, u"mnuToolOption"_s)->trigger();
    ASSERT_EQ(ModelSettings::read(settings), discounted);
    // The values shown still come from Harville until the next load.
    const auto heading = [](const PairList& list) {
        return list.theoryNote();
    };
    EXPECT_EQ(heading(window.display().quinellaList()), harville.description());
    EXPECT_TRUE(line->text().startsWith(u"理論値: "_s + harville.description()));
    EXPECT_EQ(line->toolTip(), u"次の読込から: "_s + discounted.description());
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    saveScreenshot(window, u"main-model-pending.png"_s);

    window.loadRace(path);
    EXPECT_EQ(heading(window.display().quinellaList()), discounted.description());
    EXPECT_EQ(heading(window.display().wideList()), discounted.description());
    EXPECT_EQ(line->text(), u"理論値: 割引Harville λ=0.5 τ=0.65 払戻率0.75");
    EXPECT_TRUE(line->toolTip().isEmpty());
    saveScreenshot(window, u"main-model.png"_s);

    // 市場合成 with its weights: one that is no number is refused in its own box.
    bool refused = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr) {
            dialog->findChild<QComboBox*>(u"cmbModel"_s)->setCurrentIndex(2);
            auto* weight = dialog->findChild<QLineEdit*>(u"txtWeight_1"_s);
            weight->setText(u"x"_s);
            dialog->accept();
            refused = dialog->isVisible() && !sink.messages.empty()
                      && sink.messages.back().text == Texts::notANumber()
                      && dialog->focusWidget() == weight;
            weight->setText(u"0.9"_s);
            dialog->accept();
        }
    });
    child<QAction>(window, u"mnuToolOption"_s)->trigger();
    EXPECT_TRUE(refused);
    const ModelSettings blend = ModelSettings::read(settings);
    EXPECT_EQ(blend.kind, TheoryModel::Blend);
    EXPECT_EQ(blend.quinellaWeights, (std::array<double, 2>{0.5, 0.9}));
    window.loadRace(path);
    EXPECT_EQ(line->text(),
              u"理論値: 市場合成 λ=0.5 τ=0.65 馬連β=0.5/0.9 ワイドβ=0.5/0.5/0 払戻率0.75");
}
