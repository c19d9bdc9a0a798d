#pragma once

#include <string>
#include <string_view>

namespace tavrelo::disc {

// Titles reach us as UTF-8 (most CUE sheets written today) or ISO-8859-1
// (CD-Text, older sheets). Valid UTF-8 is kept as it is; anything else is
// read as ISO-8859-1, so "Ã©t\xE9" stays readable and "\xE9t\xE9" becomes "été".
std::string utf8FromUtf8OrLatin1(std::string_view bytes);

}  // namespace tavrelo::disc
