#include "dialogs/update_fetch.h"

#include <winhttp.h>

#include <thread>
#include <vector>

#include "win32/strconv.h"

namespace varnu {
namespace {

constexpr size_t kMaxPageBytes = 256 * 1024;

struct InternetHandle {
    HINTERNET h = nullptr;
    explicit InternetHandle(HINTERNET handle) : h(handle) {}
    ~InternetHandle() {
        if (h) ::WinHttpCloseHandle(h);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

update::FetchResult Failure() {
    update::FetchResult result;
    result.status =
        ::GetLastError() == ERROR_WINHTTP_TIMEOUT ? update::FetchStatus::Timeout : update::FetchStatus::NoConnection;
    return result;
}

}  // namespace

update::FetchResult FetchPage(const std::wstring& address, const std::wstring& userAgent, DWORD timeoutMs) {
    update::FetchResult result;
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256] = {};
    std::vector<wchar_t> path(address.size() + 2, L'\0');
    parts.lpszHostName = host;
    parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    std::vector<wchar_t> extra(address.size() + 2, L'\0');
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (address.empty() || !::WinHttpCrackUrl(address.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || host[0] == 0) {
        result.status = update::FetchStatus::BadAddress;
        return result;
    }
    std::wstring object = std::wstring(path.data()) + extra.data();
    if (object.empty()) object = L"/";

    InternetHandle session(::WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.h) return Failure();
    const int t = static_cast<int>(timeoutMs);
    ::WinHttpSetTimeouts(session.h, t, t, t, t);
    InternetHandle connection(::WinHttpConnect(session.h, host, parts.nPort, 0));
    if (!connection.h) return Failure();
    const DWORD flags = WINHTTP_FLAG_REFRESH | (parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    InternetHandle request(::WinHttpOpenRequest(connection.h, L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request.h) return Failure();
    // Always the page as it is now, never a copy kept on the way.
    const wchar_t headers[] = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    if (!::WinHttpSendRequest(request.h, headers, static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.h, nullptr))
        return Failure();

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return Failure();
    result.httpStatus = static_cast<int>(status);

    std::string bytes;
    char buffer[8192];
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request.h, buffer, sizeof(buffer), &read)) return Failure();
        if (read == 0) break;
        bytes.append(buffer, read);
        if (bytes.size() >= kMaxPageBytes) {
            bytes.resize(kMaxPageBytes);
            break;
        }
    }
    result.status = update::FetchStatus::Ok;
    result.page = win32::Utf8ToWide(bytes);
    return result;
}

void StartFetch(std::shared_ptr<FetchSlot> slot, std::wstring address, std::wstring userAgent, HWND target,
                UINT message, DWORD timeoutMs) {
    std::thread([slot = std::move(slot), address = std::move(address), userAgent = std::move(userAgent), target,
                 message, timeoutMs] {
        update::FetchResult result;
        try {
            result = FetchPage(address, userAgent, timeoutMs);
        } catch (...) {
            result.status = update::FetchStatus::NoConnection;
        }
        {
            std::lock_guard<std::mutex> hold(slot->lock);
            slot->result = std::move(result);
        }
        // A window that is gone, or stopped waiting, ignores the notice.
        ::PostMessageW(target, message, 0, 0);
    }).detach();
}

}  // namespace varnu
