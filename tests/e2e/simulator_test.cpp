// Self-test of the end-to-end harness and the messenger simulator: the
// windows look the way recognition and capture expect, the control channel
// works per process, and what the windows receive is recorded.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <thread>

#include "harness.h"
#include "win32/strconv.h"

namespace {

using namespace e2e;
using sim::Input;
using sim::Kind;

std::wstring AnsiCaption(HWND hwnd) {
    char buffer[260] = "";
    const int n = ::GetWindowTextA(hwnd, buffer, sizeof(buffer));
    return win32::AnsiToWide(std::string_view(buffer, n > 0 ? n : 0));
}

bool HasRecord(const std::vector<sim::Record>& records, UINT message, sim::Via via) {
    for (const auto& r : records) {
        if (r.message == message && r.via == via) return true;
    }
    return false;
}

class SimulatorTest : public ::testing::Test {
protected:
    Simulator messenger;
};

TEST_F(SimulatorTest, ClassicWindowsHoldTheControlsCaptureLooksFor) {
    struct Case {
        Input input;
        bool container;
    };
    for (const Case c : {Case{Input::RichEdit, false}, Case{Input::AfxFirst, false}, Case{Input::AfxSecond, true},
                         Case{Input::AfxNeither, false}, Case{Input::AfxFirst, true}, Case{Input::None, false}}) {
        SCOPED_TRACE(testing::Message() << "input " << static_cast<int>(c.input) << " container " << c.container);
        const SimWindow w =
            messenger.Open(Kind::Classic, L"与 张三 交谈中",
                           SimOpen().WithInput(c.input).WithOptions(c.container ? sim::Option::kContainer : 0));
        ASSERT_TRUE(w);
        EXPECT_EQ(ClassName(w.top), L"#32770");
        EXPECT_EQ(Caption(w.top), L"与 张三 交谈中");
        EXPECT_EQ(Parent(w.top), nullptr);
        EXPECT_TRUE(IsVisible(w.top));
        EXPECT_EQ(Style(w.top) & WS_POPUP, static_cast<DWORD>(WS_POPUP));

        const HWND box = c.container ? FindChild(w.top, L"#32770") : w.top;
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(c.container ? box : nullptr, w.container);
        // The history is the first "RichEdit20A" of the container; it keeps
        // its text in UTF-16 and answers the wide messages itself.
        EXPECT_EQ(FindChild(box, L"RichEdit20A"), w.history);
        EXPECT_TRUE(::IsWindowUnicode(w.history));

        const HWND afx1 = FindChild(box, L"AfxWnd42", 0), afx2 = FindChild(box, L"AfxWnd42", 1);
        switch (c.input) {
        case Input::RichEdit:
            EXPECT_EQ(FindChild(box, L"RICHEDIT"), w.input);
            EXPECT_NE(w.input, nullptr);
            EXPECT_EQ(afx1, nullptr);
            break;
        case Input::AfxFirst:
            EXPECT_EQ(FindChild(afx1, L"RichEdit20A"), w.input);
            EXPECT_NE(w.input, nullptr);
            EXPECT_EQ(afx2, nullptr);
            break;
        case Input::AfxSecond:
            EXPECT_EQ(FindChild(afx1, L"RichEdit20A"), nullptr);
            EXPECT_EQ(FindChild(afx2, L"RichEdit20A"), w.input);
            EXPECT_NE(w.input, nullptr);
            break;
        case Input::AfxNeither:
            ASSERT_NE(afx2, nullptr);
            EXPECT_EQ(FindChild(afx1, L"RichEdit20A"), nullptr);
            EXPECT_EQ(FindChild(afx2, L"RichEdit20A"), nullptr);
            EXPECT_EQ(w.input, nullptr);
            break;
        default:
            EXPECT_EQ(w.input, nullptr);
            EXPECT_EQ(afx1, nullptr);
            EXPECT_EQ(FindChild(box, L"RICHEDIT"), nullptr);
            break;
        }
        if (w.input) {
            EXPECT_FALSE(::IsWindowUnicode(w.input));
            // Layout: history above the input box.
            EXPECT_LT(WindowRect(w.history).bottom, WindowRect(w.input).top);
        }
    }

    const SimWindow bare =
        messenger.Open(Kind::Classic, L"临时", SimOpen().WithInput(Input::None).WithOptions(sim::Option::kNoHistory));
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare.history, nullptr);
    EXPECT_EQ(FindChild(bare.top, L"RichEdit20A"), nullptr);
}

