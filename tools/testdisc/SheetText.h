#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tavrelo::testdisc {

// "mm:ss:ff" for a count of sectors, as sheets write addresses.
std::string msf(std::int64_t sectors);

// A sheet's text, built line by line with the chosen line ends.
class SheetText {
 public:
  SheetText(bool crlf, bool utf8Bom);
  void line(const std::string& text);
  const std::string& text() const { return text_; }
  void save(const std::filesystem::path& path) const;  // throws std::runtime_error

 private:
  bool crlf_;
  std::string text_;
};

// Writes `bytes` to `path` as they are; throws std::runtime_error.
void saveFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace tavrelo::testdisc
