// Threads: the recorder's thread reads the drive's status while the test
// thread drives it; the drive is safe for that, and `atChange` is atomic. The
// sink logs on its own thread, under logMutex_.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/audio/PulseSink.h"
#include "platform/drive/DigitalCdDrive.h"
#include "platform/os/Log.h"
#include "tests/drive/support/PrivatePulse.h"
#include "tests/drive/support/Recorder.h"
#include "tests/drive/support/Signals.h"
#include "tests/drive/support/SyntheticDisc.h"
#include "tests/drive/support/Wait.h"

namespace tavrelo::drive {
namespace {

using testing::Recorder;
using testing::Signal;
using testing::SyntheticDisc;
using testing::waitUntil;

const std::string kMonitor = std::string(TAVRELO_TEST_PULSE_SINK) + ".monitor";
const std::vector<double> kTones = {testing::toneHz(1), testing::toneHz(2), testing::toneHz(3)};
constexpr Lba kTrack2 = 150 + 375;  // three tracks of five seconds

class DrivePulse : public ::testing::Test {
 protected:
  void SetUp() override { setenv("PULSE_SERVER", TAVRELO_TEST_PULSE_SERVER, 1); }

  void makeDrive(Signal signal, const std::string& server = TAVRELO_TEST_PULSE_SERVER) {
    auto source = std::make_unique<SyntheticDisc>(std::vector<int>{375, 375, 375}, signal);
    disc_ = source.get();
    audio::PulseOptions options;
    options.server = server;
    options.device = TAVRELO_TEST_PULSE_SINK;
    os::setLogSink([this](const std::string& line) {
      std::lock_guard lock(logMutex_);
      logLines_.push_back(line);
    });
    auto sink = std::make_unique<audio::PulseSink>(options);
    sink_ = sink.get();
    drive_ = std::make_unique<DigitalCdDrive>(std::move(source), std::move(sink));
    ASSERT_TRUE(waitUntil([&] { return sink_->connected(); }));
  }

  bool playedToEnd(int timeoutMs) {
    return waitUntil([&] { return drive_->status().audio == AudioStatus::Stopped; }, timeoutMs);
  }

  void TearDown() override {
    drive_.reset();
    os::setLogSink({});
  }

