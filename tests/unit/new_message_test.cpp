#include "main/core/new_message.h"

#include <gtest/gtest.h>

namespace varnu {
namespace {

// The history as the poll reads it: the text and its NUL character.
std::wstring History(std::wstring_view text) {
    std::wstring h(text);
    h.push_back(L'\0');
    return h;
}

TEST(MeasuredHistory, TextUpToTheFirstNulAndOneNul) {
    // A length query that over-counted leaves NULs behind the text.
    EXPECT_EQ(MeasuredHistory(std::wstring(L"张三\0\0\0", 5)), History(L"张三"));
    EXPECT_EQ(MeasuredHistory(L""), History(L""));
    EXPECT_EQ(MeasuredHistory(L"full"), History(L"full"));  // a buffer filled to its end
}

TEST(NewMessageTexts, CaptionAndNotice) {
    EXPECT_EQ(TabCaptionWithCount(1, L"张三"), L"(1)张三");
    EXPECT_EQ(TabCaptionWithCount(12, L"朋友"), L"(12)朋友");
    EXPECT_EQ(NewMessageNotice(L"张三"), L"张三的新消息");
}

TEST(BalloonExtract, NewTextWithPicturesMarkedAfterTheFirstLine) {
    const std::wstring before = History(L"old");
    const std::wstring after = History(L"old\r\n张三 12:00:01\r\n你好 世界 !");
    EXPECT_EQ(BalloonExtract(after, static_cast<std::int32_t>(before.size())),
              L"张三 12:00:01\r\n你好[图片]世界[图片]!");
}

TEST(BalloonExtract, WithoutLineBreakUnchanged) {
    const std::wstring after = History(L"ab c d");
    EXPECT_EQ(BalloonExtract(after, 1), L" c d");  // D = 6: last 5 characters, NUL dropped
}

TEST(BalloonExtract, ShorterHistoryShowsTheLast40) {
    std::wstring text;
    for (int i = 0; i < 60; ++i) text.push_back(static_cast<wchar_t>(L'a' + i % 26));
    const std::wstring after = History(text);
    const std::wstring extract = BalloonExtract(after, 500);
    EXPECT_EQ(extract.size(), 39u);
    EXPECT_EQ(extract, text.substr(21));
    EXPECT_EQ(BalloonExtract(after, static_cast<std::int32_t>(after.size()) + 1).size(), 39u);
}

TEST(BalloonExtract, ShortTextsNeverFail) {
    EXPECT_EQ(BalloonExtract(L"", 0), L"");
    EXPECT_EQ(BalloonExtract(L"", 10), L"");
    EXPECT_EQ(BalloonExtract(History(L"hi"), 10), L"hi");
    EXPECT_EQ(BalloonExtract(History(L"hi"), 2), L"");   // D = 1: nothing new to show
    EXPECT_EQ(BalloonExtract(History(L"hi"), 0), L"i");  // D larger than the text
    EXPECT_EQ(BalloonExtract(History(L"\r\n"), 0), L"\n");
    EXPECT_EQ(BalloonExtract(History(L"a\r\n b"), 0), L"\r\n[图片]b");
}

TEST(HistoryPolling, ReadsOnlyWhenTheCheapLengthMoved) {
    EXPECT_TRUE(ShouldReadHistory(kNeverQueried, 0));
    EXPECT_FALSE(ShouldReadHistory(120, 120));
    EXPECT_TRUE(ShouldReadHistory(120, 0));  // cleared history
}

class MessageCheck : public testing::Test {
protected:
    std::wstring text = History(L"old\r\n张三 12:00\r\n在吗");
    MessageSettings settings;
    MessageCheckInput in;

