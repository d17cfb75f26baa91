#include "harness.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <map>
#include <stdexcept>

#include "controls/tabcontrol/core/tab_logic.h"
#include "win32/strconv.h"
#include "win32/winapi.h"

namespace e2e {
namespace {

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error(what + " (error " + std::to_string(::GetLastError()) + ")");
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(JoinPath(path, L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = JoinPath(path, name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path.c_str());
}

HWND ToHwnd(uint64_t value) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(value)); }
uint64_t FromHwnd(HWND hwnd) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(hwnd)); }

LPARAM PointParam(POINT pt) { return MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)); }

POINT ClientCentre(HWND hwnd) {
    RECT rc = ClientRect(hwnd);
    return POINT{rc.right / 2, rc.bottom / 2};
}

// Memory in another process, freed on scope exit.
class RemoteBuffer {
public:
    RemoteBuffer(HWND owner, size_t bytes) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(owner, &pid);
        process_.reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (process_)
            address_ = ::VirtualAllocEx(process_.get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) ::VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    explicit operator bool() const { return address_ != nullptr; }
    char* Address() const { return static_cast<char*>(address_); }
    bool Write(size_t offset, const void* data, size_t bytes) const {
        SIZE_T done = 0;
        return ::WriteProcessMemory(process_.get(), Address() + offset, data, bytes, &done) && done == bytes;
    }
    bool Read(const void* remote, void* data, size_t bytes) const {
        SIZE_T done = 0;
        return ::ReadProcessMemory(process_.get(), remote, data, bytes, &done) && done == bytes;
    }

private:
    win32::UniqueHandle process_;
    void* address_ = nullptr;
};

std::vector<wchar_t> BuildEnvironment(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
    // name -> "name=value", keeping the first spelling of each name.
    std::vector<std::wstring> entries;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += std::wcslen(p) + 1) entries.emplace_back(p);
        ::FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        std::erase_if(entries, [&](const std::wstring& entry) {
            const size_t eq = entry.find(L'=', 1);  // "=C:=C:\..." entries start with '='
            return eq != std::wstring::npos && EqualsNoCase(std::wstring_view(entry).substr(0, eq), name);
        });
        if (!value.empty()) entries.push_back(name + L"=" + value);
    }
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::vector<wchar_t> block;
    for (const std::wstring& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    if (block.size() == 1) block.push_back(L'\0');
    return block;
}

}  // namespace

// ---------------------------------------------------------------------------

bool WaitUntil(const std::function<bool()>& predicate, Millis timeout, Millis interval) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (predicate()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return predicate();
        PumpMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(interval.count()), QS_ALLINPUT);
    }
}

void Pause(Millis duration) {
    WaitUntil([] { return false; }, duration);
}

std::wstring TestExeFolder() { return win32::ModuleFolder(); }

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += name;
    return path;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
    win32::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    win32::UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw Failure("cannot create " + win32::WideToUtf8(path));
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw Failure("cannot write " + win32::WideToUtf8(path));
}

// ---------------------------------------------------------------------------

ProgramFolder::ProgramFolder(bool copyHookLibrary) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) throw Failure("no temporary folder");
    path_ = JoinPath(std::wstring(temp, n), L"varnu-e2e-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                                std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(++counter));
    if (!::CreateDirectoryW(path_.c_str(), nullptr)) throw Failure("cannot create " + win32::WideToUtf8(path_));
    const std::wstring from = TestExeFolder();
    if (!::CopyFileW(JoinPath(from, L"Varnu.exe").c_str(), ExePath().c_str(), FALSE)) {
        RemoveTree(path_);
        throw Failure("cannot copy Varnu.exe from " + win32::WideToUtf8(from));
    }
    const std::wstring dll = JoinPath(from, L"Varnu.dll");
    if (copyHookLibrary && FileExists(dll)) ::CopyFileW(dll.c_str(), File(L"Varnu.dll").c_str(), FALSE);
}

