#include "platform/titles/ReplyTitles.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <tuple>

namespace tavrelo::titles {
namespace {

using nlohmann::json;

// The string at `key`, empty when it is missing or not a string.
std::string text(const json& object, const char* key) {
  if (!object.is_object()) return {};
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// The array at `key`; an empty one when it is missing or not an array.
const json& array(const json& object, const char* key) {
  static const json kNone = json::array();
  if (!object.is_object()) return kNone;
  const auto found = object.find(key);
  return found != object.end() && found->is_array() ? *found : kNone;
}

// "Simon & Garfunkel feat. X": each name followed by its joinphrase.
std::string credit(const json& owner) {
  std::string out;
  for (const json& part : array(owner, "artist-credit")) {
    out += text(part, "name");
    out += text(part, "joinphrase");
  }
  return out;
}

bool holdsDisc(const json& medium, std::string_view discId) {
  const json& discs = array(medium, "discs");
  return std::any_of(discs.begin(), discs.end(),
                     [&](const json& d) { return text(d, "id") == discId; });
}

// Smaller sorts first: official, then France, Europe, the world, then earliest.
auto rank(const json& release) {
  static constexpr const char* kCountries[] = {"FR", "XE", "XW"};
  const std::string country = text(release, "country");
  const auto at = std::find(std::begin(kCountries), std::end(kCountries), country);
  std::string date = text(release, "date");
  if (date.empty()) date.push_back('~');  // undated sorts after every date
  return std::make_tuple(text(release, "status") != "Official", at - std::begin(kCountries), date);
}

struct Choice {
  const json* release = nullptr;
  const json* medium = nullptr;
};

DiscTitles titlesOf(const Choice& choice) {
  const json& release = *choice.release;
  const json& medium = *choice.medium;
  DiscTitles out;
  out.album = text(release, "title");
  const std::string mediumTitle = text(medium, "title");
  if (!mediumTitle.empty()) out.album += out.album.empty() ? mediumTitle : " – " + mediumTitle;
  out.albumArtist = credit(release);
  out.releaseId = text(release, "id");
  if (const auto art = release.find("cover-art-archive");
      art != release.end() && art->is_object()) {
    const auto front = art->find("front");
    out.frontCover = front != art->end() && front->is_boolean() && front->get<bool>();
  }
  for (const json& track : array(medium, "tracks")) {
    out.tracks.push_back({text(track, "title"), credit(track)});
  }
  return out;
}

}  // namespace

std::optional<DiscTitles> titlesFromReply(std::string_view body, std::string_view discId,
                                          int trackCount) {
  const json reply = json::parse(body, nullptr, false);
  if (!reply.is_object()) return std::nullopt;
  std::optional<Choice> exact;
  std::vector<Choice> sameCount;
  for (const json& release : array(reply, "releases")) {
    for (const json& medium : array(release, "media")) {
      if (holdsDisc(medium, discId)) {
        if (!exact || rank(release) < rank(*exact->release)) exact = Choice{&release, &medium};
        break;
      }
      if (static_cast<int>(array(medium, "tracks").size()) == trackCount) {
        if (sameCount.empty() || sameCount.back().release != &release) {
          sameCount.push_back({&release, &medium});
        }
      }
    }
  }
  if (exact) return titlesOf(*exact);
  if (sameCount.size() == 1) return titlesOf(sameCount.front());
  return std::nullopt;
}

}  // namespace tavrelo::titles
