// The demo disc: its music is clean, and make-demo-disc writes an image that
// the program's own disc reader plays sample for sample.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

#include "platform/disc/CueImage.h"
#include "tests/support/TempDir.h"
#include "tools/demo-disc/Synth.h"

namespace tavrelo::demodisc {
namespace {

int run(const std::string& arguments) {
  const int status = std::system((std::string(TAVRELO_MAKE_DEMO_DISC) + " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Headroom without clipping or DC, stereo, silence at both ends, and the same
// samples every time; one test, as rendering is slow under the sanitizers.
TEST(DemoSongs, EverySongIsCleanStereoMusicOfItsOwn) {
  std::vector<std::int16_t> previous;
  for (const Song& song : demoSongs()) {
    SCOPED_TRACE(song.title);
    const auto pcm = renderSong(song);
    ASSERT_EQ(pcm.size(), 2 * static_cast<std::size_t>(std::ceil(songSeconds(song) * kSampleRate)));
    int peak = 0;
    double sum[2] = {0, 0}, lr = 0, ll = 0, rr = 0;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
      const double l = pcm[i], r = pcm[i + 1];
      peak = std::max({peak, std::abs(int{pcm[i]}), std::abs(int{pcm[i + 1]})});
      sum[0] += pcm[i];
      sum[1] += pcm[i + 1];
      lr += l * r;
      ll += l * l;
      rr += r * r;
    }
    const double peakDb = 20 * std::log10(peak / 32768.0);
    EXPECT_LT(peakDb, -2.5) << "headroom";
    EXPECT_GT(peakDb, -4.0) << "loud enough";
    for (double channel : sum)
      EXPECT_LT(std::abs(channel / (pcm.size() / 2) / 32768.0), 1e-3) << "DC";
    EXPECT_LT(lr / std::sqrt(ll * rr), 0.97) << "some stereo spread";
    EXPECT_LT(std::abs(pcm[0]) + std::abs(pcm.back()), 8) << "no click at either end";
    EXPECT_NE(pcm, previous);
    previous = pcm;
  }
  EXPECT_EQ(renderSong(demoSongs().back()), previous) << "same song, same samples";
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
    const auto pcm = renderSong(song);
    EXPECT_EQ(pcm.size(), 2u * 2 * kSampleRate);
    EXPECT_TRUE(std::all_of(pcm.begin(), pcm.end(), [](std::int16_t v) { return v == 0; }));
  }
}

TEST(MakeDemoDisc, TheProgramsOwnDiscReaderPlaysIt) {
  test::TempDir dir;
  const auto cue = dir.path() / "nested" / "demo.cue";
  ASSERT_EQ(run("'" + cue.string() + "' >/dev/null"), 0);
  const auto source = disc::CueImage::open(cue);
  ASSERT_TRUE(source);
  const disc::Toc toc = source->readToc();
  ASSERT_EQ(toc.tracks.size(), demoSongs().size());
  disc::Lba start = disc::kLeadInFrames;
  for (std::size_t s = 0; s < demoSongs().size(); ++s) {
    SCOPED_TRACE(s + 1);
    const auto pcm = renderSong(demoSongs()[s]);
    EXPECT_TRUE(toc.tracks[s].audio);
    EXPECT_EQ(toc.tracks[s].start, start);
    // Ten seconds into the track, the reader returns the rendered samples.
    std::vector<std::uint8_t> sector(disc::kSectorBytes);
    const disc::Lba at = start + 10 * disc::kFramesPerSecond;
    ASSERT_EQ(source->readAudio(at, 1, sector), 1);
    const auto first = static_cast<std::size_t>(at - start) * 2 * disc::kStereoFramesPerSector;
    for (int i = 0; i < 2 * disc::kStereoFramesPerSector; ++i) {
      ASSERT_EQ(static_cast<std::int16_t>(sector[2 * i] | (sector[2 * i + 1] << 8)),
                pcm[first + static_cast<std::size_t>(i)]);
    }
    // Every track starts on a sector boundary, padded with silence.
    start += static_cast<disc::Lba>((pcm.size() / 2 + 587) / 588);
  }
  EXPECT_EQ(toc.leadOut, start);
}

TEST(MakeDemoDisc, SaysWhyWhenItCannotWrite) {
  test::TempDir dir;
  std::ofstream(dir.path() / "file") << "x";
  EXPECT_EQ(run("'" + (dir.path() / "file" / "demo.cue").string() + "' 2>/dev/null"), 1);
  EXPECT_EQ(run("2>/dev/null"), 2) << "usage";
}

}  // namespace
}  // namespace tavrelo::demodisc