ProgramFolder::~ProgramFolder() {
    if (!owned_) return;
    // A program that has only just ended may still hold its files for a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        RemoveTree(path_);
        if (::GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        ::Sleep(100);
    }
}

void ProgramFolder::WriteIni(std::wstring_view text, UINT codePage) const {
    WriteIniBytes(win32::ToNarrow(text, codePage));
}
void ProgramFolder::WriteIniBytes(std::string_view bytes) const { WriteFileBytes(File(L"set.ini"), bytes); }
void ProgramFolder::RemoveIni() const { ::DeleteFileW(File(L"set.ini").c_str()); }
bool ProgramFolder::IniExists() const { return FileExists(File(L"set.ini")); }
std::string ProgramFolder::ReadIniBytes() const { return ReadFileBytes(File(L"set.ini")); }
std::wstring ProgramFolder::ReadIniText(UINT codePage) const { return win32::ToWide(ReadIniBytes(), codePage); }

std::vector<std::wstring> ProgramFolder::IniKeys(std::wstring_view section) const {
    std::vector<wchar_t> buffer(65536, L'\0');
    const std::wstring file = File(L"set.ini");
    const DWORD n = ::GetPrivateProfileStringW(std::wstring(section).c_str(), nullptr, L"", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::wstring> keys;
    for (size_t i = 0; i < n && buffer[i];) {
        std::wstring key(buffer.data() + i);
        i += key.size() + 1;
        keys.push_back(std::move(key));
    }
    return keys;
}

std::optional<std::wstring> ProgramFolder::IniValue(std::wstring_view key, std::wstring_view section) const {
    const auto keys = IniKeys(section);
    if (std::none_of(keys.begin(), keys.end(), [&](const std::wstring& k) { return EqualsNoCase(k, key); }))
        return std::nullopt;
    std::vector<wchar_t> buffer(32768, L'\0');
    const DWORD n =
        ::GetPrivateProfileStringW(std::wstring(section).c_str(), std::wstring(key).c_str(), L"", buffer.data(),
                                   static_cast<DWORD>(buffer.size()), File(L"set.ini").c_str());
    return std::wstring(buffer.data(), n);
}

// ---------------------------------------------------------------------------

Process Process::Start(const std::wstring& exePath, const LaunchOptions& options) {
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!options.arguments.empty()) commandLine += L" " + options.arguments;
    std::wstring folder = options.workingFolder;
    if (folder.empty()) {
        const size_t slash = exePath.find_last_of(L"\\/");
        if (slash != std::wstring::npos) folder = exePath.substr(0, slash);
    }
    std::vector<wchar_t> environment;
    if (!options.environment.empty()) environment = BuildEnvironment(options.environment);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    if (!::CreateProcessW(exePath.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          environment.empty() ? nullptr : environment.data(), folder.empty() ? nullptr : folder.c_str(),
                          &startup, &info))
        throw Failure("cannot start " + win32::WideToUtf8(exePath));
    ::CloseHandle(info.hThread);
    Process process;
    process.handle_.reset(info.hProcess);
    process.id_ = info.dwProcessId;
    return process;
}

Process Process::Attach(DWORD id) {
    Process process;
    process.handle_.reset(
        ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process.handle_) throw Failure("cannot open process " + std::to_string(id));
    process.id_ = id;
    return process;
}

