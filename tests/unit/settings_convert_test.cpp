#include "settings/core/convert.h"
#include "settings/core/quiet_names.h"

#include <gtest/gtest.h>

#include <climits>

using varnu::settings_core::ClampTipTime;
using varnu::settings_core::OneLineValue;
using varnu::settings_core::TextToBoolean;
using varnu::settings_core::TextToInt32;

TEST(SettingsTextToInt32, AcceptsBlanksSignsAndPlainDigits) {
    EXPECT_EQ(TextToInt32(L"16756580"), 16756580);
    EXPECT_EQ(TextToInt32(L"  42\t"), 42);
    EXPECT_EQ(TextToInt32(L"+7"), 7);
    EXPECT_EQ(TextToInt32(L"-300"), -300);
    EXPECT_EQ(TextToInt32(L"-0"), 0);
    EXPECT_EQ(TextToInt32(L"000123"), 123);
}

TEST(SettingsTextToInt32, RoundsFractionsHalfToEven) {
    EXPECT_EQ(TextToInt32(L"2.5"), 2);
    EXPECT_EQ(TextToInt32(L"3.5"), 4);
    EXPECT_EQ(TextToInt32(L"2.5000001"), 3);
    EXPECT_EQ(TextToInt32(L"2.49999999999999999999"), 2);
    EXPECT_EQ(TextToInt32(L"-2.5"), -2);
    EXPECT_EQ(TextToInt32(L"-3.5"), -4);
    EXPECT_EQ(TextToInt32(L".5"), 0);
    EXPECT_EQ(TextToInt32(L".51"), 1);
    EXPECT_EQ(TextToInt32(L"7."), 7);
}

TEST(SettingsTextToInt32, KeepsTheExact32BitRange) {
    EXPECT_EQ(TextToInt32(L"2147483647"), INT32_MAX);
    EXPECT_EQ(TextToInt32(L"-2147483648"), INT32_MIN);
    EXPECT_EQ(TextToInt32(L"2147483647.4"), INT32_MAX);
    EXPECT_EQ(TextToInt32(L"-2147483648.5"), INT32_MIN);  // rounds to the even neighbour
    EXPECT_FALSE(TextToInt32(L"2147483648"));
    EXPECT_FALSE(TextToInt32(L"2147483647.5"));
    EXPECT_FALSE(TextToInt32(L"-2147483649"));
    EXPECT_FALSE(TextToInt32(L"99999999999999999999999999"));
}

TEST(SettingsTextToInt32, RejectsWhatIsNotADecimalNumber) {
    for (const wchar_t* bad : {L"", L"   ", L"abc", L"12abc", L"1 2", L"+", L"-", L".", L"- 5", L"1e3", L"&H10",
                               L"0x10", L"1,000", L"--1", L"1.2.3", L"True"}) {
        EXPECT_FALSE(TextToInt32(bad)) << "accepted: \"" << testing::PrintToString(std::wstring(bad)) << "\"";
    }
}

TEST(SettingsTextToBoolean, WordsInAnyCaseAndNumbers) {
    EXPECT_EQ(TextToBoolean(L"True"), true);
    EXPECT_EQ(TextToBoolean(L"true"), true);
    EXPECT_EQ(TextToBoolean(L"  FALSE "), false);
    EXPECT_EQ(TextToBoolean(L"0"), false);
    EXPECT_EQ(TextToBoolean(L"0.0"), false);
    EXPECT_EQ(TextToBoolean(L"-0"), false);
    EXPECT_EQ(TextToBoolean(L"1"), true);
    EXPECT_EQ(TextToBoolean(L"-1"), true);
    EXPECT_EQ(TextToBoolean(L"0.2"), true);  // any non-zero number, no rounding
    EXPECT_EQ(TextToBoolean(L"99999999999999999999"), true);
}

TEST(SettingsTextToBoolean, RejectsEverythingElse) {
    for (const wchar_t* bad : {L"", L" ", L"yes", L"on", L"Tru", L"True1", L"T", L"abc"}) {
        EXPECT_FALSE(TextToBoolean(bad)) << testing::PrintToString(std::wstring(bad));
    }
}

TEST(SettingsValueText, LineBreaksCannotStartANewKey) {
    EXPECT_EQ(OneLineValue(L"C:\\QQ\r\nhot_Key=65"), L"C:\\QQ  hot_Key=65");
    EXPECT_EQ(OneLineValue(std::wstring(L"a\0b", 3)), L"a b");
    EXPECT_EQ(OneLineValue(L"D:\\腾讯\\QQ"), L"D:\\腾讯\\QQ");
}

TEST(SettingsTipTime, HandEditedValuesStayWithinTheDialogRange) {
    EXPECT_EQ(ClampTipTime(3), 3);
    EXPECT_EQ(ClampTipTime(0), 1);
    EXPECT_EQ(ClampTipTime(-5), 1);
    EXPECT_EQ(ClampTipTime(60), 60);
    EXPECT_EQ(ClampTipTime(3000000), 60);
    EXPECT_EQ(ClampTipTime(INT32_MIN), 1);
}

TEST(SettingsQuietNames, WhatCanBeRemembered) {
    using namespace varnu::settings_core;
    EXPECT_TRUE(CanRememberQuietName(std::wstring(kMaxQuietNameChars, L'群')));
    EXPECT_FALSE(CanRememberQuietName(std::wstring(kMaxQuietNameChars + 1, L'群')));
    EXPECT_FALSE(CanRememberQuietName(L"a\r\nb"));
    EXPECT_FALSE(CanRememberQuietName(std::wstring(L"a\0b", 3)));
}

TEST(SettingsQuietNames, KeysAreNeverReusedOrRenumbered) {
    varnu::settings_core::QuietNameList list;
    list.Loaded(L"2", L"技术交流");
    list.Loaded(L"x", L"hand-edited");
    list.Loaded(L"7", L"");  // nothing that could have been written
    EXPECT_EQ(list.Size(), 2u);
    EXPECT_TRUE(list.Contains(L"技术交流"));
    EXPECT_FALSE(list.Contains(L"技术交流 "));
    EXPECT_EQ(list.Add(L"家人"), L"3");
    EXPECT_EQ(list.Add(L"家人"), std::nullopt);
    EXPECT_EQ(list.Add(L""), std::nullopt);
    EXPECT_EQ(list.Remove(L"技术交流"), (std::vector<std::wstring>{L"2"}));
    EXPECT_EQ(list.Add(L"同学"), L"4");
    list.Loaded(L"9", L"家人");  // the same name twice in a hand-edited file
    EXPECT_EQ(list.Remove(L"家人"), (std::vector<std::wstring>{L"3", L"9"}));
}
