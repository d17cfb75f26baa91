// The settings store against real "set.ini" files in a temporary folder, and
// the settings dialog writing them back.
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "win32/msgbox.h"
#include "settings/quiet_conversations.h"
#include "settings/settings_dialog.h"
#include "win32/handles.h"
#include "win32/strconv.h"

namespace {

using varnu::AppSettings;

std::wstring NewTempFolder() {
    static int counter = 0;
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"varnu-settings-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++counter);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(folder.c_str());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

// The error box's label, or empty text when no box is open.
std::wstring ReportedText() {
    HWND box = varnu::MsgBoxWindow();
    if (!box) return {};
    HWND label = ::FindWindowExW(box, nullptr, L"Static", nullptr);
    return label ? Text(label) : std::wstring();
}

// Answers every system message box of this process while it lives, keeping
// what they said; a box nobody answers would otherwise hang the test.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() : thread_([this] { Run(); }) {}
    ~MessageBoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    int Count() const { return count_; }
    std::wstring LastTitle() const {
        std::lock_guard lock(mutex_);
        return title_;
    }
    std::wstring LastText() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    struct Search {
        DWORD process;
        HWND found = nullptr;
    };

    void Run() {
        while (!stop_) {
            Search search{::GetCurrentProcessId()};
            ::EnumWindows(
                [](HWND hwnd, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    DWORD process = 0;
                    ::GetWindowThreadProcessId(hwnd, &process);
                    wchar_t name[32] = {};
                    ::GetClassNameW(hwnd, name, 32);
                    if (process == s->process && std::wstring(name) == L"#32770" && ::IsWindowVisible(hwnd)) {
                        s->found = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                {
                    std::lock_guard lock(mutex_);
                    title_ = Text(search.found);
                    text_ = Text(::GetDlgItem(search.found, 0xFFFF));
                }
                ++count_;
                ::SendMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                while (::IsWindow(search.found)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> count_{0};
    mutable std::mutex mutex_;
    std::wstring title_, text_;
    std::thread thread_;
};

// The messenger's registry value for one test, removed afterwards.
class InstallValue {
public:
    explicit InstallValue(const std::string& folder) {
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tencent\\QQ", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                          nullptr);
        ::RegSetValueExA(key_, "Install", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>(folder.size() + 1));
    }
    ~InstallValue() {
        ::RegDeleteValueA(key_, "Install");
        ::RegCloseKey(key_);
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tencent\\QQ");
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tencent");
    }

private:
    HKEY key_ = nullptr;
};

constexpr wchar_t kWindowClass[] = L"VarnuSettingsTestWindow";

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        ::RegisterClassW(&wc);
        // Hidden, as the main window is while it loads its settings; client
        // area 654 x 512 like the main window before its geometry is restored.
        RECT frame{0, 0, 654, 512};
        ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
        window_ = ::CreateWindowExW(0, kWindowClass, L"Varnu", WS_OVERLAPPEDWINDOW, 100, 100, frame.right - frame.left,
                                    frame.bottom - frame.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::GetWindowRect(window_, &initial_);
        folder_ = NewTempFolder();
        ini_ = folder_ + L"\\set.ini";
        AppSettings() = varnu::Settings{};
    }
    void TearDown() override {
        varnu::CloseSettingsDialog();
        varnu::CloseMsgBox();
        ::DestroyWindow(window_);
        RemoveFolder(folder_);
    }

    void WriteIni(const std::string& keys) { WriteBytes(ini_, "[Settings]\r\n" + keys); }
    int Load() { return varnu::LoadSettings(window_, folder_); }
    RECT WindowRect() const {
        RECT r{};
        ::GetWindowRect(window_, &r);
        return r;
    }
    void OpenDialog() {
        varnu::ShowSettingsDialog({window_, {}, {}});
        ASSERT_NE(varnu::SettingsDialogWindow(), nullptr);
    }
    static void Press(int id) { ::SendMessageW(::GetDlgItem(varnu::SettingsDialogWindow(), id), BM_CLICK, 0, 0); }
    // The colour the open dialog paints a swatch with.
    static COLORREF SwatchColour(int index) {
        HWND dialog = varnu::SettingsDialogWindow();
        win32::ScopedGetDc dc(dialog);
        const LPARAM swatch = reinterpret_cast<LPARAM>(::GetDlgItem(dialog, varnu::idLblColor0 + index));
        LOGBRUSH fill{};
        ::GetObjectW(reinterpret_cast<HBRUSH>(
                         ::SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()), swatch)),
                     sizeof(fill), &fill);
        return fill.lbColor;
    }
    void ExpectWindowUntouched() const {
        const RECT now = WindowRect();
        EXPECT_EQ(now.left, initial_.left);
        EXPECT_EQ(now.top, initial_.top);
        EXPECT_EQ(now.right, initial_.right);
        EXPECT_EQ(now.bottom, initial_.bottom);
    }

    HWND window_ = nullptr;
    RECT initial_{};
    std::wstring folder_, ini_;
    MessageBoxAnswerer answerer_;
};

TEST_F(SettingsTest, MissingFileWarnsOnceThenEveryKeyTakesItsDefault) {
    InstallValue install("D:\\Tencent\\QQ\\");
    EXPECT_EQ(Load(), SW_SHOWNORMAL);

    EXPECT_EQ(answerer_.Count(), 1);
    EXPECT_EQ(answerer_.LastTitle(), L"文件未找到");
    EXPECT_EQ(answerer_.LastText(), L"设置文件未找到。程序将自动生成。");
    EXPECT_EQ(varnu::IniPath(), ini_);
    EXPECT_EQ(::GetFileAttributesW(ini_.c_str()), INVALID_FILE_ATTRIBUTES) << "only a write makes the file";
    EXPECT_EQ(ReportedText(), L"");

    const varnu::Settings& s = AppSettings();
    EXPECT_TRUE(s.tab_Bottom);
    EXPECT_EQ(s.tab_Selected, 16756580);
    EXPECT_EQ(s.tab_Normal, 16763046);
    EXPECT_EQ(s.tab_Hot, 5700777);
    EXPECT_FALSE(s.tab_Roll);
    EXPECT_TRUE(s.tab_Skin);
    EXPECT_EQ(s.tray_Enabled, 1);
    EXPECT_EQ(s.tray_MsgTip, 0);
    EXPECT_EQ(s.tray_AlwaysShowTip, 0);
    EXPECT_EQ(s.tray_CloseTray, 0);
    EXPECT_EQ(s.tray_AutoMin, 1);
    EXPECT_EQ(s.tray_TipTime, 3);
    EXPECT_EQ(s.org_ExitMsg, 0);
    EXPECT_EQ(s.org_AutoRun, 0);
    EXPECT_EQ(s.org_AutoSwitch, 1);
    EXPECT_EQ(s.org_AutoSize, 0);
    EXPECT_EQ(s.org_QQPath, L"D:\\Tencent\\QQ\\");  // from the registry
    EXPECT_EQ(s.org_QQName, L"QQ.exe");
    EXPECT_EQ(s.hot_Enabled, 0);
    EXPECT_EQ(s.hot_Key, 0);
    EXPECT_EQ(s.hot_Mod, 0);

    const RECT r = WindowRect();
    EXPECT_EQ(r.right - r.left, 704);
    EXPECT_EQ(r.bottom - r.top, 557);
    EXPECT_EQ(r.left, initial_.left) << "no win_X: the window stays where it was made";
    EXPECT_EQ(r.top, initial_.top);
}

TEST_F(SettingsTest, EveryKeyReadInItsTextForm) {
    WriteIni(
        "tab_Bottom=0\r\ntab_Selected=255\r\ntab_Normal= 65280 \r\ntab_Hot=-2147483643\r\n"
        "tab_Roll=true\r\ntab_Skin=FALSE\r\ntray_Enabled=0\r\ntray_MsgTip=1\r\n"
        "tray_AlwaysShowTip=1\r\ntray_CloseTray=1\r\ntray_AutoMin=0\r\ntray_TipTime=10\r\n"
        "org_ExitMsg=1\r\norg_AutoRun=1\r\norg_AutoSwitch=0\r\norg_AutoSize=1\r\n"
        "org_QQPath=E:\\Messenger\\\r\norg_QQName=QQ2009.exe\r\nhot_Enabled=1\r\nhot_Key=81\r\n"
        "hot_Mod=3\r\nunknown_Key=whatever\r\nwin_Status=0\r\nwin_CX=9000\r\nwin_CY=6000\r\n"
        "win_X=1500\r\nwin_Y=450\r\n");
    EXPECT_EQ(Load(), SW_SHOWNORMAL);
    EXPECT_EQ(answerer_.Count(), 0);
    EXPECT_EQ(ReportedText(), L"");

    const varnu::Settings& s = AppSettings();
    EXPECT_FALSE(s.tab_Bottom);
    EXPECT_EQ(s.tab_Selected, 255);
    EXPECT_EQ(s.tab_Normal, 65280);
    EXPECT_EQ(s.tab_Hot, -2147483643);  // a system colour, high bit set
    EXPECT_TRUE(s.tab_Roll);
    EXPECT_FALSE(s.tab_Skin);
    EXPECT_EQ(s.tray_Enabled, 0);
    EXPECT_EQ(s.tray_MsgTip, 1);
    EXPECT_EQ(s.tray_AlwaysShowTip, 1);
    EXPECT_EQ(s.tray_CloseTray, 1);
    EXPECT_EQ(s.tray_AutoMin, 0);
    EXPECT_EQ(s.tray_TipTime, 10);
    EXPECT_EQ(s.org_ExitMsg, 1);
    EXPECT_EQ(s.org_AutoRun, 1);
    EXPECT_EQ(s.org_AutoSwitch, 0);
    EXPECT_EQ(s.org_AutoSize, 1);
    EXPECT_EQ(s.org_QQPath, L"E:\\Messenger\\");
    EXPECT_EQ(s.org_QQName, L"QQ2009.exe");
    EXPECT_EQ(s.hot_Enabled, 1);
    EXPECT_EQ(s.hot_Key, 81);
    EXPECT_EQ(s.hot_Mod, 3);

    const RECT r = WindowRect();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 400);
}

TEST_F(SettingsTest, ABadValueCostsItsKeyAloneAndOkWritesTheRealValuesBack) {
    InstallValue install("D:\\Tencent\\QQ");
    // A bad value in the middle, and a state outside 0..2 that restores as the normal one.
    WriteIni("tray_TipTime=\r\norg_ExitMsg=1\r\norg_QQName=QQ2009.exe\r\nwin_Status=3\r\nwin_X=1500\r\n");
    EXPECT_EQ(Load(), SW_SHOWNORMAL);
    EXPECT_EQ(ReportedText(), L"LoadSettings");
    EXPECT_EQ(WindowRect().left, 100) << "the geometry is still restored";

    // OK in the settings dialog writes what the user had, not zeros.
    OpenDialog();
    Press(varnu::idBtnOK);
    for (const auto& [key, value] : {std::pair{L"tray_TipTime", L"3"},
                                     {L"org_QQName", L"QQ2009.exe"},
                                     {L"org_ExitMsg", L"1"},
                                     {L"org_QQPath", L"D:\\Tencent\\QQ"}})
        EXPECT_EQ(varnu::GetIniValue(L"Settings", key, L"?"), value) << key;
}

TEST_F(SettingsTest, ASystemColourIsShownResolvedAndKeptUnlessPicked) {
    const COLORREF buttonFace = ::GetSysColor(COLOR_BTNFACE);
    WriteIni("tab_Normal=-2147483633\r\n");  // COLOR_BTNFACE
    Load();
    OpenDialog();
    EXPECT_EQ(SwatchColour(1), buttonFace);
    Press(varnu::idBtnOK);
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"tab_Normal", L""), L"-2147483633");

    // The picker starts at the colour shown: taken as it opens, it is that one.
    OpenDialog();
    Press(varnu::idBtnSetColor1);
    EXPECT_EQ(answerer_.Count(), 1);
    EXPECT_EQ(SwatchColour(1), buttonFace);
    Press(varnu::idBtnOK);
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"tab_Normal", L""), std::to_wstring(buttonFace));
}

