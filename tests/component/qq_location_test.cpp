// Finding and starting the messenger, against the test prefix's registry and
// process list.
#include "settings/qq_location.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings.h"

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

}  // namespace
