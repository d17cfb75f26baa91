// Cost of the tab strip's repaints in both looks: a full repaint (the tab
// window paints itself, asks for every tab, and the strip is drawn over it)
// and a hover repaint (the mouse crosses from one tab into the next). Also
// names the face the system gives for the caption font.
//
// With --scene SKIN BOTTOM it instead shows Varnu with three captured
// conversations, one of them unread, the mouse over the middle tab with its
// tooltip showing, and prints "ready" while the scene holds still for a
// screenshot (scripts/tab-shots.sh). A fourth argument "quiet" makes the
// hovered one quiet, with messages of its own; "find" opens the find box
// over five conversations instead, with "z" typed into it.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "controls/xpstyle/xp_engine.h"
#include "controls/xpstyle/xp_functions.h"
#include "harness.h"
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
    varnu::xp::StripStyle style;
    style.colours = {16763046, 16756580, 5700777};
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
        style.look = skin ? varnu::xp::Look::Xp : varnu::xp::Look::Messenger;
        xpc.SetStyle(style);
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

// The last item of the pop-up menu that has just opened, chosen with the keys.
void ChooseLastMenuItem(DWORD process) {
    HWND menu = nullptr;
    e2e::WaitUntil([&] {
        for (HWND w : e2e::TopLevelWindows(process))
            if (e2e::ClassName(w) == L"#32768") menu = w;
        return menu != nullptr;
    });
    for (UINT key : {VK_UP, VK_RETURN}) {
        e2e::PostKey(menu, key, true);
        e2e::PostKey(menu, key, false);
    }
}

int Scene(bool skin, bool bottom, std::wstring_view mode) {
    e2e::ProgramFolder folder;
    // The welcome balloon is gone long before the picture.
    folder.WriteIni(std::wstring(e2e::kQuietSettings) + L"tray_TipTime=1\r\nwin_CX=9000\r\nwin_CY=6000\r\ntab_Skin=" +
                    (skin ? L"True" : L"False") + L"\r\ntab_Bottom=" + (bottom ? L"True" : L"False") + L"\r\n");
    e2e::Simulator messenger;
    std::vector<std::wstring> names{L"张三", L"李四", L"王五"};
    if (mode == L"find") names.insert(names.end(), {L"赵六", L"技术交流群"});
    std::map<std::wstring, HWND> chats;
    for (const std::wstring& name : names)
        chats[name] = messenger.Open(sim::Kind::Classic, L"与 " + name + L" 交谈中").top;
    e2e::VarnuApp varnu(folder);
    HWND main = varnu.WaitForMainWindow(10000ms);
    if (!main) {
        std::printf("no main window\n");
        return 1;
    }
    const auto allIn = [&] {
        return std::all_of(chats.begin(), chats.end(), [&](const auto& c) { return e2e::IsTakenInto(c.second, main); });
    };
    if (!e2e::WaitUntil(allIn, 20000ms)) {
        std::printf("conversations not taken in\n");
        return 1;
    }
    e2e::Pause(500ms);
    e2e::RemoteTabs tabs(varnu.TabWindow());
    const auto say = [&](const std::wstring& name, int times) {
        // One tick of the poll apart: messages within one tick count once.
        for (int i = 0; i < times; ++i, e2e::Pause(300ms))
            messenger.AppendHistory(chats[name], name + L"  16:20:05\r\n  会议改到四点了。\r\n");
    };
    // Wine's stand-in for the notification area, a window at the screen's
    // corner, comes to the front each time the balloon goes; it is no part of
    // the picture.
    const auto hideWineTray = [] {
        if (HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr)) ::ShowWindow(tray, SW_HIDE);
        e2e::Pause(300ms);
    };
    const auto holdStill = [&] {
        e2e::Pause(1000ms);
        hideWineTray();
        std::printf("ready\n");
        std::fflush(stdout);
        e2e::Pause(5000ms);
        return 0;
    };
    if (mode == L"find") {
        ::SetCursorPos(1000, 900);  // no tab's tooltip
        say(L"赵六", 2);
        e2e::WaitUntil(
            [&] {
                const std::vector<std::wstring> shown = tabs.Captions();
                return std::find(shown.begin(), shown.end(), L"(2)赵六") != shown.end();
            },
            5000ms);
        const RECT last = tabs.ItemRect(tabs.Count() - 1).value_or(RECT{});
        const POINT empty{last.right + 20, (last.top + last.bottom) / 2};
        e2e::PostMouse(::GetParent(tabs.Hwnd()), WM_RBUTTONUP, 0, empty);
        ChooseLastMenuItem(varnu.Id());  // "查找会话..."
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        e2e::WaitUntil([&] {
            return ::GetGUIThreadInfo(::GetWindowThreadProcessId(main, nullptr), &gui) &&
                   e2e::ClassName(gui.hwndFocus) == L"Edit";
        });
        e2e::PostKey(gui.hwndFocus, 'Z', true);
        e2e::PostKey(gui.hwndFocus, 'Z', false);
        return holdStill();
    }
    // The first tab that is not selected gets a new message; the mouse rests
    // on the remaining one, made quiet with messages of its own in "quiet".
    const int selected = tabs.Selected();
    const int unread = selected == 0 ? 1 : 0;
    const int hovered = 3 - selected - unread;
    const std::wstring name = tabs.Caption(unread).value_or(L"");
    if (mode == L"quiet") {
        tabs.ClickTab(hovered, true);
        ChooseLastMenuItem(varnu.Id());  // "免打扰"
        e2e::WaitUntil([&] { return tabs.ItemMarks(hovered).value_or(e2e::RemoteTabs::Marks{}).quiet; });
        const std::wstring quiet = tabs.Caption(hovered).value_or(L"");
        say(quiet, 2);
        e2e::WaitUntil([&] { return tabs.Caption(hovered).value_or(quiet) != quiet; }, 5000ms);
    }
    say(name, 1);
    e2e::WaitUntil([&] { return tabs.Caption(unread).value_or(name) != name; }, 5000ms);
    hideWineTray();
    if (auto rc = tabs.ItemRect(hovered)) {
        POINT p{(rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2};
        ::ClientToScreen(tabs.Hwnd(), &p);
        // Moved in from elsewhere, so that the tab hears the mouse arrive.
        ::SetCursorPos(p.x, p.y + 200);
        e2e::Pause(200ms);
        ::SetCursorPos(p.x, p.y);
    }
    // The tooltip of the tab under the pointer shows after a delay: waited
    // for, so that every picture of a look is the same.
    e2e::WaitUntil([&] {
        const std::vector<HWND> shown = e2e::TopLevelWindows(varnu.Id());
        return std::any_of(shown.begin(), shown.end(), [](HWND w) { return e2e::ClassName(w) == TOOLTIPS_CLASSW; });
    });
    return holdStill();
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv && argc >= 4 && std::wstring(argv[1]) == L"--scene")
        return Scene(std::wstring(argv[2]) == L"1", std::wstring(argv[3]) == L"1", argc > 4 ? argv[4] : L"");
    Measure();
    return 0;
}
