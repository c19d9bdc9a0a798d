// Threads: the sink calls the sources and the log on its own thread; what
// they share with the test thread is atomic or under a mutex.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>

#include "platform/audio/PulseSink.h"
#include "platform/os/Log.h"
#include "tests/support/Sound.h"
#include "tests/support/Wait.h"

namespace tavrelo::audio {
namespace {

using testing::eventually;

// A 440 Hz sine; `available` frames may be pulled before it runs dry.
struct SineSource final : FrameSource {
  PullResult pull(std::span<std::uint8_t> out) override {
    const std::int64_t frames =
        std::min<std::int64_t>(static_cast<std::int64_t>(out.size() / kBytesPerFrame), available);
    for (std::int64_t i = 0; i < frames; ++i, ++pulled) {
      const double v =
          std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(pulled) / kSampleRate);
      const std::int16_t sample = static_cast<std::int16_t>(v * 16383);
      const std::int16_t frame[2] = {sample, sample};  // little-endian, as this host
      std::memcpy(out.data() + i * kBytesPerFrame, frame, sizeof frame);
    }
    available -= frames;
    return PullResult{.bytes = static_cast<std::size_t>(frames) * kBytesPerFrame,
                      .finished = finishWhenDry && available == 0};
  }
  std::atomic<std::int64_t> available{1'000'000'000};
  bool finishWhenDry = false;  // say `finished` once `available` is used up
  std::atomic<std::int64_t> pulled{0};
};

struct LogLines {
  LogLines() {
    os::setLogSink([this](const std::string& line) {
      std::lock_guard lock(mutex);
      lines.push_back(line);
    });
  }
  ~LogLines() { os::setLogSink({}); }
  std::vector<std::string> get() {
    std::lock_guard lock(mutex);
    return lines;
  }
  std::mutex mutex;
  std::vector<std::string> lines;
};

// No server: a PulseAudio that was never started, whose socket nobody listens
// on; a PipeWire that has gone, whose pulse server listens and refuses.
class PulseSinkNoServer : public ::testing::TestWithParam<testing::SoundServer> {};

TEST_P(PulseSinkNoServer, TheClockRunsOnWhatTheSourceGaveAndTheReasonIsLoggedOnce) {
  testing::PrivatePulse gone(GetParam());
  if (GetParam() == testing::SoundServer::PipeWire) {
    ASSERT_TRUE(gone.start());
    gone.stopPipeWire();
  }
  LogLines log;
  PulseOptions options;
  options.server = gone.server();
  PulseSink sink(options);
  SineSource source;
  sink.start(source, false);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // a few retries
  EXPECT_FALSE(sink.connected());
  const std::int64_t heard = sink.heardFrames();
  EXPECT_GT(heard, kSampleRate * 3 / 10);  // 0.6 s of wall clock, leniently
  EXPECT_LT(heard, kSampleRate * 3);
  EXPECT_EQ(sink.stats().framesSkipped, sink.stats().framesWritten);
  EXPECT_LE(sink.heardFrames(), source.pulled.load());
  const auto lines = log.get();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("no sound server"), std::string::npos) << lines[0];

  // Held, the clock stops; stopped, it forgets.
  sink.pause();
  const std::int64_t held = sink.heardFrames();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(sink.heardFrames(), held);
  sink.stop();
  EXPECT_EQ(sink.heardFrames(), 0);

  // It hears nothing the source did not give.
  SineSource brief;
  brief.available = 1000;
  sink.start(brief, false);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(sink.heardFrames(), 1000);
}

INSTANTIATE_TEST_SUITE_P(Both, PulseSinkNoServer,
                         ::testing::ValuesIn(tavrelo::testing::kSoundServers),
                         ::testing::PrintToStringParamName());

// A sound server of the test's own, which the test may stop and start.
class PulseSinkServer : public ::testing::TestWithParam<testing::SoundServer> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    options.server = server.server();
    options.device = testing::PrivatePulse::sink();
  }
  testing::PrivatePulse server{GetParam()};
  LogLines log;
  PulseOptions options;
};

