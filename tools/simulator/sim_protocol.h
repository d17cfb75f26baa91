#pragma once
// The control channel of MessengerSim, shared by the simulator and the test
// harness.
//
// Every simulator process owns one message-only window of class
// kControlClass titled ControlTitle(its process id), so several simulators can
// run side by side and each is addressed through its own process id:
//     FindWindowExW(HWND_MESSAGE, nullptr, kControlClass, ControlTitle(pid))
//
// A command is a WM_COPYDATA sent to that window: COPYDATASTRUCT::dwData holds
// kRequestTag, lpData a Request followed directly by Request::textChars
// UTF-16 units (no terminator). SendMessage returns 0 when the command failed,
// otherwise 1, or for Open the top-level window's handle.
//
// Commands that return data (Open, GetRecords) send it back before they
// return: a WM_COPYDATA to Request::replyWindow with dwData = kReplyTag and
// the payload described at the command. The caller's thread receives it while
// it waits in its own SendMessage, so no message loop is needed on that side.
//
// All handles travel as 64-bit numbers so that 32- and 64-bit builds agree.
#include <windows.h>

#include <cstdint>
#include <string>

namespace sim {

inline constexpr wchar_t kControlClass[] = L"VarnuMessengerSimControl";
inline std::wstring ControlTitle(DWORD processId) { return L"MessengerSim " + std::to_wstring(processId); }

inline constexpr ULONG_PTR kRequestTag = 0x53494D31;  // 'SIM1'
inline constexpr ULONG_PTR kReplyTag = 0x53494D52;    // 'SIMR'

// Classes the simulator registers for its messenger look-alikes.
inline constexpr wchar_t kClassTXGui[] = L"TXGuiFoundation";
inline constexpr wchar_t kClassBaseGui[] = L"BaseGui";
inline constexpr wchar_t kClassAfx[] = L"AfxWnd42";
inline constexpr wchar_t kClassQQBar[] = L"Tencent_QQBar";
inline constexpr wchar_t kClassShellEmbedding[] = L"Shell Embedding";
inline constexpr wchar_t kClassFlash[] = L"MacromediaFlashPlayerActiveX";
// A top-level class no recognition rule knows, with a conversation's layout.
inline constexpr wchar_t kClassOther[] = L"MessengerSimOther";
// Hidden owners made for Option::kOwned.
inline constexpr wchar_t kClassOwner[] = L"MessengerSimOwner";

// The QQ2009 conversation look.
inline constexpr DWORD kTXGuiStyle = 0x960F0000;
inline constexpr DWORD kTXGuiExStyle = 0x300;

enum class Command : uint32_t {
    Ping = 1,          // -> 1
    Open,              // kind, input, options, style/exStyle, x/y/width/height, owner, text = title
                       //    -> top-level HWND; replies with one OpenReply
    AppendHistory,     // window (top-level or history control), text in UTF-16, stored as
                       //    UTF-16 -> 1; 0 when the window has no history
    ClearHistory,      // window -> 1
    SetTitle,          // window, text -> 1
    Show,              // window, value = SW_* command -> 1
    Close,             // window: the window is sent WM_CLOSE, as by its close button -> 1
    Destroy,           // window: DestroyWindow -> 1
    SetCloseDestroys,  // window, value = 0 or 1 -> 1
    SetStyle,          // window, style, exStyle: written and re-read -> 1 when read back equal
    Hang,              // value = milliseconds; the UI thread sleeps after answering -> 1
    GetRecords,        // window (0 = all) -> 1; replies with Record[] of that window's tree
    ClearRecords,      // window (0 = all) -> 1
    SetInputText,      // window, text -> 1
    Quit,              // ends the process after answering; its windows go with it -> 1
    Focus,             // window: its input box takes the keyboard focus -> 1 when it has it
    Traffic,           // value = Traffic counter -> its count since the start
};

// What the simulated windows have been put through, counted since the start.
enum class Traffic : uint32_t {
    SentByOthers = 0,  // messages other threads sent to them (a round trip each)
    Moved = 1,         // WM_WINDOWPOSCHANGED: moves, sizes and z-order changes
    Painted = 2,       // WM_PAINT
};

// Which messenger window to imitate.
enum class Kind : uint32_t {
    Classic = 1,  // "#32770" conversation window
    TXGui,        // "TXGuiFoundation", by default exactly kTXGuiStyle / kTXGuiExStyle
    TXGuiFlash,   // "TXGuiFoundation" with "Static" -> "MacromediaFlashPlayerActiveX",
                  //   an ordinary captioned style unless one is given
    BaseGui,      // "BaseGui"
    Other,        // kClassOther, with a conversation's layout
    MainPanel,    // "#32770" main panel with an empty-titled "Tencent_QQBar" child
    Preview,      // "TXGuiFoundation" (title defaults to "QQ2009 Preview") with an
                  //   empty-titled "Shell Embedding" child, style kTXGuiStyle / kTXGuiExStyle
};

// The "RichEdit20A" and "RICHEDIT" controls answer WM_GETTEXTLENGTH with the
// ANSI byte count of their text (line breaks as CR LF) and WM_GETTEXT with
// the text cut to the buffer, as a peer reading them in the ANSI code page
// expects. The history keeps its text in UTF-16 and answers the wide
// messages with all of it.

// Where the input box of a conversation kind lives (ignored by MainPanel and
// Preview, which have neither history nor input box).
enum class Input : uint32_t {
    Default = 0,  // AfxFirst
    RichEdit,     // a "RICHEDIT" child of the container
    AfxFirst,     // "AfxWnd42" child of the container holding the "RichEdit20A" input
    AfxSecond,    // first "AfxWnd42" empty, the second holds the "RichEdit20A" input
    AfxNeither,   // two "AfxWnd42" children, neither holds an input box
    None,         // no input box at all
};

// Bit flags of Request::options.
namespace Option {
inline constexpr uint32_t kContainer = 0x0001;    // controls inside a child "#32770"
inline constexpr uint32_t kNoHistory = 0x0002;    // no "RichEdit20A" history control
inline constexpr uint32_t kOwned = 0x0004;        // owned by Request::owner, or by a hidden window made for it
inline constexpr uint32_t kLayered = 0x0008;      // WS_EX_LAYERED (fully opaque)
inline constexpr uint32_t kMaximized = 0x0010;    // shown maximised
inline constexpr uint32_t kMinimized = 0x0020;    // shown minimised
inline constexpr uint32_t kHidden = 0x0040;       // never shown
inline constexpr uint32_t kKeepOnClose = 0x0080;  // WM_CLOSE is recorded but does not destroy
inline constexpr uint32_t kExactStyle = 0x0100;   // force Request::style / exStyle after showing
inline constexpr uint32_t kNoActivate = 0x0200;   // shown without activation
}  // namespace Option

#pragma pack(push, 8)
struct Request {
    uint32_t size = sizeof(Request);  // of this header; text follows at this offset
    Command command = Command::Ping;
    uint64_t window = 0;       // the window the command is about
    uint64_t replyWindow = 0;  // where data-returning commands send their reply
    Kind kind = Kind::Classic;
    Input input = Input::Default;
    uint32_t options = 0;
    uint32_t style = 0;    // with Option::kExactStyle
    uint32_t exStyle = 0;  // with Option::kExactStyle
    int32_t value = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;  // outer rectangle; width 0 = default placement
    uint64_t owner = 0;                           // with Option::kOwned; 0 = a hidden owner of the simulator's own
    uint32_t textChars = 0;
    uint32_t reserved = 0;
};

// Handles of what Open made; 0 where the kind or options have no such window.
struct OpenReply {
    uint64_t top = 0;
    uint64_t container = 0;       // the child "#32770" (Option::kContainer)
    uint64_t history = 0;         // "RichEdit20A"
    uint64_t input = 0;           // "RICHEDIT" or the "RichEdit20A" inside an "AfxWnd42"
    uint64_t afx1 = 0;            // first "AfxWnd42"
    uint64_t afx2 = 0;            // second "AfxWnd42"
    uint64_t flashHolder = 0;     // "Static" of Kind::TXGuiFlash
    uint64_t flash = 0;           // "MacromediaFlashPlayerActiveX"
    uint64_t bar = 0;             // "Tencent_QQBar" of Kind::MainPanel
    uint64_t shellEmbedding = 0;  // "Shell Embedding" of Kind::Preview
    uint64_t owner = 0;
    uint32_t style = 0;    // GWL_STYLE read back after creation
    uint32_t exStyle = 0;  // GWL_EXSTYLE read back after creation
};

// How a recorded message arrived.
enum class Via : uint32_t {
    Procedure = 1,  // reached a window procedure (sent or dispatched)
    Queue = 2,      // taken from the thread's queue by GetMessage, before dispatch; this is
                    //   what a WH_GETMESSAGE hook may have rewritten (WM_NULL then)
};

// One message a simulated window received. Recorded in the window procedures:
// WM_CLOSE, WM_SETFOCUS, WM_KILLFOCUS, WM_KEYDOWN/UP, WM_SYSKEYDOWN/UP,
// WM_CHAR, WM_MOUSEWHEEL, WM_LBUTTONDOWN/UP, WM_RBUTTONDOWN/UP, WM_CONTEXTMENU,
// WM_SYSCOMMAND, WM_NULL. Recorded from the queue: WM_NULL, key, mouse button,
// wheel and WM_CLOSE messages addressed to a simulated window.
struct Record {
    uint32_t sequence = 0;  // increases by one per record, process-wide
    Via via = Via::Procedure;
    uint64_t window = 0;  // the receiving window
    uint64_t top = 0;     // its simulated top-level window
    uint32_t message = 0;
    uint32_t reserved = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};
#pragma pack(pop)

}  // namespace sim
