#include "main/core/recognition.h"

#include <gtest/gtest.h>

namespace varnu {
namespace {

constexpr auto kCheck = RecognitionCaller::CheckNewWindow;
constexpr auto kScan = RecognitionCaller::ScanWindows;

struct ClassicCase {
    const wchar_t* title;
    const wchar_t* tabText;
    int checkCode;  // -1: not taken by CheckNewWindow
    int scanCode;
    bool isGroup;
    int rule;
};

TEST(ClassicRules, EachRuleWithBothCodeColumns) {
    const ClassicCase cases[] = {
        // Rule 1 starts at the blank after "的" and drops "交谈中".
        {L"与来自北京的 张三交谈中", L" 张三", 4, 4, false, 1},
        {L"临时会话 - 与 张三 交谈中", L"张三", 2, 4, false, 2},
        {L"与手机用户 张三 交谈中", L"张三", 2, 4, false, 3},
        {L"与 张三 交谈中", L"张三", 2, 4, false, 4},
        {L"多人聊天 － 讨论组", L" 讨论组", 4, 4, false, 5},
        {L"张三 - 正在输入", L"张三", -1, 4, false, 51},
        {L"与张三会话中", L"张三", 0, 0, false, 6},
        {L"朋友 － 群", L"朋友", 2, 4, true, 7},
        {L"朋友 - 群", L"朋友", 0, 0, true, 8},
        {L"朋友 － 高级群", L"朋友", 2, 4, true, 9},
        {L"朋友 － 班级群", L"朋友", 2, 4, true, 10},
        {L"朋友(12345) － 超级群", L"朋友", 2, 4, true, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << c.rule);
        const Recognition scan = MatchClassicRules(c.title, kScan);
        ASSERT_TRUE(scan.taken());
        EXPECT_EQ(scan.tabText, c.tabText);
        EXPECT_EQ(scan.code, c.scanCode);
        EXPECT_EQ(scan.isGroup, c.isGroup);
        EXPECT_EQ(scan.rule, c.rule);

        const Recognition check = MatchClassicRules(c.title, kCheck);
        if (c.checkCode < 0) {
            EXPECT_EQ(check.outcome, RecognitionOutcome::NotTaken);
            continue;
        }
        ASSERT_TRUE(check.taken());
        EXPECT_EQ(check.tabText, c.tabText);
        EXPECT_EQ(check.code, c.checkCode);
        EXPECT_EQ(check.isGroup, c.isGroup);
    }
}

TEST(ClassicRules, PrecedenceAndLookalikes) {
    // "与来自" belongs to rule 1 even though rule 4 would match too; without
    // "的 " the tab text is the title less its last three characters.
    Recognition r = MatchClassicRules(L"与来自张三交谈中", kCheck);
    EXPECT_EQ(r.rule, 1);
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.tabText, L"与来自张三");

    // A group-chat prefix that also ends in "交谈中" is rule 4.
    EXPECT_EQ(MatchClassicRules(L"多人聊天 － 张三 交谈中", kScan).rule, 4);

    // The ASCII hyphen and the full-width dash are different rules.
    EXPECT_EQ(MatchClassicRules(L"朋友 - 群", kCheck).code, 0);
    EXPECT_EQ(MatchClassicRules(L"朋友 － 群", kCheck).code, 2);
    EXPECT_FALSE(MatchClassicRules(L"多人聊天 - 讨论组", kScan).taken());
    EXPECT_FALSE(MatchClassicRules(L"朋友 - 高级群", kScan).taken());

