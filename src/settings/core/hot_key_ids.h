#pragma once
// The program's system hot keys: their ids, which the main window registers
// and the settings dialog lets go of while it captures a new global key, and
// the modifier bits RegisterHotKey takes.
#include <cstdint>

namespace varnu {

inline constexpr std::uint32_t kModAlt = 1;
inline constexpr std::uint32_t kModCtrl = 2;
inline constexpr std::uint32_t kModShift = 4;

inline constexpr int kHotKeyShowHide = 1;     // the user's global key
inline constexpr int kHotKeyNextTab = 2;      // Ctrl+Tab
inline constexpr int kHotKeyPrevTab = 3;      // Ctrl+Shift+Tab
inline constexpr int kHotKeyLastTab = 4;      // Ctrl+0
inline constexpr int kHotKeyFirstDigit = 5;   // Ctrl+1; Ctrl+9 is 13
inline constexpr int kHotKeyNextUnread = 14;  // Ctrl+`
inline constexpr int kHotKeyFind = 15;        // Ctrl+K
inline constexpr int kHotKeyLastId = 15;

}  // namespace varnu
