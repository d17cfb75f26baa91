// Recognition glue: reads what a window shows from outside (with the wide
// APIs, so titles survive every system code page) and hands the facts to the
// pure rules of core/recognition.
#include <windows.h>

#include <set>
#include <string>

#include "controls/tabcontrol/tab_control.h"
#include "win32/msgbox.h"
#include "main/core/recognition.h"
#include "main/capture.h"
#include "win32/strconv.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

bool HasFlashChild(HWND hwnd) noexcept {
    HWND holder = ::FindWindowExW(hwnd, nullptr, L"Static", nullptr);
    return holder && ::FindWindowExW(holder, nullptr, L"MacromediaFlashPlayerActiveX", nullptr);
}

WindowFacts ReadFacts(HWND hwnd, bool wantFlashChild) {
    WindowFacts facts;
    facts.className = win32::WindowClass(hwnd);
    facts.title = win32::WindowText(hwnd);
    facts.style = win32::WindowStyle(hwnd);
    facts.exStyle = win32::WindowExStyle(hwnd);
    facts.hasFlashChild = wantFlashChild && HasFlashChild(hwnd);
    return facts;
}

}  // namespace

bool Capture::CheckNewWindow(HWND hwnd) {
    if (pending_.count(hwnd)) return true;
    // Captured windows, dialogs of a conversation and anything owned are
    // never conversations of their own; a window we gave back on purpose is
    // left where it is.
    if (::GetParent(hwnd) || LeftOut(hwnd)) return false;
    WindowFacts facts = ReadFacts(hwnd, false);
    facts.hasFlashChild = facts.className == kClassQQ2009 && HasFlashChild(hwnd);
    Recognition found = RecognizeWindow(facts, RecognitionCaller::CheckNewWindow);
    if (found.failed()) {
        // Reported as the watch reports what fails in its notices.
        Sh(L"WndProc\r\n" + found.error);
        return false;
    }
    if (!found.taken()) return false;
    int code = found.code;
    return TakeWin(hwnd, found.tabText, facts.title, found.isGroup, code);
}

void Capture::ScanWindows() {
    struct Pass {
        const wchar_t* className;
        Recognition (*match)(const WindowFacts& facts);
    };
    static const Pass passes[] = {
        {kClassClassic,
         [](const WindowFacts& f) { return MatchClassicRules(f.title, RecognitionCaller::ScanWindows); }},
        {kClassBaiduHi, [](const WindowFacts& f) { return MatchBaiduHiRule(f.title, f.style); }},
        {kClassQQ2009,
         [](const WindowFacts& f) { return MatchQQ2009Rules(f.title, f.style, f.exStyle, f.hasFlashChild); }},
    };

    // Every window handed to TakeWin once, taken or not. The search starts
    // again after each capture because a taken window leaves the top level;
    // one that failed stays there and must not be tried again and again.
    std::set<HWND> tried;
    for (const Pass& pass : passes) {
        HWND after = nullptr;
        for (;;) {
            HWND window = ::FindWindowExW(nullptr, after, pass.className, nullptr);
            if (!window) break;
            after = window;
            if (tried.count(window)) continue;
            if (startupScan_ && !openAtShow_.count(window)) continue;
            const WindowFacts facts = ReadFacts(window, pass.className == kClassQQ2009);
            const Recognition found = pass.match(facts);
            // A title that matched a rule but could not be cut: skip it.
            if (!found.taken()) continue;
            tried.insert(window);
            int code = found.code;
            TakeWin(window, found.tabText, facts.title, found.isGroup, code);
            after = nullptr;
        }
    }

    if (tabs_.Count() > 0) tabs_.SetSelected(tabs_.Count() - 1);
    host_.ShowMsg();
}

}  // namespace varnu
