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
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::drive {
namespace {

using audio::NullSink;
using testing::eventually;

constexpr int kSector = disc::kStereoFramesPerSector;

// A drive over a generated image that misbehaves on demand and a
// hand-clocked sink that keeps what it played. Tracks 2 and 3 start at 900
// and 1650, the lead-out is at 2400.
struct Rig {
  explicit Rig(std::vector<int> tracks = {750, 750, 750}, EngineOptions options = {}) {
    testdisc::TestDiscLayout layout;
    for (int sectors : tracks) layout.tracks.push_back({.sectors = sectors});
    disc = testdisc::writeDisc(dir.path(), layout);
    auto source = std::make_unique<testing::FaultyDisc>(disc::CueImage::openAsDrive(disc.cue));
    faults = source.get();
    auto nullSink = std::make_unique<NullSink>(true);
    sink = nullSink.get();
    os::setLogSink([this](const std::string& line) {
      std::lock_guard lock(logMutex);
      log += line + "\n";
    });
    drive = std::make_unique<DigitalCdDrive>(std::move(source), std::move(nullSink), options);
  }
  ~Rig() {
    drive.reset();
    os::setLogSink({});
  }

  // Lets the listener hear `frames` frames, waiting for the reader as needed.
  void hear(std::int64_t frames) {
    eventually([&] { return (frames -= sink->advance(frames)) == 0; }, 3000, 1);
  }
  // Plays on until the sink has nothing more to give and the drive stops.
  void hearToEnd() {
    eventually(
        [&] {
          sink->advance(75 * kSector);
          return drive->status().audio != AudioStatus::Playing;
        },
        10000, 1);
  }
  // What the status says of the play: its state, position and track.
  std::tuple<AudioStatus, Lba, int> where() {
    const DriveStatus s = drive->status();
    return {s.audio, s.position, s.track};
  }
  std::string logText() {
    std::lock_guard lock(logMutex);
    return log;
  }

  test::TempDir dir;
  testdisc::TestDisc disc;
  testing::FaultyDisc* faults = nullptr;  // wraps the image
  NullSink* sink = nullptr;
  std::mutex logMutex;
  std::string log;
  std::unique_ptr<DigitalCdDrive> drive;
};

using State = std::tuple<AudioStatus, Lba, int>;
constexpr auto kStopped = AudioStatus::Stopped;

TEST(DigitalCdDrive, ALoadedDiscStandsStoppedAtTrackOneAndRefusesRangesOffIt) {
  Rig rig;
  EXPECT_EQ(rig.where(), State(kStopped, 150, 1));
  EXPECT_TRUE(rig.drive->status().mediaPresent && !rig.drive->status().trayOpen);
  Toc toc;
  ASSERT_EQ(rig.drive->readToc(toc), DriveError::None);
  EXPECT_EQ(toc, rig.disc.toc);
  EXPECT_EQ(rig.faults->readSpeed.load(), 4);
  for (const auto& [from, to] : {std::pair{149, 300}, {300, 2401}, {300, 300}, {400, 300}}) {
    EXPECT_EQ(rig.drive->play(from, to), DriveError::OutOfRange) << from << " to " << to;
  }
  EXPECT_EQ(rig.drive->seek(149), DriveError::OutOfRange);
  EXPECT_EQ(rig.drive->seek(2400), DriveError::OutOfRange);  // the lead-out
  EXPECT_EQ(rig.where(), State(kStopped, 150, 1));
  EXPECT_EQ(rig.sink->streams(), 0);
}

// A range across tracks plays as one stream; at the end of the disc the
// drive stands at track 1 again.
TEST(DigitalCdDrive, PlaysARangeWholeAndStopsAtItsEnd) {
  const struct {
    Lba from, to;
    State after;
  } cases[] = {{890, 915, {kStopped, 915, 2}}, {2390, 2400, {kStopped, 150, 1}}};
  for (const auto& c : cases) {
    Rig rig;
    ASSERT_EQ(rig.drive->play(c.from, c.to), DriveError::None);
    rig.hearToEnd();
    EXPECT_EQ(rig.sink->captured(), rig.disc.expected(c.from, c.to - c.from));
    EXPECT_EQ(rig.where(), c.after) << c.from;
  }
}

// The position is the frame being heard; pause holds it and resume goes on
// without loss; stop keeps it and seek moves it, both silencing at once.
TEST(DigitalCdDrive, PauseResumeStopAndSeekKeepThePositionHeard) {
  Rig rig;
  ASSERT_EQ(rig.drive->resume(), DriveError::NotPaused);
  ASSERT_EQ(rig.drive->play(150, 200), DriveError::None);
  EXPECT_EQ(rig.where(), State(AudioStatus::Playing, 150, 1));
  rig.hear(20 * kSector + 100);
  ASSERT_EQ(rig.drive->pause(), DriveError::None);
  EXPECT_EQ(rig.sink->advance(kSector), 0);  // the sink is held
  EXPECT_EQ(rig.where(), State(AudioStatus::Paused, 170, 1));
  ASSERT_EQ(rig.drive->resume(), DriveError::None);
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Playing);
  EXPECT_EQ(rig.drive->resume(), DriveError::NotPaused);
  rig.hearToEnd();
  EXPECT_EQ(rig.sink->captured(), rig.disc.expected(150, 50));

  ASSERT_EQ(rig.drive->play(150, 1000), DriveError::None);
  rig.hear(30 * kSector);
  ASSERT_EQ(rig.drive->stop(), DriveError::None);
  EXPECT_FALSE(rig.sink->running());
  // Pause after stop changes nothing; resume has nothing to resume.
  EXPECT_EQ(rig.drive->pause(), DriveError::None);
  EXPECT_EQ(rig.drive->resume(), DriveError::NotPaused);
  EXPECT_EQ(rig.where(), State(kStopped, 180, 1));
  ASSERT_EQ(rig.drive->play(150, 1000), DriveError::None);
  rig.hear(5 * kSector);
  ASSERT_EQ(rig.drive->seek(1200), DriveError::None);
  EXPECT_FALSE(rig.sink->running());
  EXPECT_EQ(rig.where(), State(kStopped, 1200, 2));
}

TEST(DigitalCdDrive, OpeningTheTrayMidPlaySilencesAndEjects) {
  Rig rig;
  const std::uint64_t loaded = rig.drive->status().mediaGeneration;
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hear(10 * kSector);
  ASSERT_EQ(rig.drive->openTray(), DriveError::None);
  EXPECT_FALSE(rig.sink->running());
  DriveStatus s = rig.drive->status();
  EXPECT_EQ(std::tuple(s.trayOpen, s.mediaPresent, s.audio, s.track),
            std::tuple(true, false, kStopped, 0));
  EXPECT_NE(s.mediaGeneration, loaded);
  Toc toc;
  EXPECT_EQ(rig.drive->readToc(toc), DriveError::NoMedia);
  EXPECT_EQ(rig.drive->play(150, 300), DriveError::NoMedia);
  EXPECT_EQ(rig.drive->seek(300), DriveError::NoMedia);
  EXPECT_EQ(rig.drive->pause(), DriveError::NoMedia);

  ASSERT_EQ(rig.drive->closeTray(), DriveError::None);
  s = rig.drive->status();
  EXPECT_EQ(std::tuple(s.trayOpen, s.mediaPresent), std::tuple(false, true));
  EXPECT_EQ(rig.where(), State(kStopped, 150, 1));
  EXPECT_NE(s.mediaGeneration, loaded);
  EXPECT_EQ(rig.drive->play(150, 160), DriveError::None);
}

TEST(DigitalCdDrive, ADiscThatVanishesMidPlayEndsInError) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hear(10 * kSector);
  rig.faults->vanish();
  // Listen on: the reader meets the missing disc when the ring runs low.
  EXPECT_TRUE(eventually(
      [&] {
        rig.sink->advance(20 * kSector);
        return rig.drive->status().audio == AudioStatus::Error;
      },
      10000, 1));
  EXPECT_FALSE(rig.sink->running());
  EXPECT_FALSE(rig.drive->lastError().empty());
  EXPECT_FALSE(rig.logText().empty());
  EXPECT_TRUE(eventually([&] { return !rig.drive->status().mediaPresent; }, 3000, 1));
}

