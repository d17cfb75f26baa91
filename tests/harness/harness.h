#pragma once
// End-to-end test harness: starts Varnu.exe and the messenger simulator
// (MessengerSim.exe) in throw-away folders and looks at them from outside,
// the way a user sees them.
//
// Everything here cleans up after itself in destructors: program folders are
// removed, processes that a harness object started are ended through the
// handle it got from CreateProcess (never by name).
//
// Threading: use one harness object from one thread. Simulator commands that
// return data make the simulator call back into a message-only window owned
// by the thread that created the Simulator object.
//
// Typical use:
//     e2e::ProgramFolder folder;
//     folder.WriteIni(L"[Settings]\r\ntab_Bottom=1\r\n");
//     e2e::Simulator messenger;
//     auto chat = messenger.Open(sim::Kind::Classic, L"与 张三 交谈中");
//     e2e::VarnuApp varnu(folder);
//     HWND main = varnu.WaitForMainWindow();
//     ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::Parent(chat.top) != nullptr; }));
//     e2e::RemoteTabs tabs(varnu.TabWindow());
//     EXPECT_EQ(tabs.Captions(), std::vector<std::wstring>{L"张三"});
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim_protocol.h"
#include "win32/handles.h"

namespace e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Default bound for waits that should finish "at once" in a healthy system.
inline constexpr Millis kDefaultWait = 5000ms;

// ---------------------------------------------------------------------------
// Waiting

// Polls `predicate` every `interval` until it returns true or `timeout`
// passes; returns the last result. Messages of the calling thread are pumped
// between polls. The predicate is always evaluated at least once, and once
// more after the deadline.
bool WaitUntil(const std::function<bool()>& predicate, Millis timeout = kDefaultWait, Millis interval = 20ms);

// Sleeps while pumping the calling thread's messages (for "nothing happens
// within t" checks).
void Pause(Millis duration);

// A "set.ini" that keeps Varnu quiet for tests: no tray on the last tab, no
// close-to-tray, no exit question, no messenger launch, no automatic switch,
// no global hot key, the window at the screen's corner.
inline constexpr wchar_t kQuietSettings[] =
    L"[Settings]\r\n"
    L"tray_AutoMin=0\r\n"
    L"tray_CloseTray=0\r\n"
    L"org_ExitMsg=0\r\n"
    L"org_AutoRun=0\r\n"
    L"org_AutoSwitch=0\r\n"
    L"hot_Enabled=0\r\n"
    L"win_Status=0\r\n"
    L"win_X=0\r\n"
    L"win_Y=0\r\n";

// The window is captured: it has a parent and lies inside Varnu's main window.
inline bool IsTakenInto(HWND window, HWND main) {
    return ::GetParent(window) != nullptr && ::GetAncestor(window, GA_ROOT) == main;
}

// ---------------------------------------------------------------------------
// Files and folders

// Folder of the running test executable (where Varnu.exe, Varnu.dll and
// MessengerSim.exe are built).
std::wstring TestExeFolder();

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);                    // empty when missing
void WriteFileBytes(const std::wstring& path, std::string_view bytes);  // throws on failure

// A fresh program folder under %TEMP% holding a copy of Varnu.exe (and
// Varnu.dll when it was built), removed with everything in it on
// destruction. Throws std::runtime_error when it cannot be made.
class ProgramFolder {
public:
    explicit ProgramFolder(bool copyHookLibrary = true);
    // A folder somebody else made (an unpacked release): nothing is copied
    // into it and it is left in place.
    struct Existing {};
    ProgramFolder(Existing, std::wstring path) : path_(std::move(path)), owned_(false) {}
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring File(std::wstring_view name) const { return JoinPath(path_, name); }
    std::wstring ExePath() const { return File(L"Varnu.exe"); }

    // "set.ini": written from UTF-16 text converted to `codePage` (CP_ACP: the
    // code page the tests run under), or as raw bytes; no BOM is written.
    void WriteIni(std::wstring_view text, UINT codePage = CP_ACP) const;
    void WriteIniBytes(std::string_view bytes) const;
    void RemoveIni() const;
    bool IniExists() const;
    std::string ReadIniBytes() const;
    std::wstring ReadIniText(UINT codePage = CP_ACP) const;

    // Keys and values of a section, read from the file with
    // GetPrivateProfileStringW (so as Windows parses it).
    std::optional<std::wstring> IniValue(std::wstring_view key, std::wstring_view section = L"Settings") const;
    std::vector<std::wstring> IniKeys(std::wstring_view section = L"Settings") const;

private:
    std::wstring path_;
    bool owned_ = true;
};

