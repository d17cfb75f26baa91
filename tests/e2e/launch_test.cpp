// Starting the messenger at start-up, seen from outside: the folder comes
// from the messenger's registry value when the settings name none, and
// "QQ.exe" there is started only when automatic start is on and no
// messenger runs yet. A messenger that starts after Varnu, by Varnu's hand
// or again after it ended, gets the Ctrl and wheel gestures all the same.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using namespace e2e;

constexpr char kQQKey[] = "Software\\Tencent\\QQ";

constexpr wchar_t kBaseIni[] =
    L"[Settings]\r\n"
    L"tray_AutoMin=0\r\n"
    L"tray_CloseTray=0\r\n"
    L"org_ExitMsg=0\r\n"
    L"hot_Enabled=0\r\n"
    L"win_Status=0\r\n"
    L"win_X=1500\r\nwin_Y=1500\r\n";

// The messenger's install folder in the registry for the length of a test;
// the value and the keys made for it go again afterwards.
class InstallValue {
public:
    explicit InstallValue(const std::wstring& folder) {
        const int n = ::WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(n), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, text.data(), n, nullptr, nullptr);
        ok_ = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kQQKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) ==
                  ERROR_SUCCESS &&
              ::RegSetValueExA(key_, "Install", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                               static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
    }
    ~InstallValue() {
        if (!key_) return;
        ::RegDeleteValueA(key_, "Install");
        ::RegCloseKey(key_);
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kQQKey);
        ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tencent");
    }
    InstallValue(const InstallValue&) = delete;
    InstallValue& operator=(const InstallValue&) = delete;
    bool Ok() const { return ok_; }

private:
    HKEY key_ = nullptr;
    bool ok_ = false;
};

// A folder under %TEMP% holding a copy of the simulator under `name`;
// removed with it.
class MessengerFolder {
public:
    MessengerFolder(const std::wstring& tag, const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"varnu-" + tag + L"-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(path_.c_str(), nullptr);
        exe_ = JoinPath(path_, name);
        copied_ = ::CopyFileW(JoinPath(TestExeFolder(), L"MessengerSim.exe").c_str(), exe_.c_str(), FALSE) != 0;
    }
    ~MessengerFolder() {
        ::DeleteFileW(exe_.c_str());
        ::RemoveDirectoryW(path_.c_str());
    }
    MessengerFolder(const MessengerFolder&) = delete;
    MessengerFolder& operator=(const MessengerFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    const std::wstring& Exe() const { return exe_; }
    bool Ok() const { return copied_; }

private:
    std::wstring path_, exe_;
    bool copied_ = false;
};

std::wstring FullImagePath(DWORD processId) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return {};
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    std::wstring result;
    if (::QueryFullProcessImageNameW(process, 0, path, &size)) result.assign(path, size);
    ::CloseHandle(process);
    return result;
}

// Ids of the running processes started from `exePath`.
std::vector<DWORD> ProcessesOf(const std::wstring& exePath) {
    std::vector<DWORD> ids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    const std::wstring name = exePath.substr(exePath.find_last_of(L'\\') + 1);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, name.c_str()) != 0) continue;
        if (_wcsicmp(FullImagePath(entry.th32ProcessID).c_str(), exePath.c_str()) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return ids;
}

// Ends what was started from `exePath` (each one by its own handle).
void EndProcessesOf(const std::wstring& exePath) {
    for (DWORD id : ProcessesOf(exePath)) {
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) continue;
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, 5000);
        ::CloseHandle(process);
    }
}

