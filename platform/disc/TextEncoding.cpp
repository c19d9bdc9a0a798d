#include "platform/disc/TextEncoding.h"

#include "platform/disc/DiscSource.h"

namespace tavrelo::disc {
namespace {

bool validUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t more = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
    } else if (lead >= 0x80) {
      return false;
    }
    if (s.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string utf8FromUtf16(std::string_view bytes, bool bigEndian) {
  const char* name = bigEndian ? "UTF-16 BE" : "UTF-16 LE";
  if (bytes.size() % 2 != 0) {
    throw DiscError("the sheet is " + std::string(name) + " but has an odd number of bytes (" +
                    std::to_string(bytes.size() + 2) + "); it was cut short or is not UTF-16");
  }
  auto unit = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  auto unpaired = [&](std::size_t i) {
    throw DiscError("the sheet is " + std::string(name) +
                    " but holds an unpaired surrogate at byte " + std::to_string(i + 2) +
                    "; it is damaged");
  };
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xDC00 && c <= 0xDFFF) unpaired(i);
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 2 >= bytes.size()) unpaired(i);
      const char32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) unpaired(i);
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    appendUtf8(out, c);
  }
  return out;
}

}  // namespace

std::string sheetText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  if (bytes.substr(0, 2) == "\xFF\xFE") return utf8FromUtf16(bytes.substr(2), false);
  if (bytes.substr(0, 2) == "\xFE\xFF") return utf8FromUtf16(bytes.substr(2), true);
  // ASCII in UTF-16 without a mark: every other byte is NUL.
  if (bytes.size() >= 2 && (bytes[0] == '\0') != (bytes[1] == '\0')) {
    throw DiscError(
        "the sheet looks like UTF-16 without a byte-order mark; save it again as UTF-8, or as "
        "UTF-16 with its mark");
  }
  return std::string(bytes);
}

std::string utf8FromUtf8OrLatin1(std::string_view bytes) {
  if (validUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace tavrelo::disc