Process::~Process() { Terminate(); }

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Terminate();
        handle_ = std::move(other.handle_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

bool Process::IsRunning() const { return handle_ && ::WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::WaitForExit(Millis timeout) const {
    if (!handle_) return std::nullopt;
    const bool ended =
        WaitUntil([&] { return ::WaitForSingleObject(handle_.get(), 0) == WAIT_OBJECT_0; }, timeout, 10ms);
    if (!ended) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(handle_.get(), &code);
    return code;
}

void Process::Terminate(UINT exitCode) {
    if (IsRunning()) {
        ::TerminateProcess(handle_.get(), exitCode);
        ::WaitForSingleObject(handle_.get(), 5000);
    }
}

// ---------------------------------------------------------------------------

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly) {
    struct Query {
        DWORD pid;
        bool visibleOnly;
        std::vector<HWND> found;
    } query{processId, visibleOnly, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* q = reinterpret_cast<Query*>(param);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hwnd, &pid);
            if (pid == q->pid && (!q->visibleOnly || ::IsWindowVisible(hwnd))) q->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&query));
    return query.found;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = ::FindWindowExW(parent, nullptr, nullptr, nullptr); child;
         child = ::FindWindowExW(parent, child, nullptr, nullptr))
        children.push_back(child);
    return children;
}

std::vector<HWND> DescendantWindows(HWND parent) {
    std::vector<HWND> all;
    for (HWND child : ChildWindows(parent)) {
        all.push_back(child);
        const auto below = DescendantWindows(child);
        all.insert(all.end(), below.begin(), below.end());
    }
    return all;
}

HWND FindChild(HWND parent, std::wstring_view className, int index) {
    const std::wstring cls(className);
    HWND child = nullptr;
    for (int i = 0; i <= index; ++i) {
        child = ::FindWindowExW(parent, child, cls.c_str(), nullptr);
        if (!child) return nullptr;
    }
    return child;
}

HWND FindDescendant(HWND parent, std::wstring_view className) {
    for (HWND hwnd : DescendantWindows(parent)) {
        if (ClassName(hwnd) == className) return hwnd;
    }
    return nullptr;
}

std::wstring Caption(HWND hwnd) { return win32::WindowText(hwnd); }
std::wstring ClassName(HWND hwnd) { return win32::WindowClass(hwnd); }
DWORD Style(HWND hwnd) { return win32::WindowStyle(hwnd); }
DWORD ExStyle(HWND hwnd) { return win32::WindowExStyle(hwnd); }
HWND Parent(HWND hwnd) { return ::GetParent(hwnd); }
HWND Owner(HWND hwnd) { return ::GetWindow(hwnd, GW_OWNER); }
HWND Ancestor(HWND hwnd, UINT flags) { return ::GetAncestor(hwnd, flags); }
bool IsVisible(HWND hwnd) { return ::IsWindowVisible(hwnd) != FALSE; }

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

RECT WindowRect(HWND hwnd) {
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

RECT ClientRect(HWND hwnd) {
    RECT rc{};
    ::GetClientRect(hwnd, &rc);
    return rc;
}

RECT ClientRectOnScreen(HWND hwnd) {
    RECT rc = ClientRect(hwnd);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::optional<std::wstring> AnsiControlText(HWND hwnd, UINT timeoutMs) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &length)) return std::nullopt;
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                               SMTO_ABORTIFHUNG, timeoutMs, &copied))
        return std::nullopt;
    buffer.resize(std::min<size_t>(copied, length));
    return win32::AnsiToWide(buffer);
}

std::optional<LRESULT> SendBounded(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

std::optional<std::wstring> WideControlText(HWND hwnd, UINT timeoutMs) {
    auto length = SendBounded(hwnd, WM_GETTEXTLENGTH, 0, 0, timeoutMs);
    if (!length) return std::nullopt;
    std::vector<wchar_t> buffer(static_cast<size_t>(*length) + 1, L'\0');
    auto copied = SendBounded(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), timeoutMs);
    if (!copied) return std::nullopt;
    size_t n = static_cast<size_t>(*copied);
    if (n >= buffer.size()) n = buffer.size() - 1;
    return std::wstring(buffer.data(), n);
}

std::vector<std::wstring> ChildTexts(HWND parent) {
    std::vector<std::wstring> texts;
    for (HWND hwnd : DescendantWindows(parent)) texts.push_back(Caption(hwnd));
    return texts;
}

// ---------------------------------------------------------------------------

