#include "settings/core/settings_form.h"

#include <gtest/gtest.h>

namespace core = varnu::settings_core;
using varnu::Settings;

namespace {

Settings Sample() {
    Settings s;
    s.tab_Bottom = false;
    s.tab_Selected = 1;
    s.tab_Normal = 2;
    s.tab_Hot = 3;
    s.tab_Roll = true;
    s.tab_Skin = false;
    s.tray_Enabled = 0;
    s.tray_MsgTip = 1;
    s.tray_AlwaysShowTip = 1;
    s.tray_CloseTray = 1;
    s.tray_AutoMin = 0;
    s.tray_TipTime = 42;
    s.org_ExitMsg = 1;
    s.org_AutoRun = 1;
    s.org_AutoSwitch = 0;
    s.org_AutoSize = 1;
    s.org_QQPath = L"D:\\程序\\QQ";
    s.org_QQName = L"QQ2009.exe";
    s.hot_Enabled = 1;
    return s;
}

}  // namespace

TEST(SettingsForm, EverySettingComesBackAsStoredBothWays) {
    for (const Settings& original : {Sample(), Settings{}}) {
        Settings s = original;
        s.tray_TipTime = original.tray_TipTime == 0 ? 3 : original.tray_TipTime;  // the box keeps 1..60
        Settings back;
        core::StoreForm(core::LoadForm(s, L"Ctrl + F5"), back);
        back.hot_Key = s.hot_Key;
        back.hot_Mod = s.hot_Mod;
        EXPECT_EQ(back.tab_Bottom, s.tab_Bottom);
        EXPECT_EQ(back.tab_Roll, s.tab_Roll);
        EXPECT_EQ(back.tab_Skin, s.tab_Skin);
        EXPECT_EQ(core::KeysWrittenByOk(back), core::KeysWrittenByOk(s));
    }
    const core::SettingsForm form = core::LoadForm(Sample(), L"Ctrl + F5");
    EXPECT_TRUE(form.tabPosTop);
    EXPECT_TRUE(form.tabRollScroll);
    EXPECT_FALSE(form.tabSkinXp);
    EXPECT_EQ(form.checks[core::chkAutoSize], 1);
    EXPECT_EQ(form.checks[core::chkAutoSwitch], 0);
    EXPECT_EQ(form.tipTime, L"42");
    EXPECT_EQ(form.hotKeyText, L"Ctrl + F5");
}

TEST(SettingsForm, UnacceptedCheckValueKeepsTheDesignState) {
    Settings s = Sample();
    s.tray_Enabled = 5;  // designed ticked
    s.tray_MsgTip = -1;  // designed clear
    const core::SettingsForm form = core::LoadForm(s, L"无");
    EXPECT_EQ(form.checks[core::chkTray], 1);
    EXPECT_EQ(form.checks[core::chkShowTip], 0);
    EXPECT_EQ(form.checks[core::chkCloseTray], 1);
}

TEST(SettingsForm, DefaultsResetOnlyTheirControls) {
    core::SettingsForm form = core::LoadForm(Sample(), L"Alt + F1");
    form = core::RestoreDefaults(form, L"");
    EXPECT_EQ(form.colours, (std::array<std::int32_t, 3>{16756580, 16763046, 5700777}));
    EXPECT_FALSE(form.tabPosTop);
    EXPECT_FALSE(form.tabRollScroll);
    EXPECT_FALSE(form.tabSkinXp);                       // kept
    EXPECT_EQ(form.checks[core::chkAlwaysShowTip], 1);  // kept
    EXPECT_EQ(form.checks[core::chkAutoSize], 1);       // kept
    EXPECT_EQ(form.hotKeyText, L"Alt + F1");            // kept
    const std::array<int, core::kCheckBoxCount> expected{1, 0, 1, 1, 0, 0, 0, 0, 1, 1};
    EXPECT_EQ(form.checks, expected);
    EXPECT_EQ(form.tipTime, L"3");
    EXPECT_EQ(form.exeName, L"QQ.exe");
    EXPECT_EQ(form.qqPath, L"D:\\程序\\QQ");  // no folder in the registry: kept
    EXPECT_EQ(core::RestoreDefaults(form, L"C:\\QQ").qqPath, L"C:\\QQ");
}

TEST(SettingsForm, OkWritesTheKeysInOrderWithTheirTextForms) {
    const auto writes = core::KeysWrittenByOk(Sample());
    std::wstring keys;
    for (const auto& [key, value] : writes) keys += std::wstring(key) + L"=" + value + L";";
    EXPECT_EQ(keys,
              L"tab_Bottom=False;tab_Selected=1;tab_Normal=2;tab_Hot=3;tab_Roll=True;tab_Skin=False;"
              L"tray_Enabled=0;tray_MsgTip=1;tray_TipTime=42;tray_AlwaysShowTip=1;tray_CloseTray=1;"
              L"tray_AutoMin=0;org_ExitMsg=1;org_AutoRun=1;org_QQPath=D:\\程序\\QQ;org_QQName=QQ2009.exe;"
              L"org_AutoSwitch=0;org_AutoSize=1;hot_Enabled=1;");
}

TEST(SettingsHotKeyCapture, PrefixTableAndModifierOnlyRelease) {
    const std::pair<const wchar_t*, int> table[8] = {
        {L"", 0},       {L"Shift + ", 4},       {L"Ctrl + ", 2},       {L"Ctrl + Shift + ", 6},
        {L"Alt + ", 1}, {L"Alt + Shift + ", 5}, {L"Ctrl + Alt + ", 3}, {L"Ctrl + Alt + Shift + ", 7}};
    for (int state = 0; state < 8; ++state) {
        EXPECT_EQ(core::PrefixForShiftState(state).text, table[state].first);
        EXPECT_EQ(core::PrefixForShiftState(state).modifiers, table[state].second);
        EXPECT_EQ(core::IsPrefixOnly(table[state].first), state != 0);
    }
    EXPECT_FALSE(core::IsPrefixOnly(L"Ctrl + Alt + F5"));
    EXPECT_TRUE(core::IsModifierKey(16) && core::IsModifierKey(17) && core::IsModifierKey(18));
    EXPECT_FALSE(core::IsModifierKey(116));
    EXPECT_TRUE(core::IsExtendedKey(0x2E));   // Delete, not the keypad's
    EXPECT_FALSE(core::IsExtendedKey(0x74));  // F5
}

TEST(SettingsTipTime, BoxAlwaysEndsWithinOneToSixty) {
    EXPECT_TRUE(core::TipTimeCharAllowed(L'7'));
    EXPECT_TRUE(core::TipTimeCharAllowed(8));
    EXPECT_FALSE(core::TipTimeCharAllowed(L'a'));
    EXPECT_FALSE(core::TipTimeCharAllowed(L'-'));
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"75", L"60"}, {L"61", L"60"},  {L"60", L"60"},
        {L"", L"3"},    {L"0", L"3"},    {L"00", L"3"},
        {L"7", L"7"},   {L"05", L"05"},  {L"99999999999999999999", L"60"},
        {L"abc", L"3"}, {L"12s", L"12"}, {L"-5", L"5"},
        {L"４２", L"3"}};
    for (const auto& [typed, shown] : cases) EXPECT_EQ(core::NormalTipTimeText(typed), shown) << typed;
    Settings s;
    core::SettingsForm form = core::DesignTimeForm();
    form.tipTime = L"075";
    core::StoreForm(form, s);
    EXPECT_EQ(s.tray_TipTime, 60);
}
