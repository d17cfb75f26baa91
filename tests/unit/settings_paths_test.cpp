#include "settings/core/geometry.h"
#include "settings/core/paths.h"

#include <gtest/gtest.h>

#include <climits>

namespace core = varnu::settings_core;

TEST(SettingsPaths, OneBackslashBetweenFolderAndName) {
    EXPECT_EQ(core::JoinFolderFile(L"C:\\Program Files\\Varnu", core::kIniFileName),
              L"C:\\Program Files\\Varnu\\set.ini");
    EXPECT_EQ(core::JoinFolderFile(L"C:\\", core::kIniFileName), L"C:\\set.ini");
    EXPECT_EQ(core::JoinFolderFile(L"\\\\server\\share\\", L"a.txt"), L"\\\\server\\share\\a.txt");
    EXPECT_EQ(core::JoinFolderFile(L"D:/tools/", L"a.txt"), L"D:/tools/a.txt");
    EXPECT_EQ(core::JoinFolderFile(L"", core::kIniFileName), L"set.ini");
}

TEST(SettingsPaths, MessengerExecutableFallsBackToQQExe) {
    EXPECT_EQ(core::MessengerExecutablePath(L"D:\\Tencent\\QQ", L"QQ.exe"), L"D:\\Tencent\\QQ\\QQ.exe");
    EXPECT_EQ(core::MessengerExecutablePath(L"E:\\", L"QQ.exe"), L"E:\\QQ.exe");
    EXPECT_EQ(core::MessengerExecutablePath(L"D:\\腾讯\\QQ\\", L""), L"D:\\腾讯\\QQ\\QQ.exe");
    EXPECT_EQ(core::MessengerExecutablePath(L"D:\\QQ", L"QQProtect.exe"), L"D:\\QQ\\QQProtect.exe");
}

TEST(SettingsPaths, MessengerProcessByBareNameOrFullPath) {
    EXPECT_TRUE(core::IsMessengerProcessName(L"QQ.exe"));
    EXPECT_TRUE(core::IsMessengerProcessName(L"qq.EXE"));
    EXPECT_TRUE(core::IsMessengerProcessName(L"C:\\Program Files\\Tencent\\QQ\\Bin\\QQ.exe"));
    EXPECT_FALSE(core::IsMessengerProcessName(L"myqq.exe"));
    EXPECT_FALSE(core::IsMessengerProcessName(L"QQProtect.exe"));
    EXPECT_FALSE(core::IsMessengerProcessName(L"C:\\Tencent\\QQ\\Bin\\QQExternal.exe"));
    EXPECT_FALSE(core::IsMessengerProcessName(L""));
}

TEST(SettingsGeometry, TwipsAndPixels) {
    EXPECT_EQ(core::TwipsToPixels(10560), 704);
    EXPECT_EQ(core::TwipsToPixels(8355), 557);
    EXPECT_EQ(core::TwipsToPixels(7), 0);
    EXPECT_EQ(core::TwipsToPixels(8), 1);
    EXPECT_EQ(core::TwipsToPixels(-300), -20);
    EXPECT_EQ(core::TwipsToPixels(-8), -1);
    EXPECT_EQ(core::TwipsToPixels(INT32_MAX), 32767);
    EXPECT_EQ(core::TwipsToPixels(INT32_MIN), -32768);
    EXPECT_EQ(core::PixelsToTwips(704), 10560);
    EXPECT_EQ(core::PixelsToTwips(-32000), -480000);
    EXPECT_EQ(core::PixelsToTwips(1LL << 40), INT32_MAX);
}

TEST(SettingsGeometry, TinyClientAreaFallsBackPerDimension) {
    const core::SizeTwips saved{1500, 9000};
    auto fitted = core::FitRestoredSize(saved, 100, 580);
    EXPECT_EQ(fitted.width, core::kDefaultWidthTwips);
    EXPECT_EQ(fitted.height, 9000);
    fitted = core::FitRestoredSize(saved, 201, 200);
    EXPECT_EQ(fitted.width, 1500);
    EXPECT_EQ(fitted.height, core::kDefaultHeightTwips);
    fitted = core::FitRestoredSize(saved, -5, 0);
    EXPECT_EQ(fitted.width, core::kDefaultWidthTwips);
    EXPECT_EQ(fitted.height, core::kDefaultHeightTwips);
}