TEST_F(SimulatorTest, MessengerClassesAndExactStyles) {
    const SimWindow tx = messenger.Open(Kind::TXGui, L"王五");
    ASSERT_TRUE(tx);
    EXPECT_EQ(ClassName(tx.top), L"TXGuiFoundation");
    EXPECT_EQ(Style(tx.top), 0x960F0000u);
    EXPECT_EQ(ExStyle(tx.top), 0x300u);
    EXPECT_EQ(tx.style, 0x960F0000u);
    EXPECT_EQ(FindChild(tx.top, L"RichEdit20A"), tx.history);

    const SimWindow odd = messenger.Open(Kind::TXGui, L"王五", SimOpen().WithExactStyle(0x960F0000, 0x40300));
    ASSERT_TRUE(odd);
    EXPECT_EQ(Style(odd.top), 0x960F0000u);
    EXPECT_EQ(ExStyle(odd.top), 0x40300u);
    EXPECT_TRUE(messenger.SetStyle(odd.top, 0x960F0000, 0x300));
    EXPECT_EQ(ExStyle(odd.top), 0x300u);

    const SimWindow flash = messenger.Open(Kind::TXGuiFlash, L"赵六");
    ASSERT_TRUE(flash);
    EXPECT_EQ(ClassName(flash.top), L"TXGuiFoundation");
    EXPECT_NE(Style(flash.top), 0x960F0000u);
    EXPECT_NE(Style(flash.top) & WS_VISIBLE, 0u);
    const HWND holder = FindChild(flash.top, L"Static");
    EXPECT_EQ(holder, flash.flashHolder);
    EXPECT_EQ(FindChild(holder, L"MacromediaFlashPlayerActiveX"), flash.flash);
    EXPECT_NE(flash.flash, nullptr);

    const SimWindow preview = messenger.Open(Kind::Preview, L"");
    ASSERT_TRUE(preview);
    EXPECT_EQ(ClassName(preview.top), L"TXGuiFoundation");
    EXPECT_EQ(Caption(preview.top), L"QQ2009 Preview");
    EXPECT_EQ(Style(preview.top), 0x960F0000u);
    const HWND embedding = FindChild(preview.top, L"Shell Embedding");
    EXPECT_EQ(embedding, preview.shellEmbedding);
    ASSERT_NE(embedding, nullptr);
    EXPECT_EQ(Caption(embedding), L"");
    EXPECT_EQ(::FindWindowExW(nullptr, nullptr, L"TXGuiFoundation", L"QQ2009 Preview"), preview.top);

    const SimWindow panel = messenger.Open(Kind::MainPanel, L"QQ");
    ASSERT_TRUE(panel);
    EXPECT_EQ(ClassName(panel.top), L"#32770");
    const HWND bar = FindChild(panel.top, L"Tencent_QQBar");
    EXPECT_EQ(bar, panel.bar);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Caption(bar), L"");
    EXPECT_EQ(FindChild(panel.top, L"RichEdit20A"), nullptr);

    const SimWindow hi = messenger.Open(Kind::BaseGui, L"赵六");
    const SimWindow hiddenHi =
        messenger.Open(Kind::BaseGui, L"BaiduBasement", SimOpen().WithOptions(sim::Option::kHidden));
    ASSERT_TRUE(hi);
    ASSERT_TRUE(hiddenHi);
    EXPECT_EQ(ClassName(hi.top), L"BaseGui");
    EXPECT_NE(Style(hi.top) & WS_VISIBLE, 0u);
    EXPECT_EQ(Style(hiddenHi.top) & WS_VISIBLE, 0u);
    EXPECT_EQ(Caption(hiddenHi.top), L"BaiduBasement");

    const SimWindow other = messenger.Open(Kind::Other, L"与 张三 交谈中");
    ASSERT_TRUE(other);
    EXPECT_EQ(ClassName(other.top), L"MessengerSimOther");

    // Every one is a top-level window of the simulator, visible unless asked otherwise.
    const auto visible = messenger.Windows(true);
    for (HWND top : {tx.top, odd.top, flash.top, preview.top, panel.top, hi.top, other.top})
        EXPECT_NE(std::find(visible.begin(), visible.end(), top), visible.end());
    EXPECT_EQ(std::find(visible.begin(), visible.end(), hiddenHi.top), visible.end());
    const auto all = messenger.Windows(false);
    EXPECT_NE(std::find(all.begin(), all.end(), hiddenHi.top), all.end());
}

