// CUE images read back against the generator's own account of every sample.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <fstream>

#include "platform/disc/CueImage.h"
#include "platform/os/Log.h"
#include "tests/support/TempDir.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::disc {
namespace {

using testdisc::AudioFormat;
using testdisc::Breakage;
using testdisc::TestDisc;
using testdisc::TestDiscLayout;

void writeAll(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The message CueImage::open refuses `sheet` with.
std::string openRefusal(const std::filesystem::path& sheet) {
  try {
    CueImage::open(sheet);
  } catch (const DiscError& e) {
    return e.what();
  }
  return "(accepted)";
}

// `count` tracks of a second, on a disc of its own.
struct Plain {
  explicit Plain(int count, AudioFormat format = AudioFormat::Binary, std::string name = "disc") {
    disc = testdisc::writeDisc(
        dir.path(),
        {.tracks = testdisc::plainTracks(count, 1), .format = format, .baseName = name});
    image = CueImage::open(disc.cue);
  }
  test::TempDir dir;
  TestDisc disc;
  std::unique_ptr<CueImage> image;
};

class CueImageFormats : public testing::TestWithParam<AudioFormat> {};

// Three audio tracks with every kind of gap, then a data track; a track's
// INDEX 00 at the end of the previous track's file, so reads run across files.
TEST_P(CueImageFormats, TocAndEverySampleMatchTheGenerator) {
  TestDiscLayout layout{.tracks = testdisc::plainTracks(3, 1), .format = GetParam()};
  layout.style.gapsInPreviousFile = true;
  layout.tracks[0].indexZeroSectors = 20;  // hidden sound before track 1
  layout.tracks[1].pregapSectors = 30;
  layout.tracks[1].indexZeroSectors = 40;
  layout.tracks[1].preemphasis = true;  // FLAGS PRE
  layout.tracks[2].postgapSectors = 25;
  layout.tracks.push_back({.sectors = 50, .data = true});
  test::TempDir dir;
  const TestDisc disc = testdisc::writeDisc(dir.path(), layout);
  const auto image = CueImage::open(disc.cue);
  EXPECT_EQ(image->mediaState(), MediaState::DiscPresent);
  const Toc toc = image->readToc();
  EXPECT_EQ(toc, disc.toc);
  ASSERT_EQ(toc.tracks.size(), 4u);
  EXPECT_EQ(toc.tracks[0].start, 150 + 20);
  EXPECT_EQ(toc.tracks[1].start, 150 + 20 + 75 + 30 + 40);
  EXPECT_FALSE(toc.tracks[3].audio);
  EXPECT_TRUE(toc.tracks[1].flags.preemphasis && !toc.tracks[2].flags.preemphasis);
  // Every sample, in reads of 37 sectors; the first differing address is named.
  std::vector<std::uint8_t> got(37 * kSectorBytes);
  for (Lba lba = kLeadInFrames; lba < disc.toc.leadOut; lba += 37) {
    const int expected = std::min(37, disc.toc.leadOut - lba);
    ASSERT_EQ(image->readAudio(lba, 37, got), expected) << "at " << lba;
    for (int s = 0; s < expected; ++s) {
      const auto want = disc.expected(lba + s);
      ASSERT_TRUE(std::equal(want.begin(), want.end(), got.begin() + s * kSectorBytes))
          << "sector " << lba + s << " differs";
    }
  }
  // Backwards, one sector at a time, across files: every read seeks.
  for (Lba lba = disc.toc.leadOut - 1; lba >= kLeadInFrames; lba -= 41) {
    ASSERT_EQ(image->readAudio(lba, 1, got), 1);
    const auto want = disc.expected(lba);
    ASSERT_TRUE(std::equal(want.begin(), want.end(), got.begin())) << "sector " << lba;
  }
}

std::string formatName(const testing::TestParamInfo<AudioFormat>& format) {
  return std::array{
      "Binary", "Motorola", "Wave", "Flac", "Aiff", "WavPack", "Alac"}[static_cast<int>(
      format.param)];
}

INSTANTIATE_TEST_SUITE_P(AllFileTypes, CueImageFormats,
                         testing::Values(AudioFormat::Binary, AudioFormat::Motorola,
                                         AudioFormat::Wave, AudioFormat::Flac, AudioFormat::Aiff,
                                         AudioFormat::WavPack, AudioFormat::Alac),
                         formatName);

TEST(CueImage, ReadsStopAtTheLeadOutAndAtTheEndOfAFileCutShort) {
  Plain plain(2);
  CueImage& image = *plain.image;
  const Lba leadOut = plain.disc.toc.leadOut;
  std::vector<std::uint8_t> buffer(10 * kSectorBytes, 0xaa);
  EXPECT_EQ(image.readAudio(leadOut - 3, 10, buffer), 3);
  EXPECT_EQ(buffer[3 * kSectorBytes], 0xaa);  // nothing past the three sectors is touched
  EXPECT_EQ(image.readAudio(leadOut, 10, buffer), 0);
  EXPECT_EQ(image.readAudio(leadOut + 1000, 1, buffer), 0);
  EXPECT_EQ(image.readAudio(150, 0, buffer), 0);
  EXPECT_THROW(image.readAudio(100, 1, buffer), DiscError);
  std::vector<std::uint8_t> small(kSectorBytes);
  EXPECT_THROW(image.readAudio(150, 2, small), DiscError);

  // A file cut short after opening gives an error, not noise.
  for (const AudioFormat format : {AudioFormat::Binary, AudioFormat::Wave}) {
    Plain cut(1, format);
    const auto& file = cut.disc.files[0];
    std::filesystem::resize_file(file, std::filesystem::file_size(file) * 3 / 4);
    EXPECT_EQ(cut.image->readAudio(150, 10, buffer), 10);
    EXPECT_THROW(cut.image->readAudio(cut.disc.toc.leadOut - 10, 10, buffer), DiscError);
  }
  // A WavPack file cut short reads as it was up to its cut, then as silence.
  Plain cut(1, AudioFormat::WavPack);
  const auto& file = cut.disc.files[0];
  std::filesystem::resize_file(file, std::filesystem::file_size(file) * 3 / 4);
  ASSERT_EQ(cut.image->readAudio(150, 10, buffer), 10);
  EXPECT_EQ(buffer, cut.disc.expected(150, 10));
  ASSERT_EQ(cut.image->readAudio(cut.disc.toc.leadOut - 10, 10, buffer), 10);
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 10 * kSectorBytes);
}

struct CapturedLog {
  CapturedLog() {
    os::setLogSink([this](const std::string& line) { lines.push_back(line); });
  }
  ~CapturedLog() { os::setLogSink({}); }
  std::vector<std::string> lines;
};

TEST(CueImageTray, EjectAndCloseTakeTheImageInAgainAsANewMedium) {
  Plain plain(2);
  CueImage& image = *plain.image;
  ASSERT_TRUE(image.hasTray());
  const auto generation = image.mediaGeneration();
  image.eject();
  EXPECT_EQ(image.mediaState(), MediaState::TrayOpen);
  EXPECT_NE(image.mediaGeneration(), generation);
  EXPECT_THROW(image.readToc(), DiscError);
  std::vector<std::uint8_t> buffer(kSectorBytes);
  EXPECT_THROW(image.readAudio(150, 1, buffer), DiscError);
  const auto ejected = image.mediaGeneration();
  image.closeTray();
  EXPECT_EQ(image.mediaState(), MediaState::DiscPresent);
  EXPECT_NE(image.mediaGeneration(), ejected);
  EXPECT_EQ(image.readToc(), plain.disc.toc);
  EXPECT_TRUE(image.lastError().empty());

  // A sheet broken while the tray is out leaves the drive empty, with a reason.
  CapturedLog log;
  image.eject();
  std::filesystem::remove(plain.disc.files[0]);
  image.closeTray();
  EXPECT_EQ(image.mediaState(), MediaState::NoDisc);
  EXPECT_NE(image.lastError().find("not found"), std::string::npos) << image.lastError();
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find(plain.disc.cue.string()), std::string::npos) << log.lines[0];
  EXPECT_THROW(image.readToc(), DiscError);
  // The image mended, the next close finds the disc again.
  testdisc::writeDisc(plain.dir.path(), {.tracks = testdisc::plainTracks(2, 1)});
  image.eject();
  image.closeTray();
  EXPECT_EQ(image.mediaState(), MediaState::DiscPresent);
  EXPECT_EQ(image.readToc(), plain.disc.toc);