    // Rule 6 needs both ends.
    EXPECT_FALSE(MatchClassicRules(L"张三会话中", kScan).taken());
    EXPECT_FALSE(MatchClassicRules(L"与张三会话", kScan).taken());
    // The typing rule needs the hyphen and the blank.
    EXPECT_FALSE(MatchClassicRules(L"张三正在输入", kScan).taken());
}

TEST(ClassicRules, NotTaken) {
    for (const wchar_t* title : {L"", L"消息管理器", L"QQ2009 Preview", L"张三", L"交谈", L"与张三交谈", L"群"}) {
        SCOPED_TRACE(testing::Message() << "title length " << std::wstring(title).size());
        EXPECT_EQ(MatchClassicRules(title, kCheck).outcome, RecognitionOutcome::NotTaken);
        EXPECT_EQ(MatchClassicRules(title, kScan).outcome, RecognitionOutcome::NotTaken);
    }
}

TEST(ClassicRules, TitlesTooShortForTheirPatternFail) {
    const wchar_t* failing[] = {
        L"临时会话交谈中",    // rule 2 wants 13 characters
        L"与手机用户交谈中",  // rule 3 wants 10
        L"交谈中",
        L"与 交谈中",  // rule 4 wants 6
        L"－ 群",
        L"- 群",
        L"－ 高级群",
        L"－ 班级群",
        L"朋友 － 超级群",  // rule 11 without "("
    };
    for (const wchar_t* title : failing) {
        const Recognition r = MatchClassicRules(title, kCheck);
        EXPECT_TRUE(r.failed()) << r.rule;
        EXPECT_FALSE(r.error.empty());
        EXPECT_TRUE(r.tabText.empty());
    }
    EXPECT_TRUE(MatchClassicRules(L"- 正在输入", kScan).failed());
    EXPECT_EQ(MatchClassicRules(L"- 正在输入", kCheck).outcome, RecognitionOutcome::NotTaken);

    // Exactly long enough gives an empty tab text rather than a failure.
    EXPECT_TRUE(MatchClassicRules(L"与  交谈中", kCheck).taken());
    EXPECT_EQ(MatchClassicRules(L"与  交谈中", kCheck).tabText, L"");
    EXPECT_EQ(MatchClassicRules(L"(1) － 超级群", kCheck).tabText, L"");
    EXPECT_EQ(MatchClassicRules(L"与会话中", kCheck).tabText, L"");
}

TEST(BaiduHiRule, TakesVisibleConversationsOnly) {
    const Recognition r = MatchBaiduHiRule(L"张三", kStyleVisible);
    ASSERT_TRUE(r.taken());
    EXPECT_EQ(r.tabText, L"张三");
    EXPECT_EQ(r.code, kKindBaiduHi);
    EXPECT_FALSE(r.isGroup);
    EXPECT_TRUE(MatchBaiduHiRule(L"Baidu Hi", kStyleVisible).taken());

    EXPECT_FALSE(MatchBaiduHiRule(L"张三", 0).taken());
    for (const wchar_t* title : {L"Baidu Hi - 张三", L"百度Hi", L"百度Hi 2.0", L"BaiduBasement", L""})
        EXPECT_FALSE(MatchBaiduHiRule(title, 0xFFFFFFFF).taken());
}

TEST(QQ2009Rules, FlashChildThenExactStyle) {
    // With the Flash child any visible style will do, even the excluded titles.
    Recognition r = MatchQQ2009Rules(L"张三", kStyleVisible, 0, true);
    ASSERT_TRUE(r.taken());
    EXPECT_EQ(r.code, kKindQQ2009);
    EXPECT_FALSE(r.isGroup);
    EXPECT_TRUE(MatchQQ2009Rules(L"消息管理器", kStyleVisible | 0x00C00000, 0, true).taken());
    EXPECT_FALSE(MatchQQ2009Rules(L"张三", 0, 0, true).taken());
    EXPECT_FALSE(MatchQQ2009Rules(L"", kStyleVisible, 0, true).taken());

    // The exact style pair makes a group window.
    r = MatchQQ2009Rules(L"朋友", kQQ2009ChatStyle, kQQ2009ChatExStyle, false);
    ASSERT_TRUE(r.taken());
    EXPECT_TRUE(r.isGroup);
    EXPECT_EQ(r.code, kKindQQ2009);
    EXPECT_EQ(r.tabText, L"朋友");
    EXPECT_FALSE(MatchQQ2009Rules(L"消息管理器", kQQ2009ChatStyle, kQQ2009ChatExStyle, false).taken());
    EXPECT_FALSE(MatchQQ2009Rules(L"QQ2009 Preview", kQQ2009ChatStyle, kQQ2009ChatExStyle, false).taken());
    EXPECT_FALSE(MatchQQ2009Rules(L"朋友", kQQ2009ChatStyle | 1, kQQ2009ChatExStyle, false).taken());
    EXPECT_FALSE(MatchQQ2009Rules(L"朋友", kQQ2009ChatStyle, kQQ2009ChatExStyle | 8, false).taken());
}

TEST(RecognizeWindow, DispatchesByClassName) {
    WindowFacts f;
    f.title = L"与 张三 交谈中";
    f.className = kClassClassic;
    EXPECT_EQ(RecognizeWindow(f, kCheck).code, kKindClassicUnsettled);
    EXPECT_EQ(RecognizeWindow(f, kScan).code, kKindClassic);
    f.className = L"#32771";
    EXPECT_FALSE(RecognizeWindow(f, kScan).taken());

    f = {};
    f.className = kClassBaiduHi;
    f.title = L"张三";
    f.style = kStyleVisible;
    EXPECT_EQ(RecognizeWindow(f, kCheck).code, kKindBaiduHi);

    f.className = kClassQQ2009;
    EXPECT_FALSE(RecognizeWindow(f, kCheck).taken());
    f.hasFlashChild = true;
    EXPECT_EQ(RecognizeWindow(f, kCheck).code, kKindQQ2009);

    // Class names compare case-sensitively.
    f.className = L"txguifoundation";
    EXPECT_FALSE(RecognizeWindow(f, kCheck).taken());
}

}  // namespace
}  // namespace varnu