TEST_F(SimulatorTest, PlacementOptions) {
    const SimWindow owned = messenger.Open(Kind::Classic, L"与 甲 交谈中", SimOpen().WithOptions(sim::Option::kOwned));
    ASSERT_TRUE(owned);
    ASSERT_NE(owned.owner, nullptr);
    EXPECT_EQ(Owner(owned.top), owned.owner);
    EXPECT_EQ(Parent(owned.top), owned.owner);  // GetParent reports the owner of a popup

    const SimWindow ownedByPanel = messenger.Open(Kind::Classic, L"与 乙 交谈中", SimOpen().OwnedBy(owned.top));
    ASSERT_TRUE(ownedByPanel);
    EXPECT_EQ(Owner(ownedByPanel.top), owned.top);

    const SimWindow layered =
        messenger.Open(Kind::Classic, L"与 丙 交谈中", SimOpen().WithOptions(sim::Option::kLayered));
    ASSERT_TRUE(layered);
    EXPECT_NE(ExStyle(layered.top) & WS_EX_LAYERED, 0u);
    const SimWindow layeredTx = messenger.Open(Kind::TXGui, L"丙", SimOpen().WithOptions(sim::Option::kLayered));
    EXPECT_EQ(ExStyle(layeredTx.top), 0x300u | WS_EX_LAYERED);

    const SimWindow big =
        messenger.Open(Kind::Classic, L"与 丁 交谈中", SimOpen().WithOptions(sim::Option::kMaximized));
    const SimWindow iconic =
        messenger.Open(Kind::Classic, L"与 戊 交谈中", SimOpen().WithOptions(sim::Option::kMinimized));
    ASSERT_TRUE(big);
    ASSERT_TRUE(iconic);
    EXPECT_TRUE(::IsZoomed(big.top));
    EXPECT_TRUE(::IsIconic(iconic.top));

    const RECT where{100, 120, 100 + 430, 120 + 380};
    const SimWindow placed = messenger.Open(Kind::Classic, L"与 己 交谈中", SimOpen().WithRect(where));
    ASSERT_TRUE(placed);
    const RECT got = WindowRect(placed.top);
    EXPECT_EQ(got.left, where.left);
    EXPECT_EQ(got.top, where.top);
    EXPECT_EQ(Width(got), Width(where));
    EXPECT_EQ(Height(got), Height(where));

    // The owner goes with its window.
    ASSERT_TRUE(messenger.Destroy(owned.top));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(owned.owner); }));
}

TEST_F(SimulatorTest, HistoryIsReadBackThroughAnsiGetText) {
    const SimWindow w = messenger.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(w);
    EXPECT_EQ(AnsiControlText(w.history), std::optional<std::wstring>(L""));

    ASSERT_TRUE(messenger.AppendHistory(w.top, L"Zhang 09:12\r\n  hello\r\n"));
    ASSERT_TRUE(messenger.AppendHistory(w.history, L"Li 09:13\r\n  bye\r\n"));
    // A rich edit keeps paragraphs as CR and hands them back as CR LF
    // through WM_GETTEXT, so text appended with CR LF reads back unchanged.
    const std::wstring expected = L"Zhang 09:12\r\n  hello\r\nLi 09:13\r\n  bye\r\n";
    EXPECT_EQ(AnsiControlText(w.history), std::optional<std::wstring>(expected));
    EXPECT_EQ(WideControlText(w.history), std::optional<std::wstring>(expected));
    // WM_GETTEXTLENGTH agrees with the text WM_GETTEXT delivers.
    DWORD_PTR length = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(w.history, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length));
    EXPECT_EQ(length, win32::WideToAnsi(expected).size());

    if (::GetACP() == 936) {
        // Double-byte text: the length is a byte count, and a reader that
        // trusts it gets the whole text.
        ASSERT_TRUE(messenger.AppendHistory(w.top, L"张三：你好"));
        const std::wstring chinese = expected + L"张三：你好";
        EXPECT_EQ(AnsiControlText(w.history), std::optional<std::wstring>(chinese));
        EXPECT_EQ(WideControlText(w.history), std::optional<std::wstring>(chinese));
        ASSERT_TRUE(::SendMessageTimeoutA(w.history, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length));
        EXPECT_EQ(length, win32::WideToAnsi(chinese).size());
        // A short buffer gets the text cut at a whole character.
        char shortBuffer[6] = "";
        DWORD_PTR copied = 0;
        ASSERT_TRUE(::SendMessageTimeoutA(w.history, WM_GETTEXT, sizeof(shortBuffer),
                                          reinterpret_cast<LPARAM>(shortBuffer), SMTO_ABORTIFHUNG, 2000, &copied));
        EXPECT_EQ(std::string(shortBuffer, copied), "Zhang");
        EXPECT_EQ(AnsiCaption(w.top), L"与 张三 交谈中");
    }

    ASSERT_TRUE(messenger.ClearHistory(w.top));
    EXPECT_EQ(AnsiControlText(w.history), std::optional<std::wstring>(L""));

    ASSERT_TRUE(messenger.SetInputText(w.top, L"draft"));
    EXPECT_EQ(AnsiControlText(w.input), std::optional<std::wstring>(L"draft"));

    // The older "RICHEDIT" input box reads the same way.
    const SimWindow old = messenger.Open(Kind::Classic, L"李四 - 群", SimOpen().WithInput(Input::RichEdit));
    ASSERT_TRUE(messenger.SetInputText(old.top, L"one\r\ntwo"));
    EXPECT_EQ(AnsiControlText(old.input), std::optional<std::wstring>(L"one\r\ntwo"));

    const SimWindow noHistory = messenger.Open(Kind::Classic, L"x", SimOpen().WithOptions(sim::Option::kNoHistory));
    EXPECT_FALSE(messenger.AppendHistory(noHistory.top, L"lost"));
}

