// Which of the windows already open at start-up Varnu takes in, and what
// their tabs say. Every title pattern of the three messengers is open before
// Varnu starts, beside windows that look alike but are no conversations; the
// start-up scan must take exactly the first kind. Runs under the Western and
// the Chinese ANSI code page alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"
#include "win32/strconv.h"

namespace {

using namespace e2e;
using sim::Kind;

struct Expected {
    Kind kind;
    std::wstring title;
    std::wstring tab;  // empty: must stay free
    SimOpen how = {};
};

SimOpen With(uint32_t options) {
    SimOpen how;
    how.options = options;
    return how;
}
SimOpen Input(sim::Input input) {
    SimOpen how;
    how.input = input;
    return how;
}
SimOpen ExactStyle(DWORD style, DWORD exStyle) {
    SimOpen how;
    how.options = sim::Option::kExactStyle;
    how.exactStyle = std::make_pair(style, exStyle);
    return how;
}

std::string Utf8(const std::wstring& text) { return win32::WideToUtf8(text); }

bool Inside(HWND window, HWND main) { return Parent(window) != nullptr && Ancestor(window, GA_ROOT) == main; }

TEST(Recognition, StartUpScanTakesEveryConversationAndNothingElse) {
    const std::vector<Expected> windows = {
        // Classic "#32770" titles, one per rule.
        {Kind::Classic, L"与来自群聊的 李四 交谈中", L" 李四 "},
        {Kind::Classic, L"临时会话 来自群：王五 交谈中", L"王五"},
        {Kind::Classic, L"与手机用户 赵六 交谈中", L"赵六"},
        {Kind::Classic, L"与 张三 交谈中", L"张三"},
        {Kind::Classic, L"多人聊天 － 周末出游", L" 周末出游"},
        {Kind::Classic, L"孙八 - 正在输入", L"孙八"},  // known only to the start-up scan
        {Kind::Classic, L"与 钱七 会话中", L" 钱七 ", Input(sim::Input::RichEdit)},
        {Kind::Classic, L"开发组 － 群", L"开发组"},
        {Kind::Classic, L"测试组 - 群", L"测试组", Input(sim::Input::RichEdit)},
        {Kind::Classic, L"技术群 － 高级群", L"技术群"},
        {Kind::Classic, L"三年二班 － 班级群", L"三年二班"},
        {Kind::Classic, L"超级大群(12345) － 超级群", L"超级大群", With(sim::Option::kContainer)},
        // The scan, unlike a new-window notice, does not ask for an owner.
        {Kind::Classic, L"与 吴十 交谈中", L"吴十", With(sim::Option::kOwned)},
        {Kind::BaseGui, L"周九", L"周九"},
        {Kind::TXGuiFlash, L"QQ2009 会话", L"QQ2009 会话"},
        {Kind::TXGui, L"讨论群甲", L"讨论群甲"},

        // Free: no rule, or a rule whose name cannot be cut out (skipped
        // without a report, and the scan goes on).
        {Kind::Classic, L"QQ设置", L""},
        {Kind::Classic, L"交谈中", L""},
        {Kind::Classic, L"超级群 － 超级群", L""},
        {Kind::TXGui, L"消息管理器", L""},
        {Kind::TXGui, L"QQ2009 Preview", L""},
        {Kind::TXGui, L"普通窗口", L"", ExactStyle(0x96CF0000, 0x100)},
        {Kind::TXGuiFlash, L"", L""},
        {Kind::BaseGui, L"BaiduBasement", L""},
        {Kind::BaseGui, L"Baidu Hi - 登录", L""},
        {Kind::BaseGui, L"百度Hi 主面板", L""},
        {Kind::BaseGui, L"隐身的会话", L"", With(sim::Option::kHidden)},
        {Kind::BaseGui, L"", L""},
        {Kind::Other, L"与 郑十一 交谈中", L""},
    };

    ProgramFolder folder;
    folder.WriteIni(L"[Settings]\r\norg_ExitMsg=0\r\ntray_CloseTray=0\r\n");
    Simulator messenger;
    std::vector<SimWindow> opened;
    for (const Expected& e : windows) {
        opened.push_back(messenger.Open(e.kind, e.title, e.how));
        ASSERT_TRUE(opened.back()) << Utf8(e.title);
    }

    VarnuApp varnu(folder);
    const HWND main = varnu.WaitForMainWindow(15000ms);
    ASSERT_NE(main, nullptr);

    std::vector<std::wstring> wanted;
    for (const Expected& e : windows)
        if (!e.tab.empty()) wanted.push_back(e.tab);
    std::sort(wanted.begin(), wanted.end());

    HWND tabWindow = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (tabWindow = varnu.TabWindow()) != nullptr; }, 15000ms));
    RemoteTabs tabs(tabWindow);
    EXPECT_TRUE(WaitUntil([&] { return tabs.Count() == static_cast<int>(wanted.size()); }, 120000ms, 200ms))
        << "tabs: " << tabs.Count();
    Pause(500ms);

    // The text each tab stands for, as the main window's caption shows it
    // when the tab is selected ("<tab text> - Varnu"): exact in every code page.
    const int count = tabs.Count();
    ASSERT_GT(count, 0);
    EXPECT_EQ(tabs.Selected(), count - 1);  // the scan ends on the last tab taken
    const std::wstring suffix = L" - Varnu";
    std::vector<std::wstring> named;
    std::wstring previous = Caption(main);
    for (int i = 0; i < count; ++i) {
        // Every tab text differs, so each selection shows a new caption;
        // the last tab is selected already.
        if (i != count - 1) {
            tabs.ClickTab(i);
            EXPECT_TRUE(WaitUntil([&] { return tabs.Selected() == i && Caption(main) != previous; })) << "tab " << i;
        } else {
            tabs.ClickTab(i);
            EXPECT_TRUE(WaitUntil([&] { return tabs.Selected() == i; })) << "tab " << i;
            Pause(200ms);
        }
        std::wstring caption = previous = Caption(main);
        EXPECT_TRUE(caption.ends_with(suffix)) << Utf8(caption);
        if (caption.ends_with(suffix)) caption.resize(caption.size() - suffix.size());
        named.push_back(caption);
    }
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, wanted);

    // The strip's own texts. The tab window keeps them in the ANSI code
    // page, so they can only be compared where that page can hold them.
    bool representable = true;
    for (const auto& t : wanted) representable &= win32::AnsiToWide(win32::WideToAnsi(t)) == t;
    if (representable) {
        std::vector<std::wstring> captions = tabs.Captions();
        std::sort(captions.begin(), captions.end());
        EXPECT_EQ(captions, wanted);
    }

    for (size_t i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE(Utf8(windows[i].title));
        if (windows[i].tab.empty()) {
            EXPECT_FALSE(Inside(opened[i].top, main));
            EXPECT_EQ(Ancestor(opened[i].top, GA_PARENT), ::GetDesktopWindow());
        } else {
            EXPECT_TRUE(Inside(opened[i].top, main));
        }
    }

    // Nothing matched and failed noisily: no capture failure, no error report.
    EXPECT_EQ(WaitForMessageBox(varnu.Id(), L"错误啦~", 300ms), nullptr);
    EXPECT_EQ(WaitForErrorBox(varnu.Id(), 300ms), nullptr);

    varnu.RequestClose();
    EXPECT_TRUE(varnu.WaitForExit(30000ms).has_value());
}

}  // namespace
