#include "platform/service/DriveSource.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace tavrelo::service {

DriveSource DriveSource::fromPath(const std::string& path) {
  std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const Kind kind = tail == ".cue" ? Kind::CueImage : Kind::Device;
  if (path.empty()) return {kind, path};
  std::error_code error;
  const auto full = std::filesystem::absolute(path, error);
  return {kind, error ? path : full.lexically_normal().string()};
}

std::string describe(const DriveSource& source) {
  return (source.kind == DriveSource::Kind::CueImage ? "image " : "device ") + source.path;
}

}  // namespace tavrelo::service
