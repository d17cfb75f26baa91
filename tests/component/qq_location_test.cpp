// Finding and starting the messenger, against the test prefix's registry and
// process list.
#include "settings/qq_location.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings.h"
#include "win32/strconv.h"

namespace {

// A copy of this program, named "QQ.exe" and started with this variable set,
// plays the running messenger: it only waits until the test ends it.
constexpr wchar_t kFakeMessengerVariable[] = L"VARNU_FAKE_MESSENGER";
const bool kIsFakeMessenger = [] {
    if (::GetEnvironmentVariableW(kFakeMessengerVariable, nullptr, 0) == 0) return false;
    ::Sleep(30000);
    ::ExitProcess(0);
}();

std::wstring TempFolder() {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"varnu-qq-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Process ids of the "QQ.exe" copies this test started.
std::vector<DWORD> OurMessengers() {
    std::vector<DWORD> ids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == ::GetCurrentProcessId() && _wcsicmp(entry.szExeFile, L"QQ.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return ids;
}

void EndOurMessengers() {
    for (DWORD id : OurMessengers()) {
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) continue;
        ::TerminateProcess(process, 0);
        ::WaitForSingleObject(process, 5000);
        ::CloseHandle(process);
    }
}

class FakeMessenger : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = TempFolder();
        exe_ = folder_ + L"\\QQ.exe";
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        ASSERT_TRUE(::CopyFileW(self, exe_.c_str(), FALSE));
        ::SetEnvironmentVariableW(kFakeMessengerVariable, L"1");
        varnu::AppSettings() = varnu::Settings{};
    }
    void TearDown() override {
        EndOurMessengers();
        ::SetEnvironmentVariableW(kFakeMessengerVariable, nullptr);
        ::DeleteFileW(exe_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    static bool WaitForMessenger(bool running) {
        for (int i = 0; i < 100; ++i) {
            if (varnu::IsQQRunning() == running) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::wstring folder_, exe_;
};

constexpr char kKey[] = "Software\\Tencent\\QQ";

// Writes the messenger's "Install" value in one registry view for the
// length of a test; the keys made for it are removed again.
class RegistryValue {
public:
    RegistryValue(DWORD type, const void* data, DWORD size, REGSAM view = 0) : view_(view) {
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr, &key_, nullptr);
        ::RegSetValueExA(key_, "Install", 0, type, static_cast<const BYTE*>(data), size);
    }
    static RegistryValue Text(const std::string& text, REGSAM view = 0) {
        return RegistryValue(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1), view);
    }
    ~RegistryValue() {
        ::RegDeleteValueA(key_, "Install");
        ::RegCloseKey(key_);
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKey, view_, 0);
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tencent", view_, 0);
    }
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;

private:
    HKEY key_ = nullptr;
    REGSAM view_ = 0;
};

TEST(GetQQPath, NoKeyGivesEmptyText) { EXPECT_EQ(varnu::GetQQPath(), L""); }

TEST(GetQQPath, ReadsTheInstallFolderKeepingATrailingBackslash) {
    {
        auto value = RegistryValue::Text("D:\\Program Files\\Tencent\\QQ");
        EXPECT_EQ(varnu::GetQQPath(), L"D:\\Program Files\\Tencent\\QQ");
    }
    {
        auto value = RegistryValue::Text("D:\\Tencent\\QQ\\");
        EXPECT_EQ(varnu::GetQQPath(), L"D:\\Tencent\\QQ\\");
    }
    EXPECT_EQ(varnu::GetQQPath(), L"") << "the test's value is gone again";
}

TEST(GetQQPath, FindsTheValueOfA32BitInstaller) {
    auto value = RegistryValue::Text("C:\\QQ32", KEY_WOW64_32KEY);
    EXPECT_EQ(varnu::GetQQPath(), L"C:\\QQ32");
}

TEST(GetQQPath, OddlyStoredValuesGiveTextOrNothing) {
    {
        const char noNul[] = {'C', ':', '\\', 'Q', 'Q'};
        RegistryValue value(REG_SZ, noNul, sizeof(noNul));
        EXPECT_EQ(varnu::GetQQPath(), L"C:\\QQ");
    }
    {
        const char padded[] = "C:\\QQ\\\0\0\0";
        RegistryValue value(REG_SZ, padded, sizeof(padded));
        EXPECT_EQ(varnu::GetQQPath(), L"C:\\QQ\\");
    }
    {
        const DWORD number = 0x3a43;
        RegistryValue value(REG_DWORD, &number, sizeof(number));
        EXPECT_EQ(varnu::GetQQPath(), L"");
    }
    {
        RegistryValue value(REG_SZ, "", 0);
        EXPECT_EQ(varnu::GetQQPath(), L"");
    }
}

TEST_F(FakeMessenger, RunningMessengerIsSeenAndNotStartedTwice) {
    EXPECT_FALSE(varnu::IsQQRunning());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + exe_ + L"\" 0";
    ASSERT_TRUE(::CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &info));
    ::CloseHandle(info.hThread);
    EXPECT_TRUE(WaitForMessenger(true)) << "the snapshot names it \"QQ.exe\", without a folder";

    auto& settings = varnu::AppSettings();
    settings.org_AutoRun = 1;
    settings.org_QQPath = folder_;
    int balloons = 0;
    varnu::LaunchQQ(nullptr, [&balloons] { ++balloons; });
    EXPECT_EQ(balloons, 0);
    EXPECT_EQ(OurMessengers().size(), 1u);

