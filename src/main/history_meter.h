#pragma once
// Varnu's side of the history table in the hook library's shared section
// (hooklib/core/meter_table.h): which slot lists which history, the request
// that asks a messenger thread to measure its histories, and the lengths it
// left there.
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "hooklib/core/meter_table.h"

namespace varnu {

class HistoryMeter {
public:
    HistoryMeter() = default;
    // Frees its slots: a later run must find the table empty.
    ~HistoryMeter();
    HistoryMeter(const HistoryMeter&) = delete;
    HistoryMeter& operator=(const HistoryMeter&) = delete;

    // Whether the table is there (and the request message registered): only
    // once the hooks have loaded the program's hook library, as a table in a
    // library no messenger thread has could answer nothing.
    bool Ready();

    // Lists exactly these histories (window, its thread) as far as the
    // table has room; the rest go on being measured from outside.
    void List(const std::vector<std::pair<HWND, DWORD>>& histories);
    bool Listed(HWND history) const { return slots_.count(history) > 0; }

    // Posts request `sequence` to `window`, for the histories of its thread.
    bool Request(HWND window, std::uint32_t sequence) const;

    // The length measured for `history` in answer to request `sequence`.
    std::optional<std::int32_t> Length(HWND history, std::uint32_t sequence) const;

private:
    meter::MeterTable* table_ = nullptr;
    UINT request_ = 0;
    std::map<HWND, std::uint32_t> slots_;  // history -> slot index
};

}  // namespace varnu
