// CUE images read back against the generator's own account of every sample.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <map>

#include "platform/disc/CueImage.h"
#include "platform/os/Log.h"
#include "tests/support/TempDir.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::disc {
namespace {

using testdisc::AudioFormat;
using testdisc::DiscSpec;
using testdisc::TestDisc;

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Reads the whole disc in chunks of `chunk` sectors and compares every byte
// with what the generator wrote; reports the first differing address.
void expectWholeDiscMatches(DiscSource& source, const TestDisc& disc, int chunk) {
  std::vector<std::uint8_t> got(static_cast<std::size_t>(chunk) * kSectorBytes);
  for (Lba lba = kLeadInFrames; lba < disc.toc.leadOut; lba += chunk) {
    const int expected = std::min(chunk, disc.toc.leadOut - lba);
    ASSERT_EQ(source.readAudio(lba, chunk, got), expected) << "at " << lba;
    for (int s = 0; s < expected; ++s) {
      const auto want = disc.expected(lba + s);
      ASSERT_TRUE(std::equal(want.begin(), want.end(), got.begin() + s * kSectorBytes))
          << "sector " << lba + s << " differs";
    }
  }
}

// Three audio tracks with every kind of gap, then a data track.
DiscSpec gappedSpec(AudioFormat format) {
  DiscSpec discSpec;
  discSpec.format = format;
  discSpec.tracks = testdisc::plainTracks(3, 1);
  discSpec.tracks[0].indexZeroSectors = 20;  // hidden sound before track 1
  discSpec.tracks[1].pregapSectors = 30;
  discSpec.tracks[1].indexZeroSectors = 40;
  discSpec.tracks[2].postgapSectors = 25;
  testdisc::TrackSpec data;
  data.data = true;
  data.sectors = 50;
  discSpec.tracks.push_back(data);
  return discSpec;
}

std::string formatName(const testing::TestParamInfo<AudioFormat>& format) {
  static const char* const kNames[] = {"Binary", "Motorola", "Wave", "Flac", "Aiff"};
  return kNames[static_cast<int>(format.param)];
}

class CueImageFormats : public testing::TestWithParam<AudioFormat> {};

TEST_P(CueImageFormats, TocAndEverySampleMatchTheGenerator) {
  test::TempDir dir;
  const TestDisc disc = testdisc::writeDisc(dir.path(), gappedSpec(GetParam()));
  const auto image = CueImage::open(disc.cue);
  EXPECT_EQ(image->mediaState(), MediaState::DiscPresent);
  const Toc toc = image->readToc();
  EXPECT_EQ(toc, disc.toc);
  ASSERT_EQ(toc.tracks.size(), 4u);
  EXPECT_EQ(toc.tracks[0].start, 150 + 20);
  EXPECT_EQ(toc.tracks[1].start, 150 + 20 + 75 + 30 + 40);
  EXPECT_FALSE(toc.tracks[3].audio);
  expectWholeDiscMatches(*image, disc, 37);
}

INSTANTIATE_TEST_SUITE_P(AllFileTypes, CueImageFormats,
                         testing::Values(AudioFormat::Binary, AudioFormat::Motorola,
                                         AudioFormat::Wave, AudioFormat::Flac, AudioFormat::Aiff),
                         formatName);

TEST(CueImage, MotorolaSamplesAreSwappedBackToLittleEndian) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.format = AudioFormat::Motorola;
  discSpec.tracks = testdisc::plainTracks(1, 1);
  const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
  const auto image = CueImage::open(disc.cue);
  std::vector<std::uint8_t> sector(kSectorBytes);
  ASSERT_EQ(image->readAudio(150, 1, sector), 1);
  // Frame 5, right channel: a nonzero sample whose two bytes differ.
  const auto value = static_cast<std::uint16_t>(testdisc::toneSample(1, 1, 5));
  ASSERT_NE(value & 0xff, value >> 8);
  EXPECT_EQ(sector[5 * 4 + 2], value & 0xff);
  EXPECT_EQ(sector[5 * 4 + 3], value >> 8);
}

