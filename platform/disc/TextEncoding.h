#pragma once

#include <string>
#include <string_view>

namespace tavrelo::disc {

// Titles reach us as UTF-8 (most CUE sheets written today) or ISO-8859-1
// (CD-Text, older sheets). Valid UTF-8 is kept as it is; anything else is
// read as ISO-8859-1, so "Ã©t\xE9" stays readable and "\xE9t\xE9" becomes "été".
std::string utf8FromUtf8OrLatin1(std::string_view bytes);

// A sheet's bytes as 8-bit text, the byte-order mark taken off: UTF-16 LE or
// BE after their mark is converted to UTF-8; a UTF-8 mark is dropped; text
// without a mark is returned as it is (UTF-8 or a legacy code page, told apart
// line by line later). Throws DiscError for UTF-16 that cannot be read: an odd
// number of bytes, an unpaired surrogate, or no mark at all (NUL bytes beside
// ASCII, as UTF-16 without a mark looks).
std::string sheetText(std::string_view bytes);

}  // namespace tavrelo::disc