TEST_F(SimulatorTest, RenameHideCloseDestroy) {
    const SimWindow w = messenger.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(w);
    ASSERT_TRUE(messenger.SetTitle(w.top, L"与 张三 交谈中 - 正在输入"));
    EXPECT_EQ(Caption(w.top), L"与 张三 交谈中 - 正在输入");

    ASSERT_TRUE(messenger.Hide(w.top));
    EXPECT_FALSE(IsVisible(w.top));
    ASSERT_TRUE(messenger.Show(w.top, SW_SHOWNOACTIVATE));
    EXPECT_TRUE(IsVisible(w.top));

    // Closing destroys the window by default, and WM_CLOSE is recorded.
    ASSERT_TRUE(messenger.Close(w.top));
    EXPECT_FALSE(::IsWindow(w.top));
    EXPECT_TRUE(HasRecord(messenger.Records(w.top), WM_CLOSE, sim::Via::Procedure));
    EXPECT_FALSE(messenger.Close(w.top));  // nothing left to close

    // A window that keeps itself alive records the request and stays.
    const SimWindow stubborn = messenger.Open(Kind::TXGui, L"王五", SimOpen().WithOptions(sim::Option::kKeepOnClose));
    ASSERT_TRUE(stubborn);
    ::PostMessageW(stubborn.top, WM_CLOSE, 0, 0);
    ASSERT_TRUE(messenger.WaitForRecord(stubborn.top, WM_CLOSE, sim::Via::Procedure));
    EXPECT_TRUE(::IsWindow(stubborn.top));
    EXPECT_TRUE(HasRecord(messenger.Records(stubborn.top), WM_CLOSE, sim::Via::Queue));
    ASSERT_TRUE(messenger.SetCloseDestroys(stubborn.top, true));
    ASSERT_TRUE(messenger.Close(stubborn.top));
    EXPECT_FALSE(::IsWindow(stubborn.top));

    const SimWindow doomed = messenger.Open(Kind::BaseGui, L"赵六");
    ASSERT_TRUE(doomed);
    ASSERT_TRUE(messenger.Destroy(doomed.top));
    EXPECT_FALSE(::IsWindow(doomed.top));
    EXPECT_FALSE(messenger.Destroy(doomed.top));
}