HWND FindTabWindow(HWND mainWindow) { return FindDescendant(mainWindow, WC_TABCONTROLW); }

RemoteTabs::RemoteTabs(HWND tabWindow) : tab_(tabWindow) {}

int RemoteTabs::Count() const {
    auto n = SendBounded(tab_, TCM_GETITEMCOUNT, 0, 0, 2000);
    return n ? static_cast<int>(*n) : -1;
}

int RemoteTabs::Selected() const {
    auto n = SendBounded(tab_, TCM_GETCURSEL, 0, 0, 2000);
    return n ? static_cast<int>(*n) : -1;
}

std::optional<std::wstring> RemoteTabs::Caption(int index) const {
    constexpr size_t kChars = 512;
    RemoteBuffer remote(tab_, sizeof(TCITEMW) + kChars * sizeof(wchar_t));
    if (!remote) return std::nullopt;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote.Address() + sizeof(TCITEMW));
    item.cchTextMax = static_cast<int>(kChars);
    const wchar_t empty = L'\0';
    if (!remote.Write(0, &item, sizeof(item)) || !remote.Write(sizeof(TCITEMW), &empty, sizeof(empty)))
        return std::nullopt;
    auto ok =
        SendBounded(tab_, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.Address()), 2000);
    if (!ok || !*ok) return std::nullopt;
    // The control may point pszText at its own copy instead of filling ours.
    TCITEMW back{};
    if (!remote.Read(remote.Address(), &back, sizeof(back)) || !back.pszText) return std::nullopt;
    std::vector<wchar_t> text(kChars, L'\0');
    if (!remote.Read(back.pszText, text.data(), (kChars - 1) * sizeof(wchar_t))) {
        // A foreign pointer near the end of its block: read less.
        if (!remote.Read(back.pszText, text.data(), 64 * sizeof(wchar_t))) return std::nullopt;
    }
    return std::wstring(text.data());
}

std::vector<std::wstring> RemoteTabs::Captions() const {
    std::vector<std::wstring> captions;
    const int n = Count();
    for (int i = 0; i < n; ++i) captions.push_back(Caption(i).value_or(L"<unreadable>"));
    return captions;
}

std::optional<RECT> RemoteTabs::ItemRect(int index) const {
    RemoteBuffer remote(tab_, sizeof(RECT));
    if (!remote) return std::nullopt;
    auto ok = SendBounded(tab_, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.Address()),
                          2000);
    RECT rc{};
    if (!ok || !*ok || !remote.Read(remote.Address(), &rc, sizeof(rc))) return std::nullopt;
    return rc;
}

std::optional<RemoteTabs::Marks> RemoteTabs::ItemMarks(int index) const {
    RemoteBuffer remote(tab_, sizeof(TCITEMW));
    if (!remote) return std::nullopt;
    TCITEMW item{};
    item.mask = TCIF_STATE | TCIF_PARAM;
    item.dwStateMask = TCIS_HIGHLIGHTED;
    if (!remote.Write(0, &item, sizeof(item))) return std::nullopt;
    auto ok =
        SendBounded(tab_, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.Address()), 2000);
    if (!ok || !*ok || !remote.Read(remote.Address(), &item, sizeof(item))) return std::nullopt;
    return Marks{(item.dwState & TCIS_HIGHLIGHTED) != 0,
                 (static_cast<std::uintptr_t>(item.lParam) & varnu::tabs::kItemQuiet) != 0};
}