TEST_F(SettingsTest, TinySizesFallBackAndNegativeEdgesMoveToZero) {
    WriteIni("win_CX=100\r\nwin_CY=6000\r\nwin_X=-300\r\nwin_Y=-15\r\n");
    EXPECT_EQ(Load(), SW_SHOWNORMAL);
    RECT r = WindowRect();
    EXPECT_EQ(r.right - r.left, 704);
    EXPECT_EQ(r.bottom - r.top, 400);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);

    // Absurd hand-edited values neither crash nor ask for an absurd window.
    WriteIni("win_CX=2147483647\r\nwin_CY=0\r\nwin_X=2147483647\r\nwin_Y=450\r\n");
    EXPECT_EQ(Load(), SW_SHOWNORMAL);
    EXPECT_EQ(ReportedText(), L"");
    r = WindowRect();
    EXPECT_LE(r.right - r.left, 32767);
    EXPECT_EQ(r.bottom - r.top, 557);
    EXPECT_EQ(r.top, 30);
}

TEST_F(SettingsTest, SavedStateIsReturnedAndKeepsTheInitialGeometry) {
    WriteIni("win_Status=2\r\nwin_CX=3000\r\nwin_CY=3000\r\nwin_X=0\r\nwin_Y=0\r\n");
    EXPECT_EQ(Load(), SW_SHOWMAXIMIZED);
    ExpectWindowUntouched();
    WriteIni("win_Status=1\r\nwin_CX=3000\r\n");
    EXPECT_EQ(Load(), SW_SHOWMINIMIZED);
    ExpectWindowUntouched();
    EXPECT_EQ(ReportedText(), L"");
}

