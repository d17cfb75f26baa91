#pragma once
// The history table in Varnu.dll's shared section: Varnu lists the history
// controls it polls, the hook in each messenger thread measures the ones of
// its own thread where they live, and Varnu reads the lengths back. Shared by
// Varnu.dll and Varnu.exe, free of windows.h, and so kept to what a library
// inside somebody else's process may do: fixed size, no allocation, nothing
// but interlocked operations, nobody ever waits for anybody.
//
// Who writes what:
//   Varnu (one thread): `request`, and a slot's `window` and `thread` when
//     it lists or drops a history (Register, Release).
//   the hooks (any messenger thread): a slot's `guard`, `measured`,
//     `sequence` and `length`, and only in slots whose window belongs to
//     their own thread (Publish).
// Several hooks may write one slot only while Varnu hands it from one window
// to another; the guard makes the loser skip instead of mixing the two
// results, and Varnu takes nothing from a slot but "this length, for this
// handle, answering this request" (Result).
//
// Window handles and thread ids travel as 32-bit numbers (a window handle
// has 32 significant bits in either build), so the layout is one and the same
// in the x86 and the x64 library.
#include <atomic>
#include <cstdint>
#include <optional>

namespace varnu::meter {

inline constexpr std::uint32_t kSlots = 256;
inline constexpr std::uint32_t kMagic = 0x314D5256;  // "VRM1"
// What a slot holds when the control gave no usable length.
inline constexpr std::uint32_t kNoLength = 0xFFFFFFFF;
// The largest length passed on; the outside query believes no more either.
inline constexpr std::uint32_t kMaxLength = 0x7FFFFFFE;

struct MeterSlot {
    std::uint32_t window;    // Varnu: the history control, 0 while free
    std::uint32_t thread;    // Varnu: the thread it belongs to, so a hook passes others by cheaply
    std::uint32_t guard;     // hooks: odd while a result is being written
    std::uint32_t measured;  // hooks: the window the result is for
    std::uint32_t sequence;  // hooks: the request it answers
    std::uint32_t length;    // hooks: the control's character count, or kNoLength
};

struct alignas(8) MeterTable {
    std::uint32_t magic;    // kMagic, set in the library's image
    std::uint32_t size;     // sizeof(MeterTable), set in the library's image
    std::uint32_t slots;    // kSlots, set in the library's image
    std::uint32_t request;  // Varnu: its registered request message, 0 until then
    MeterSlot slot[kSlots];
};

static_assert(sizeof(MeterSlot) == 24 && sizeof(MeterTable) == 16 + 24 * kSlots);

// The library's shared section: hWndNotify (4 bytes), 4 to align, then the
// table; scripts/inspect.sh reads the number from here.
inline constexpr std::uint32_t kSharedSectionBytes = 6168;
static_assert(kSharedSectionBytes == 8 + sizeof(MeterTable));

// --- interlocked access ---------------------------------------------------------

inline std::uint32_t Load(std::uint32_t& field) noexcept {
    return std::atomic_ref<std::uint32_t>(field).load(std::memory_order_acquire);
}
inline void Store(std::uint32_t& field, std::uint32_t value) noexcept {
    std::atomic_ref<std::uint32_t>(field).store(value, std::memory_order_release);
}
static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free, "the table is shared between processes");

// Whether `table` is the layout this build knows.
inline bool Matches(MeterTable& table) noexcept {
    return Load(table.magic) == kMagic && Load(table.size) == sizeof(MeterTable) && Load(table.slots) == kSlots;
}

// --- Varnu's side ----------------------------------------------------------------

// Lists a history in a free slot (its window 0, no result half written);
// false when the slot is taken.
inline bool Register(MeterSlot& slot, std::uint32_t window, std::uint32_t thread) noexcept {
    if (window == 0 || Load(slot.window) != 0 || (Load(slot.guard) & 1) != 0) return false;
    // Thread first: a hook that sees the window sees its thread as well.
    Store(slot.thread, thread);
    Store(slot.window, window);
    return true;
}

inline void Release(MeterSlot& slot) noexcept {
    Store(slot.window, 0);
    Store(slot.thread, 0);
}

// The length the hook measured for `window` while answering request
// `sequence`; none for anything else, half written or out of range.
inline std::optional<std::int32_t> Result(MeterSlot& slot, std::uint32_t window, std::uint32_t sequence) noexcept {
    const std::uint32_t before = Load(slot.guard);
    if ((before & 1) != 0) return std::nullopt;
    const std::uint32_t measured = Load(slot.measured);
    const std::uint32_t answered = Load(slot.sequence);
    const std::uint32_t length = Load(slot.length);
    if (Load(slot.guard) != before) return std::nullopt;
    if (window == 0 || measured != window || answered != sequence || length > kMaxLength) return std::nullopt;
    return static_cast<std::int32_t>(length);
}

// --- the hook's side -------------------------------------------------------------

// The window a hook running in `thread` is to measure in this slot, 0 when
// none. The caller still checks that the window really is its thread's:
// nothing in the table is taken on trust inside the messenger either.
inline std::uint32_t WindowFor(MeterSlot& slot, std::uint32_t thread) noexcept {
    return Load(slot.thread) == thread ? Load(slot.window) : 0;
}

// WM_GETTEXTLENGTH's answer as the table holds it.
inline std::uint32_t ClampLength(long long answer) noexcept {
    return answer < 0 || answer > static_cast<long long>(kMaxLength) ? kNoLength : static_cast<std::uint32_t>(answer);
}

// Writes one result. A slot somebody else is writing is left alone: Varnu
// then has no fresh length for it this time, which it can live with.
inline bool Publish(MeterSlot& slot, std::uint32_t window, std::uint32_t sequence, std::uint32_t length) noexcept {
    std::uint32_t guard = Load(slot.guard);
    if ((guard & 1) != 0) return false;
    if (!std::atomic_ref<std::uint32_t>(slot.guard)
             .compare_exchange_strong(guard, guard + 1, std::memory_order_acq_rel))
        return false;
    Store(slot.measured, window);
    Store(slot.sequence, sequence);
    Store(slot.length, length);
    Store(slot.guard, guard + 2);
    return true;
}

}  // namespace varnu::meter