// The messenger's main panel and two conversations, opened while Varnu runs:
// Ctrl held in a conversation shows the tab numbers, Ctrl + wheel steps on.
void ExpectGesturesInNewMessenger(Simulator& messenger, HWND main) {
    ASSERT_TRUE(messenger.Open(sim::Kind::MainPanel, L"QQ"));
    const SimWindow first = messenger.Open(sim::Kind::Classic, L"与 张三 交谈中");
    const SimWindow second = messenger.Open(sim::Kind::Classic, L"与 李四 交谈中");
    RemoteTabs tabs(FindTabWindow(main));
    ASSERT_TRUE(WaitUntil([&] { return IsTakenInto(second.top, main) && tabs.Count() == 2; }));
    PostKey(first.input, VK_CONTROL, true);
    EXPECT_TRUE(WaitUntil([&] { return VisibleTabNumbers(main).size() == 2; }));
    PostWheel(first.input, -120, MK_CONTROL);
    EXPECT_TRUE(WaitUntil([&] { return tabs.Selected() == 0; }));  // from the newest, wrapping
    PostKey(first.input, VK_CONTROL, false);
}

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qq_.Ok());
        ASSERT_TRUE(install_.Ok());
    }
    void TearDown() override {
        if (varnu_) {
            varnu_->RequestClose();
            varnu_->WaitForExit(15000ms);
        }
        EndProcessesOf(qq_.Exe());
    }

    // Starts Varnu and waits until its start-up has finished.
    void StartVarnu(const std::wstring& extraIni) {
        folder_.WriteIni(kBaseIni + extraIni);
        varnu_.emplace(folder_);
        HWND main = varnu_->WaitForMainWindow(15000ms, L"VarnuMainWindow");
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return IsVisible(main); }, 15000ms));
    }

    MessengerFolder qq_{L"qq", L"QQ.exe"};
    InstallValue install_{qq_.Path()};
    ProgramFolder folder_;
    std::optional<VarnuApp> varnu_;
};

TEST_F(LaunchTest, StartsQQExeFromTheRegisteredFolder) {
    ASSERT_TRUE(ProcessesOf(qq_.Exe()).empty());
    ASSERT_NO_FATAL_FAILURE(StartVarnu(L"org_AutoRun=1\r\norg_QQPath=\r\n"));
    EXPECT_TRUE(WaitUntil([&] { return ProcessesOf(qq_.Exe()).size() == 1; }, 10000ms))
        << "no QQ.exe was started from the registered folder";
    // Started once, not again later.
    Pause(500ms);
    EXPECT_EQ(ProcessesOf(qq_.Exe()).size(), 1u);
}

TEST_F(LaunchTest, GesturesWorkInTheMessengerVarnuStarted) {
    ASSERT_NO_FATAL_FAILURE(StartVarnu(L"org_AutoRun=1\r\norg_QQPath=\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return ProcessesOf(qq_.Exe()).size() == 1; }, 10000ms));
    Simulator messenger(Process::Attach(ProcessesOf(qq_.Exe()).front()));
    ExpectGesturesInNewMessenger(messenger, varnu_->MainWindow());
}

TEST_F(LaunchTest, GesturesWorkInAMessengerStartedLaterAndAgain) {
    ASSERT_NO_FATAL_FAILURE(StartVarnu(L"org_AutoRun=0\r\n"));
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Simulator messenger;
        ExpectGesturesInNewMessenger(messenger, varnu_->MainWindow());
    }
}

TEST_F(LaunchTest, NothingIsStartedWhileAMessengerRuns) {
    MessengerFolder running(L"running", L"qq.exe");
    ASSERT_TRUE(running.Ok());
    Process messenger = Process::Start(running.Exe());
    ASSERT_TRUE(WaitUntil([&] { return ProcessesOf(running.Exe()).size() == 1; }));

    ASSERT_NO_FATAL_FAILURE(StartVarnu(L"org_AutoRun=1\r\norg_QQPath=\r\n"));
    Pause(1500ms);
    EXPECT_TRUE(ProcessesOf(qq_.Exe()).empty());
    messenger.Terminate();
    messenger.WaitForExit();
}

TEST_F(LaunchTest, NothingIsStartedWithoutAutomaticStart) {
    ASSERT_NO_FATAL_FAILURE(StartVarnu(L"org_AutoRun=0\r\norg_QQPath=\r\n"));
    Pause(1500ms);
    EXPECT_TRUE(ProcessesOf(qq_.Exe()).empty());
}

}  // namespace
