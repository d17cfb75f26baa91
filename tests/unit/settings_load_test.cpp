#include "settings/core/load.h"

#include <gtest/gtest.h>

#include <map>

namespace core = varnu::settings_core;

namespace {

using File = std::map<std::wstring, std::wstring, std::less<>>;

core::KeyReader ReaderOf(File file) {
    return core::KeyReader([file = std::move(file)](std::wstring_view key, std::wstring_view defaultText) {
        const auto found = file.find(key);
        return found == file.end() ? std::wstring(defaultText) : found->second;
    });
}

}  // namespace

TEST(SettingsLoad, BadValuesTakeTheirDefaultsAndEveryOtherKeyIsRead) {
    const File file = {
        {L"tab_Bottom", L""},         {L"tab_Selected", L"255"},  {L"tab_Normal", L"12abc"},
        {L"tab_Hot", L"-2147483633"}, {L"tab_Roll", L"True"},     {L"tab_Skin", L"0"},
        {L"tray_Enabled", L"0"},      {L"tray_MsgTip", L"1"},     {L"tray_AlwaysShowTip", L"1"},
        {L"tray_CloseTray", L"1"},    {L"tray_AutoMin", L"0"},    {L"tray_TipTime", L""},
        {L"org_ExitMsg", L"1"},       {L"org_AutoRun", L"1"},     {L"org_AutoSwitch", L"0"},
        {L"org_AutoSize", L"1"},      {L"org_QQPath", L"E:\\QQ"}, {L"org_QQName", L""},
        {L"hot_Enabled", L"1"},       {L"hot_Key", L"81"},        {L"hot_Mod", L"x3"},
    };
    core::KeyReader read = ReaderOf(file);
    const varnu::Settings s = core::ReadSettingValues(read);

    EXPECT_EQ(read.Unreadable(),
              (std::vector<std::wstring>{L"tab_Bottom", L"tab_Normal", L"tray_TipTime", L"hot_Mod"}));
    EXPECT_TRUE(s.tab_Bottom);
    EXPECT_EQ(s.tab_Normal, 16763046);
    EXPECT_EQ(s.tray_TipTime, 3);
    EXPECT_EQ(s.hot_Mod, 0);

    EXPECT_EQ(s.tab_Selected, 255);
    EXPECT_EQ(s.tab_Hot, -2147483633);
    EXPECT_TRUE(s.tab_Roll);
    EXPECT_FALSE(s.tab_Skin);
    EXPECT_EQ(s.tray_Enabled, 0);
    EXPECT_EQ(s.tray_MsgTip, 1);
    EXPECT_EQ(s.tray_AlwaysShowTip, 1);
    EXPECT_EQ(s.tray_CloseTray, 1);
    EXPECT_EQ(s.tray_AutoMin, 0);
    EXPECT_EQ(s.org_ExitMsg, 1);
    EXPECT_EQ(s.org_AutoRun, 1);
    EXPECT_EQ(s.org_AutoSwitch, 0);
    EXPECT_EQ(s.org_AutoSize, 1);
    EXPECT_EQ(s.org_QQPath, L"E:\\QQ");
    EXPECT_EQ(s.org_QQName, L"") << "an empty text is a text, not a failure";
    EXPECT_EQ(s.hot_Enabled, 1);
    EXPECT_EQ(s.hot_Key, 81);

    // Later reads (the window geometry) go on after the bad ones.
    EXPECT_EQ(read.Int(L"win_CX", L"10560"), 10560);
    EXPECT_EQ(read.Int(L"win_X", L"-450"), -450);
}

TEST(SettingsLoad, AWindowStateOutsideTheThreeTakesTheNormalState) {
    for (const wchar_t* bad : {L"3", L"-1", L"x", L""}) {
        core::KeyReader read = ReaderOf({{L"win_Status", bad}});
        EXPECT_EQ(read.WindowState(), 0) << testing::PrintToString(std::wstring(bad));
        EXPECT_EQ(read.Unreadable(), std::vector<std::wstring>{L"win_Status"});
    }
    core::KeyReader maximised = ReaderOf({{L"win_Status", L"2"}});
    EXPECT_EQ(maximised.WindowState(), 2);
    core::KeyReader missing = ReaderOf({});
    EXPECT_EQ(missing.WindowState(), 0);
    EXPECT_TRUE(maximised.Unreadable().empty() && missing.Unreadable().empty());
}
