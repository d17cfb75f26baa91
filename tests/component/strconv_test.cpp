// The one text converter, with the Windows conversion functions underneath.
#include "win32/strconv.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr UINT kChineseCodePage = 936;

TEST(StrConv, Utf8AndUtf16RoundTripIncludingSurrogatePairs) {
    const std::string utf8 = "Chat \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80!";  // 中文 and U+1F600
    const std::wstring wide = win32::Utf8ToWide(utf8);
    EXPECT_EQ(wide, L"Chat \u4E2D\u6587 \xD83D\xDE00!");
    EXPECT_EQ(win32::WideToUtf8(wide), utf8);
    EXPECT_EQ(win32::Utf8ToWide(""), L"");
    EXPECT_EQ(win32::WideToUtf8(L""), "");
    // Embedded NULs are text like any other.
    EXPECT_EQ(win32::Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(StrConv, CodePageRoundTrip) {
    const std::string gbk = "\xD6\xD0\xCE\xC4";  // 中文 in code page 936
    EXPECT_EQ(win32::ToWide(gbk, kChineseCodePage), L"\u4E2D\u6587");
    EXPECT_EQ(win32::ToNarrow(L"\u4E2D\u6587", kChineseCodePage), gbk);
    EXPECT_EQ(win32::AnsiToWide(win32::WideToAnsi(L"plain ascii")), L"plain ascii");
}

TEST(StrConv, InvalidInputIsReplacedNotFatal) {
    const std::wstring fromBadUtf8 = win32::Utf8ToWide("ok\xFF\xFE\xC3");
    EXPECT_EQ(fromBadUtf8.substr(0, 2), L"ok");
    EXPECT_GT(fromBadUtf8.size(), 2u);
    // A lone surrogate has no UTF-8 form; something stands in for it.
    const std::string fromLoneSurrogate = win32::WideToUtf8(std::wstring(L"x") + wchar_t(0xD800) + L"y");
    EXPECT_EQ(fromLoneSurrogate.front(), 'x');
    EXPECT_EQ(fromLoneSurrogate.back(), 'y');
    // A lead byte with nothing after it.
    EXPECT_NO_THROW(win32::ToWide("\xD6", kChineseCodePage));
}

TEST(StrConv, FitAnsiBytesNeverSplitsACharacter) {
    const std::wstring mixed = L"a\u4E2D\u6587b";  // 1 + 2 + 2 + 1 bytes in 936
    EXPECT_EQ(win32::FitAnsiBytes(mixed, 0, kChineseCodePage), L"");
    EXPECT_EQ(win32::FitAnsiBytes(mixed, 2, kChineseCodePage), L"a");
    EXPECT_EQ(win32::FitAnsiBytes(mixed, 3, kChineseCodePage), L"a\u4E2D");
    EXPECT_EQ(win32::FitAnsiBytes(mixed, 4, kChineseCodePage), L"a\u4E2D");
    EXPECT_EQ(win32::FitAnsiBytes(mixed, 6, kChineseCodePage), mixed);
    EXPECT_EQ(win32::FitAnsiBytes(mixed, 100, kChineseCodePage), mixed);

    // A surrogate pair is four UTF-8 bytes and is kept or dropped whole.
    const std::wstring emoji = L"x\xD83D\xDE00";
    EXPECT_EQ(win32::FitAnsiBytes(emoji, 4, CP_UTF8), L"x");
    EXPECT_EQ(win32::FitAnsiBytes(emoji, 5, CP_UTF8), emoji);
    EXPECT_EQ(win32::FitAnsiBytes(L"", 10, CP_UTF8), L"");

    // Whatever is kept really fits.
    const std::wstring longText(300, L'\u4E2D');
    const std::wstring cut = win32::FitAnsiBytes(longText, 255, kChineseCodePage);
    EXPECT_EQ(cut.size(), 127u);
    EXPECT_LE(win32::ToNarrow(cut, kChineseCodePage).size(), 255u);
}

}  // namespace