// ---------------------------------------------------------------------------
// Processes

struct LaunchOptions {
    std::wstring workingFolder;  // empty: the executable's folder
    std::wstring arguments;      // appended after the quoted program path
    // Added to (or replacing in) the test's own environment; an empty value
    // removes the variable.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
};

// A process this harness started. Ends it (TerminateProcess on our own
// handle) on destruction if it is still running.
class Process {
public:
    Process() = default;
    // Throws std::runtime_error when CreateProcessW fails.
    static Process Start(const std::wstring& exePath, const LaunchOptions& options = {});
    // A running process somebody else started; throws when it cannot be opened.
    static Process Attach(DWORD id);
    ~Process();
    Process(Process&&) noexcept = default;
    Process& operator=(Process&& other) noexcept;

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return handle_.get(); }
    explicit operator bool() const { return static_cast<bool>(handle_); }
    bool IsRunning() const;
    // The exit code once the process has ended within `timeout`.
    std::optional<DWORD> WaitForExit(Millis timeout = kDefaultWait) const;
    void Terminate(UINT exitCode = 1);

private:
    win32::UniqueHandle handle_;
    DWORD id_ = 0;
};

// ---------------------------------------------------------------------------
// Looking at windows from outside

// Top-level windows of a process in z-order (EnumWindows).
std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly = true);
// Direct children in z-order (FindWindowExW over the parent).
std::vector<HWND> ChildWindows(HWND parent);
// All descendants, depth first in z-order.
std::vector<HWND> DescendantWindows(HWND parent);
// n-th (0-based) direct child of the class, or nullptr.
HWND FindChild(HWND parent, std::wstring_view className, int index = 0);
// First descendant of the class, depth first, or nullptr.
HWND FindDescendant(HWND parent, std::wstring_view className);

std::wstring Caption(HWND hwnd);  // GetWindowText without sending (never blocks)
std::wstring ClassName(HWND hwnd);
DWORD Style(HWND hwnd);
DWORD ExStyle(HWND hwnd);
HWND Parent(HWND hwnd);                            // GetParent: parent, or owner for a top-level window
HWND Owner(HWND hwnd);                             // GetWindow(GW_OWNER)
HWND Ancestor(HWND hwnd, UINT flags = GA_PARENT);  // GetAncestor
DWORD ProcessOf(HWND hwnd);
bool IsVisible(HWND hwnd);   // IsWindowVisible: WS_VISIBLE on it and every parent
RECT WindowRect(HWND hwnd);  // screen coordinates
RECT ClientRect(HWND hwnd);  // client coordinates (left/top 0)
RECT ClientRectOnScreen(HWND hwnd);
inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

// Text of a control read as Varnu reads a history: WM_GETTEXTLENGTH, then
// WM_GETTEXT in the ANSI code page with a buffer of n + 1 bytes, converted
// with CP_ACP. Bounded waits; empty when the window does not answer.
std::optional<std::wstring> AnsiControlText(HWND hwnd, UINT timeoutMs = 2000);
// The same through the wide messages.
std::optional<std::wstring> WideControlText(HWND hwnd, UINT timeoutMs = 2000);
// SendMessageTimeout with SMTO_ABORTIFHUNG; empty when the window did not answer.
std::optional<LRESULT> SendBounded(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs = 2000);

// Texts of all descendants (captions as stored, no messages sent), depth first.
std::vector<std::wstring> ChildTexts(HWND parent);

// ---------------------------------------------------------------------------
// The tab window of another process

// First descendant of class "SysTabControl32", or nullptr.
HWND FindTabWindow(HWND mainWindow);

// Reads a "SysTabControl32" that lives in another process. Item texts and
// rectangles go through a buffer allocated in that process.
class RemoteTabs {
public:
    explicit RemoteTabs(HWND tabWindow);
    HWND Hwnd() const { return tab_; }
    int Count() const;                                     // TCM_GETITEMCOUNT, -1 when it does not answer
    int Selected() const;                                  // TCM_GETCURSEL
    std::optional<std::wstring> Caption(int index) const;  // TCM_GETITEMW
    std::vector<std::wstring> Captions() const;
    std::optional<RECT> ItemRect(int index) const;  // TCM_GETITEMRECT, client coordinates
    // What a tab shows besides its caption: the highlight (TCIS_HIGHLIGHTED)
    // and the quiet mark its owner keeps in the tab's application value.
    struct Marks {
        bool highlighted = false;
        bool quiet = false;
    };
    std::optional<Marks> ItemMarks(int index) const;
    // Presses and releases the left (or right) button in the middle of a tab
    // (posted mouse messages).
    bool ClickTab(int index, bool right = false) const;

private:
    HWND tab_;
};