TEST_F(SettingsTest, HandEditedTipTimeIsKeptWithinOneToSixtySeconds) {
    WriteIni("tray_TipTime=0\r\n");
    Load();
    EXPECT_EQ(AppSettings().tray_TipTime, 1);
    WriteIni("tray_TipTime=5000000\r\n");
    Load();
    EXPECT_EQ(AppSettings().tray_TipTime, 60);
    EXPECT_EQ(ReportedText(), L"");
}

TEST_F(SettingsTest, GarbageWithoutTheSectionGivesDefaults) {
    WriteBytes(ini_, std::string("\xFF\xFE\x01garbage\0\r\n[Other]\r\ntab_Bottom=False\r\n=\r\n[Settings\r\n"
                                 "tab_Roll=True\r\n",
                                 64));
    EXPECT_EQ(Load(), SW_SHOWNORMAL);
    EXPECT_EQ(ReportedText(), L"");
    EXPECT_TRUE(AppSettings().tab_Bottom);
    EXPECT_FALSE(AppSettings().tab_Roll);
    EXPECT_EQ(AppSettings().org_QQName, L"QQ.exe");
}

TEST_F(SettingsTest, ValuesKeepTheirBufferLimits) {
    varnu::SetIniPath(ini_);
    WriteIni("org_QQPath=" + std::string(300, 'p') + "\r\norg_QQName=\r\n");
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"org_QQPath", L""), std::wstring(254, L'p'));
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"org_QQName", L"QQ.exe"), L"") << "present but empty";
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"hot_Text", L"无"), L"无") << "missing";
    EXPECT_EQ(varnu::GetIniValue(L"Nowhere", L"org_QQName", L"QQ.exe"), L"QQ.exe");

    // A line break in a value must not plant a second key.
    varnu::SetIniValue(L"Settings", L"org_QQName", L"QQ.exe\r\nhot_Key=65");
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"hot_Key", L"none"), L"none");
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"org_QQName", L""), L"QQ.exe  hot_Key=65");
}

