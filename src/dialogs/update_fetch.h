#pragma once
// Fetching the update page over HTTP or HTTPS (WinHTTP), bounded in time.
#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "dialogs/core/update_check.h"

namespace varnu {

// Longest the whole check may take before it counts as timed out.
inline constexpr DWORD kUpdateTimeoutMs = 15000;

// One fetch, waiting for it, naming itself `userAgent`. Reads at most 256 KB
// of the page.
update::FetchResult FetchPage(const std::wstring& address, const std::wstring& userAgent,
                              DWORD timeoutMs = kUpdateTimeoutMs);

// Where a worker leaves its result; the window that started it looks here
// when told. A window that stops waiting just drops its reference.
struct FetchSlot {
    std::mutex lock;
    std::optional<update::FetchResult> result;
};

// Starts FetchPage on a worker thread; when it ends, the result goes into
// `slot` and `message` is posted to `target`.
void StartFetch(std::shared_ptr<FetchSlot> slot, std::wstring address, std::wstring userAgent, HWND target,
                UINT message, DWORD timeoutMs = kUpdateTimeoutMs);

}  // namespace varnu
