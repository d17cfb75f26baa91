#include "win32/core/subclass_names.h"

#include <cstdio>

namespace varnu::subclass_core {

namespace {

std::string Hex(std::uintptr_t value) {
    char buffer[2 * sizeof(value) + 1];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
    return buffer;
}

std::string Dec(std::uintptr_t value) { return std::to_string(value); }

}  // namespace

std::string PrevProcName(std::uintptr_t window) { return Dec(window); }
std::string TotalCountName(std::uintptr_t window) { return Dec(window) + "C"; }
std::string MessageCountName(std::uintptr_t window, unsigned message) {
    return Dec(window) + "#" + std::to_string(message) + "C";
}
std::string EntryName(std::uintptr_t window, unsigned message, int index) {
    return Dec(window) + "#" + std::to_string(message) + "#" + std::to_string(index);
}

std::string TraceTotalCount(std::uintptr_t window, std::intptr_t count) {
    return "Changed message count for " + Hex(window) + " to " + std::to_string(count);
}
std::string TracePrevProc(std::uintptr_t window, std::uintptr_t procedure) {
    return "Changed Window Proc for " + Hex(window) + " to " + Hex(procedure);
}
std::string TraceMessageCount(std::uintptr_t window, unsigned message, std::intptr_t count) {
    return "Changed message count for " + Hex(window) + " Message " + std::to_string(message) + " to " +
           std::to_string(count);
}
std::string TraceEntry(std::uintptr_t window, unsigned message, int index, std::uintptr_t object) {
    return "Changed message class for " + Hex(window) + " Message " + std::to_string(message) + " Index " +
           std::to_string(index) + " to " + Hex(object);
}

const wchar_t* ServiceErrorText(int code) noexcept {
    switch (code) {
    case kErrCantSubclass: return L"Can't subclass window";
    case kErrAlreadyHooked: return L"Message already handled by another class";
    case kErrInvalidWindow: return L"Invalid window";
    case kErrExternalWindow: return L"Can't modify external window";
    case kErrStoreFailed: return L"Invalid procedure call or argument";
    default: return L"";
    }
}

}  // namespace varnu::subclass_core