TEST_F(SettingsTest, SaveWritesExactlyTheFiveGeometryKeys) {
    varnu::SetIniPath(ini_);
    ::SetWindowPos(window_, nullptr, 120, 90, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    varnu::SaveWindowGeometry(window_);
    EXPECT_EQ(NonEmptyLines(ReadBytes(ini_)), (std::vector<std::string>{"[Settings]", "win_CX=9000", "win_CY=6000",
                                                                        "win_X=1800", "win_Y=1350", "win_Status=0"}));

    // What was saved comes back on the next start.
    ::SetWindowPos(window_, nullptr, 10, 10, 300, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(Load(), SW_SHOWNORMAL);
    const RECT r = WindowRect();
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 90);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 400);

    ::ShowWindow(window_, SW_SHOWMAXIMIZED);
    varnu::SaveWindowGeometry(window_);
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"win_Status", L""), L"2");
    ::ShowWindow(window_, SW_SHOWMINNOACTIVE);
    varnu::SaveWindowGeometry(window_);
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"win_Status", L""), L"1");
    EXPECT_EQ(NonEmptyLines(ReadBytes(ini_)).size(), 6u);
}

TEST_F(SettingsTest, UnwritableFileOrFolderKeepsTheValuesInMemory) {
    WriteIni("tab_Bottom=False\r\nhot_Key=81\r\n");
    ::SetFileAttributesW(ini_.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string before = ReadBytes(ini_);
    Load();
    // An administrator may write past the read-only mark; a handle that
    // shares only reading keeps every writer out for sure.
    HANDLE lock = ::CreateFileW(ini_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    varnu::SetIniValue(L"Settings", L"tab_Bottom", L"True");
    AppSettings().tab_Bottom = true;  // as the settings dialog does after writing
    varnu::SaveWindowGeometry(window_);
    EXPECT_EQ(ReadBytes(ini_), before);
    ::CloseHandle(lock);
    EXPECT_EQ(ReadBytes(ini_), before);
    EXPECT_TRUE(AppSettings().tab_Bottom);
    EXPECT_EQ(AppSettings().hot_Key, 81);
    EXPECT_EQ(ReportedText(), L"");

    // A folder that cannot take the file: reads give defaults, writes vanish.
    const std::wstring missing = folder_ + L"\\gone\\set.ini";
    varnu::SetIniPath(missing);
    varnu::SetIniValue(L"Settings", L"tab_Bottom", L"False");
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"tab_Bottom", L"True"), L"True");
    EXPECT_EQ(::GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsTest, PathHasOneBackslashAfterTheFolder) {
    WriteIni("");
    EXPECT_TRUE(varnu::InitIni(folder_ + L"\\", nullptr));
    EXPECT_EQ(varnu::IniPath(), ini_);
    EXPECT_TRUE(varnu::InitIni(folder_, nullptr));
    EXPECT_EQ(varnu::IniPath(), ini_);
    EXPECT_EQ(answerer_.Count(), 0);
}

TEST_F(SettingsTest, ChineseValuesAreStoredInCodePage936) {
    if (::GetACP() != 936) GTEST_SKIP() << "needs the Chinese ANSI code page (LANG=zh_CN.UTF-8)";
    varnu::SetIniPath(ini_);
    varnu::SetIniValue(L"Settings", L"org_QQPath", L"D:\\腾讯\\QQ");
    varnu::SetIniValue(L"Settings", L"hot_Text", L"无");
    const std::string bytes = ReadBytes(ini_);
    EXPECT_NE(bytes.find("org_QQPath=D:\\\xCC\xDA\xD1\xB6\\QQ"), std::string::npos);
    EXPECT_NE(bytes.find("hot_Text=\xCE\xDE"), std::string::npos);
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"hot_Text", L""), L"无");
    Load();
    EXPECT_EQ(AppSettings().org_QQPath, L"D:\\腾讯\\QQ");

    // Read wide, the 254-character limit counts characters, not bytes.
    WriteIni("org_QQPath=" + std::string(253, 'a') + "\xCC\xDA\r\n");
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"org_QQPath", L""), std::wstring(253, L'a') + L"腾");
}

