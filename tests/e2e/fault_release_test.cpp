// If Varnu dies with conversations inside it, the messenger must get its
// windows back. The fault comes from outside: a thread started in Varnu's
// process at an address where no code is, as a crash in any of its threads
// would.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "harness.h"

namespace {

using namespace e2e;
using sim::Kind;

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

SimOpen At(RECT rect) {
    SimOpen how;
    how.rect = rect;
    return how;
}

TEST(FaultRelease, ACrashGivesEveryCapturedWindowBackBeforeTheProcessEnds) {
    ProgramFolder folder;
    folder.WriteIni(L"[Settings]\r\norg_ExitMsg=0\r\ntray_CloseTray=0\r\n");
    Simulator messenger;
    const SimWindow windows[] = {
        messenger.Open(Kind::Classic, L"与 张三 交谈中", At({100, 100, 560, 460})),
        messenger.Open(Kind::Classic, L"开发组 － 群", At({130, 120, 590, 480})),
        messenger.Open(Kind::TXGui, L"讨论群甲", At({160, 140, 660, 540})),
    };
    struct Before {
        DWORD style, exStyle;
        RECT rect;
    } before[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(windows[i]);
        before[i] = {Style(windows[i].top), ExStyle(windows[i].top), WindowRect(windows[i].top)};
    }

    VarnuApp varnu(folder);
    const HWND main = varnu.WaitForMainWindow(15000ms);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const SimWindow& w : windows)
                if (Ancestor(w.top, GA_ROOT) != main) return false;
            return true;
        },
        60000ms, 100ms));
    // Captured means the whole capture has finished: three tabs.
    RemoteTabs tabs(varnu.TabWindow());
    ASSERT_TRUE(WaitUntil([&] { return tabs.Count() == 3; }, 15000ms));
    Pause(500ms);

    DWORD threadId = 0;
    HANDLE thread = ::CreateRemoteThread(varnu.Proc().Handle(), nullptr, 0,
                                         reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<ULONG_PTR>(0x10)),
                                         nullptr, 0, &threadId);
    ASSERT_NE(thread, nullptr) << "CreateRemoteThread: " << ::GetLastError();
    ::CloseHandle(thread);

    const auto exitCode = varnu.WaitForExit(30000ms);
    ASSERT_TRUE(exitCode.has_value()) << "Varnu did not end after the fault";
    EXPECT_NE(*exitCode, 0u);

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const HWND w = windows[i].top;
        // Had it still been inside when the process ended, it would have
        // been destroyed with our window.
        ASSERT_TRUE(::IsWindow(w));
        EXPECT_EQ(Ancestor(w, GA_PARENT), ::GetDesktopWindow());
        EXPECT_EQ(Parent(w), nullptr);
        EXPECT_EQ(Style(w), before[i].style);
        EXPECT_EQ(ExStyle(w), before[i].exStyle);
        // The place is applied by the messenger's own thread, which may get
        // to it a moment after our process has gone.
        EXPECT_TRUE(WaitUntil([&] { return SameRect(WindowRect(w), before[i].rect); }, 5000ms));
    }
    EXPECT_TRUE(messenger.Ping());
}

}  // namespace

namespace {

// Varnu's window thread stopped as a deadlock or an endless wait of ours
// would stop it; the lanes and the watchdog run on.
class FrozenVarnu : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.WriteIni(kQuietSettings);
        for (int i = 0; i < 2; ++i) {
            chats_[i] = messenger_.Open(Kind::Classic, i == 0 ? L"与 张三 交谈中" : L"开发组 － 群", At(kPlaces[i]));
            ASSERT_TRUE(chats_[i]);
            before_[i] = {Style(chats_[i].top), ExStyle(chats_[i].top)};
        }
        varnu_ = std::make_unique<VarnuApp>(folder_);
        main_ = varnu_->WaitForMainWindow(15000ms);
        ASSERT_NE(main_, nullptr);
        tabs_ = std::make_unique<RemoteTabs>(varnu_->TabWindow());
        ASSERT_TRUE(WaitUntil([&] { return BothInside() && tabs_->Count() == 2; }, 30000ms));
        thread_.reset(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, ::GetWindowThreadProcessId(main_, nullptr)));
        ASSERT_TRUE(thread_);
    }
    void TearDown() override {
        if (thread_) ::ResumeThread(thread_.get());
    }

    bool BothInside() const { return IsTakenInto(chats_[0].top, main_) && IsTakenInto(chats_[1].top, main_); }
    // On the desktop exactly as before they were taken in.
    bool BothBack() const {
        for (int i = 0; i < 2; ++i) {
            const HWND w = chats_[i].top;
            if (!::IsWindow(w) || Ancestor(w, GA_PARENT) != ::GetDesktopWindow() || Style(w) != before_[i].style ||
                ExStyle(w) != before_[i].exStyle || !SameRect(WindowRect(w), kPlaces[i]))
                return false;
        }
        return true;
    }
    std::chrono::milliseconds FreezeUntilBack() {
        const auto start = std::chrono::steady_clock::now();
        ::SuspendThread(thread_.get());
        EXPECT_TRUE(WaitUntil([&] { return BothBack(); }, 15000ms, 50ms));
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }

    static constexpr RECT kPlaces[2] = {{100, 100, 560, 460}, {150, 130, 610, 490}};
    ProgramFolder folder_;
    Simulator messenger_;
    SimWindow chats_[2];
    struct {
        DWORD style, exStyle;
    } before_[2]{};
    std::unique_ptr<VarnuApp> varnu_;
    std::unique_ptr<RemoteTabs> tabs_;
    HWND main_ = nullptr;
    win32::UniqueHandle thread_;
};

TEST_F(FrozenVarnu, GivesEveryConversationBackAndEndingItTakesNoneDown) {
    const auto took = FreezeUntilBack();
    std::printf("frozen window thread: both windows back after %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, 10000ms);
    varnu_->Proc().Terminate();
    for (const SimWindow& chat : chats_) EXPECT_TRUE(::IsWindow(chat.top));
    EXPECT_TRUE(BothBack());
    EXPECT_TRUE(messenger_.Ping());
}

TEST_F(FrozenVarnu, AnsweringAgainTakesThemBackInOnceButNeverLoops) {
    // The one not shown counts it as unread.
    for (const SimWindow& chat : chats_) ASSERT_TRUE(messenger_.AppendHistory(chat.top, L"\r\n10:00\r\n  在吗"));
    const auto marked = [&] {
        const auto captions = tabs_->Captions();
        return std::count_if(captions.begin(), captions.end(), [](auto& c) { return c.rfind(L"(1)", 0) == 0; }) == 1;
    };
    ASSERT_TRUE(WaitUntil(marked));
    FreezeUntilBack();
    ::ResumeThread(thread_.get());
    const auto resumed = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitUntil([&] { return BothInside() && tabs_->Count() == 2; }, 5000ms, 20ms));
    const auto back = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - resumed);
    std::printf("window thread answering again: both inside again after %lld ms\n",
                static_cast<long long>(back.count()));
    EXPECT_LT(back, 2000ms);
    EXPECT_TRUE(marked()) << "the unread count is kept";
    EXPECT_EQ(WaitForErrorBox(varnu_->Id(), 0ms), nullptr);

    // Frozen again within a minute: given back, and this time they stay out.
    FreezeUntilBack();
    ::ResumeThread(thread_.get());
    EXPECT_TRUE(WaitUntil([&] { return tabs_->Count() == 0; }, 5000ms));
    Pause(500ms);
    EXPECT_TRUE(BothBack());
}

}  // namespace