TEST_F(SimulatorTest, RecordsInputAndWhatTheQueueDelivered) {
    const SimWindow w = messenger.Open(Kind::Classic, L"与 张三 交谈中");
    const SimWindow other = messenger.Open(Kind::Classic, L"与 李四 交谈中");
    ASSERT_TRUE(w);
    ASSERT_TRUE(other);
    ASSERT_TRUE(messenger.ClearRecords());

    PostKey(w.input, VK_CONTROL, true);
    PostKey(w.input, VK_CONTROL, true, true);
    PostKey(w.input, VK_CONTROL, false);
    PostWheel(w.input, 120, MK_CONTROL);
    PostMouse(w.input, WM_RBUTTONDOWN, MK_RBUTTON);
    PostMouse(w.input, WM_RBUTTONUP, 0);
    // What a message hook leaves of a swallowed button release.
    ::PostMessageW(w.input, WM_NULL, 0, 0);
    ASSERT_TRUE(messenger.WaitForRecord(w.top, WM_NULL, sim::Via::Queue));

    const auto records = messenger.Records(w.top);
    std::vector<UINT> queued;
    for (const auto& r : records) {
        EXPECT_EQ(r.top, reinterpret_cast<uintptr_t>(w.top));
        if (r.via == sim::Via::Queue) queued.push_back(r.message);
    }
    const std::vector<UINT> expected{WM_KEYDOWN,     WM_KEYDOWN,   WM_KEYUP, WM_MOUSEWHEEL,
                                     WM_RBUTTONDOWN, WM_RBUTTONUP, WM_NULL};
    EXPECT_EQ(queued, expected);
    for (UINT m : {WM_KEYDOWN, WM_KEYUP, WM_RBUTTONDOWN, WM_RBUTTONUP})
        EXPECT_TRUE(HasRecord(records, m, sim::Via::Procedure)) << MessageName(m);
    for (const auto& r : records) {
        if (r.message == WM_MOUSEWHEEL && r.via == sim::Via::Queue) {
            EXPECT_EQ(static_cast<short>(HIWORD(r.wParam)), 120);
            EXPECT_EQ(LOWORD(r.wParam), MK_CONTROL);
        }
        if (r.message == WM_KEYDOWN) {
            EXPECT_EQ(r.wParam, static_cast<uint64_t>(VK_CONTROL));
        }
    }
    // Sequence numbers order the records.
    for (size_t i = 1; i < records.size(); ++i) EXPECT_LT(records[i - 1].sequence, records[i].sequence);
    EXPECT_TRUE(messenger.Records(other.top).empty());

    // A click into the input box gives it the focus.
    Click(w.input);
    EXPECT_TRUE(messenger.WaitForRecord(w.input, WM_SETFOCUS, sim::Via::Procedure));

    ASSERT_TRUE(messenger.ClearRecords(w.top));
    EXPECT_TRUE(messenger.Records(w.top).empty());
}

TEST_F(SimulatorTest, HangFreezesTheThreadAfterAnswering) {
    ASSERT_TRUE(messenger.Hang(1500ms));
    Pause(200ms);
    EXPECT_FALSE(messenger.Ping(300));
    EXPECT_TRUE(WaitUntil([&] { return messenger.Ping(300); }, 5000ms));
}

