// MessengerSim: stands in for the messenger in tests and demos. It opens
// look-alike conversation windows on command and records what they receive.
//
// Command line:
//   MessengerSim.exe                      control window only; tests open windows
//   MessengerSim.exe --demo               a handful of realistic conversations
//   MessengerSim.exe --open KIND TITLE    one window per --open (kinds: classic,
//                                         txgui, txgui-flash, basegui, other,
//                                         mainpanel, preview)
// The control channel is described in sim_protocol.h.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim_protocol.h"
#include "sim_windows.h"

namespace {

constexpr UINT kHangMessage = WM_APP + 1;
constexpr UINT kQuitMessage = WM_APP + 3;

HWND ToHwnd(uint64_t value) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(value)); }

void Reply(HWND control, uint64_t replyWindow, const void* data, size_t bytes) {
    if (!replyWindow) return;
    COPYDATASTRUCT cds{};
    cds.dwData = sim::kReplyTag;
    cds.cbData = static_cast<DWORD>(bytes);
    cds.lpData = const_cast<void*>(data);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(ToHwnd(replyWindow), WM_COPYDATA, reinterpret_cast<WPARAM>(control),
                          reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, 5000, &ignored);
}

LRESULT Execute(HWND control, const sim::Request& request, std::wstring_view text) {
    sim::Windows& windows = sim::TheWindows();
    const HWND window = ToHwnd(request.window);
    using sim::Command;
    switch (request.command) {
    case Command::Ping: return 1;
    case Command::Open: {
        sim::OpenSpec spec;
        spec.kind = request.kind;
        spec.input = request.input;
        spec.options = request.options;
        spec.style = request.style;
        spec.exStyle = request.exStyle;
        if (request.width > 0 && request.height > 0)
            spec.rect = RECT{request.x, request.y, request.x + request.width, request.y + request.height};
        spec.owner = ToHwnd(request.owner);
        spec.title = std::wstring(text);
        sim::OpenReply reply;
        HWND top = windows.Open(spec, reply);
        if (!top) return 0;
        Reply(control, request.replyWindow, &reply, sizeof(reply));
        return reinterpret_cast<LRESULT>(top);
    }
    case Command::AppendHistory: return windows.AppendHistory(window, text);
    case Command::ClearHistory: return windows.ClearHistory(window);
    case Command::SetInputText: return windows.SetInputText(window, text);
    case Command::Focus: return windows.Focus(window);
    case Command::SetTitle: return windows.SetTitle(window, text);
    case Command::Show: return windows.Show(window, request.value);
    case Command::Close: return windows.Close(window);
    case Command::Destroy: return windows.Destroy(window);
    case Command::SetCloseDestroys: return windows.SetCloseDestroys(window, request.value != 0);
    case Command::SetStyle: return windows.SetStyle(window, request.style, request.exStyle);
    case Command::Hang:
        // Answer first, then freeze: the caller must not be the one that hangs.
        return ::PostMessageW(control, kHangMessage, static_cast<WPARAM>(request.value), 0) ? 1 : 0;
    case Command::GetRecords: {
        const std::vector<sim::Record> records = windows.Records(window);
        // An empty payload still has to arrive, so it is never zero bytes long.
        static const sim::Record none{};
        if (records.empty())
            Reply(control, request.replyWindow, &none, 0);
        else
            Reply(control, request.replyWindow, records.data(), records.size() * sizeof(sim::Record));
        return 1;
    }
    case Command::ClearRecords: windows.ClearRecords(window); return 1;
    case Command::Traffic: return static_cast<LRESULT>(windows.Count(static_cast<sim::Traffic>(request.value)));
    case Command::Quit: return ::PostMessageW(control, kQuitMessage, 0, 0) ? 1 : 0;
    }
    return 0;
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        switch (msg) {
        case WM_COPYDATA: {
            const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (!cds || cds->dwData != sim::kRequestTag || cds->cbData < sizeof(sim::Request)) return 0;
            sim::Request request;
            std::memcpy(&request, cds->lpData, sizeof(request));
            if (request.size < sizeof(request) || request.size > cds->cbData) return 0;
            const size_t available = (cds->cbData - request.size) / sizeof(wchar_t);
            if (request.textChars > available) return 0;
            std::wstring text(request.textChars, L'\0');
            if (request.textChars)
                std::memcpy(text.data(), static_cast<const char*>(cds->lpData) + request.size,
                            request.textChars * sizeof(wchar_t));
            return Execute(hwnd, request, text);
        }
        case kHangMessage: ::Sleep(static_cast<DWORD>(wParam)); return 0;
        case sim::Windows::kDestroyLater: ::DestroyWindow(reinterpret_cast<HWND>(wParam)); return 0;
        case kQuitMessage:
            // The windows go with the process; destroying them one by one
            // first only makes quitting slower.
            ::PostQuitMessage(0);
            return 0;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default: return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

HWND CreateControlWindow() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ControlProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = sim::kControlClass;
    if (!::RegisterClassExW(&wc)) return nullptr;
    const std::wstring title = sim::ControlTitle(::GetCurrentProcessId());
    return ::CreateWindowExW(0, sim::kControlClass, title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

struct DemoChat {
    sim::Kind kind;
    sim::Input input;
    uint32_t options;
    const wchar_t* title;
    RECT rect;
    const wchar_t* history;
};

// Conversations whose titles follow the messenger's own patterns, so each
// recognition rule has an example on screen; tiled so none hides another.
void OpenDemo() {
    using sim::Input;
    using sim::Kind;
    static const DemoChat chats[] = {
        {Kind::Classic,
         Input::AfxFirst,
         0,
         L"与 张三 交谈中",
         {5, 5, 415, 495},
         L"张三  09:12:03\r\n  早上好，今天下午的评审还照常吗？\r\n"
         L"我  09:13:40\r\n  照常，两点在三楼会议室。\r\n"
         L"张三  09:14:02\r\n  好的，我把测试报告带上。\r\n"},
        {Kind::Classic,
         Input::AfxSecond,
         sim::Option::kContainer,
         L"多人聊天 － 项目组",
         {420, 5, 830, 495},
         L"王五  10:20:11\r\n  新版本的安装包已经放到共享目录了。\r\n"
         L"赵六  10:21:45\r\n  收到，我这边先装一台试试。\r\n"},
        {Kind::Classic,
         Input::RichEdit,
         0,
         L"李四 - 群",
         {835, 5, 1245, 495},
         L"李四  11:02:37\r\n  周末爬山的同学请在群里报名。\r\n"
         L"陈七  11:05:10\r\n  算我一个！\r\n"},
        {Kind::Classic,
         Input::AfxFirst,
         0,
         L"技术交流 － 高级群",
         {5, 500, 415, 990},
         L"周八  13:30:00\r\n  有人遇到过窗口重绘闪烁的问题吗？\r\n"},
        {Kind::TXGui,
         Input::AfxFirst,
         0,
         L"王五",
         {420, 500, 830, 990},
         L"王五  14:01:22\r\n  文档我改好了，你看一下第三节。\r\n"},
        {Kind::BaseGui, Input::AfxFirst, 0, L"赵六", {835, 500, 1085, 990}, L"赵六  15:45:09\r\n  晚上一起吃饭？\r\n"},
        {Kind::MainPanel, Input::None, 0, L"QQ", {1090, 500, 1275, 990}, nullptr},
    };
    sim::Windows& windows = sim::TheWindows();
    for (const DemoChat& chat : chats) {
        sim::OpenSpec spec;
        spec.kind = chat.kind;
        spec.input = chat.input;
        spec.options = chat.options | sim::Option::kNoActivate;
        spec.rect = chat.rect;
        spec.title = chat.title;
        sim::OpenReply reply;
        HWND top = windows.Open(spec, reply);
        if (top && chat.history) windows.AppendHistory(top, chat.history);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    HWND control = CreateControlWindow();
    if (!control) return 2;
    if (!sim::TheWindows().Initialise(control)) return 3;

    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--demo") {
            OpenDemo();
        } else if (arg == L"--open" && i + 2 < argc) {
            sim::OpenSpec spec;
            if (sim::ParseKind(argv[i + 1], spec.kind)) {
                spec.title = argv[i + 2];
                sim::OpenReply reply;
                sim::TheWindows().Open(spec, reply);
            }
            i += 2;
        }
    }
    if (argv) ::LocalFree(argv);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Seen here before dispatch, so a message a WH_GETMESSAGE hook has
        // rewritten shows up as what the hook made of it.
        sim::TheWindows().NoteQueued(msg);
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
