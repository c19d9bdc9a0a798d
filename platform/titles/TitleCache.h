#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavrelo::titles {

// What the lookups found, kept on disk: one entry per disc ID
// (<folder>/<disc ID>.json, holding the reply and the TOC it was for) and
// the covers (<folder>/<release>-front.jpg or .png). An answer is used for
// 30 days, a "not found" for 7. Every file is written to a temporary name
// and renamed, so a reader never meets half a file; an entry that cannot be
// read or parsed, or was for another TOC, counts as absent. A folder that
// cannot be written only costs the caching.
class TitleCache {
 public:
  explicit TitleCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

  struct Entry {
    bool found = false;  // false: the server knew no such disc
    std::string reply;   // the server's JSON when found
  };

  // The fresh entry for `discId` and `toc`; nullopt when there is none.
  std::optional<Entry> read(std::string_view discId, std::string_view toc) const;
  // False when it could not be written.
  bool write(std::string_view discId, std::string_view toc, const Entry& entry) const;

  // The cover of `release` kept here; nullopt when none is.
  std::optional<std::filesystem::path> cover(std::string_view release) const;
  // Keeps `image` (JPEG or PNG bytes) as the cover of `release`; the file,
  // or nullopt when the bytes are no such image or cannot be written.
  std::optional<std::filesystem::path> keepCover(std::string_view release,
                                                 std::string_view image) const;

  // $XDG_CACHE_HOME/tavrelo2 (XDG_CACHE_HOME when absolute, else ~/.cache).
  static std::filesystem::path defaultFolder();

  // Ages for tests; the entry's own write time against the system clock.
  static constexpr std::chrono::hours kFoundFor{24 * 30};
  static constexpr std::chrono::hours kNotFoundFor{24 * 7};

 private:
  bool writeFile(const std::filesystem::path& file, std::string_view bytes) const;

  std::filesystem::path folder_;
};

// "jpg" or "png" from the image's first bytes; empty for anything else.
std::string imageKind(std::string_view bytes);

}  // namespace tavrelo::titles
