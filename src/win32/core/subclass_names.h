#pragma once
// Names and texts of the subclassing service. Its registry lives in window
// properties named after the window handle (in decimal) and message number,
// so two windows or two messages can never share an entry.
#include <cstdint>
#include <string>

namespace varnu::subclass_core {

// Property names: the previous window procedure, the total hook count, the
// count for one message, and the i-th object hooked to that message (from 1).
std::string PrevProcName(std::uintptr_t window);
std::string TotalCountName(std::uintptr_t window);
std::string MessageCountName(std::uintptr_t window, unsigned message);
std::string EntryName(std::uintptr_t window, unsigned message, int index);

// One line of the debug trace for each stored value.
std::string TraceTotalCount(std::uintptr_t window, std::intptr_t count);
std::string TracePrevProc(std::uintptr_t window, std::uintptr_t procedure);
std::string TraceMessageCount(std::uintptr_t window, unsigned message, std::intptr_t count);
std::string TraceEntry(std::uintptr_t window, unsigned message, int index, std::uintptr_t object);

// The service's own error codes.
inline constexpr int kErrCantSubclass = 13081;
inline constexpr int kErrAlreadyHooked = 13082;
inline constexpr int kErrInvalidWindow = 13083;
inline constexpr int kErrExternalWindow = 13084;
inline constexpr std::int32_t kErrStoreFailed = 5;  // invalid procedure call or argument

// The number a caller sees: the object-error range OR the code.
constexpr std::int32_t ServiceErrorNumber(int code) noexcept {
    return static_cast<std::int32_t>(0x80040000u | static_cast<std::uint32_t>(code));
}
// Description of one of the four codes above, or of the store failure.
const wchar_t* ServiceErrorText(int code) noexcept;

}  // namespace varnu::subclass_core