// Unreadable sectors play as silence and play goes on past them; deep in a
// long bad stretch (a scratch, an image cut short) one read a chunk is tried.
TEST(DigitalCdDrive, UnreadableSectorsAreSilenceAndPlayGoesOnPastThem) {
  const EngineOptions options{.longUnreadableRun = 40};
  Rig rig({750, 750, 750}, options);
  constexpr Lba kBadFrom = 300, kBadTo = 1200;
  rig.faults->makeUnreadable(170);
  rig.faults->makeUnreadable(171);
  rig.faults->makeFlaky(180, 2);  // read on the third attempt
  for (Lba lba = kBadFrom; lba < kBadTo; ++lba) rig.faults->makeUnreadable(lba);
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hearToEnd();
  EXPECT_EQ(rig.where(), State(kStopped, 150, 1));

  const auto heard = rig.sink->captured();
  auto want = rig.disc.expected(150, 2250);
  ASSERT_EQ(heard.size(), want.size());
  const auto at = [](Lba lba) {
    return static_cast<std::ptrdiff_t>(lba - 150) * disc::kSectorBytes;
  };
  std::fill(want.begin() + at(170), want.begin() + at(172), 0);
  std::fill(want.begin() + at(kBadFrom), want.begin() + at(kBadTo), 0);
  EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + at(kBadTo), want.begin()));
  // At most the chunk that ends the stretch is lost with it.
  const Lba resumed = kBadTo + options.chunkSectors;
  EXPECT_TRUE(std::equal(heard.begin() + at(resumed), heard.end(), want.begin() + at(resumed)));
  EXPECT_LT(rig.faults->reads.load(), 400);  // retrying all 900 would take thousands
  const std::string log = rig.logText();
  EXPECT_NE(log.find(": 2 unreadable sector(s) from LBA 153"), std::string::npos) << log;
  EXPECT_NE(log.find("reading again at LBA"), std::string::npos) << log;
}

