// If Varnu dies with conversations inside it, the messenger must get its
// windows back. The fault comes from outside: a thread started in Varnu's
// process at an address where no code is, as a crash in any of its threads
// would.
#include <gtest/gtest.h>

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