    ::TerminateProcess(info.hProcess, 0);
    ::WaitForSingleObject(info.hProcess, 5000);
    ::CloseHandle(info.hProcess);
    EXPECT_TRUE(WaitForMessenger(false));
}

TEST_F(FakeMessenger, StartsQQExeInTheFolderWhenTheNameIsEmpty) {
    auto& settings = varnu::AppSettings();
    settings.org_AutoRun = 1;
    settings.org_QQPath = folder_ + L"\\";  // a trailing backslash gets no second one
    settings.org_QQName.clear();
    int balloons = 0;
    varnu::LaunchQQ(nullptr, [&balloons] { ++balloons; });
    EXPECT_EQ(balloons, 1);
    EXPECT_TRUE(WaitForMessenger(true));
    EXPECT_EQ(OurMessengers().size(), 1u);
}

TEST(LaunchQQ, StartsNothingWithoutAFolderOrAutoRun) {
    varnu::Settings& settings = varnu::AppSettings();
    settings = varnu::Settings{};
    int balloons = 0;
    const auto balloon = [&balloons] { ++balloons; };

    settings.org_AutoRun = 1;
    settings.org_QQPath.clear();
    varnu::LaunchQQ(nullptr, balloon);
    EXPECT_EQ(balloons, 0);

    settings.org_AutoRun = 0;
    settings.org_QQPath = L"C:\\windows\\system32";
    varnu::LaunchQQ(nullptr, balloon);
    EXPECT_EQ(balloons, 0);
}

TEST(LaunchQQ, AnnouncesAndStartsTheMessengerNamed) {
    // A harmless program that ends at once stands in for the messenger; a
    // name that does not exist must fail quietly.
    varnu::Settings& settings = varnu::AppSettings();
    settings = varnu::Settings{};
    settings.org_AutoRun = 1;
    settings.org_QQPath = L"C:\\windows\\system32\\";
    settings.org_QQName = L"hostname.exe";
    int balloons = 0;
    varnu::LaunchQQ(nullptr, [&balloons] { ++balloons; });
    EXPECT_EQ(balloons, 1);

    settings.org_QQName = L"no-such-messenger.exe";
    varnu::LaunchQQ(nullptr, [&balloons] { ++balloons; });
    EXPECT_EQ(balloons, 2);
    varnu::LaunchQQ(nullptr, nullptr);  // no balloon operation given
}

// Answers the folder picker from another thread: picks `folder` (when not
// empty) and confirms, or cancels. Remembers what the picker showed.
class PickerDriver {
public:
    explicit PickerDriver(std::wstring folder) : folder_(std::move(folder)) {
        thread_ = std::thread([this] {
            for (int i = 0; i < 500 && !stop_; ++i) {
                if (HWND picker = FindPicker()) {
                    owner_ = ::GetWindow(picker, GW_OWNER);
                    if (folder_.empty()) {
                        ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                    } else {
                        ::SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder_.c_str()));
                        ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    }
                    found_ = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~PickerDriver() {
        stop_ = true;
        thread_.join();
    }
    bool Found() const { return found_; }
    HWND Owner() const { return owner_; }

private:
    // A visible dialog of this process that carries the picker's title text.
    static HWND FindPicker() {
        HWND found = nullptr;
        ::EnumWindows(
            [](HWND hwnd, LPARAM lp) -> BOOL {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(hwnd, &pid);
                wchar_t cls[16] = {};
                ::GetClassNameW(hwnd, cls, 16);
                if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd) || wcscmp(cls, L"#32770") != 0)
                    return TRUE;
                for (HWND child = ::FindWindowExW(hwnd, nullptr, nullptr, nullptr); child;
                     child = ::FindWindowExW(hwnd, child, nullptr, nullptr)) {
                    wchar_t text[64] = {};
                    ::GetWindowTextW(child, text, 64);
                    if (wcscmp(text, L"请选择QQ所在的文件夹:") == 0) {
                        *reinterpret_cast<HWND*>(lp) = hwnd;
                        return FALSE;
                    }
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::wstring folder_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> found_{false};
    std::atomic<HWND> owner_{nullptr};
    std::thread thread_;
};

TEST(BrowseForFolder, CancelGivesNothingAndAPickGivesThePlainFolder) {
    HWND owner = ::CreateWindowExW(0, L"Static", L"settings", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    {
        PickerDriver driver(L"");
        const varnu::FolderChoice choice = varnu::BrowseForFolder(owner);
        ASSERT_TRUE(driver.Found()) << "the picker with its title did not appear";
        EXPECT_EQ(driver.Owner(), owner);
        EXPECT_TRUE(choice.Cancelled);
        EXPECT_EQ(choice.Path, L"");
    }
    {
        const std::wstring folder = TempFolder();
        PickerDriver driver(folder);
        const varnu::FolderChoice choice = varnu::BrowseForFolder(owner);
        ASSERT_TRUE(driver.Found());
        EXPECT_FALSE(choice.Cancelled);
        EXPECT_EQ(_wcsicmp(choice.Path.c_str(), folder.c_str()), 0)
            << testing::PrintToString(win32::WideToUtf8(choice.Path));
        ::RemoveDirectoryW(folder.c_str());
    }
    ::DestroyWindow(owner);
}

}  // namespace