TEST(SimulatorProcesses, EachProcessIsAddressedOnItsOwn) {
    Simulator a, b;
    ASSERT_NE(a.ControlWindow(), b.ControlWindow());
    const SimWindow inB = b.Open(Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(inB);
    EXPECT_EQ(ProcessOf(inB.top), b.Id());
    EXPECT_FALSE(a.AppendHistory(inB.top, L"not mine"));
    EXPECT_FALSE(a.Destroy(inB.top));
    EXPECT_TRUE(::IsWindow(inB.top));
    EXPECT_TRUE(a.Windows().empty());
}

TEST(SimulatorProcesses, CommandLineOpensWindows) {
    {
        LaunchOptions options;
        options.arguments = L"--open classic \"与 张三 交谈中\" --open txgui 王五";
        Simulator opened(options);
        ASSERT_TRUE(WaitUntil([&] { return opened.Windows().size() == 2; }));
        std::vector<std::wstring> titles;
        for (HWND hwnd : opened.Windows()) titles.push_back(ClassName(hwnd) + L"|" + Caption(hwnd));
        std::sort(titles.begin(), titles.end());
        EXPECT_EQ(titles, (std::vector<std::wstring>{L"#32770|与 张三 交谈中", L"TXGuiFoundation|王五"}));
    }
    {
        LaunchOptions options;
        options.arguments = L"--demo";
        Simulator demo(options);
        ASSERT_TRUE(WaitUntil([&] { return demo.Windows().size() >= 7; }));
        bool sawHistory = false;
        for (HWND hwnd : demo.Windows()) {
            if (HWND history = FindChild(hwnd, L"RichEdit20A")) {
                sawHistory = sawHistory || !AnsiControlText(history).value_or(L"").empty();
            }
        }
        EXPECT_TRUE(sawHistory);
        EXPECT_NE(::FindWindowExW(nullptr, nullptr, L"#32770", L"多人聊天 － 项目组"), nullptr);
    }
}

// ---------------------------------------------------------------------------
// Harness pieces that need no Varnu behaviour.

TEST(HarnessFolders, IniIsWrittenReadAndRemovedWithTheFolder) {
    std::wstring path;
    {
        ProgramFolder folder;
        path = folder.Path();
        EXPECT_TRUE(FileExists(folder.ExePath()));
        EXPECT_FALSE(folder.IniExists());
        folder.WriteIni(L"[Settings]\r\ntab_Bottom=1\r\nhot_Key=  81 \r\n[Other]\r\nx=2\r\n");
        EXPECT_TRUE(folder.IniExists());
        EXPECT_EQ(folder.IniValue(L"tab_Bottom"), std::optional<std::wstring>(L"1"));
        EXPECT_EQ(folder.IniValue(L"hot_Key"), std::optional<std::wstring>(L"81"));
        EXPECT_EQ(folder.IniValue(L"x"), std::nullopt);
        EXPECT_EQ(folder.IniValue(L"x", L"Other"), std::optional<std::wstring>(L"2"));
        EXPECT_EQ(folder.IniKeys(), (std::vector<std::wstring>{L"tab_Bottom", L"hot_Key"}));
        EXPECT_EQ(folder.ReadIniBytes(), "[Settings]\r\ntab_Bottom=1\r\nhot_Key=  81 \r\n[Other]\r\nx=2\r\n");

        folder.WriteIni(L"[Settings]\r\norg_QQName=QQ.exe\r\n", 936);
        EXPECT_EQ(folder.ReadIniText(936), L"[Settings]\r\norg_QQName=QQ.exe\r\n");
        folder.RemoveIni();
        EXPECT_FALSE(folder.IniExists());
        EXPECT_EQ(folder.IniValue(L"org_QQName"), std::nullopt);
    }
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(HarnessFolders, VarnuStartsInItsFolderAndIsEndedByHandle) {
    ProgramFolder folder;
    LaunchOptions options;
    options.environment = {{L"VARNU_E2E_MARKER", L"1"}};
    VarnuApp varnu(folder, options);
    EXPECT_NE(varnu.Id(), 0u);
    // Whatever the program does, the harness ends it when the test is over;
    // finding its main window is the other tests' business.
}

TEST(HarnessWindows, TabsAreReadThroughAForeignBuffer) {
    ::InitCommonControls();
    win32::UniqueWindow host(
        ::CreateWindowExW(0, L"Static", L"host", WS_POPUP, 0, 0, 400, 100, nullptr, nullptr, nullptr, nullptr));
    HWND tab = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 400, 30, host.get(), nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(tab, nullptr);
    for (const wchar_t* text : {L"张三", L"(2)项目组", L"王五"}) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(text);
        ::SendMessageW(tab, TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
    }
    ::SendMessageW(tab, TCM_SETCURSEL, 1, 0);
    EXPECT_EQ(FindTabWindow(host.get()), tab);
    RemoteTabs tabs(tab);
    EXPECT_EQ(tabs.Count(), 3);
    EXPECT_EQ(tabs.Selected(), 1);
    EXPECT_EQ(tabs.Captions(), (std::vector<std::wstring>{L"张三", L"(2)项目组", L"王五"}));
    EXPECT_EQ(tabs.Caption(7), std::nullopt);
    const auto rc = tabs.ItemRect(2);
    ASSERT_TRUE(rc);
    EXPECT_GT(Width(*rc), 0);
}

TEST(HarnessWindows, SystemMessageBoxIsReadAndAnswered) {
    int answer = 0;
    std::thread box([&] { answer = ::MessageBoxW(nullptr, L"确定要退出吗？", L"提示", MB_YESNO); });
    const HWND found = WaitForMessageBox(::GetCurrentProcessId(), L"提示");
    if (!found) {
        box.detach();
        FAIL() << "no message box";
    }
    EXPECT_EQ(MessageBoxText(found), L"确定要退出吗？");
    EXPECT_FALSE(AnswerMessageBox(found, IDOK));  // a yes/no box has no OK button
    EXPECT_TRUE(AnswerMessageBox(found, IDNO));
    box.join();
    EXPECT_EQ(answer, IDNO);
}

}  // namespace
