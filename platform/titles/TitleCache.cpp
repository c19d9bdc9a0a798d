#include "platform/titles/TitleCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

namespace tavrelo::titles {
namespace {

using nlohmann::json;

std::int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A disc ID or release ID is safe as a file name only when it holds nothing
// but letters, digits and the few marks their alphabets use.
bool safeName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return name.front() != '.';
}

}  // namespace

std::string imageKind(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xff\xd8\xff") return "jpg";
  if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return "png";
  return {};
}

std::filesystem::path TitleCache::defaultFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return std::filesystem::path(cache) / "tavrelo2";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "/") / ".cache" / "tavrelo2";
}

std::optional<TitleCache::Entry> TitleCache::read(std::string_view discId,
                                                  std::string_view toc) const {
  if (!safeName(discId)) return std::nullopt;
  std::ifstream in(folder_ / (std::string(discId) + ".json"), std::ios::binary);
  if (!in) return std::nullopt;
  const json stored = json::parse(std::istreambuf_iterator<char>(in), {}, nullptr, false);
  if (!stored.is_object()) return std::nullopt;
  const auto tocAt = stored.find("toc");
  const auto foundAt = stored.find("found");
  const auto storedAt = stored.find("stored");
  const auto replyAt = stored.find("reply");
  if (tocAt == stored.end() || !tocAt->is_string() || *tocAt != toc || foundAt == stored.end() ||
      !foundAt->is_boolean() || storedAt == stored.end() || !storedAt->is_number_integer() ||
      replyAt == stored.end() || !replyAt->is_string()) {
    return std::nullopt;
  }
  Entry entry{foundAt->get<bool>(), replyAt->get<std::string>()};
  const std::int64_t age = nowSeconds() - storedAt->get<std::int64_t>();
  const auto keep = entry.found ? kFoundFor : kNotFoundFor;
  if (age < 0 || age >= std::chrono::duration_cast<std::chrono::seconds>(keep).count()) {
    return std::nullopt;
  }
  return entry;
}

bool TitleCache::write(std::string_view discId, std::string_view toc, const Entry& entry) const {
  if (!safeName(discId)) return false;
  const json stored = {{"toc", std::string(toc)},
                       {"found", entry.found},
                       {"stored", nowSeconds()},
                       {"reply", entry.reply}};
  // The reply came from the network: a byte that is not UTF-8 is replaced
  // rather than let dump() throw.
  return writeFile(folder_ / (std::string(discId) + ".json"),
                   stored.dump(-1, ' ', false, json::error_handler_t::replace));
}

std::optional<std::filesystem::path> TitleCache::cover(std::string_view release) const {
  if (!safeName(release)) return std::nullopt;
  for (const char* kind : {"jpg", "png"}) {
    auto file = folder_ / (std::string(release) + "-front." + kind);
    std::error_code error;
    if (std::filesystem::file_size(file, error) > 0 && !error) return file;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> TitleCache::keepCover(std::string_view release,
                                                           std::string_view image) const {
  const std::string kind = imageKind(image);
  if (kind.empty() || !safeName(release)) return std::nullopt;
  auto file = folder_ / (std::string(release) + "-front." + kind);
  if (!writeFile(file, image)) return std::nullopt;
  return file;
}

bool TitleCache::writeFile(const std::filesystem::path& file, std::string_view bytes) const {
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  std::string temporary = (folder_ / ".new-XXXXXX").string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ::fchmod(fd, 0644) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace tavrelo::titles
