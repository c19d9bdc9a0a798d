#include "platform/win32/VbDir.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

std::string Dir(const std::string& pathName) {
  std::string path = pathName;
  std::replace(path.begin(), path.end(), '\\', '/');
  // A path ending in a separator names a folder, never a file; an empty one
  // names nothing (VB would list the current folder, which no caller wants).
  if (path.empty() || path.back() == '/') return {};
  const std::filesystem::path file(path);
  const std::string name = file.filename().string();
  if (name.empty() || name.front() == '.') return {};
  std::error_code error;
  // Follows links, as Windows follows a shortcut's target only when asked:
  // here a link to a normal file counts as that file.
  if (!std::filesystem::is_regular_file(file, error) || error) return {};
  return name;
}
