// The demo disc's music: levels, DC, stereo, envelopes, and the image that
// make-demo-disc writes, read back through the program's own disc reader.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <string>

#include "platform/disc/DiscSources.h"
#include "tools/demo-disc/Synth.h"

namespace tavrelo::demodisc {
namespace {

namespace fs = std::filesystem;

// Rendering takes a while: each song once for the whole suite.
const std::vector<std::int16_t>& rendered(std::size_t index) {
  static std::map<std::size_t, std::vector<std::int16_t>> cache;
  auto found = cache.find(index);
  if (found == cache.end()) found = cache.emplace(index, renderSong(demoSongs().at(index))).first;
  return found->second;
}

double rms(const std::vector<std::int16_t>& pcm, std::size_t firstFrame, std::size_t frames) {
  double sum = 0;
  for (std::size_t i = 2 * firstFrame; i < 2 * (firstFrame + frames); ++i) {
    sum += static_cast<double>(pcm[i]) * pcm[i];
  }
  return std::sqrt(sum / (2.0 * frames)) / 32768.0;
}

// Levels leave headroom, without clipping or DC offset.
void expectCleanLevels(const Song& song, const std::vector<std::int16_t>& pcm) {
  const auto frames = static_cast<std::size_t>(std::ceil(songSeconds(song) * kSampleRate));
  ASSERT_EQ(pcm.size(), 2 * frames);
  int peak = 0;
  double sum[2] = {0, 0};
  for (std::size_t i = 0; i < pcm.size(); ++i) {
    peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
    sum[i % 2] += pcm[i];
  }
  const double peakDb = 20 * std::log10(peak / 32768.0);
  EXPECT_LT(peakDb, -2.5) << "headroom";
  EXPECT_GT(peakDb, -4.0) << "loud enough";
  for (double channel : sum) EXPECT_LT(std::abs(channel / frames / 32768.0), 1e-3) << "DC";
  const double level = 20 * std::log10(rms(pcm, 0, frames));
  EXPECT_GT(level, -26.0);
  EXPECT_LT(level, -10.0);
}

// Tracks start and end in silence and never drop out.
void expectMusicThroughout(const std::vector<std::int16_t>& pcm) {
  const std::size_t frames = pcm.size() / 2;
  EXPECT_LT(std::abs(pcm[0]) + std::abs(pcm[1]), 8) << "no click at the start";
  EXPECT_LT(std::abs(pcm[pcm.size() - 1]) + std::abs(pcm[pcm.size() - 2]), 8) << "nor at the end";
  // Music all along: every half second up to the fade is audible, and the
  // level moves (notes start and die away; a steady tone would not).
  const std::size_t window = kSampleRate / 2;
  double loudest = 0;
  double quietest = 1;
  for (std::size_t at = 0; at + window + 2 * kSampleRate < frames; at += window) {
    const double level = rms(pcm, at, window);
    EXPECT_GT(level, 0.01) << "at " << at / static_cast<double>(kSampleRate) << " s";
    loudest = std::max(loudest, level);
    quietest = std::min(quietest, level);
  }
  EXPECT_GT(loudest / quietest, 1.5);
}

// The channels differ but stay related.
void expectStereoSpread(const std::vector<std::int16_t>& pcm) {
  double lr = 0, ll = 0, rr = 0;
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    lr += static_cast<double>(pcm[i]) * pcm[i + 1];
    ll += static_cast<double>(pcm[i]) * pcm[i];
    rr += static_cast<double>(pcm[i + 1]) * pcm[i + 1];
  }
  const double correlation = lr / std::sqrt(ll * rr);
  EXPECT_LT(correlation, 0.97) << "some stereo spread";
  EXPECT_GT(correlation, 0.2) << "not two unrelated tracks";
}

// One test for all of these: rendering is slow in sanitizer builds, and each
// test runs in a process of its own.
TEST(DemoSongs, EverySongIsCleanStereoMusicOfItsOwn) {
  for (std::size_t s = 0; s < demoSongs().size(); ++s) {
    SCOPED_TRACE(demoSongs()[s].title);
    expectCleanLevels(demoSongs()[s], rendered(s));
    expectMusicThroughout(rendered(s));
    expectStereoSpread(rendered(s));
  }
  EXPECT_EQ(renderSong(demoSongs()[2]), rendered(2)) << "same song, same samples";
  for (std::size_t a = 0; a < demoSongs().size(); ++a) {
    for (std::size_t b = a + 1; b < demoSongs().size(); ++b) {
      const std::size_t n = std::min(rendered(a).size(), rendered(b).size());
      EXPECT_FALSE(std::equal(rendered(a).begin(),
                              rendered(a).begin() + static_cast<std::ptrdiff_t>(n),
                              rendered(b).begin()));
    }
  }
}

TEST(DemoSongs, AnUnplayableDescriptionGivesShortSilenceNotACrash) {
  Song empty;
  empty.progression.clear();
  Song still = demoSongs()[0], endless = still, barless = still;
  still.tempo = 0;
  endless.tempo = std::numeric_limits<double>::infinity();
  barless.bars = 0;
  for (const Song& song : {empty, still, endless, barless}) {
    EXPECT_FALSE(playable(song));
    EXPECT_EQ(songSeconds(song), 2.0);
    const auto pcm = renderSong(song);
    EXPECT_EQ(pcm.size(), 2u * 2 * kSampleRate);
    EXPECT_TRUE(std::all_of(pcm.begin(), pcm.end(), [](std::int16_t v) { return v == 0; }));
  }
}

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class MakeDemoDisc : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("demo-disc-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(MakeDemoDisc, TheProgramsOwnDiscReaderPlaysIt) {
  const fs::path cue = dir_ / "demo.cue";
  ASSERT_EQ(run(std::string(TAVRELO_MAKE_DEMO_DISC) + " '" + cue.string() + "' >/dev/null"), 0);
  const auto source = disc::openCueImage(cue);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->mediaState(), disc::MediaState::DiscPresent);
  const disc::Toc toc = source->readToc();
  ASSERT_EQ(toc.tracks.size(), demoSongs().size());
  disc::Lba start = disc::kLeadInFrames;
  for (std::size_t s = 0; s < demoSongs().size(); ++s) {
    SCOPED_TRACE(s + 1);
    const auto& pcm = rendered(s);
    const auto sectors = static_cast<disc::Lba>((pcm.size() / 2 + 587) / 588);
    EXPECT_EQ(toc.tracks[s].number, static_cast<int>(s + 1));
    EXPECT_TRUE(toc.tracks[s].audio);
    EXPECT_EQ(toc.tracks[s].start, start);
    // Ten seconds into the track, the reader returns the rendered samples.
    std::vector<std::uint8_t> sector(disc::kSectorBytes);
    const disc::Lba at = start + 10 * disc::kFramesPerSecond;
    ASSERT_EQ(source->readAudio(at, 1, sector), 1);
    const std::size_t first =
        static_cast<std::size_t>(at - start) * 2 * disc::kStereoFramesPerSector;
    for (int i = 0; i < 2 * disc::kStereoFramesPerSector; ++i) {
      const auto value = static_cast<std::int16_t>(sector[2 * i] | (sector[2 * i + 1] << 8));
      ASSERT_EQ(value, pcm[first + static_cast<std::size_t>(i)]) << "sample " << i;
    }
    start += sectors;
  }
  EXPECT_EQ(toc.leadOut, start);
}

TEST_F(MakeDemoDisc, SaysWhyWhenItCannotWrite) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "file") << "x";
  EXPECT_EQ(run(std::string(TAVRELO_MAKE_DEMO_DISC) + " '" + (dir_ / "file" / "demo.cue").string() +
                "' 2>/dev/null"),
            1);
  EXPECT_EQ(run(std::string(TAVRELO_MAKE_DEMO_DISC) + " 2>/dev/null"), 2) << "usage";
}

}  // namespace
}  // namespace tavrelo::demodisc