  SyntheticDisc* disc_ = nullptr;
  audio::PulseSink* sink_ = nullptr;
  std::mutex logMutex_;
  std::vector<std::string> logLines_;  // written on the sink's thread
  std::unique_ptr<DigitalCdDrive> drive_;
};

// Indices of the first and last block carrying `tone`, or {-1, -1}.
std::pair<int, int> span(const std::vector<int>& labels, int tone) {
  int first = -1;
  int last = -1;
  for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
    if (labels[static_cast<std::size_t>(i)] != tone) continue;
    if (first < 0) first = i;
    last = i;
  }
  return {first, last};
}

// On a loaded machine the server itself may be starved for a second and play
// silence; a listener would hear that from any player. So a recording check
// gets three attempts and fails only when every one shows the fault: a fault
// of the drive shows every time. Returns what was wrong, empty when all was
// well.
template <typename Attempt>
std::string inThreeAttempts(Attempt attempt) {
  std::string problems;
  for (int i = 1; i <= 3; ++i) {
    const std::string found = attempt();
    if (found.empty()) return {};
    problems += "attempt " + std::to_string(i) + ": " + found + "\n";
  }
  return problems;
}

TEST_F(DrivePulse, TrackTwoPlaysItsToneWholeAndWithoutGap) {
  makeDrive(Signal::Tone);
  const std::string problems = inThreeAttempts([&]() -> std::string {
    Recorder recorder(TAVRELO_TEST_PULSE_SERVER, kMonitor);
    if (!waitUntil([&] { return recorder.bytes() > 0; })) return "parecord recorded nothing";
    if (drive_->play(kTrack2, kTrack2 + 225) != DriveError::None) return "play refused";  // 3 s
    if (!playedToEnd(8000)) return "the play did not end";
    if (drive_->status().position != kTrack2 + 225) return "did not stop at the end point";
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto labels = testing::classifyBlocks(recorder.finish(), kTones);
    const auto [first, last] = span(labels, 1);
    if (first < 0) return "track 2's tone never sounded";
    std::string found;
    if (std::abs(last - first + 1 - 300) > 3) {  // 3 s in 10 ms blocks
      found += "the tone lasted " + std::to_string(last - first + 1) + " blocks; ";
    }
    for (int i = first; i <= last; ++i) {
      if (labels[static_cast<std::size_t>(i)] != 1) found += std::to_string(i) + " ";
    }
    if (span(labels, 0).first >= 0 || span(labels, 2).first >= 0) found += "another track's tone";
    if (!found.empty()) {
      found += "(blocks " + std::to_string(first) + ".." + std::to_string(last) + ", " +
               std::to_string(sink_->stats().underflows) + " underflows so far)";
    }
    return found;
  });
  EXPECT_TRUE(problems.empty()) << problems;
}

TEST_F(DrivePulse, ToneChangesAtTheTrackBoundaryWithoutSilenceAndStatusAgrees) {
  makeDrive(Signal::Tone);
  Lba heardAtChange = -1;
  const std::string problems = inThreeAttempts([&]() -> std::string {
    std::atomic<Lba> atChange{-1};
    std::size_t seen = 0;
    bool track1Heard = false;
    // On each block as it arrives: the first block of track 2's tone after
    // track 1's is the moment the listener hears the boundary.
    Recorder recorder(
        TAVRELO_TEST_PULSE_SERVER, kMonitor, [&](const std::vector<std::uint8_t>& data) {
          const std::size_t blockBytes = testing::kBlockFrames * 4;
          while (seen + blockBytes <= data.size() && atChange < 0) {
            const auto label =
                testing::classifyBlocks(std::span(data).subspan(seen, blockBytes), kTones)[0];
            seen += blockBytes;
            if (label == 0) track1Heard = true;
            if (label == 1 && track1Heard) atChange = drive_->status().position;
          }
        });
    if (!waitUntil([&] { return recorder.bytes() > 0; })) return "parecord recorded nothing";
    if (drive_->play(kTrack2 - 75, kTrack2 + 75) != DriveError::None) return "play refused";
    if (!playedToEnd(8000)) return "the play did not end";
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto labels = testing::classifyBlocks(recorder.finish(), kTones);
    const auto one = span(labels, 0);
    const auto two = span(labels, 1);
    if (one.first < 0 || two.first < 0) return "a tone never sounded";
    std::string found;
    if (std::abs(one.second - one.first + 1 - 100) > 2) found += "track 1's second was cut; ";
    if (std::abs(two.second - two.first + 1 - 100) > 2) found += "track 2's second was cut; ";
    // At most the one block that holds both tones lies between them.
    if (two.first - one.second > 2) found += "silence between the tracks; ";
    heardAtChange = atChange.load();
    // 50 ms is 3.75 frames.
    if (heardAtChange < 0 || std::abs(heardAtChange - kTrack2) > 3) {
      found += "status said " + std::to_string(heardAtChange) + " as the tone changed";
    }
    return found;
  });
  EXPECT_TRUE(problems.empty()) << problems;
  RecordProperty("frames_from_boundary", heardAtChange - kTrack2);
}

TEST_F(DrivePulse, PauseAndResumeLoseAndRepeatNothing) {
  makeDrive(Signal::Counter);
  Recorder recorder(TAVRELO_TEST_PULSE_SERVER, kMonitor);
  ASSERT_TRUE(waitUntil([&] { return recorder.bytes() > 0; }));
  ASSERT_EQ(drive_->play(300, 420), DriveError::None);  // 1.6 s
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  ASSERT_EQ(drive_->pause(), DriveError::None);
  const Lba held = drive_->status().position;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(drive_->status().position, held);
  EXPECT_EQ(drive_->status().audio, AudioStatus::Paused);
  ASSERT_EQ(drive_->resume(), DriveError::None);
  ASSERT_TRUE(playedToEnd(8000));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const auto frames = testing::counterFrames(recorder.finish());

  std::vector<std::int64_t> sound;
  int silentRuns = 0;
  std::string runs;  // "after frame F: N silent frames" for each run, for the failure message
  std::int64_t silent = 0;
  for (const std::int64_t f : frames) {
    if (f < 0) {
      ++silent;
      continue;
    }
    if (silent > 0 && !sound.empty()) {
      ++silentRuns;
      runs += " after " + std::to_string(sound.back() - 300 * 588) + ": " + std::to_string(silent);
    }
    silent = 0;
    sound.push_back(f);
  }
  ASSERT_FALSE(sound.empty());
  // A stream that starts on an idle null sink misses its first ~19 ms in the
  // monitor (pacat shows the same), so the start is only checked loosely.
  EXPECT_GE(sound.front(), 300 * 588);
  EXPECT_LE(sound.front(), 300 * 588 + 2205);  // 50 ms
  EXPECT_EQ(sound.back(), 420 * 588 - 1);
  std::int64_t lost = 0;
  std::int64_t repeated = 0;
  for (std::size_t i = 1; i < sound.size(); ++i) {
    const std::int64_t step = sound[i] - sound[i - 1];
    if (step > 1) lost += step - 1;
    if (step < 1) repeated += 1 - step;
  }
  EXPECT_LE(lost, 882) << "frames lost";  // 20 ms
  EXPECT_LE(repeated, 882) << "frames repeated";
  // The pause itself is silence; more silent runs come from the null sink,
  // which renders seconds of silence ahead while it idles and plays them out
  // before a resumed stream. Recorded for the curious, not held against us.
  EXPECT_GE(silentRuns, 1) << "the pause made no silence";
  RecordProperty("silent_runs", runs);
}

TEST_F(DrivePulse, SoundComesBackAfterTheServerRestarts) {
  testing::PrivatePulse server;
  ASSERT_TRUE(server.start());
  makeDrive(Signal::Tone, server.server());
  ASSERT_EQ(drive_->play(150, 150 + 1125), DriveError::None);  // the whole disc, 15 s
  ASSERT_TRUE(waitUntil([&] { return drive_->status().position > 160; }));
  server.stop();
  ASSERT_TRUE(waitUntil([&] { return !sink_->connected(); }));
  // Without a server the drive plays on, on the wall clock.
  const Lba before = drive_->status().position;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_GT(drive_->status().position, before);
  EXPECT_EQ(drive_->status().audio, AudioStatus::Playing);

  ASSERT_TRUE(server.start());
  EXPECT_TRUE(waitUntil([&] { return sink_->connected(); }, 2000));
  Recorder recorder(server.server(), kMonitor);
  // A fresh null sink may hold a new stream back for up to two seconds.
  int toneBlocks = 0;
  waitUntil(
      [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        toneBlocks = 0;
        for (const int label : testing::classifyBlocks(recorder.snapshot(), kTones)) {
          toneBlocks += label >= 0 ? 1 : 0;
        }
        return toneBlocks >= 30;
      },
      5000);
  EXPECT_GE(toneBlocks, 30) << "the sound did not come back";
  EXPECT_EQ(drive_->status().audio, AudioStatus::Playing);
  EXPECT_EQ(sink_->stats().reconnects, 1);
  drive_.reset();  // before the server goes
  std::lock_guard lock(logMutex_);
  ASSERT_EQ(logLines_.size(), 2u);
  EXPECT_NE(logLines_[0].find("no sound server"), std::string::npos) << logLines_[0];
  EXPECT_NE(logLines_[1].find("sound server back"), std::string::npos) << logLines_[1];
}

}  // namespace
}  // namespace tavrelo::drive
