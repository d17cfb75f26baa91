// Cost of the tab strip's repaints in both looks: a full repaint (the tab
// window paints itself, asks for every tab, and the strip is drawn over it)
// and a hover repaint (the mouse crosses from one tab into the next). Also
// names the face the system gives for the caption font.
//
// With --scene SKIN BOTTOM it instead shows Varnu with three captured
// conversations, one of them unread, the mouse over the middle tab, and
// prints "ready" while the scene holds still for a screenshot
// (scripts/tab-shots.sh).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "controls/tabcontrol/tab_control.h"
#include "controls/xpstyle/xp_engine.h"
#include "controls/xpstyle/xp_functions.h"
#include "harness.h"
#include "settings/settings.h"
#include "win32/handles.h"
#include "win32/strconv.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

// The best of five batches: the machine may be busy with other work, and
// the quietest batch is the closest to the cost itself.
double MicrosPer(int rounds, const auto& action) {
    double best = 1e300;
    for (int batch = 0; batch < 5; ++batch) {
        const auto start = Clock::now();
        for (int i = 0; i < rounds; ++i) action(i);
        Pump();
        best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds);
    }
    return best;
}

void Measure() {
    varnu::Settings& s = varnu::AppSettings();
    s.tab_Normal = 16763046;
    s.tab_Selected = 16756580;
    s.tab_Hot = 5700777;
    HWND form = ::CreateWindowExW(0, L"STATIC", L"Bench", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 800, 120,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    varnu::TabControl tabs;
    tabs.CreateHost(form, 0, 0, 800, 120);
    for (int i = 0; i < 10; ++i) tabs.AddItem(L"会话 " + std::to_wstring(i + 1));
    tabs.SetSelected(4);
    tabs.HilightItem(7, true);
    tabs.drawItem = nullptr;
    HWND tab = tabs.hWnd();
    auto fullRepaint = [tab](int) { ::RedrawWindow(tab, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
    Pump();
    const double alone = MicrosPer(40, fullRepaint);
    varnu::WindowsXPC xpc;
    xpc.InitSubClassing(form);
    Pump();

    {
        win32::UniqueFont font(varnu::CreateItemFont(9, false, L"宋体", false));
        win32::ScopedGetDc dc(tab);
        win32::ScopedSelect use(dc.get(), font.get());
        wchar_t face[LF_FACESIZE]{};
        ::GetTextFaceW(dc.get(), LF_FACESIZE, face);
        std::printf("caption font asked \"宋体\", given \"%s\"\n", win32::WideToUtf8(face).c_str());
    }

    const varnu::TabRect a = tabs.GetItemRect(2), b = tabs.GetItemRect(3);
    const LPARAM pointA = MAKELPARAM((a.left + a.right) / 2, (a.top + a.bottom) / 2);
    const LPARAM pointB = MAKELPARAM((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    std::printf("10 tabs, strip 800 x 120 pixels; microseconds per repaint\n");
    std::printf("  tab window's own paint, nothing drawn over it: %.1f\n", alone);
    for (bool skin : {true, false}) {
        s.tab_Skin = skin;
        const double full = MicrosPer(40, fullRepaint);
        const double hover =
            MicrosPer(400, [&](int i) { ::SendMessageW(tab, WM_MOUSEMOVE, 0, i % 2 ? pointA : pointB); });
        Pump();
        std::printf("  %-14s full repaint %8.1f   hover repaint %8.1f\n", skin ? "XP look" : "messenger look", full,
                    hover);
    }
    xpc.EndWinXPCSubClassing();
    ::DestroyWindow(form);
}

int Scene(bool skin, bool bottom) {
    e2e::ProgramFolder folder;
    folder.WriteIni(std::wstring(e2e::kQuietSettings) + L"win_CX=9000\r\nwin_CY=6000\r\ntab_Skin=" +
                    (skin ? L"True" : L"False") + L"\r\ntab_Bottom=" + (bottom ? L"True" : L"False") + L"\r\n");
    e2e::Simulator messenger;
    auto first = messenger.Open(sim::Kind::Classic, L"与 张三 交谈中");
    auto second = messenger.Open(sim::Kind::Classic, L"与 李四 交谈中");
    auto third = messenger.Open(sim::Kind::Classic, L"与 王五 交谈中");
    e2e::VarnuApp varnu(folder);
    HWND main = varnu.WaitForMainWindow(10000ms);
    if (!main) {
        std::printf("no main window\n");
        return 1;
    }
    if (!e2e::WaitUntil(
            [&] {
                return e2e::IsTakenInto(first.top, main) && e2e::IsTakenInto(second.top, main) &&
                       e2e::IsTakenInto(third.top, main);
            },
            20000ms)) {
        std::printf("conversations not taken in\n");
        return 1;
    }
    e2e::Pause(500ms);
    // The first tab that is not selected gets a new message; the mouse rests
    // on the remaining one.
    e2e::RemoteTabs tabs(varnu.TabWindow());
    const int selected = tabs.Selected();
    const int unread = selected == 0 ? 1 : 0;
    const int hovered = 3 - selected - unread;
    const std::wstring name = tabs.Caption(unread).value_or(L"");
    HWND chat = name == L"张三" ? first.top : name == L"李四" ? second.top : third.top;
    messenger.AppendHistory(chat, name + L"  16:20:05\r\n  会议改到四点了。\r\n");
    e2e::WaitUntil([&] { return tabs.Caption(unread).value_or(name) != name; }, 5000ms);
    if (auto rc = tabs.ItemRect(hovered)) {
        POINT p{(rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2};
        ::ClientToScreen(tabs.Hwnd(), &p);
        ::SetCursorPos(p.x, p.y);
    }
    e2e::Pause(1000ms);
    std::printf("ready\n");
    std::fflush(stdout);
    e2e::Pause(5000ms);
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv && argc == 4 && std::wstring(argv[1]) == L"--scene")
        return Scene(std::wstring(argv[2]) == L"1", std::wstring(argv[3]) == L"1");
    Measure();
    return 0;
}