TEST(DigitalCdDrive, ReadsAheadInChunksBetweenItsMarks) {
  // The reader looks at the ring often, so a read out of turn shows at once.
  Rig rig({75 * 60}, {.ringSeconds = 4, .lowMarkSeconds = 2, .idlePollMs = 20});
  ASSERT_EQ(rig.drive->play(150, 150 + 75 * 60), DriveError::None);
  // Nobody listens: the reader fills the ring and then rests.
  int reads = 0;
  eventually(
      [&] {
        reads = rig.faults->reads.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        return rig.faults->reads.load() == reads;
      },
      3000, 1);
  EXPECT_GE(reads, 10);
  EXPECT_LE(reads, 14);  // 3 + 11 * 25 sectors fill 4 s, less than a chunk short
  // One second heard leaves three: above the low mark, nothing is read.
  rig.hear(75 * kSector);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(rig.faults->reads.load(), reads);
  // Below the low mark the reader tops the ring up again.
  rig.hear(75 * kSector + 10 * kSector);
  EXPECT_TRUE(eventually([&] { return rig.faults->reads.load() >= reads + 7; }, 3000, 1));
  EXPECT_EQ(rig.drive->status().audio, AudioStatus::Playing);
}

TEST(DigitalCdDrive, NoCallWaitsForADiscRead) {
  Rig rig;
  ASSERT_EQ(rig.drive->play(150, 2400), DriveError::None);
  rig.hear(kSector);
  rig.faults->readDelayMs = 2000;
  const int before = rig.faults->reads.load();
  rig.hear(160 * kSector);  // below the low mark: the reader starts a slow read
  ASSERT_TRUE(eventually([&] { return rig.faults->reads.load() > before; }, 3000, 1));
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
  ASSERT_TRUE(eventually([&] { return rig.faults->reads.load() >= 20; }, 3000, 1));
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
