#pragma once
// Text forms of the settings values in "set.ini". These follow the classic
// BASIC runtime conversions the file format grew up with, so files written by
// older builds and by hand keep loading the same way.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnu::settings_core {

// "True" / "False" in any letter case, or a number (see TextToInt32 for the
// number grammar, without its range limit); a number is true unless it is 0.
// Surrounding blanks are allowed. Anything else (empty text included) fails.
std::optional<bool> TextToBoolean(std::wstring_view text);

// Decimal text to a 32-bit integer: surrounding blanks (space, tab), an
// optional sign, decimal digits with an optional fraction (".5", "2.", "-3.25").
// The fraction rounds half to even (2.5 -> 2, 3.5 -> 4). Fails on empty text,
// letters, exponents, hex forms, group separators and results outside the
// 32-bit range.
std::optional<std::int32_t> TextToInt32(std::wstring_view text);

// The form booleans are written in.
std::wstring_view BooleanText(bool value);

// A value as it may go into one INI line: line breaks would start a new line
// (and so a new key or section), so each CR or LF becomes a blank. Embedded
// NULs would silently cut the value, they become blanks too.
std::wstring OneLineValue(std::wstring_view value);

// The balloon display time the program works with: a hand-edited file may
// hold anything, the settings dialog offers 1..60 seconds.
inline constexpr std::int32_t kMinTipTime = 1;
inline constexpr std::int32_t kMaxTipTime = 60;
std::int32_t ClampTipTime(std::int32_t seconds);

}  // namespace varnu::settings_core
