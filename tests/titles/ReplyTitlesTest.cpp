// A disc's identity from its TOC, and what a MusicBrainz reply says of it.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/titles/DiscId.h"
#include "platform/titles/ReplyTitles.h"

namespace tavrelo::titles {
namespace {

disc::Toc tocOf(std::vector<disc::Track> tracks, disc::Lba leadOut) {
  for (std::size_t i = 0; i < tracks.size(); ++i) tracks[i].number = static_cast<int>(i) + 1;
  return {std::move(tracks), leadOut};
}

std::vector<disc::Track> documentedTracks() {
  std::vector<disc::Track> tracks;
  for (disc::Lba start : {150, 15363, 32314, 46592, 63414, 80489}) tracks.push_back({0, start});
  return tracks;
}

TEST(DiscIdentity, CountsAudioSessionOnlyAndKeepsALeadingDataTrack) {
  constexpr const char* kDocumented = "49HHV7Eb8UKF3aQiNmu1GR8vKTY-";
  auto extra = documentedTracks();
  extra.push_back({0, 95462 + disc::kSessionGapFrames, false, 2});
  const disc::Toc mixed = tocOf({{0, 150, false}, {0, 20000}, {0, 40000}}, 60000);
  struct Case {
    const char* what;
    disc::Toc toc;
    std::string id;
    std::string toc_string;
  } cases[] = {
      {"plain", tocOf(documentedTracks(), 95462), kDocumented,
       "1+6+95462+150+15363+32314+46592+63414+80489"},
      {"CD-Extra", tocOf(extra, 140000), kDocumented,
       "1+6+95462+150+15363+32314+46592+63414+80489"},
      {"first track data", mixed, "", "1+3+60000+150+20000+40000"},
  };
  for (const Case& c : cases) {
    const auto identity = discIdentity(c.toc);
    ASSERT_TRUE(identity) << c.what;
    if (!c.id.empty()) {
      EXPECT_EQ(identity->id, c.id) << c.what;
    }
    EXPECT_EQ(identity->id.size(), 28u) << c.what;
    EXPECT_EQ(identity->toc, c.toc_string) << c.what;
  }
  EXPECT_FALSE(discIdentity(tocOf({{0, 150, false}}, 9000)));  // no audio at all
  EXPECT_FALSE(discIdentity({}));
}

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(TAVRELO_REPLIES) + "/" + name);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ReplyTitles, TakesTheMediumHoldingTheDiscAndItsTrackTitlesAndCredits) {
  const auto found = titlesFromReply(fixture("two-discs.json"), "{{id}}", 3);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->album, "Le Coffret – En public");
  EXPECT_EQ(found->albumArtist, "Sœurs Piaf & Orchestre");
  EXPECT_EQ(found->releaseId, "11111111-2222-3333-4444-555555555555");
  EXPECT_TRUE(found->frontCover);
  const std::vector<DiscTitles::Track> tracks = {
      {"L’Hymne (en public)", "Sœurs Piaf feat. Yves"}, {"Milord", "Sœurs Piaf"}, {"Padam", ""}};
  EXPECT_EQ(found->tracks, tracks);
}

TEST(ReplyTitles, ChoosesAmongReleasesAndFallsBackOnTheTocOnlyWhenOneFits) {
  struct Case {
    const char* file;
    int tracks;
    const char* album;  // nullptr: no titles
  } cases[] = {
      {"ranking.json", 1, "France 1995"}, {"ranking-world.json", 1, "Europe"},
      {"fuzzy.json", 3, "Trois titres"},  {"fuzzy.json", 5, nullptr},  // two releases fit
      {"fuzzy.json", 4, nullptr},                                      // none fits
  };
  for (const Case& c : cases) {
    const auto found = titlesFromReply(fixture(c.file), "{{id}}", c.tracks);
    ASSERT_EQ(found.has_value(), c.album != nullptr) << c.file << " " << c.tracks;
    if (found) {
      EXPECT_EQ(found->album, c.album) << c.file;
    }
  }
  const auto fuzzy = titlesFromReply(fixture("fuzzy.json"), "{{id}}", 3);
  EXPECT_EQ(fuzzy->tracks.at(2).title, "Trois");
  EXPECT_EQ(fuzzy->albumArtist, "Trio");
}

TEST(ReplyTitles, RefusesWhatIsNotAReply) {
  const std::string whole = fixture("two-discs.json");
  for (const std::string& body :
       {std::string(), std::string("{"), std::string("[]"), std::string("null"),
        std::string(R"({"releases": 5})"), std::string(R"({"releases": [{"media": {}}]})"),
        std::string(R"({"releases": [{"media": [{"discs": [{"id": 7}], "tracks": [1, 2]}]}]})"),
        whole.substr(0, whole.size() / 2)}) {
    EXPECT_FALSE(titlesFromReply(body, "{{id}}", 1)) << body;
  }
  // Wrong types inside a fitting medium cost only those names.
  const auto odd = titlesFromReply(
      R"({"releases": [{"title": 5, "artist-credit": [{"name": null}],
          "media": [{"discs": [{"id": "x"}], "tracks": [{"title": ["a"]}, 3]}]}]})",
      "x", 2);
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->tracks.size(), 2u);
  EXPECT_EQ(odd->album, "");
}

}  // namespace
}  // namespace tavrelo::titles
