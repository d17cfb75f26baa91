#include "settings/core/load.h"

#include <gtest/gtest.h>

#include <map>

namespace core = varnu::settings_core;

TEST(SettingsLoad, BadValuesTakeTheirDefaultsAndEveryOtherKeyIsRead) {
    const std::map<std::wstring, std::wstring, std::less<>> file = {{L"tab_Bottom", L""},   {L"tab_Normal", L"12abc"},
                                                                    {L"tray_TipTime", L""}, {L"org_QQName", L""},
                                                                    {L"hot_Mod", L"3"},     {L"win_Status", L"-1"}};
    core::KeyReader read([&file](std::wstring_view key, std::wstring_view defaultText) {
        const auto found = file.find(key);
        return found == file.end() ? std::wstring(defaultText) : found->second;
    });
    const varnu::Settings s = core::ReadSettingValues(read);
    EXPECT_EQ(read.WindowState(), 0);
    EXPECT_EQ(read.Unreadable(),
              (std::vector<std::wstring>{L"tab_Bottom", L"tab_Normal", L"tray_TipTime", L"win_Status"}));
    EXPECT_TRUE(s.tab_Bottom);
    EXPECT_EQ(s.tab_Normal, 16763046);
    EXPECT_EQ(s.tray_TipTime, 3);
    EXPECT_EQ(s.org_QQName, L"") << "an empty text is a text, not a failure";
    EXPECT_EQ(s.hot_Mod, 3);
}
