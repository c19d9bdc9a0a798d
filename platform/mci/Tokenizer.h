#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrelo::mci {

struct Token {
  std::string text;
  bool quoted = false;  // a quoted token is a value, never a keyword
};

// Splits an MCI command string into words. Any run of blanks (space, tab)
// separates words, so "open  D:\ type cdaudio" has four words, as native
// Windows reads it. A word that starts with '"' ends at the next lone '"',
// which must be followed by a blank or the end; a doubled quote inside it
// stands for one quote:
//   alias "my cd"      -> alias, my cd
//   alias "a""b"       -> alias, a"b
//   alias "my cd       -> 294 (no closing quote)
//   alias "my"cd       -> 305 (extra characters after the quote)
// Returns 0 or the MCI error code; `out` is cleared first.
std::uint32_t tokenize(std::string_view command, std::vector<Token>& out);

}  // namespace tavrelo::mci
