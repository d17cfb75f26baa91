// The new-message poll against real history controls in this process: what
// crosses to a history each tick, how the text is read and counted, and
// what a change does to tabs, caption, tray and selection.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "controls/tabcontrol/tab_control.h"
#include "main/main_window.h"
#include "main/new_message.h"
#include "main/tray.h"
#include "win32/strconv.h"

namespace varnu {
namespace {

// --- history controls ------------------------------------------------------------

// Counts what reaches a history, passing everything on.
struct Counts {
    int lengthQueries = 0;
    int textReads = 0;
};
std::vector<std::pair<HWND, Counts*>> g_counted;
WNDPROC g_editProc = nullptr;

Counts* CountsOf(HWND hwnd) {
    for (auto& [h, c] : g_counted)
        if (h == hwnd) return c;
    return nullptr;
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (Counts* c = CountsOf(hwnd)) {
        if (msg == WM_GETTEXTLENGTH) ++c->lengthQueries;
        if (msg == WM_GETTEXT) ++c->textReads;
    }
    return ::CallWindowProcA(g_editProc, hwnd, msg, wParam, lParam);
}

// One top-level window for the run (under Wine a destroyed top-level window
// waits for the display); each test makes its children.
HWND Top() {
    static const HWND top = ::CreateWindowExW(0, L"STATIC", L"Varnu", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 30, 30,
                                              500, 300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    return top;
}

// A Unicode window, as a messenger that shows every language keeps its
// history: its wide text survives any system code page.
HWND MakeEdit(const char* text) {
    HWND edit = ::CreateWindowExW(0, L"EDIT", win32::AnsiToWide(text).c_str(), WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL,
                                  0, 0, 100, 50, Top(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    return edit;
}

void SetHistory(HWND history, const std::string& text) { ::SetWindowTextA(history, text.c_str()); }

void Append(HWND history, const std::wstring& more) {
    const int n = ::GetWindowTextLengthW(history);
    std::wstring all(static_cast<size_t>(n) + 1, L'\0');
    ::GetWindowTextW(history, all.data(), n + 1);
    all.resize(static_cast<size_t>(n));
    ::SetWindowTextW(history, (all + more).c_str());
}
void Append(HWND history, const std::string& more) { Append(history, win32::AnsiToWide(more)); }

// A control whose length query names an upper bound, as some controls do
// for their ANSI length: the buffer has NULs to spare after the text.
LRESULT CALLBACK GenerousProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GETTEXTLENGTH) return ::DefWindowProcA(hwnd, msg, wParam, lParam) + 4;
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A window on a thread that stops taking messages, like a hung messenger.
class HungPeer {
public:
    HungPeer() {
        worker_ = std::thread([this] {
            window_ = ::CreateWindowExA(0, "EDIT", "abc", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
            ready_ = true;
            while (!release_) ::Sleep(10);  // no message loop meanwhile
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
            ::DestroyWindow(window_);
        });
        while (!ready_) ::Sleep(5);
    }
    ~HungPeer() {
        release_ = true;
        worker_.join();
    }
    HWND Window() const { return window_; }

private:
    std::thread worker_;
    HWND window_ = nullptr;
    std::atomic<bool> ready_{false};
    std::atomic<bool> release_{false};
};

LinkPtr Record(HWND history, const std::wstring& title, std::int32_t msg) {
    auto node = std::make_shared<clsLink>();
    node->chatHwnd = ToId(history);
    node->Title = title;
    node->Msg = msg;
    return node;
}

// The baseline capture gives a record: characters of the history plus one.
std::int32_t Baseline(HWND history) { return ::GetWindowTextLengthW(history) + 1; }

// --- the poll of one record ----------------------------------------------------------

// One record's measurement, its length kept as the poll keeps it.
HistoryPoll PollHistory(clsLink& node, std::wstring& text, bool lengthFirst = true) {
    HistoryMeasure m;
    m.history = ToHwnd(node.chatHwnd);
    m.lastQueried = node.MsgQueried;
    MeasureHistory(m, kHistoryTimeoutMs, lengthFirst);
    if (m.outcome == HistoryPoll::Read) {
        text = m.text;
        if (lengthFirst) node.MsgQueried = m.queried;
    }
    return m.outcome;
}

class HistoryPollTest : public ::testing::Test {
protected:
    Counts counts;
    HWND edit = nullptr;
    void SetUp() override {
        ASSERT_NE(Top(), nullptr);
        edit = MakeEdit("hello");
        ASSERT_NE(edit, nullptr);
        g_editProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
        g_counted.push_back({edit, &counts});
    }
    void TearDown() override {
        g_counted.clear();
        ::DestroyWindow(edit);
    }
};

TEST_F(HistoryPollTest, TextIsReadOnlyWhenTheLengthMoved) {
    clsLink node;
    node.chatHwnd = ToId(edit);
    std::wstring text;
    ASSERT_EQ(PollHistory(node, text), HistoryPoll::Read);  // never queried: read
    EXPECT_EQ(text, std::wstring(L"hello", 6));             // with its NUL
    EXPECT_EQ(node.MsgQueried, 5);
    EXPECT_EQ(counts.textReads, 1);

    counts = {};
    for (int tick = 0; tick < 5; ++tick) EXPECT_EQ(PollHistory(node, text), HistoryPoll::Unchanged);
    EXPECT_EQ(counts.textReads, 0);
    EXPECT_EQ(counts.lengthQueries, 5);  // one cheap question per tick

    Append(edit, "\r\nworld");
    counts = {};
    ASSERT_EQ(PollHistory(node, text), HistoryPoll::Read);
    EXPECT_EQ(text, std::wstring(L"hello\r\nworld", 13));
    EXPECT_EQ(counts.textReads, 1);

    // A history emptied by the user is a change as well.
    SetHistory(edit, "");
    ASSERT_EQ(PollHistory(node, text), HistoryPoll::Read);
    EXPECT_EQ(text, std::wstring(1, L'\0'));
    EXPECT_EQ(node.MsgQueried, 0);

    // The full-read form reads every time, as the old poll did.
    counts = {};
    EXPECT_EQ(PollHistory(node, text, false), HistoryPoll::Read);
    EXPECT_EQ(counts.textReads, 1);
}

TEST(HistoryRead, OverCountedLengthAndMissingPeers) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = GenerousProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = "GenerousHistory";
        return ::RegisterClassA(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    HWND generous = ::CreateWindowExA(0, "GenerousHistory", "abc", WS_CHILD, 0, 0, 10, 10, Top(), nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
    std::wstring text;
    ASSERT_TRUE(ReadHistoryText(generous, text));
    EXPECT_EQ(text, std::wstring(L"abc\0", 4));  // n = 7 over-counts: the NULs after the text do not count
    ::DestroyWindow(generous);

    clsLink none;
    EXPECT_EQ(PollHistory(none, text), HistoryPoll::NoAnswer);

    HWND gone = MakeEdit("x");
    ::DestroyWindow(gone);
    clsLink vanished;
    vanished.chatHwnd = ToId(gone);
    EXPECT_EQ(PollHistory(vanished, text), HistoryPoll::NoAnswer);
    EXPECT_EQ(vanished.MsgQueried, kNeverQueried);
}

TEST(HistoryRead, RichEditHistoryOfTheMessengersKind) {
    ASSERT_NE(::LoadLibraryW(L"riched20.dll"), nullptr);
    HWND rich = ::CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | ES_MULTILINE, 0, 0, 100, 50, Top(), nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(rich, nullptr);
    SetHistory(rich, "first line");
    clsLink node;
    node.chatHwnd = ToId(rich);
    node.Msg = Baseline(rich);
    std::wstring text;
    ASSERT_EQ(PollHistory(node, text), HistoryPoll::Read);
    EXPECT_EQ(static_cast<std::int32_t>(text.size()), node.Msg);  // the poll agrees with the baseline
    EXPECT_EQ(PollHistory(node, text), HistoryPoll::Unchanged);
    Append(rich, "second");
    ASSERT_EQ(PollHistory(node, text), HistoryPoll::Read);
    EXPECT_EQ(text.substr(0, 16), L"first linesecond");
    ::DestroyWindow(rich);
}

// --- the tick ----------------------------------------------------------------------------

struct TrayCall {
    DWORD message;
    UINT flags;
    std::wstring tip, title, info;
};
class RecordingShell : public TrayShell {
public:
    std::vector<TrayCall> calls;
    BOOL Notify(DWORD message, const NOTIFYICONDATAW& d) override {
        calls.push_back({message, d.uFlags, d.szTip, d.szInfoTitle, d.szInfo});
        return TRUE;
    }
    std::vector<TrayCall> Balloons() const {
        std::vector<TrayCall> out;
        for (const auto& c : calls)
            if (c.flags == kTrayFlagsFull) out.push_back(c);
        return out;
    }
    std::vector<std::wstring> Tips() const {
        std::vector<std::wstring> out;
        for (const auto& c : calls)
            if (c.flags == kTrayFlagsTip) out.push_back(c.tip);
        return out;
    }
};

class CheckTest : public ::testing::Test {
protected:
    HWND area = nullptr;
    TabControl tabs;
    RecordingShell shell;
    TrayIcon tray{&shell};
    std::vector<HWND> histories;
    LinkPtr list = MakeWinList();
    int curIndex = 1;
    bool mainActive = true;
    std::vector<HWND> flashed;
    std::vector<int> changed;
    MessageCheckTarget target;

    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES};
        ::InitCommonControlsEx(&icc);
        ASSERT_NE(Top(), nullptr);
        ::SetWindowTextW(Top(), L"Zhang - Varnu");
        ::SetWindowLongPtrW(Top(), GWL_STYLE, ::GetWindowLongPtrW(Top(), GWL_STYLE) | WS_MAXIMIZEBOX);
        area = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 480, 200, Top(), nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(tabs.CreateHost(area, 0, 0, 480, 60));
        for (const auto& [title, text] :
             {std::pair<std::wstring, const char*>{L"Zhang", "hello"}, {L"Li", "hi"}, {L"Wang", "hey"}}) {
            HWND h = MakeEdit(text);
            histories.push_back(h);
            list->insertNode(Record(h, title, Baseline(h)));
            tabs.AddItem(title);
        }
        tabs.SetSelected(0);
        // As the main window answers a selection: the record becomes current.
        tabs.events.Changed = [this](int& index) {
            changed.push_back(index);
            curIndex = index + 1;
        };
        tray.Attach(nullptr, nullptr, 0, 1000);
        tray.AddTrayIcon();
        shell.calls.clear();

        target.list = list;
        target.curIndex = &curIndex;
        target.mainActive = &mainActive;
        target.settings = MessageSettings{1, 0, 0, 0};
        target.tabs = &tabs;
        target.main = Top();
        target.tray = &tray;
        target.flash = [this](HWND h) { flashed.push_back(h); };
        Tick();  // the first tick after capture only learns the lengths
        ASSERT_TRUE(shell.calls.empty());
    }
    void TearDown() override {
        tabs.events.Changed = nullptr;
        for (HWND h : histories) ::DestroyWindow(h);
        tabs.Destroy();
        ::DestroyWindow(area);
    }
    NewMessageCheck check{[this] { return target; }};
    void Tick() { check.Tick(); }
    LinkPtr Node(int i) { return list->getNode(i); }
    std::wstring MainCaption() {
        wchar_t buffer[256] = {};
        ::GetWindowTextW(Top(), buffer, 256);
        return buffer;
    }
    bool MaximizeBox() { return (::GetWindowLongPtrW(Top(), GWL_STYLE) & WS_MAXIMIZEBOX) != 0; }
};

TEST_F(CheckTest, AnotherConversationCountsUpWhileTheWindowIsActive) {
    Append(histories[1], "\r\nLi 10:00\r\nping");
    Tick();
    EXPECT_EQ(tabs.GetItemText(1), L"(1)Li");
    EXPECT_EQ(tabs.IsHilighted(1), std::optional<bool>(true));
    EXPECT_EQ(Node(2)->MsgNum, 1);
    EXPECT_EQ(Node(2)->Msg, Baseline(histories[1]));
    EXPECT_TRUE(shell.calls.empty());  // tray_AlwaysShowTip 0: no balloon
    EXPECT_EQ(MainCaption(), L"Zhang - Varnu");
    EXPECT_TRUE(flashed.empty());

    Tick();  // nothing new: nothing moves
    EXPECT_EQ(tabs.GetItemText(1), L"(1)Li");

    Append(histories[1], "\r\nagain");
    Tick();
    EXPECT_EQ(tabs.GetItemText(1), L"(2)Li");
    EXPECT_EQ(Node(2)->MsgNum, 2);
    EXPECT_EQ(tabs.GetItemText(2), L"Wang");
    EXPECT_EQ(tabs.IsHilighted(2), std::optional<bool>(false));
}

TEST_F(CheckTest, TheSelectedConversationOnlyMovesItsLength) {
    Append(histories[0], "\r\nmore");
    Tick();
    EXPECT_EQ(Node(1)->Msg, Baseline(histories[0]));
    EXPECT_EQ(Node(1)->MsgNum, 0);
    EXPECT_EQ(tabs.GetItemText(0), L"Zhang");
    EXPECT_EQ(tabs.IsHilighted(0), std::optional<bool>(false));
    EXPECT_TRUE(shell.calls.empty());

    // With tray_AlwaysShowTip the selected one still shows no balloon; others do.
    target.settings.tray_AlwaysShowTip = 1;
    Append(histories[0], "\r\nx y");
    Append(histories[2], "\r\nx y");
    Tick();
    ASSERT_EQ(shell.Balloons().size(), 1u);
    EXPECT_EQ(shell.Balloons()[0].title, L"Wang的新消息:");
    EXPECT_EQ(MainCaption(), L"Zhang - Varnu");
}

TEST_F(CheckTest, InactiveWindowAnnouncesFlashesAndSwitches) {
    mainActive = false;
    target.settings.org_AutoSwitch = 1;
    target.settings.org_AutoSize = 1;
    Append(histories[1], L"\r\n李四 10:00:01\r\n看 这个 图");
    Tick();

    ASSERT_EQ(shell.Balloons().size(), 1u);
    const TrayCall balloon = shell.Balloons()[0];
    EXPECT_EQ(balloon.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(balloon.title, L"Li的新消息:");
    // The new text less its line break, every character intact whatever the
    // code page; blanks after the first line are pictures.
    EXPECT_EQ(balloon.info, L"李四 10:00:01\r\n看[图片]这个[图片]图");
    EXPECT_EQ(MainCaption(), L"Li的新消息");
    EXPECT_EQ(shell.Tips(), std::vector<std::wstring>{L"Li的新消息"});
    EXPECT_FALSE(MaximizeBox());  // org_AutoSize exactly 1
    EXPECT_EQ(changed, std::vector<int>{1});
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_EQ(flashed, std::vector<HWND>{Top()});
    // Selected, but not read: the marks stay until the window is activated.
    EXPECT_EQ(tabs.GetItemText(1), L"(1)Li");
    EXPECT_EQ(tabs.IsHilighted(1), std::optional<bool>(true));

    // Now the selected one: no count, but still announced while inactive.
    target.settings.org_AutoSize = 2;
    Append(histories[1], "\r\nmore");
    Tick();
    EXPECT_EQ(Node(2)->MsgNum, 1);
    EXPECT_TRUE(MaximizeBox());
    EXPECT_EQ(flashed.size(), 2u);
    EXPECT_EQ(shell.Balloons().size(), 2u);
}

TEST_F(CheckTest, RecordsAreTakenInListOrderAgainstTheSelectionOfTheMoment) {
    mainActive = false;
    target.settings.org_AutoSwitch = 1;
    target.settings.tray_MsgTip = 0;
    Append(histories[1], "\r\na");
    Append(histories[2], "\r\nb");
    Tick();
    // The first switch made record 2 current; record 3 still counts as
    // another conversation and takes the selection last.
    EXPECT_EQ(changed, (std::vector<int>{1, 2}));
    EXPECT_EQ(tabs.GetItemText(1), L"(1)Li");
    EXPECT_EQ(tabs.GetItemText(2), L"(1)Wang");
    EXPECT_EQ(MainCaption(), L"Wang的新消息");
    EXPECT_TRUE(shell.Balloons().empty());
    EXPECT_EQ(shell.Tips().size(), 2u);
}

TEST_F(CheckTest, ShorterHistoryShowsItsLast40Characters) {
    mainActive = false;
    std::string longText = "start";
    for (int k = 0; k < 10; ++k) longText += "\r\nline " + std::to_string(k);
    SetHistory(histories[2], longText);
    Tick();
    const std::string shorter = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ";  // 46
    SetHistory(histories[2], shorter);
    Tick();
    ASSERT_EQ(shell.Balloons().size(), 2u);
    EXPECT_EQ(shell.Balloons()[1].info, L"789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ");  // 39 and the NUL
    EXPECT_EQ(Node(3)->MsgNum, 2);
    EXPECT_EQ(Node(3)->Msg, 47);
}

TEST_F(CheckTest, OneBrokenRecordOrHungPeerHoldsUpNoOther) {
    HungPeer hung;
    auto stuck = Record(hung.Window(), L"挂起", 4);
    auto stuckToo = Record(hung.Window(), L"挂起2", 4);
    list->insertNode(stuck);
    list->insertNode(stuckToo);
    tabs.AddItem(L"挂起");
    tabs.AddItem(L"挂起2");
    ::DestroyWindow(histories[0]);  // a record whose windows have gone
    Node(2)->chatHwnd = 0;          // and one without a history

    Append(histories[2], "\r\nstill here");
    Tick();
    EXPECT_EQ(tabs.GetItemText(2), L"(1)Wang");
    EXPECT_EQ(stuck->MsgQueried, kNeverQueried);  // tried again next tick
    EXPECT_EQ(stuckToo->MsgQueried, kNeverQueried);
    EXPECT_EQ(tabs.GetItemText(0), L"Zhang");
    EXPECT_EQ(Node(1)->MsgNum, 0);
}

}  // namespace
}  // namespace varnu
