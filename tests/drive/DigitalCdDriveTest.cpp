// Threads: besides the drive's own, a few tests call the drive from std::async
// to prove a call returns while a read or a destruction is under way.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>

#include "platform/audio/NullSink.h"
#include "platform/disc/CueImage.h"
#include "platform/drive/DigitalCdDrive.h"
#include "platform/os/Log.h"
#include "tests/drive/support/FaultyDisc.h"
#include "tests/drive/support/Wait.h"
#include "tests/support/TempDir.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::drive {
namespace {

using audio::NullSink;
using testing::FaultyDisc;
using testing::waitUntil;

constexpr int kSector = disc::kStereoFramesPerSector;

// A drive over a generated image that misbehaves on demand and a
// hand-clocked sink that keeps what it played.
struct Rig {
  explicit Rig(std::vector<int> tracks = {750, 750, 750}, EngineOptions options = {}) {
    testdisc::DiscSpec layout;
    for (int sectors : tracks) layout.tracks.push_back({.sectors = sectors});
    disc = testdisc::writeDisc(dir.path(), layout);
    auto source = std::make_unique<FaultyDisc>(disc::CueImage::openAsDrive(disc.cue));
    faults = source.get();
    auto nullSink = std::make_unique<NullSink>(true);
    sink = nullSink.get();
    os::setLogSink([this](const std::string& line) {
      std::lock_guard lock(logMutex);
      log.push_back(line);
    });
    drive = std::make_unique<DigitalCdDrive>(std::move(source), std::move(nullSink), options);
  }
  ~Rig() {
    drive.reset();
    os::setLogSink({});
  }

  // Lets the listener hear `frames` frames, waiting for the reader as needed.
  std::int64_t hear(std::int64_t frames) {
    std::int64_t heard = 0;
    waitUntil([&] {
      heard += sink->advance(frames - heard);
      return heard == frames;
    });
    return heard;
  }
  // Plays on until the sink has nothing more to give and the drive stops.
  void hearToEnd() {
    waitUntil(
        [&] {
          sink->advance(75 * kSector);
          return drive->status().audio != AudioStatus::Playing;
        },
        10000);
  }
  std::vector<std::string> logLines() {
    std::lock_guard lock(logMutex);
    return log;
  }

  test::TempDir dir;
  testdisc::TestDisc disc;
  FaultyDisc* faults = nullptr;  // wraps the image
  NullSink* sink = nullptr;
  std::mutex logMutex;
  std::vector<std::string> log;
  std::unique_ptr<DigitalCdDrive> drive;
};

TEST(DigitalCdDrive, LoadedDiscStandsStoppedAtTrackOne) {
  Rig rig;
  const DriveStatus s = rig.drive->status();
  EXPECT_TRUE(s.mediaPresent);
  EXPECT_FALSE(s.trayOpen);
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_EQ(s.position, 150);
  EXPECT_EQ(s.track, 1);
  Toc toc;
  ASSERT_EQ(rig.drive->readToc(toc), DriveError::None);
  EXPECT_EQ(toc, rig.disc.toc);
  EXPECT_EQ(rig.faults->readSpeed.load(), 4);
}

TEST(DigitalCdDrive, PlaysARangeAcrossTracksAsOneStreamAndStopsAtItsEnd) {
  Rig rig;
  // Track 2 starts at 900: play the last 10 sectors of track 1 and 15 of track 2.
  ASSERT_EQ(rig.drive->play(890, 915), DriveError::None);
  rig.hearToEnd();
  EXPECT_EQ(rig.sink->captured(), rig.disc.expected(890, 25));
  const DriveStatus s = rig.drive->status();
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_EQ(s.position, 915);
  EXPECT_EQ(s.track, 2);
}

TEST(DigitalCdDrive, PositionIsTheFrameBeingHeard) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  EXPECT_EQ(rig.drive->status().position, 150);
  rig.hear(10 * kSector + 100);
  DriveStatus s = rig.drive->status();
  EXPECT_EQ(s.audio, AudioStatus::Playing);
  EXPECT_EQ(s.position, 160);
  EXPECT_EQ(s.track, 1);
  rig.hear(750 * kSector);
  s = rig.drive->status();
  EXPECT_EQ(s.position, 910);
  EXPECT_EQ(s.track, 2);
}

TEST(DigitalCdDrive, PauseHoldsAndResumeGoesOnWithoutLoss) {
  Rig rig;
  ASSERT_EQ(rig.drive->resume(), DriveError::NotPaused);
  ASSERT_EQ(rig.drive->play(150, 200), DriveError::None);
  rig.hear(20 * kSector);
  ASSERT_EQ(rig.drive->pause(), DriveError::None);
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Paused);
  EXPECT_EQ(rig.sink->advance(kSector), 0);  // the sink is held
  EXPECT_EQ(rig.drive->status().position, 170);
  ASSERT_EQ(rig.drive->resume(), DriveError::None);
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Playing);
  EXPECT_EQ(rig.drive->resume(), DriveError::NotPaused);
  rig.hearToEnd();
  EXPECT_EQ(rig.sink->captured(), rig.disc.expected(150, 50));
}