TEST(CueImage, ReadsRunAcrossFileBoundariesInOneCall) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.format = AudioFormat::Wave;
  discSpec.tracks = testdisc::plainTracks(3, 1);
  discSpec.tracks[1].indexZeroSectors = 10;
  discSpec.tracks[2].indexZeroSectors = 10;
  discSpec.style.gapsInPreviousFile = true;
  const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
  const auto image = CueImage::open(disc.cue);
  EXPECT_EQ(image->readToc(), disc.toc);
  // Track 2's INDEX 00 lies at the end of the first file: one read of 30
  // sectors covers track 1's tail, the gap in file 1 and track 2 in file 2.
  std::vector<std::uint8_t> got(30 * kSectorBytes);
  const Lba from = disc.toc.tracks[1].start - 15;
  ASSERT_EQ(image->readAudio(from, 30, got), 30);
  for (int s = 0; s < 30; ++s) {
    const auto want = disc.expected(from + s);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin() + s * kSectorBytes)) << s;
  }
  expectWholeDiscMatches(*image, disc, 64);
}

TEST(CueImage, ReadsAreClampedToTheLeadOut) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = testdisc::plainTracks(2, 1);
  const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
  const auto image = CueImage::open(disc.cue);
  const Lba leadOut = disc.toc.leadOut;
  std::vector<std::uint8_t> buffer(10 * kSectorBytes, 0xaa);
  EXPECT_EQ(image->readAudio(leadOut - 3, 10, buffer), 3);
  // Nothing past the three sectors is touched.
  EXPECT_EQ(buffer[3 * kSectorBytes], 0xaa);
  EXPECT_EQ(image->readAudio(leadOut, 10, buffer), 0);
  EXPECT_EQ(image->readAudio(leadOut + 1000, 1, buffer), 0);
  EXPECT_EQ(image->readAudio(150, 0, buffer), 0);
  EXPECT_THROW(image->readAudio(100, 1, buffer), DiscError);
  std::vector<std::uint8_t> small(kSectorBytes);
  EXPECT_THROW(image->readAudio(150, 2, small), DiscError);
}

TEST(CueImage, AFileCutShortAfterOpeningGivesAnErrorNotNoise) {
  for (const AudioFormat format : {AudioFormat::Binary, AudioFormat::Wave}) {
    test::TempDir dir;
    DiscSpec discSpec;
    discSpec.format = format;
    discSpec.tracks = testdisc::plainTracks(1, 2);
    const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
    const auto image = CueImage::open(disc.cue);
    std::filesystem::resize_file(disc.files[0], std::filesystem::file_size(disc.files[0]) / 2);
    std::vector<std::uint8_t> buffer(10 * kSectorBytes);
    EXPECT_EQ(image->readAudio(150, 10, buffer), 10);
    EXPECT_THROW(image->readAudio(disc.toc.leadOut - 10, 10, buffer), DiscError);
  }
}

TEST(CueImage, FilesThatAreNoRegularFilesAreRefusedWithoutWaiting) {
  test::TempDir dir;
  ASSERT_EQ(mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.path() / "folder.wav");
  const std::pair<const char*, const char*> cases[] = {
      {"FILE \"pipe\" BINARY", "\"pipe\" is not a regular file"},
      {"FILE \"pipe\" WAVE", "\"pipe\" is not a regular file"},
      {"FILE \"folder.wav\" WAVE", "\"folder.wav\" is not a regular file"}};
  for (const auto& [fileLine, reason] : cases) {
    writeAll(dir.path() / "x.cue",
             std::string(fileLine) + "\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    try {
      CueImage::open(dir.path() / "x.cue");
      ADD_FAILURE() << fileLine << " accepted";
    } catch (const DiscError& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
  }
  // The sheet itself as a FIFO.
  ASSERT_EQ(mkfifo((dir.path() / "sheet.cue").c_str(), 0600), 0);
  EXPECT_THROW(CueImage::open(dir.path() / "sheet.cue"), DiscError);
}

class CapturedLog {
 public:
  CapturedLog() {
    os::setLogSink([this](const std::string& line) { lines.push_back(line); });
  }
  ~CapturedLog() { os::setLogSink({}); }
  std::vector<std::string> lines;
};

TEST(CueImageTray, EjectAndCloseGiveBackTheSameDiscAsANewMedium) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = testdisc::plainTracks(2, 1);
  const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
  const auto image = CueImage::open(disc.cue);
  ASSERT_TRUE(image->hasTray());
  const auto generation = image->mediaGeneration();
  image->eject();
  EXPECT_EQ(image->mediaState(), MediaState::TrayOpen);
  EXPECT_NE(image->mediaGeneration(), generation);
  EXPECT_THROW(image->readToc(), DiscError);
  std::vector<std::uint8_t> buffer(kSectorBytes);
  EXPECT_THROW(image->readAudio(150, 1, buffer), DiscError);
  const auto ejected = image->mediaGeneration();
  image->closeTray();
  EXPECT_EQ(image->mediaState(), MediaState::DiscPresent);
  EXPECT_NE(image->mediaGeneration(), ejected);
  EXPECT_EQ(image->readToc(), disc.toc);
  EXPECT_TRUE(image->lastError().empty());
}

