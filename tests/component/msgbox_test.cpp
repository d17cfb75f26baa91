// The error box as the user sees it: one window, latest text, on top.
#include "win32/msgbox.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::vector<HWND> BoxesOfThisThread() {
    std::vector<HWND> found;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            wchar_t name[64] = {};
            ::GetClassNameW(hwnd, name, 64);
            if (std::wstring(name) == L"VarnuMsgBox") reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

HWND Label(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        ::GetClassNameW(child, name, 64);
        if (_wcsicmp(name, L"Static") == 0) return child;
    }
    return nullptr;
}

HWND OkButton(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        ::GetClassNameW(child, name, 64);
        if (_wcsicmp(name, L"Button") == 0) return child;
    }
    return nullptr;
}

bool IsShownOnTop(HWND hwnd) {
    return ::IsWindowVisible(hwnd) && (::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

class MsgBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        varnu::CloseMsgBox();
        Pump();
    }
};

TEST_F(MsgBoxTest, LooksLikeTheProgramsErrorBox) {
    varnu::Sh(L"PopWin");
    Pump();
    HWND box = varnu::MsgBoxWindow();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(IsShownOnTop(box));
    EXPECT_EQ(Text(box), L"错误");
    const LONG style = ::GetWindowLongW(box, GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(style & WS_CHILD, 0);

    RECT client{};
    ::GetClientRect(box, &client);
    EXPECT_EQ(client.right, 304);
    EXPECT_EQ(client.bottom, 127);

    HWND label = Label(box);
    HWND ok = OkButton(box);
    ASSERT_TRUE(label && ok);
    EXPECT_EQ(Text(ok), L"确定");
    auto clientRectOf = [box](HWND child) {
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    const RECT l = clientRectOf(label);
    EXPECT_EQ(l.left, 44);
    EXPECT_EQ(l.top, 18);
    EXPECT_EQ(l.right - l.left, 217);
    EXPECT_EQ(l.bottom - l.top, 51);
    const RECT b = clientRectOf(ok);
    EXPECT_EQ(b.left, 96);
    EXPECT_EQ(b.top, 80);
    EXPECT_EQ(b.right - b.left, 119);
    EXPECT_EQ(b.bottom - b.top, 35);
}

TEST_F(MsgBoxTest, LaterReportsReplaceTheTextInTheSameBox) {
    varnu::Sh(L"PopWin");
    HWND first = varnu::MsgBoxWindow();
    varnu::Sh(L"CloseTab");
    Pump();
    EXPECT_EQ(varnu::MsgBoxWindow(), first);
    EXPECT_EQ(BoxesOfThisThread().size(), 1u);
    EXPECT_EQ(Text(Label(first)), L"CloseTab");
}

TEST_F(MsgBoxTest, OkClosesAndTheNextReportShowsItAgainOnTop) {
    varnu::Sh(L"ShowTray");
    Pump();
    HWND box = varnu::MsgBoxWindow();
    ASSERT_NE(box, nullptr);
    ::SendMessageW(OkButton(box), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(varnu::MsgBoxWindow(), nullptr);
    EXPECT_FALSE(::IsWindow(box));
    EXPECT_TRUE(BoxesOfThisThread().empty());

    varnu::Sh(L"TrayAction");
    Pump();
    box = varnu::MsgBoxWindow();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(IsShownOnTop(box));
    EXPECT_EQ(Text(Label(box)), L"TrayAction");

    // Closing from the caption works the same way.
    ::SendMessageW(box, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(varnu::MsgBoxWindow(), nullptr);
    varnu::Sh(L"KeyFunctions");
    EXPECT_TRUE(IsShownOnTop(varnu::MsgBoxWindow()));
}

TEST_F(MsgBoxTest, NameAndDescriptionShowOnTwoLinesWithinTheLabel) {
    const std::wstring text = L"WndProc\r\n无效的窗口句柄。";
    varnu::Sh(text);
    Pump();
    HWND label = Label(varnu::MsgBoxWindow());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(Text(label), text);

    // Both lines fit the label's height with the font it actually uses.
    HDC dc = ::GetDC(label);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    RECT area{};
    ::GetClientRect(label, &area);
    RECT needed = area;
    const int height = ::DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    EXPECT_GE(height, 2 * metrics.tmHeight);
    EXPECT_LE(height, area.bottom);
}

}  // namespace
