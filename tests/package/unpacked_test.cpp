// The x64 release package as a user meets it: unpacked (by scripts/check-package.sh)
// into a folder whose path holds Chinese characters and blanks, started from there.
// VARNU_UNPACKED_BASE names an ASCII folder holding that one folder; the test
// finds it itself, so the path never passes through an environment encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "harness.h"

namespace {

using namespace e2e;

constexpr Millis kStartWait = 20000ms;
constexpr UINT kMenuExit = 123;  // the tray menu's "退出"

std::wstring UnpackedFolder() {
    const char* base = std::getenv("VARNU_UNPACKED_BASE");
    if (!base || !*base) return {};
    const std::wstring folder(base, base + std::char_traits<char>::length(base));
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(JoinPath(folder, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::wstring result;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            result = JoinPath(folder, name);
    } while (result.empty() && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return result;
}

TEST(UnpackedPackage, StartsFromAChineseFolderWithBlanksAndTakesAConversationIn) {
    const std::wstring path = UnpackedFolder();
    ASSERT_FALSE(path.empty()) << "VARNU_UNPACKED_BASE holds no unpacked package";
    ASSERT_NE(path.find(L' '), std::wstring::npos);
    ASSERT_TRUE(std::any_of(path.begin(), path.end(), [](wchar_t c) { return c >= 0x4E00 && c <= 0x9FFF; }));
    ProgramFolder folder(ProgramFolder::Existing{}, path);
    ASSERT_TRUE(FileExists(folder.File(L"Varnu.dll")));
    ASSERT_FALSE(folder.IniExists());

    Simulator messenger;
    const SimWindow chat = messenger.Open(sim::Kind::Classic, L"与 张三 交谈中");
    ASSERT_TRUE(chat);

    VarnuApp varnu(folder);
    ASSERT_TRUE(AcceptFirstRunWarning(varnu.Id(), kStartWait));

    HWND main = varnu.WaitForMainWindow(kStartWait);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return IsTakenInto(chat.top, main); }, kStartWait));
    // The window shows before the conversations are in; its tab comes with them.
    EXPECT_TRUE(WaitUntil(
        [&] { return RemoteTabs(varnu.TabWindow()).Captions() == std::vector<std::wstring>{L"张三"}; }, kStartWait));

    // Left as the guide says: "退出" in the tray menu (the fresh settings may
    // have sent the window to the tray).
    ::PostMessageW(main, WM_COMMAND, kMenuExit, 0);
    EXPECT_EQ(varnu.WaitForExit(kStartWait), std::optional<DWORD>(0));
    // Written beside the program, however its folder is spelt.
    EXPECT_TRUE(folder.IniExists());
    EXPECT_TRUE(folder.IniValue(L"win_CX").has_value());
}

}  // namespace