TEST(CueImageTray, ASheetBrokenWhileOutLeavesTheDriveEmptyWithAReason) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = testdisc::plainTracks(2, 1);
  const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
  const auto image = CueImage::open(disc.cue);
  const std::string good = readAll(disc.cue);
  CapturedLog log;
  image->eject();
  std::filesystem::remove(disc.files[0]);
  image->closeTray();
  EXPECT_EQ(image->mediaState(), MediaState::NoDisc);
  EXPECT_NE(image->lastError().find("not found"), std::string::npos) << image->lastError();
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find(disc.cue.string()), std::string::npos) << log.lines[0];
  EXPECT_THROW(image->readToc(), DiscError);
  // The image mended, the next close finds the disc again.
  testdisc::writeDisc(dir.path(), discSpec);
  image->eject();
  image->closeTray();
  EXPECT_EQ(image->mediaState(), MediaState::DiscPresent);
  EXPECT_EQ(image->readToc(), disc.toc);
}

TEST(CueImageTray, OpenAsDriveTakesAMissingSheetAsAnEmptyDrive) {
  test::TempDir dir;
  CapturedLog log;
  const auto image = CueImage::openAsDrive(dir.path() / "nowhere.cue");
  EXPECT_EQ(image->mediaState(), MediaState::NoDisc);
  EXPECT_NE(image->lastError().find("does not exist"), std::string::npos) << image->lastError();
  EXPECT_EQ(log.lines.size(), 1u);
  EXPECT_THROW(CueImage::open(dir.path() / "nowhere.cue"), DiscError);
}

// Sheets as rippers and burning tools write them.
TEST(CueImageSheets, ToolStylesReadTheSame) {
  for (const AudioFormat format : {AudioFormat::Binary, AudioFormat::Wave, AudioFormat::Flac}) {
    SCOPED_TRACE(static_cast<int>(format));
    test::TempDir dir;
    DiscSpec discSpec;
    discSpec.format = format;
    discSpec.tracks = testdisc::plainTracks(3, 1);
    discSpec.tracks[1].indexZeroSectors = 15;
    discSpec.style = {.crlf = true, .utf8Bom = true, .remAndTitles = true, .blanksInNames = true};
    const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
    const auto image = CueImage::open(disc.cue);
    EXPECT_EQ(image->readToc(), disc.toc);
    expectWholeDiscMatches(*image, disc, 75);
  }
}

TEST(CueImageSheets, WindowsPathsLowerCaseAndBareNamesAreFound) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = testdisc::plainTracks(2, 1);
  discSpec.baseName = "Album";
  std::filesystem::create_directories(dir.path() / "Sub");
  const TestDisc disc = testdisc::writeDisc(dir.path() / "Sub", discSpec);
  writeAll(dir.path() / "a.cue",
           "file Sub\\ALBUM.BIN binary\n"
           "  track 01 audio\n    index 01 00:00:00\n"
           "  track 02 audio\n    index 01 00:01:00\n");
  const auto image = CueImage::open(dir.path() / "a.cue");
  EXPECT_EQ(image->readToc(), disc.toc);
}