// Texts of the first column of a list view of another process, top to bottom.
std::vector<std::wstring> ListViewTexts(HWND list);

// ---------------------------------------------------------------------------
// Varnu itself

// Varnu.exe started from a ProgramFolder (working folder: that folder unless
// options say otherwise). Terminated on destruction if still running.
class VarnuApp {
public:
    explicit VarnuApp(const ProgramFolder& folder, LaunchOptions options = {});
    VarnuApp(const VarnuApp&) = delete;
    VarnuApp& operator=(const VarnuApp&) = delete;

    Process& Proc() { return process_; }
    DWORD Id() const { return process_.Id(); }

    // Waits for the main window: a top-level window of the process whose
    // class is `className`, or, with an empty class, whose caption starts
    // with "Varnu". Visible windows are preferred, hidden ones are accepted
    // (the program may start in the tray). nullptr on timeout.
    HWND WaitForMainWindow(Millis timeout = kDefaultWait, std::wstring_view className = {});
    HWND MainWindow() const { return main_; }
    // The tab window inside the main window (FindTabWindow).
    HWND TabWindow() const;
    std::vector<HWND> Windows(bool visibleOnly = true) const;

    // Posts WM_CLOSE to the main window.
    void RequestClose() const;
    std::optional<DWORD> WaitForExit(Millis timeout = kDefaultWait) const { return process_.WaitForExit(timeout); }

private:
    Process process_;
    HWND main_ = nullptr;
};

// The number overlay shown while Ctrl is held: the digits of the visible
// children of the main window that show " 1", " 2" …, in ascending order.
std::vector<std::wstring> VisibleTabNumbers(HWND main);

// ---------------------------------------------------------------------------
// Message boxes

// Visible top-level "#32770" windows of the process.
std::vector<HWND> SystemMessageBoxes(DWORD processId);
// A visible top-level "#32770" window of the process with this title.
HWND WaitForMessageBox(DWORD processId, std::wstring_view title, Millis timeout = kDefaultWait);
// The first start's warning that "set.ini" is missing: waited for, its text
// checked and answered with OK. False when any of it did not happen.
bool AcceptFirstRunWarning(DWORD processId, Millis timeout = kDefaultWait);
// The message of a system message box: its "Static" text (the one with
// control id 0xFFFF when present, else all non-empty Static texts joined by
// "\n").
std::wstring MessageBoxText(HWND box);
// Answers a system message box with IDOK, IDYES, IDNO, IDCANCEL …: posts
// WM_COMMAND(id, BN_CLICKED) to the box. False when it has no such button.
bool AnswerMessageBox(HWND box, int buttonId);

// The program's own error box: a visible top-level window of the process
// captioned "错误". nullptr on timeout.
HWND WaitForErrorBox(DWORD processId, Millis timeout = kDefaultWait);
// Descendant whose caption equals `text` (for example the "确定" button).
HWND FindChildByText(HWND parent, std::wstring_view text);
// A left click (posted WM_LBUTTONDOWN/UP in the middle of the window).
void Click(HWND hwnd);

// ---------------------------------------------------------------------------
// Input, posted to one window (so it passes through its thread's queue and
// any WH_GETMESSAGE hook there)

void PostKey(HWND hwnd, UINT virtualKey, bool down, bool repeat = false);
// Mouse messages carry client coordinates; nullopt means the client centre.
void PostMouse(HWND hwnd, UINT message, WPARAM keys, std::optional<POINT> client = std::nullopt);
// WM_MOUSEWHEEL with delta (+120: away from the user) and the key state
// (MK_RBUTTON, MK_CONTROL) at the window's centre in screen coordinates.
void PostWheel(HWND hwnd, int delta, WPARAM keys = 0);

// ---------------------------------------------------------------------------
// The messenger simulator

struct SimWindow {
    HWND top = nullptr;
    HWND container = nullptr;
    HWND history = nullptr;
    HWND input = nullptr;
    HWND afx1 = nullptr;
    HWND afx2 = nullptr;
    HWND flashHolder = nullptr;
    HWND flash = nullptr;
    HWND bar = nullptr;
    HWND shellEmbedding = nullptr;
    HWND owner = nullptr;
    DWORD style = 0;  // as read back right after creation
    DWORD exStyle = 0;
    explicit operator bool() const { return top != nullptr; }
};

