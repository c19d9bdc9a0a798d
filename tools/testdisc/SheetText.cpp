#include "tools/testdisc/SheetText.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace tavrelo::testdisc {

std::string msf(std::int64_t sectors) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld",
                static_cast<long long>(sectors / (75 * 60)),
                static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
  return buffer;
}

SheetText::SheetText(bool crlf, bool utf8Bom) : crlf_(crlf) {
  if (utf8Bom) text_ = "\xEF\xBB\xBF";
}

void SheetText::line(const std::string& text) {
  text_ += text;
  text_ += crlf_ ? "\r\n" : "\n";
}

void SheetText::save(const std::filesystem::path& path) const {
  saveFile(path, text_);
}

void saveFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("testdisc: cannot write " + path.string());
}

}  // namespace tavrelo::testdisc