TEST(CueImageSheets, AnAbsoluteWindowsPathFallsBackToTheSheetsFolder) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = testdisc::plainTracks(1, 1);
  const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
  writeAll(dir.path() / "moved.cue",
           "FILE \"C:\\Rips\\Album\\DISC.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  EXPECT_EQ(CueImage::open(dir.path() / "moved.cue")->readToc(), disc.toc);
  // Two files that differ only in case: no guessing.
  std::filesystem::copy_file(disc.files[0], dir.path() / "Disc.bin");
  try {
    CueImage::open(dir.path() / "moved.cue");
    ADD_FAILURE() << "an ambiguous name was resolved";
  } catch (const DiscError& e) {
    EXPECT_NE(std::string(e.what()).find("line 1: \"C:\\Rips\\Album\\DISC.bin\" not found in " +
                                         dir.path().string()),
              std::string::npos)
        << e.what();
  }
}

TEST(CueImageSheets, ASheetNamingOneFileTwiceReadsItTwice) {
  test::TempDir dir;
  DiscSpec discSpec;
  discSpec.tracks = testdisc::plainTracks(1, 1);
  const TestDisc disc = testdisc::writeDisc(dir.path(), discSpec);
  writeAll(dir.path() / "twice.cue",
           "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
           "FILE \"disc.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
  const auto image = CueImage::open(dir.path() / "twice.cue");
  const Toc toc = image->readToc();
  ASSERT_EQ(toc.tracks.size(), 2u);
  EXPECT_EQ(toc.tracks[1].start, 225);
  EXPECT_EQ(toc.leadOut, 300);
  std::vector<std::uint8_t> a(kSectorBytes), b(kSectorBytes);
  image->readAudio(160, 1, a);
  image->readAudio(235, 1, b);
  EXPECT_EQ(a, b);
}

// Each broken image is refused with a message that names its fault.
TEST(CueImageBroken, EveryVariantIsRefusedWithItsReason) {
  const std::map<testdisc::Breakage, std::string> reasons = {
      {testdisc::Breakage::Garbage, "line 1: \"?ELF"},
      {testdisc::Breakage::NoTracks, "no TRACK"},
      {testdisc::Breakage::MissingFile, "line 1: \"absent.bin\" not found"},
      {testdisc::Breakage::TracksOutOfOrder, "line 4: track 3 follows track 1"},
      {testdisc::Breakage::FirstTrackNotOne, "line 2: the first track is 2"},
      {testdisc::Breakage::IndexesDecreasing,
       "line 6: INDEX 1 of track 2 at 00:01:00 does not come after"},
      {testdisc::Breakage::IndexPastEnd, "line 5: INDEX 1 of track 2 lies past the end"},
      {testdisc::Breakage::ZeroLengthTrack,
       "line 7: INDEX 1 of track 3 at 00:01:00 does not come after"},
      {testdisc::Breakage::WaveRate22050, "22050 Hz, 16 bits, 2 channels; a CD holds 44100 Hz"},
      {testdisc::Breakage::WaveMono, "44100 Hz, 16 bits, 1 channel;"},
      {testdisc::Breakage::Wave8Bit, "44100 Hz, 8 bits, 2 channels;"},
      {testdisc::Breakage::NotAudioFile, "\"notes.wav\" is not a sound file"},
      {testdisc::Breakage::NoIndexOne, "track 2 has no INDEX 01"},
      {testdisc::Breakage::EmptyFile, "\"EmptyFile.bin\" is empty"},
  };
  ASSERT_EQ(reasons.size(), testdisc::allBreakages().size());
  test::TempDir dir;
  for (const testdisc::Breakage breakage : testdisc::allBreakages()) {
    const auto cue = testdisc::writeBrokenDisc(dir.path(), breakage);
    try {
      CueImage::open(cue);
      ADD_FAILURE() << testdisc::breakageName(breakage) << " was accepted";
    } catch (const DiscError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(reasons.at(breakage)), std::string::npos)
          << testdisc::breakageName(breakage) << ": " << message;
      EXPECT_EQ(message.rfind(cue.string(), 0), 0u) << message;
    }
  }
}

}  // namespace
}  // namespace tavrelo::disc