struct SimOpen {
    sim::Input input = sim::Input::Default;
    uint32_t options = 0;                               // sim::Option flags
    std::optional<std::pair<DWORD, DWORD>> exactStyle;  // style, ex-style to force
    std::optional<RECT> rect;                           // outer rectangle on screen
    HWND owner = nullptr;                               // with sim::Option::kOwned; nullptr: a hidden owner of its own

    // Chainable setters, e.g. SimOpen().WithInput(sim::Input::RichEdit).WithOptions(sim::Option::kContainer)
    SimOpen& WithInput(sim::Input value) {
        input = value;
        return *this;
    }
    SimOpen& WithOptions(uint32_t value) {
        options |= value;
        return *this;
    }
    SimOpen& WithExactStyle(DWORD style, DWORD exStyle) {
        exactStyle.emplace(style, exStyle);
        return *this;
    }
    SimOpen& WithRect(const RECT& value) {
        rect = value;
        return *this;
    }
    SimOpen& OwnedBy(HWND value) {
        owner = value;
        options |= sim::Option::kOwned;
        return *this;
    }
};

// One MessengerSim.exe process (from the test executable's folder) and its
// control channel. Commands wait up to 10 s for an answer: under Wine on a
// display without a window manager, hiding or destroying a shown top-level
// window (and re-parenting it) can take about two seconds each, because Wine
// waits for a window manager that never answers; setting the Wine registry
// value HKCU\Software\Wine\X11 Driver\Managed = "N" removes that wait. The destructor asks it to quit and then
// terminates it by handle. Throws std::runtime_error when it cannot be started or its control window does not appear.
class Simulator {
public:
    explicit Simulator(LaunchOptions options = {});
    // A simulator started by somebody else (Varnu, as its messenger).
    explicit Simulator(Process running);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    DWORD Id() const { return process_.Id(); }
    Process& Proc() { return process_; }
    HWND ControlWindow() const { return control_; }

    // Opens a window; an empty result when the command failed.
    SimWindow Open(sim::Kind kind, std::wstring_view title, const SimOpen& how = {});

    // `window` is the top-level window (or for history commands the history
    // control itself). False when the simulator refused or did not answer.
    bool AppendHistory(HWND window, std::wstring_view text);
    bool ClearHistory(HWND window);
    bool SetInputText(HWND window, std::wstring_view text);
    bool Focus(HWND window);  // the input box takes the keyboard focus
    bool SetTitle(HWND window, std::wstring_view title);
    bool Show(HWND window, int showCommand);  // SW_HIDE, SW_SHOW, SW_MAXIMIZE …
    bool Hide(HWND window) { return Show(window, SW_HIDE); }
    bool Close(HWND window);    // WM_CLOSE from the window's own thread
    bool Destroy(HWND window);  // DestroyWindow
    bool SetCloseDestroys(HWND window, bool destroys);
    bool SetStyle(HWND window, DWORD style, DWORD exStyle);  // true when read back equal
    // Makes the UI thread sleep for `duration` right after answering.
    bool Hang(Millis duration);
    bool Ping(UINT timeoutMs = 2000);

    // Messages recorded for `window` and every window of its tree (by the
    // top-level window they were made for), oldest first; all with nullptr.
    // Posted input is recorded only once the simulator has taken it from its
    // queue: wait for it with WaitForRecord.
    std::vector<sim::Record> Records(HWND window = nullptr);
    bool ClearRecords(HWND window = nullptr);
    // How many messages of that kind the simulated windows have had so far.
    std::uint64_t Traffic(sim::Traffic what);
    // Waits until a record of `message` (and `via`, when given) exists for
    // the window's tree; returns it.
    std::optional<sim::Record> WaitForRecord(HWND window, UINT message, std::optional<sim::Via> via = std::nullopt,
                                             Millis timeout = kDefaultWait);

    // The simulator's top-level windows (its control window is message-only
    // and never among them).
    std::vector<HWND> Windows(bool visibleOnly = true) const { return TopLevelWindows(Id(), visibleOnly); }

private:
    LRESULT Send(const sim::Request& request, std::wstring_view text, UINT timeoutMs = 10000);
    Process process_;
    HWND control_ = nullptr;
    win32::UniqueWindow reply_;
};

// A benchmark's whole run: an exception is printed and makes the result 1.
int RunBenchmark(const std::function<int()>& run);

// Name of a message for failure output ("WM_CLOSE", "0x0401" …).
std::string MessageName(UINT message);

}  // namespace e2e