bool RemoteTabs::ClickTab(int index, bool right) const {
    const auto rc = ItemRect(index);
    if (!rc) return false;
    const POINT pt{(rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2};
    PostMouse(tab_, WM_MOUSEMOVE, 0, pt);
    PostMouse(tab_, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, pt);
    PostMouse(tab_, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, pt);
    return true;
}

std::vector<std::wstring> ListViewTexts(HWND list) {
    constexpr size_t kChars = 256;
    std::vector<std::wstring> texts;
    RemoteBuffer remote(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    const auto count = SendBounded(list, LVM_GETITEMCOUNT, 0, 0, 2000);
    if (!remote || !count) return texts;
    for (int i = 0; i < static_cast<int>(*count); ++i) {
        LVITEMW item{};
        item.pszText = reinterpret_cast<wchar_t*>(remote.Address() + sizeof(LVITEMW));
        item.cchTextMax = static_cast<int>(kChars);
        std::vector<wchar_t> text(kChars, L'\0');
        if (!remote.Write(0, &item, sizeof(item)) ||
            !SendBounded(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.Address()),
                         2000) ||
            !remote.Read(item.pszText, text.data(), (kChars - 1) * sizeof(wchar_t)))
            return texts;
        texts.emplace_back(text.data());
    }
    return texts;
}

// ---------------------------------------------------------------------------

VarnuApp::VarnuApp(const ProgramFolder& folder, LaunchOptions options) {
    if (options.workingFolder.empty()) options.workingFolder = folder.Path();
    process_ = Process::Start(folder.ExePath(), options);
}

HWND VarnuApp::WaitForMainWindow(Millis timeout, std::wstring_view className) {
    auto matches = [&](HWND hwnd) {
        if (!className.empty()) return ClassName(hwnd) == className;
        const std::wstring caption = Caption(hwnd);
        return caption.starts_with(L"Varnu") || caption.ends_with(L" - Varnu");
    };
    WaitUntil(
        [&] {
            main_ = nullptr;
            for (HWND hwnd : TopLevelWindows(Id(), false)) {
                if (!matches(hwnd)) continue;
                if (!main_ || (IsVisible(hwnd) && !IsVisible(main_))) main_ = hwnd;
            }
            return main_ != nullptr;
        },
        timeout);
    return main_;
}

HWND VarnuApp::TabWindow() const { return main_ ? FindTabWindow(main_) : nullptr; }

std::vector<HWND> VarnuApp::Windows(bool visibleOnly) const { return TopLevelWindows(Id(), visibleOnly); }

void VarnuApp::RequestClose() const {
    if (main_) ::PostMessageW(main_, WM_CLOSE, 0, 0);
}

// ---------------------------------------------------------------------------

std::vector<HWND> SystemMessageBoxes(DWORD processId) {
    std::vector<HWND> boxes;
    for (HWND hwnd : TopLevelWindows(processId, true)) {
        if (ClassName(hwnd) == L"#32770") boxes.push_back(hwnd);
    }
    return boxes;
}

bool AcceptFirstRunWarning(DWORD processId, Millis timeout) {
    HWND warning = WaitForMessageBox(processId, L"文件未找到", timeout);
    return warning && MessageBoxText(warning) == L"设置文件未找到。程序将自动生成。" && AnswerMessageBox(warning, IDOK);
}

HWND WaitForMessageBox(DWORD processId, std::wstring_view title, Millis timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : SystemMessageBoxes(processId)) {
                if (Caption(hwnd) == title) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::wstring MessageBoxText(HWND box) {
    HWND text = ::GetDlgItem(box, 0xFFFF);
    if (text && ClassName(text) == L"Static") return Caption(text);
    std::wstring joined;
    for (HWND child : ChildWindows(box)) {
        if (ClassName(child) != L"Static") continue;
        const std::wstring caption = Caption(child);
        if (caption.empty()) continue;
        if (!joined.empty()) joined += L'\n';
        joined += caption;
    }
    return joined;
}

bool AnswerMessageBox(HWND box, int buttonId) {
    HWND button = ::GetDlgItem(box, buttonId);
    if (!button) return false;
    return ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

HWND WaitForErrorBox(DWORD processId, Millis timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND hwnd : TopLevelWindows(processId, true)) {
                if (Caption(hwnd) == L"错误") {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

HWND FindChildByText(HWND parent, std::wstring_view text) {
    for (HWND hwnd : DescendantWindows(parent)) {
        if (Caption(hwnd) == text) return hwnd;
    }
    return nullptr;
}

std::vector<std::wstring> VisibleTabNumbers(HWND main) {
    std::vector<std::wstring> numbers;
    for (HWND child : ChildWindows(main)) {
        if (!IsVisible(child)) continue;
        const std::wstring text = Caption(child);
        if (text.size() == 2 && text[0] == L' ' && text[1] >= L'1' && text[1] <= L'9')
            numbers.push_back(text.substr(1));
    }
    std::sort(numbers.begin(), numbers.end());  // z-order says nothing here
    return numbers;
}

void Click(HWND hwnd) {
    PostMouse(hwnd, WM_MOUSEMOVE, 0);
    PostMouse(hwnd, WM_LBUTTONDOWN, MK_LBUTTON);
    PostMouse(hwnd, WM_LBUTTONUP, 0);
}

// ---------------------------------------------------------------------------

void PostKey(HWND hwnd, UINT virtualKey, bool down, bool repeat) {
    const UINT scan = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM lParam = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
    if (!down)
        lParam |= (1LL << 30) | (1LL << 31);  // was down, is released
    else if (repeat)
        lParam |= (1LL << 30);  // was already down
    ::PostMessageW(hwnd, down ? WM_KEYDOWN : WM_KEYUP, virtualKey, static_cast<LPARAM>(static_cast<DWORD>(lParam)));
}

void PostMouse(HWND hwnd, UINT message, WPARAM keys, std::optional<POINT> client) {
    ::PostMessageW(hwnd, message, keys, PointParam(client.value_or(ClientCentre(hwnd))));
}

void PostWheel(HWND hwnd, int delta, WPARAM keys) {
    POINT pt = ClientCentre(hwnd);
    ::ClientToScreen(hwnd, &pt);
    ::PostMessageW(hwnd, WM_MOUSEWHEEL,
                   MAKEWPARAM(static_cast<WORD>(keys), static_cast<WORD>(static_cast<short>(delta))), PointParam(pt));
}

// ---------------------------------------------------------------------------

namespace {

constexpr wchar_t kReplyClass[] = L"VarnuHarnessSimReply";

struct ReplyInbox {
    std::vector<char> data;
    bool arrived = false;
};

LRESULT CALLBACK ReplyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_COPYDATA) {
        auto* inbox = reinterpret_cast<ReplyInbox*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!inbox || !cds || cds->dwData != sim::kReplyTag) return FALSE;
        try {
            const char* bytes = static_cast<const char*>(cds->lpData);
            inbox->data.assign(bytes, bytes + (bytes ? cds->cbData : 0));
            inbox->arrived = true;
        } catch (...) {
            return FALSE;
        }
        return TRUE;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// One inbox per thread: replies arrive on the thread that sent the command.
ReplyInbox& Inbox() {
    thread_local ReplyInbox inbox;
    return inbox;
}

HWND CreateReplyWindow() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kReplyClass;
    ::RegisterClassExW(&wc);  // fails harmlessly when already registered
    HWND hwnd = ::CreateWindowExW(0, kReplyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&Inbox()));
    return hwnd;
}

}  // namespace

Simulator::Simulator(LaunchOptions options)
    : Simulator(Process::Start(JoinPath(TestExeFolder(), L"MessengerSim.exe"), options)) {}

Simulator::Simulator(Process running) : process_(std::move(running)) {
    reply_.reset(CreateReplyWindow());
    if (!reply_) throw Failure("cannot create the simulator reply window");
    const std::wstring title = sim::ControlTitle(process_.Id());
    const bool found = WaitUntil(
        [&] {
            control_ = ::FindWindowExW(HWND_MESSAGE, nullptr, sim::kControlClass, title.c_str());
            return control_ != nullptr || !process_.IsRunning();
        },
        20000ms);
    if (!found || !control_) throw std::runtime_error("MessengerSim did not open its control window");
}

Simulator::~Simulator() {
    if (process_.IsRunning() && control_) {
        sim::Request request;
        request.command = sim::Command::Quit;
        Send(request, {}, 1000);
        process_.WaitForExit(3000ms);
    }
    process_.Terminate();
}

LRESULT Simulator::Send(const sim::Request& request, std::wstring_view text, UINT timeoutMs) {
    std::vector<char> buffer(sizeof(sim::Request) + text.size() * sizeof(wchar_t));
    sim::Request header = request;
    header.size = sizeof(sim::Request);
    header.replyWindow = FromHwnd(reply_.get());
    header.textChars = static_cast<uint32_t>(text.size());
    std::memcpy(buffer.data(), &header, sizeof(header));
    if (!text.empty()) std::memcpy(buffer.data() + sizeof(header), text.data(), text.size() * sizeof(wchar_t));
    COPYDATASTRUCT cds{};
    cds.dwData = sim::kRequestTag;
    cds.cbData = static_cast<DWORD>(buffer.size());
    cds.lpData = buffer.data();
    ReplyInbox& inbox = Inbox();
    inbox.data.clear();
    inbox.arrived = false;
    DWORD_PTR result = 0;
    // No SMTO_BLOCK: the simulator answers data commands by sending back to
    // this thread while we wait.
    if (!::SendMessageTimeoutW(control_, WM_COPYDATA, reinterpret_cast<WPARAM>(reply_.get()),
                               reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, timeoutMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

SimWindow Simulator::Open(sim::Kind kind, std::wstring_view title, const SimOpen& how) {
    sim::Request request;
    request.command = sim::Command::Open;
    request.kind = kind;
    request.input = how.input;
    request.options = how.options;
    if (how.exactStyle) {
        request.options |= sim::Option::kExactStyle;
        request.style = how.exactStyle->first;
        request.exStyle = how.exactStyle->second;
    }
    if (how.rect) {
        request.x = how.rect->left, request.y = how.rect->top;
        request.width = Width(*how.rect), request.height = Height(*how.rect);
    }
    if (how.owner) request.options |= sim::Option::kOwned;
    request.owner = FromHwnd(how.owner);
    SimWindow window;
    if (!Send(request, title) || !Inbox().arrived || Inbox().data.size() < sizeof(sim::OpenReply)) return window;
    sim::OpenReply reply;
    std::memcpy(&reply, Inbox().data.data(), sizeof(reply));
    window.top = ToHwnd(reply.top);
    window.container = ToHwnd(reply.container);
    window.history = ToHwnd(reply.history);
    window.input = ToHwnd(reply.input);
    window.afx1 = ToHwnd(reply.afx1);
    window.afx2 = ToHwnd(reply.afx2);
    window.flashHolder = ToHwnd(reply.flashHolder);
    window.flash = ToHwnd(reply.flash);
    window.bar = ToHwnd(reply.bar);
    window.shellEmbedding = ToHwnd(reply.shellEmbedding);
    window.owner = ToHwnd(reply.owner);
    window.style = reply.style;
    window.exStyle = reply.exStyle;
    return window;
}

namespace {
sim::Request About(sim::Command command, HWND window, int32_t value = 0) {
    sim::Request request;
    request.command = command;
    request.window = FromHwnd(window);
    request.value = value;
    return request;
}
}  // namespace

bool Simulator::AppendHistory(HWND window, std::wstring_view text) {
    return Send(About(sim::Command::AppendHistory, window), text) != 0;
}
bool Simulator::ClearHistory(HWND window) { return Send(About(sim::Command::ClearHistory, window), {}) != 0; }
bool Simulator::SetInputText(HWND window, std::wstring_view text) {
    return Send(About(sim::Command::SetInputText, window), text) != 0;
}
bool Simulator::SetTitle(HWND window, std::wstring_view title) {
    return Send(About(sim::Command::SetTitle, window), title) != 0;
}
bool Simulator::Show(HWND window, int showCommand) {
    return Send(About(sim::Command::Show, window, showCommand), {}) != 0;
}
bool Simulator::Close(HWND window) { return Send(About(sim::Command::Close, window), {}) != 0; }
bool Simulator::Destroy(HWND window) { return Send(About(sim::Command::Destroy, window), {}) != 0; }
bool Simulator::SetCloseDestroys(HWND window, bool destroys) {
    return Send(About(sim::Command::SetCloseDestroys, window, destroys ? 1 : 0), {}) != 0;
}
bool Simulator::SetStyle(HWND window, DWORD style, DWORD exStyle) {
    sim::Request request = About(sim::Command::SetStyle, window);
    request.style = style;
    request.exStyle = exStyle;
    return Send(request, {}) != 0;
}
bool Simulator::Focus(HWND window) { return Send(About(sim::Command::Focus, window), {}) != 0; }
bool Simulator::Hang(Millis duration) {
    return Send(About(sim::Command::Hang, nullptr, static_cast<int32_t>(duration.count())), {}) != 0;
}
std::uint64_t Simulator::Traffic(sim::Traffic what) {
    return static_cast<std::uint64_t>(Send(About(sim::Command::Traffic, nullptr, static_cast<int32_t>(what)), {}));
}
bool Simulator::Ping(UINT timeoutMs) { return Send(About(sim::Command::Ping, nullptr), {}, timeoutMs) != 0; }

std::vector<sim::Record> Simulator::Records(HWND window) {
    std::vector<sim::Record> records;
    if (!Send(About(sim::Command::GetRecords, window), {}) || !Inbox().arrived) return records;
    const auto& data = Inbox().data;
    records.resize(data.size() / sizeof(sim::Record));
    if (!records.empty()) std::memcpy(records.data(), data.data(), records.size() * sizeof(sim::Record));
    return records;
}

bool Simulator::ClearRecords(HWND window) { return Send(About(sim::Command::ClearRecords, window), {}) != 0; }

std::optional<sim::Record> Simulator::WaitForRecord(HWND window, UINT message, std::optional<sim::Via> via,
                                                    Millis timeout) {
    std::optional<sim::Record> found;
    WaitUntil(
        [&] {
            for (const sim::Record& r : Records(window)) {
                if (r.message == message && (!via || r.via == *via)) {
                    found = r;
                    return true;
                }
            }
            return false;
        },
        timeout, 30ms);
    return found;
}

// ---------------------------------------------------------------------------

std::string MessageName(UINT message) {
    static const std::map<UINT, const char*> names = {{WM_NULL, "WM_NULL"},
                                                      {WM_CLOSE, "WM_CLOSE"},
                                                      {WM_SETFOCUS, "WM_SETFOCUS"},
                                                      {WM_KILLFOCUS, "WM_KILLFOCUS"},
                                                      {WM_KEYDOWN, "WM_KEYDOWN"},
                                                      {WM_KEYUP, "WM_KEYUP"},
                                                      {WM_CHAR, "WM_CHAR"},
                                                      {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
                                                      {WM_SYSKEYUP, "WM_SYSKEYUP"},
                                                      {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},
                                                      {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
                                                      {WM_LBUTTONUP, "WM_LBUTTONUP"},
                                                      {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
                                                      {WM_RBUTTONUP, "WM_RBUTTONUP"},
                                                      {WM_CONTEXTMENU, "WM_CONTEXTMENU"},
                                                      {WM_SYSCOMMAND, "WM_SYSCOMMAND"},
                                                      {WM_MOUSEMOVE, "WM_MOUSEMOVE"}};
    auto it = names.find(message);
    if (it != names.end()) return it->second;
    char buffer[16];
    wsprintfA(buffer, "0x%04X", message);
    return buffer;
}

int RunBenchmark(const std::function<int()>& run) {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
}

}  // namespace e2e
