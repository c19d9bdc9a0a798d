#include "platform/mci/Tokenizer.h"

#include "platform/mci/MciErrors.h"

namespace tavrelo::mci {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::uint32_t tokenize(std::string_view command, std::vector<Token>& out) {
  out.clear();
  std::size_t i = 0;
  const std::size_t n = command.size();
  while (i < n) {
    if (isBlank(command[i])) {
      ++i;
      continue;
    }
    Token token;
    if (command[i] == '"') {
      token.quoted = true;
      ++i;
      bool closed = false;
      while (i < n) {
        if (command[i] != '"') {
          token.text.push_back(command[i++]);
        } else if (i + 1 < n && command[i + 1] == '"') {
          token.text.push_back('"');
          i += 2;
        } else {
          closed = true;
          ++i;
          break;
        }
      }
      if (!closed) return err::kNoClosingQuote;
      if (i < n && !isBlank(command[i])) return err::kExtraCharacters;
    } else {
      const std::size_t start = i;
      while (i < n && !isBlank(command[i])) ++i;
      token.text.assign(command.substr(start, i - start));
    }
    out.push_back(std::move(token));
  }
  return err::kNone;
}

}  // namespace tavrelo::mci