TEST_P(PulseSinkServer, PlaysToTheServerFromBeforeItIsConnectedAndHearsWhatWasPlayed) {
  testing::Recorder recorder(server.server());
  ASSERT_TRUE(eventually([&] { return recorder.bytes() > 0; }, 3000, 1));
  PulseSink sink(options);
  SineSource source;
  source.available = kSampleRate;  // one second, then the source is done
  source.finishWhenDry = true;
  sink.start(source, false);  // before the connection stands: the stream waits for it
  // Heard frames follow the server's clock: while the stream plays, what is
  // queued in the server has been written but not yet heard.
  bool lagged = false;
  std::int64_t last = 0;
  const bool done = eventually(
      [&] {
        const std::int64_t heard = sink.heardFrames();
        const std::int64_t written = sink.stats().framesWritten;
        EXPECT_GE(heard, last);
        EXPECT_LE(heard, written);
        last = heard;
        if (heard > 0 && heard < written) lagged = true;
        return heard == kSampleRate;
      },
      8000, 1);
  ASSERT_TRUE(done);
  EXPECT_TRUE(lagged);
  // The monitor reaches the recorder a little after the sink has heard it:
  // let the last of the tone through before counting.
  const std::size_t recorded = recorder.bytes();
  eventually([&] { return recorder.bytes() >= recorded + 44100 * 4 / 5; }, 3000, 1);
  // The samples arrive as they were given, in 10 ms blocks: a loaded
  // machine may make the server skip one now and then. (PulseAudio rewrites
  // the first moments of a new stream after its monitor has passed them on.)
  SineSource again;
  std::vector<std::int16_t> given(2 * kSampleRate);
  again.pull({reinterpret_cast<std::uint8_t*>(given.data()), given.size() * 2});
  const std::vector<std::int16_t> heard = recorder.finish();
  int found = 0;
  for (auto block = given.begin() + given.size() / 10; block < given.end(); block += 2 * 441)
    found += std::search(heard.begin(), heard.end(), block, block + 2 * 441) != heard.end();
  EXPECT_GE(found, 85);  // of 90
  EXPECT_EQ(sink.stats().framesWritten, kSampleRate);
  EXPECT_EQ(sink.stats().framesSkipped, 0);
  EXPECT_EQ(sink.stats().reconnects, 0);
}

TEST_P(PulseSinkServer, PauseAndResumeHoldWhileTheStreamIsBeingMade) {
  PulseSink sink(options);
  ASSERT_TRUE(eventually([&] { return sink.connected(); }, 3000, 1));
  SineSource first;
  sink.start(first, false);
  sink.pause();  // the stream is most likely not READY yet
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  // At most what was queued before the cork arrived (80 ms) may have played,
  // if this thread lost the race; a stream left running would be near 400 ms.
  const std::int64_t held = sink.heardFrames();
  EXPECT_LT(held, kSampleRate / 10);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(sink.heardFrames(), held);
  sink.resume();
  EXPECT_TRUE(eventually([&] { return sink.heardFrames() > 0; }, 5000, 1));

  SineSource second;
  sink.start(second, true);
  sink.resume();  // again before READY: the stream must not stay held
  EXPECT_TRUE(eventually([&] { return sink.heardFrames() > 0; }, 5000, 1));
}

TEST_P(PulseSinkServer, ReconnectsWithinTwoSecondsOfTheServerComingBack) {
  PulseSink sink(options);
  ASSERT_TRUE(eventually([&] { return sink.connected(); }, 3000, 1));
  for (int round = 1; round <= 2; ++round) {
    server.stop();
    ASSERT_TRUE(eventually([&] { return !sink.connected(); }, 3000, 1));
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(eventually([&] { return sink.connected(); }, 2000, 1)) << "round " << round;
    EXPECT_EQ(sink.stats().reconnects, round);
  }
  // Each outage is told once, and so is each return.
  EXPECT_EQ(log.get().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Both, PulseSinkServer,
                         ::testing::ValuesIn(tavrelo::testing::kSoundServers),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace tavrelo::audio