TEST(DigitalCdDrive, StopKeepsThePositionAndSilencesAtOnce) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(150, 1000), DriveError::None);
  rig.hear(30 * kSector);
  ASSERT_EQ(rig.drive->stop(), DriveError::None);
  EXPECT_FALSE(rig.sink->running());
  DriveStatus s = rig.drive->status();
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_EQ(s.position, 180);
  // Pause after stop changes nothing; resume has nothing to resume.
  EXPECT_EQ(rig.drive->pause(), DriveError::None);
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Stopped);
  EXPECT_EQ(rig.drive->resume(), DriveError::NotPaused);
}

TEST(DigitalCdDrive, SeekStopsAndMovesWithinTheDisc) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(150, 1000), DriveError::None);
  rig.hear(5 * kSector);
  ASSERT_EQ(rig.drive->seek(1200), DriveError::None);
  EXPECT_FALSE(rig.sink->running());
  DriveStatus s = rig.drive->status();
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_EQ(s.position, 1200);
  EXPECT_EQ(s.track, 2);
  EXPECT_EQ(rig.drive->seek(149), DriveError::OutOfRange);
  EXPECT_EQ(rig.drive->seek(2400), DriveError::OutOfRange);  // the lead-out
  EXPECT_EQ(rig.drive->status().position, 1200);
}

TEST(DigitalCdDrive, RefusesRangesOutsideTheDisc) {
  Rig rig;
  EXPECT_EQ(rig.drive->play(149, 300), DriveError::OutOfRange);
  EXPECT_EQ(rig.drive->play(300, 2401), DriveError::OutOfRange);
  EXPECT_EQ(rig.drive->play(300, 300), DriveError::OutOfRange);
  EXPECT_EQ(rig.drive->play(400, 300), DriveError::OutOfRange);
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Stopped);
  EXPECT_EQ(rig.sink->streams(), 0);
}

TEST(DigitalCdDrive, PlayToTheEndOfTheDiscStandsAtTrackOne) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(2390, 2400), DriveError::None);
  rig.hearToEnd();
  EXPECT_EQ(rig.sink->captured(), rig.disc.expected(2390, 10));
  const DriveStatus s = rig.drive->status();
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_EQ(s.position, 150);
  EXPECT_EQ(s.track, 1);
}

TEST(DigitalCdDrive, OpeningTheTrayMidPlaySilencesAndEjects) {
  Rig rig;
  const std::uint64_t loaded = rig.drive->status().mediaGeneration;
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hear(10 * kSector);
  ASSERT_EQ(rig.drive->openTray(), DriveError::None);
  EXPECT_FALSE(rig.sink->running());
  DriveStatus s = rig.drive->status();
  EXPECT_TRUE(s.trayOpen);
  EXPECT_FALSE(s.mediaPresent);
  EXPECT_EQ(s.audio, AudioStatus::Stopped);
  EXPECT_EQ(s.track, 0);
  EXPECT_NE(s.mediaGeneration, loaded);
  Toc toc;
  EXPECT_EQ(rig.drive->readToc(toc), DriveError::NoMedia);
  EXPECT_EQ(rig.drive->play(150, 300), DriveError::NoMedia);
  EXPECT_EQ(rig.drive->seek(300), DriveError::NoMedia);
  EXPECT_EQ(rig.drive->pause(), DriveError::NoMedia);

  ASSERT_EQ(rig.drive->closeTray(), DriveError::None);
  s = rig.drive->status();
  EXPECT_FALSE(s.trayOpen);
  EXPECT_TRUE(s.mediaPresent);
  EXPECT_EQ(s.position, 150);
  EXPECT_EQ(s.track, 1);
  EXPECT_NE(s.mediaGeneration, loaded);
  EXPECT_EQ(rig.drive->readToc(toc), DriveError::None);
  EXPECT_EQ(rig.drive->play(150, 160), DriveError::None);
}

TEST(DigitalCdDrive, UnreadableSectorsBecomeSilenceAndPlayGoesOn) {
  Rig rig;
  rig.faults->makeUnreadable(170);
  rig.faults->makeUnreadable(171);
  rig.faults->makeFlaky(180, 2);  // read on the third attempt
  ASSERT_EQ(rig.drive->play(150, 200), DriveError::None);
  rig.hearToEnd();
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Stopped);
  EXPECT_EQ(rig.drive->status().position, 200);
  std::vector<std::uint8_t> want = rig.disc.expected(150, 50);
  std::fill(want.begin() + 20 * disc::kSectorBytes, want.begin() + 22 * disc::kSectorBytes, 0);
  EXPECT_EQ(rig.sink->captured(), want);
  const auto lines = rig.logLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("2 unreadable sector(s)"), std::string::npos) << lines.back();
}

TEST(DigitalCdDrive, ADiscThatVanishesMidPlayEndsInError) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hear(10 * kSector);
  rig.faults->vanish();
  // Listen on: the reader meets the missing disc when the ring runs low.
  EXPECT_TRUE(waitUntil(
      [&] {
        rig.sink->advance(20 * kSector);
        return rig.drive->status().audio == AudioStatus::Error;
      },
      10000));
  EXPECT_FALSE(rig.sink->running());
  EXPECT_FALSE(rig.drive->lastError().empty());
  EXPECT_FALSE(rig.logLines().empty());
  EXPECT_TRUE(waitUntil([&] { return !rig.drive->status().mediaPresent; }));
}