    void SetUp() override {
        in.i = 2;
        in.CurIndex = 1;
        in.MainActive = true;
        in.oldMsg = 4;
        in.MsgNum = 0;
        in.Title = L"张三";
        in.text = text;
    }
};

TEST_F(MessageCheck, UnchangedLengthDoesNothing) {
    in.oldMsg = static_cast<std::int32_t>(text.size());
    const MessageCheckActions a = DecideMessageCheck(in, settings);
    EXPECT_FALSE(a.changed);
    EXPECT_FALSE(a.markUnread || a.showBalloon || a.announce || a.selectTab || a.flash);
}

TEST_F(MessageCheck, OtherConversationWhileActiveIsMarkedQuietly) {
    MessageCheckActions a = DecideMessageCheck(in, settings);
    EXPECT_TRUE(a.changed);
    EXPECT_EQ(a.newMsg, static_cast<std::int32_t>(text.size()));
    EXPECT_TRUE(a.markUnread);
    EXPECT_EQ(a.newMsgNum, 1);
    EXPECT_EQ(a.tabCaption, L"(1)张三");
    EXPECT_TRUE(a.highlight);
    EXPECT_FALSE(a.showBalloon);
    EXPECT_FALSE(a.announce);
    EXPECT_FALSE(a.flash);

    in.MsgNum = 1;
    EXPECT_EQ(DecideMessageCheck(in, settings).tabCaption, L"(2)张三");

    settings.tray_AlwaysShowTip = 1;
    a = DecideMessageCheck(in, settings);
    EXPECT_TRUE(a.showBalloon);
    EXPECT_FALSE(a.announce);
}

TEST_F(MessageCheck, SelectedConversationWhileActiveOnlyUpdatesLength) {
    in.CurIndex = 2;
    settings.tray_AlwaysShowTip = 1;
    const MessageCheckActions a = DecideMessageCheck(in, settings);
    EXPECT_TRUE(a.changed);
    EXPECT_FALSE(a.markUnread || a.showBalloon || a.announce || a.selectTab || a.flash);
}

TEST_F(MessageCheck, InactiveMainWindowAnnounces) {
    in.MainActive = false;
    settings.org_AutoSwitch = 1;
    settings.org_AutoSize = 1;
    MessageCheckActions a = DecideMessageCheck(in, settings);
    EXPECT_TRUE(a.markUnread);
    ASSERT_TRUE(a.showBalloon);
    EXPECT_EQ(a.balloonTitle, L"张三的新消息:");
    EXPECT_EQ(a.balloonText, L"张三 12:00\r\n在吗");
    EXPECT_TRUE(a.announce);
    EXPECT_EQ(a.notice, L"张三的新消息");
    EXPECT_FALSE(a.maximizeBox);
    EXPECT_TRUE(a.selectTab);
    EXPECT_EQ(a.tabIndex, 1);
    EXPECT_TRUE(a.flash);

    settings.tray_MsgTip = 0;
    settings.org_AutoSwitch = 0;
    settings.org_AutoSize = 2;
    a = DecideMessageCheck(in, settings);
    EXPECT_FALSE(a.showBalloon);
    EXPECT_TRUE(a.announce);
    EXPECT_TRUE(a.maximizeBox);
    EXPECT_FALSE(a.selectTab);
    EXPECT_TRUE(a.flash);

    // The selected conversation gets no unread mark, but is still announced.
    in.CurIndex = 2;
    settings.tray_MsgTip = 1;
    a = DecideMessageCheck(in, settings);
    EXPECT_FALSE(a.markUnread);
    EXPECT_TRUE(a.showBalloon);
    EXPECT_TRUE(a.announce);
}

TEST_F(MessageCheck, QuietConversationCountsOnItsTabAndCallsForNothingElse) {
    in.Quiet = true;
    settings.tray_AlwaysShowTip = 1;
    settings.org_AutoSwitch = 1;
    for (bool active : {true, false}) {
        in.MainActive = active;
        const MessageCheckActions a = DecideMessageCheck(in, settings);
        EXPECT_TRUE(a.changed);
        EXPECT_TRUE(a.markUnread);
        EXPECT_EQ(a.tabCaption, L"(1)张三");
        EXPECT_FALSE(a.highlight || a.showBalloon || a.announce || a.selectTab || a.flash) << active;
    }
}

TEST_F(MessageCheck, ShorterHistoryCountsAsAChange) {
    in.MainActive = false;
    in.oldMsg = 1000;
    const MessageCheckActions a = DecideMessageCheck(in, settings);
    EXPECT_TRUE(a.changed);
    EXPECT_EQ(a.newMsg, static_cast<std::int32_t>(text.size()));
    EXPECT_EQ(a.balloonText, L"old\r\n张三[图片]12:00\r\n在吗");
}

}  // namespace
}  // namespace varnu
