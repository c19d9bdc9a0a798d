// The generator itself: what it promises about tones and files, checked
// against the files it writes (read back by hand, not by the disc sources).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <set>

#include "tests/disc/TempDir.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::testdisc {
namespace {

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TestDiscTones, DifferPerChannelAndTrack) {
  std::set<double> frequencies;
  for (int track = 1; track <= 99; ++track) {
    EXPECT_NE(toneFrequency(track, 0), toneFrequency(track, 1)) << "track " << track;
    frequencies.insert(toneFrequency(track, 0));
  }
  EXPECT_EQ(frequencies.size(), 99u);
  // The amplitude steps per sector, so two sectors one period-multiple apart differ.
  EXPECT_NE(toneSample(1, 0, 25), toneSample(1, 0, 25 + 588 * 25));
  EXPECT_EQ(toneSample(1, 0, 0), 0);
}

TEST(TestDiscFiles, BinHoldsExpectedSectorsInDiscOrder) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = plainTracks(2, 1);
  discSpec.tracks[1].indexZeroSectors = 10;
  discSpec.tracks[1].pregapSectors = 5;
  const TestDisc disc = writeDisc(dir.path(), discSpec);
  ASSERT_EQ(disc.files.size(), 1u);
  const auto bytes = fileBytes(disc.files[0]);
  ASSERT_EQ(bytes.size(), (75u + 10u + 75u) * 2352u);
  ASSERT_EQ(disc.toc.tracks.size(), 2u);
  EXPECT_EQ(disc.toc.tracks[0].start, 150);
  EXPECT_EQ(disc.toc.tracks[1].start, 150 + 75 + 5 + 10);
  EXPECT_EQ(disc.toc.leadOut, 150 + 75 + 5 + 10 + 75);
  std::vector<std::uint8_t> sector(2352);
  // The PREGAP occupies addresses 225..229 but no bytes of the file.
  disc.expectedSector(240, sector);
  EXPECT_TRUE(std::equal(sector.begin(), sector.end(), bytes.begin() + 85 * 2352));
  EXPECT_EQ(disc.sampleAt(240, 3, 1), toneSample(2, 1, 3));
  disc.expectedSector(226, sector);
  EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](auto b) { return b == 0; }));
  EXPECT_THROW(disc.regionAt(disc.toc.leadOut), std::out_of_range);
}

TEST(TestDiscFiles, MotorolaIsByteSwapped) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = plainTracks(1, 1);
  discSpec.format = AudioFormat::Motorola;
  const TestDisc disc = writeDisc(dir.path(), discSpec);
  const auto bytes = fileBytes(disc.files[0]);
  const auto value = static_cast<std::uint16_t>(toneSample(1, 1, 7));
  EXPECT_EQ(bytes[7 * 4 + 2], value >> 8);
  EXPECT_EQ(bytes[7 * 4 + 3], value & 0xff);
  std::ifstream sheet(disc.cue);
  std::string text((std::istreambuf_iterator<char>(sheet)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("MOTOROLA"), std::string::npos);
}

TEST(TestDiscFiles, LowLevelWriterPadsTracksToSectors) {
  test::TempDir dir;
  const std::vector<std::int16_t> first(600 * 2, 7);  // 1 sector and 12 frames
  const std::vector<std::int16_t> second(588 * 2, -3);
  const disc::Toc toc = writeCueBin(dir.path() / "demo.cue", {first, second});
  ASSERT_EQ(toc.tracks.size(), 2u);
  EXPECT_EQ(toc.tracks[1].start, 152);
  EXPECT_EQ(toc.leadOut, 153);
  const auto bytes = fileBytes(dir.path() / "demo.bin");
  ASSERT_EQ(bytes.size(), 3u * 2352u);
  EXPECT_EQ(bytes[0], 7);
  EXPECT_EQ(bytes[600 * 4], 0);      // padding
  EXPECT_EQ(bytes[2 * 2352], 0xfd);  // -3, little-endian
  EXPECT_EQ(bytes[2 * 2352 + 1], 0xff);
  EXPECT_THROW(writeCueBin(dir.path() / "odd.cue", {{1, 2, 3}}), std::invalid_argument);
}

}  // namespace
}  // namespace tavrelo::testdisc
