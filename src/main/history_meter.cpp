#include "main/history_meter.h"

#include <algorithm>

#include "hooklib/hook_messages.h"
#include "main/hook_messengers.h"

namespace varnu {

namespace {

// As the library keeps handles: their 32 significant bits.
std::uint32_t Number(HWND hwnd) noexcept { return static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(hwnd)); }

}  // namespace

HistoryMeter::~HistoryMeter() {
    if (!table_) return;
    for (const auto& [history, index] : slots_) meter::Release(table_->slot[index]);
}

bool HistoryMeter::Ready() {
    if (table_) return true;
    meter::MeterTable* table = ProgramHookLibrary().HistoryTable();
    if (!table) return false;
    const UINT request = ::RegisterWindowMessageW(kMeasureRequestName);
    if (request == 0) return false;
    // Set before any history is listed; the hooks act on it from then on.
    meter::Store(table->request, request);
    // Left over by a run that could not clean up: nobody measures for it now.
    for (meter::MeterSlot& slot : table->slot) meter::Release(slot);
    table_ = table;
    request_ = request;
    return true;
}

void HistoryMeter::List(const std::vector<std::pair<HWND, DWORD>>& histories) {
    if (!table_) return;
    auto wanted = [&](HWND history) {
        return std::any_of(histories.begin(), histories.end(), [&](const auto& h) { return h.first == history; });
    };
    for (auto it = slots_.begin(); it != slots_.end();) {
        if (wanted(it->first)) {
            ++it;
            continue;
        }
        meter::Release(table_->slot[it->second]);
        it = slots_.erase(it);
    }
    std::uint32_t next = 0;
    for (const auto& [history, thread] : histories) {
        if (slots_.count(history)) continue;
        for (; next < meter::kSlots; ++next)
            if (meter::Register(table_->slot[next], Number(history), thread)) break;
        if (next == meter::kSlots) return;  // full: the rest stay outside
        slots_.emplace(history, next++);
    }
}

bool HistoryMeter::Request(HWND window, std::uint32_t sequence) const {
    return table_ && ::PostMessageW(window, request_, sequence, 0) != FALSE;
}

std::optional<std::int32_t> HistoryMeter::Length(HWND history, std::uint32_t sequence) const {
    const auto it = slots_.find(history);
    if (!table_ || it == slots_.end()) return std::nullopt;
    return meter::Result(table_->slot[it->second], Number(history), sequence);
}

}  // namespace varnu
