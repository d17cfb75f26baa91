#include "main/core/find_match.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/core/pinyin_initials.h"

using namespace varnu;

namespace {

// The names of the matches, in their order, joined by spaces.
std::wstring Found(std::wstring_view query, const std::vector<FindCandidate>& candidates) {
    std::wstring names;
    for (const FindCandidate& match : FindMatches(query, candidates))
        names += (names.empty() ? L"" : L" ") + match.name;
    return names;
}

std::vector<FindCandidate> Named(std::initializer_list<const wchar_t*> names) {
    std::vector<FindCandidate> candidates;
    for (const wchar_t* name : names) candidates.push_back({name, 0, static_cast<int>(candidates.size())});
    return candidates;
}

}  // namespace

TEST(FindMatch, InitialsOfChineseNames) {
    EXPECT_EQ(NameInitials(L"张三"), "zs");
    EXPECT_EQ(NameInitials(L"技术交流群"), "jsjlq");
    // Each boundary of the common characters' pinyin order, and the last one.
    EXPECT_EQ(NameInitials(L"啊芭擦搭蛾发噶哈击喀垃妈拿哦啪期然撒塌挖昔压匝座"), "abcdefghjklmnopqrstwxyzz");
    // The common characters read as the GB2312 order files them (曾 zeng,
    // 沈 shen as surnames); the rarer and traditional ones are covered too.
    EXPECT_EQ(NameInitials(L"曾沈"), "zs");
    EXPECT_EQ(NameInitials(L"冼邬濮佘"), "xwps");
    EXPECT_EQ(NameInitials(L"張陳劉"), "zcl");

    const auto names = Named({L"张三", L"李四", L"技术交流群"});
    EXPECT_EQ(Found(L"zs", names), L"张三");
    EXPECT_EQ(Found(L"jsj", names), L"技术交流群");
    EXPECT_EQ(Found(L"sjl", names), L"");  // only from the start of the initials
    EXPECT_EQ(Found(L"交流", names), L"技术交流群");
}

TEST(FindMatch, MixedLatinAndChinese) {
    EXPECT_EQ(NameInitials(L"QQ群2号"), "qqq2h");
    EXPECT_EQ(NameInitials(L"Tom 的 C++ 群"), "tomdcq");
    const auto names = Named({L"QQ群2号", L"Tom 的 C++ 群", L"阿Q"});
    EXPECT_EQ(Found(L"qqq2", names), L"QQ群2号");
    EXPECT_EQ(Found(L"tomd", names), L"Tom 的 C++ 群");
    EXPECT_EQ(Found(L"c++", names), L"Tom 的 C++ 群");
    EXPECT_EQ(Found(L"q", names), L"QQ群2号 阿Q");  // the start of the name, then inside it
}

TEST(FindMatch, FullWidthAndCaseCompareAlike) {
    EXPECT_EQ(NameInitials(L"ＱＱ群２号"), "qqq2h");
    const auto names = Named({L"ＱＱ群", L"Alice", L"ｂｏｂ　ｌｅｅ"});
    EXPECT_EQ(Found(L"qq", names), L"ＱＱ群");
    EXPECT_EQ(Found(L"ＡＬＩ", names), L"Alice");
    EXPECT_EQ(Found(L"BOB L", names), L"ｂｏｂ　ｌｅｅ");  // the ideographic space too
}

TEST(FindMatch, RankingPutsStartsFirstThenUnreadThenTabOrder) {
    const std::vector<FindCandidate> tabs = {
        {L"Lizhi", 2, 5}, {L"张华", 0, 0}, {L"赵辉", 5, 4}, {L"Zhou", 0, 1}, {L"小张", 3, 2}, {L"abc zh", 0, 3},
    };
    EXPECT_EQ(Found(L"zh", tabs), L"赵辉 张华 Zhou Lizhi abc zh");
    EXPECT_EQ(FindMatches(L"zh", tabs).front(), (FindCandidate{L"赵辉", 5, 4}));
    // Nothing typed: every conversation in tab order, unread or not.
    EXPECT_EQ(Found(L"", tabs), L"张华 Zhou 小张 abc zh 赵辉 Lizhi");
    EXPECT_EQ(Found(L"没有", tabs), L"");
}

TEST(FindMatch, CharactersOutsideTheTableMatchOnlyAsText) {
    EXPECT_EQ(PinyinInitial(0x4DFF), 0);  // just before the table
    EXPECT_EQ(PinyinInitial(0x9FA6), 0);  // just after it
    // Extension A and B, an emoji, 〇 and punctuation give no initial.
    EXPECT_EQ(NameInitials(L"㐀\U00020000\U0001F600〇·三"), "s");
    const auto names = Named({L"\U00020000哥", L"〇〇七"});
    EXPECT_EQ(Found(L"\U00020000", names), L"\U00020000哥");
    EXPECT_EQ(Found(L"g", names), L"\U00020000哥");
    EXPECT_EQ(Found(L"〇七", names), L"〇〇七");
    EXPECT_EQ(Found(L"q", names), L"〇〇七");
}

TEST(FindMatch, BoxOpensCentredOverTheStripInsideTheWorkArea) {
    EXPECT_EQ(TabStripArea({100, 200, 600, 400}, 24, false), (PixelRect{100, 200, 600, 24}));
    EXPECT_EQ(TabStripArea({100, 200, 600, 400}, 24, true), (PixelRect{100, 576, 600, 24}));
    const PixelRect work{0, 0, 1280, 1000};
    EXPECT_EQ(FindBoxPlace({100, 300, 600, 24}, 200, 100, work), (PixelRect{300, 262, 200, 100}));
    EXPECT_EQ(FindBoxPlace({1100, 10, 600, 24}, 200, 100, work), (PixelRect{1080, 0, 200, 100}));
    EXPECT_EQ(FindBoxPlace({0, 0, 100, 24}, 2000, 100, work).left, 0);  // wider than the area: its left edge
}
