#pragma once
// The pinyin initial of a Chinese character, from a table built into the
// program and keyed by Unicode, so it reads the same on any code page.

namespace varnu {

// 'a' to 'z' for a character of U+4E00..U+9FA5 with a reading, 0 for any
// other code point. A character with several readings has one letter: its
// place in the GB2312 order for the 3,755 common characters, its first
// reading in the Unicode CLDR pinyin collation for the rest.
char PinyinInitial(char32_t code) noexcept;

}  // namespace varnu