TEST_F(SettingsTest, ATextWithoutAnAnsiFormTurnsTheFileIntoUtf16Once) {
    varnu::SetIniPath(ini_);
    const std::wstring local = ::GetACP() == 936 ? L"D:\\腾讯\\QQ" : L"D:\\Café\\QQ";
    varnu::SetIniValue(L"Settings", L"org_QQPath", local);
    EXPECT_NE(ReadBytes(ini_).find(win32::WideToAnsi(L"org_QQPath=" + local)), std::string::npos)
        << "texts the code page holds keep the file ANSI";

    // Hangul and a character outside the basic plane: in no ANSI code page.
    const std::wstring foreign = L"한국어 \U0001F600";
    varnu::SetIniValue(L"Settings", L"hot_Text", foreign);
    EXPECT_EQ(ReadBytes(ini_).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"hot_Text", L""), foreign);
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"org_QQPath", L""), local);
    varnu::SetIniValue(L"Settings", L"hot_Key", L"65");
    EXPECT_EQ(varnu::GetIniValue(L"Settings", L"hot_Text", L""), foreign);
    Load();
    EXPECT_EQ(AppSettings().org_QQPath, local);
    EXPECT_EQ(AppSettings().hot_Key, 65);
}

TEST_F(SettingsTest, FolderNamesOutsideTheCodePageStillWork) {
    // Thai letters exist neither in code page 1252 nor in 936.
    const std::wstring folder = folder_ + L"\\ภาษา";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    WriteBytes(folder + L"\\set.ini", "[Settings]\r\ntab_Bottom=False\r\n");
    EXPECT_EQ(varnu::LoadSettings(window_, folder), SW_SHOWNORMAL);
    EXPECT_EQ(answerer_.Count(), 0);
    EXPECT_FALSE(AppSettings().tab_Bottom);
    varnu::SetIniValue(L"Settings", L"hot_Key", L"65");
    EXPECT_NE(ReadBytes(folder + L"\\set.ini").find("hot_Key=65"), std::string::npos);
}