  // A missing sheet opened as a drive is an empty drive.
  const auto empty = CueImage::openAsDrive(plain.dir.path() / "nowhere.cue");
  EXPECT_EQ(empty->mediaState(), MediaState::NoDisc);
  EXPECT_NE(empty->lastError().find("does not exist"), std::string::npos) << empty->lastError();
  EXPECT_EQ(log.lines.size(), 2u);
  EXPECT_THROW(CueImage::open(plain.dir.path() / "nowhere.cue"), DiscError);
}

// Names written on Windows: backslashes, another case, a path that leads
// nowhere tried beside the sheet; one file named twice reads twice.
TEST(CueImageSheets, FileNamesAreFoundAsWindowsToolsWriteThem) {
  Plain plain(1, AudioFormat::Binary, "Album");
  const auto& dir = plain.dir.path();
  std::filesystem::create_directories(dir / "Sub");
  std::filesystem::copy_file(plain.disc.files[0], dir / "Sub" / "Album.bin");
  const std::string one = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  writeAll(dir / "a.cue", "file Sub\\ALBUM.BIN binary\n" + one);
  EXPECT_EQ(CueImage::open(dir / "a.cue")->readToc(), plain.disc.toc);
  writeAll(dir / "moved.cue", "FILE \"C:\\Rips\\Album\\ALBUM.bin\" BINARY\n" + one);
  EXPECT_EQ(CueImage::open(dir / "moved.cue")->readToc(), plain.disc.toc);
  writeAll(dir / "twice.cue",
           "FILE Album.bin BINARY\n" + one +
               "FILE Album.bin BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
  const auto twice = CueImage::open(dir / "twice.cue");
  const Toc toc = twice->readToc();
  ASSERT_EQ(toc.tracks.size(), 2u);
  EXPECT_EQ(toc.tracks[1].start, 225);
  EXPECT_EQ(toc.leadOut, 300);
  std::vector<std::uint8_t> a(kSectorBytes), b(kSectorBytes);
  twice->readAudio(160, 1, a);
  twice->readAudio(235, 1, b);
  EXPECT_EQ(a, b);
  // Two files that differ only in case: no guessing.
  std::filesystem::copy_file(plain.disc.files[0], dir / "album.bin");
  EXPECT_NE(openRefusal(dir / "moved.cue")
                .find("line 1: \"C:\\Rips\\Album\\ALBUM.bin\" not found: looked for " +
                      dir.string() + "/C:/Rips/Album/ALBUM.bin and " + dir.string() +
                      "/ALBUM.bin; put the file there or correct the FILE line"),
            std::string::npos)
      << openRefusal(dir / "moved.cue");
}

// A partial rip of tracks 4 and 5 ending in an Enhanced CD's data session:
// two tracks numbered from 1, the disc ending with the last audio; each
// reading noted in the log at the first load only.
TEST(CueImageSheets, PartialRipOfAnEnhancedCdPlaysItsAudioFromTrackOne) {
  Plain plain(2);
  const auto& dir = plain.dir.path();
  writeAll(dir / "part.cue",
           "FILE disc.bin BINARY\n  TRACK 04 AUDIO\n    INDEX 01 00:00:00\n"
           "  TRACK 05 AUDIO\n    INDEX 01 00:01:00\n  TRACK 06 MODE1/2352\n");
  CapturedLog log;
  const auto image = CueImage::open(dir / "part.cue");
  EXPECT_EQ(image->readToc(), plain.disc.toc);
  image->eject();
  image->closeTray();
  EXPECT_EQ(image->readToc(), plain.disc.toc);
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_NE(log.lines[0].find("part.cue: line 6: track 6 (MODE1/2352)"), std::string::npos)
      << log.lines[0];
  EXPECT_NE(log.lines[1].find("part.cue: the sheet's tracks are numbered 4 to 5"),
            std::string::npos)
      << log.lines[1];
}

// Runs ffmpeg on files of the test; it is installed with the build's dependencies.
void ffmpeg(const std::string& arguments) {
  ASSERT_EQ(std::system(("ffmpeg -v error -y -nostdin " + arguments).c_str()), 0) << arguments;
}

// Lossy files play for the length their encoder stated (its delay and padding
// taken off): the disc is the one their WAV sources make.
TEST(CueImageSheets, LossyFilesPlayForTheirSourcesLength) {
  Plain wave(2, AudioFormat::Wave);
  const auto& dir = wave.dir.path();
  for (const std::string type : {"mp3", "ogg"}) {
    std::string sheet;
    for (int n = 1; n <= 2; ++n) {
      const auto source = wave.disc.files[std::size_t(n) - 1];
      const auto coded = std::filesystem::path(source).replace_extension(type);
      ffmpeg("-i " + source.string() + " " + coded.string());
      sheet += "FILE \"" + coded.filename().string() + "\" MP3\n  TRACK 0" + std::to_string(n) +
               " AUDIO\n    INDEX 01 00:00:00\n";
    }
    writeAll(dir / "lossy.cue", sheet);
    EXPECT_EQ(CueImage::open(dir / "lossy.cue")->readToc(), wave.disc.toc) << type;
  }
}

// Files in the formats FFmpeg reads for us that are no CD audio, or no such
// file at all, each refused with the file's name and what it holds.
TEST(CueImageSheets, CodedFilesThatAreNoCdAudioAreRefusedWithWhatTheyHold) {
  test::TempDir dir;
  const std::string tone = "-f lavfi -i sine=sample_rate=44100:duration=1 -ac 2 ";
  struct Case {
    std::string arguments;  // to ffmpeg, before the file's name; empty: a text file
    std::string file;
    std::string reason;
  } cases[] = {
      {"-f lavfi -i sine=sample_rate=22050:duration=1 -c:a wavpack", "a.wv",
       "line 1: \"a.wv\" is 22050 Hz, 16 bits, 1 channel; a CD holds 44100 Hz"},
      {tone + "-c:a alac -sample_fmt s32p", "b.m4a", "\"b.m4a\" is 44100 Hz, 24 bits, 2 channels"},
      {tone + "-c:a aac", "c.m4a", "\"c.m4a\" (ALAC) holds aac sound, not ALAC"},
      {tone + "-c:a libopus", "d.opus", "\"d.opus\" is 48000 Hz, compressed, 2 channels"},
      {"", "e.wv", "line 1: \"e.wv\" (WavPack) cannot be read"},
  };
  for (const Case& c : cases) {
    if (c.arguments.empty()) {
      writeAll(dir.path() / c.file, "wvpk, and then nothing of WavPack");
    } else {
      ffmpeg(c.arguments + " " + (dir.path() / c.file).string());
    }
    writeAll(dir.path() / "x.cue",
             "FILE \"" + c.file + "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    const std::string message = openRefusal(dir.path() / "x.cue");
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
  }
}

// Each broken image is refused with a message that names the sheet and its
// fault, and a file that is no regular file is refused without waiting.
TEST(CueImageSheets, BrokenImagesAreRefusedWithTheirReason) {
  test::TempDir dir;
  const std::pair<Breakage, const char*> broken[] = {
      {Breakage::NoTracks, "no TRACK"},
      {Breakage::MissingFile, "line 1: \"absent.bin\" not found"},
      {Breakage::EmptyFile, ".bin\" is empty"},
      {Breakage::NotAudioFile, "\"notes.wav\" is not a sound file"},
      {Breakage::WaveRate22050, "22050 Hz, 16 bits, 2 channels; a CD holds 44100 Hz"},
      {Breakage::WaveMono, "44100 Hz, 16 bits, 1 channel;"},
      {Breakage::Wave8Bit, "44100 Hz, 8 bits, 2 channels;"},
  };
  for (const auto& [breakage, reason] : broken) {
    const auto cue =
        testdisc::writeBrokenDisc(dir.path() / std::to_string(int(breakage)), breakage);
    const std::string message = openRefusal(cue);
    EXPECT_NE(message.find(reason), std::string::npos) << message;
    EXPECT_EQ(message.rfind(cue.string() + ": ", 0), 0u) << message;
  }
  ASSERT_EQ(mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.path() / "folder.wav");
  for (const char* file : {"\"pipe\" BINARY", "\"pipe\" WAVE", "\"folder.wav\" WAVE"}) {
    writeAll(dir.path() / "x.cue",
             std::string("FILE ") + file + "\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    const std::string name = std::string(file).substr(0, std::string(file).find(' '));
    EXPECT_NE(openRefusal(dir.path() / "x.cue").find(name + " is not a regular file"),
              std::string::npos)
        << openRefusal(dir.path() / "x.cue");
  }
  ASSERT_EQ(mkfifo((dir.path() / "sheet.cue").c_str(), 0600), 0);  // the sheet itself
  EXPECT_THROW(CueImage::open(dir.path() / "sheet.cue"), DiscError);
}

}  // namespace
}  // namespace tavrelo::disc