// A long bad stretch (a deep scratch, an image cut short) plays as silence
// and play goes on past it, at one read a chunk once the stretch is long.
TEST(DigitalCdDrive, ALongRunOfUnreadableSectorsIsSilenceAndPlayGoesOnPastIt) {
  EngineOptions options;
  options.longUnreadableRun = 40;
  Rig rig({750, 750, 750}, options);
  constexpr Lba kBadFrom = 300;
  constexpr Lba kBadTo = 1200;
  for (Lba lba = kBadFrom; lba < kBadTo; ++lba) rig.faults->makeUnreadable(lba);
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hearToEnd();
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Stopped);

  const auto heard = rig.sink->captured();
  const auto want = rig.disc.expected(150, 2250);
  ASSERT_EQ(heard.size(), want.size());
  const auto at = [](Lba lba) {
    return static_cast<std::ptrdiff_t>(lba - 150) * disc::kSectorBytes;
  };
  EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + at(kBadFrom), want.begin()));
  EXPECT_TRUE(std::all_of(heard.begin() + at(kBadFrom), heard.begin() + at(kBadTo),
                          [](std::uint8_t b) { return b == 0; }));
  // At most the chunk that ends the stretch is lost with it.
  const Lba resumed = kBadTo + options.chunkSectors;
  EXPECT_TRUE(std::equal(heard.begin() + at(resumed), heard.end(), want.begin() + at(resumed)));
  // Retrying each of the 900 sectors would have taken thousands of reads.
  EXPECT_LT(rig.faults->reads.load(), 400);
  const auto lines = rig.logLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("reading again at LBA") != std::string::npos;
  }));
}

TEST(DigitalCdDrive, ReadsAheadInChunksBetweenItsMarks) {
  EngineOptions options;
  options.ringSeconds = 4;
  options.lowMarkSeconds = 2;
  Rig rig({75 * 60}, options);
  ASSERT_EQ(rig.drive->play(150, 150 + 75 * 60), DriveError::None);
  // Nobody listens: the reader fills the ring and then rests.
  int reads = 0;
  waitUntil([&] {
    const int now = rig.faults->reads.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    reads = now;
    return rig.faults->reads.load() == now;
  });
  EXPECT_GE(reads, 10);
  EXPECT_LE(reads, 14);  // 3 + 11 * 25 sectors fill 4 s, less than a chunk short
  // One second heard leaves three: above the low mark, nothing is read.
  rig.hear(75 * kSector);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(rig.faults->reads.load(), reads);
  // Below the low mark the reader tops the ring up again.
  rig.hear(75 * kSector + 10 * kSector);
  EXPECT_TRUE(waitUntil([&] { return rig.faults->reads.load() >= reads + 7; }));
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Playing);
}

TEST(DigitalCdDrive, NoCallWaitsForADiscRead) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hear(kSector);
  rig.faults->readDelayMs = 2000;  // every read now takes two seconds
  const int before = rig.faults->reads.load();
  rig.hear(160 * kSector);  // below the low mark: the reader starts a slow read
  ASSERT_TRUE(waitUntil([&] { return rig.faults->reads.load() > before; }));
  auto calls = std::async(std::launch::async, [&] {
    rig.drive->status();
    rig.drive->pause();
    rig.drive->resume();
    rig.drive->seek(500);
    rig.drive->play(600, 700);
    rig.drive->stop();
    Toc toc;
    return rig.drive->readToc(toc);
  });
  ASSERT_EQ(calls.wait_for(std::chrono::milliseconds(1000)), std::future_status::ready);
  EXPECT_EQ(calls.get(), DriveError::None);
  rig.faults->readDelayMs = 0;
}

TEST(DigitalCdDrive, ATrayMoveDoesNotWaitOutTheRetriesOfABadPatch) {
  Rig rig;
  for (Lba lba = 160; lba < 300; ++lba) rig.faults->makeUnreadable(lba);
  rig.faults->readDelayMs = 30;  // a chunk of bad sectors now takes over two seconds
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  ASSERT_TRUE(waitUntil([&] { return rig.faults->reads.load() >= 20; }));
  auto open = std::async(std::launch::async, [&] { return rig.drive->openTray(); });
  ASSERT_EQ(open.wait_for(std::chrono::milliseconds(600)), std::future_status::ready);
  EXPECT_EQ(open.get(), DriveError::None);
  EXPECT_TRUE(rig.drive->status().trayOpen);
  rig.faults->readDelayMs = 0;
}

TEST(DigitalCdDrive, CanBeDestroyedWhilePlaying) {
  for (int i = 0; i < 5; ++i) {
    Rig rig;
    ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
    rig.hear(i * kSector);
    auto done = std::async(std::launch::async, [&] { rig.drive.reset(); });
    EXPECT_EQ(done.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  }
}

}  // namespace
}  // namespace tavrelo::drive