// Quiet conversations live in a section of their own: names of any shape
// read back as written, and the [Settings] lines stay exactly as they were.
TEST_F(SettingsTest, QuietNamesRoundTripAndLeaveTheSettingsAlone) {
    WriteIni("tab_Bottom=False\r\nhot_Key=81\r\n");
    varnu::SetIniPath(ini_);
    const std::string settings = ReadBytes(ini_);
    const std::wstring odd = L"  [Team]=a;b \"c\"";
    const std::wstring chinese = L"[技术交流]=群; \"周末\"";
    varnu::QuietConversations quiet;
    quiet.Load();
    quiet.Remember(odd, true);
    quiet.Remember(L"", true);
    quiet.Remember(std::wstring(300, L'x'), true);
    const std::string bytes = ReadBytes(ini_);
    EXPECT_EQ(bytes.substr(0, settings.size()), settings);
    EXPECT_EQ(NonEmptyLines(bytes.substr(settings.size())),
              (std::vector<std::string>{"[Quiet]", "1=\"" + win32::WideToAnsi(odd) + "\""}));

    // Hangul and a character outside the basic plane turn the file into UTF-16.
    const std::wstring foreign = L"한국어 \U0001F600";
    quiet.Remember(chinese, true);
    quiet.Remember(foreign, true);
    EXPECT_EQ(ReadBytes(ini_).substr(0, 2), "\xFF\xFE");
    varnu::QuietConversations loaded;
    loaded.Load();
    for (const std::wstring& name : {odd, chinese, foreign}) EXPECT_TRUE(loaded.IsQuiet(name));
    quiet.Remember(odd, false);
    loaded.Load();
    EXPECT_FALSE(loaded.IsQuiet(odd));
    EXPECT_EQ(varnu::GetIniKeys(L"Settings"), (std::vector<std::wstring>{L"tab_Bottom", L"hot_Key"}));
}

}  // namespace
