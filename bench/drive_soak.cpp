// A long play with the other core kept busy: how often the server ran dry.
// TAVRELO_SOAK_SECONDS sets the length (default 120).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "drive_support.h"

namespace tavrelo::bench {
namespace {

void BM_SoakWithABusyCore(benchmark::State& state) {
  const char* env = std::getenv("TAVRELO_SOAK_SECONDS");
  const int seconds = env != nullptr ? std::max(5, std::atoi(env)) : 120;
  BenchImage image(1, seconds + 2);
  PulseDrive rig(image);
  if (!waitForServer(*rig.sink)) {
    state.SkipWithError("no sound server");
    return;
  }
  const pid_t busy = spawnProgram({"sh", "-c", "while :; do :; done"});
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    rig.drive->play(150, 150 + seconds * 75);
    // How far the heard position falls behind the wall clock, measured from
    // where it stood once five seconds had been heard (a fresh null sink holds a
    // new stream back for up to two seconds; that start is not drift).
    std::int64_t baselineLagMs = -1;
    std::int64_t worstDriftMs = 0;  // one sample; scheduling delays of this thread count too
    std::int64_t lastDriftMs = 0;
    while (rig.drive->status().audio == drive::AudioStatus::Playing) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const drive::DriveStatus s = rig.drive->status();
      const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
      if (s.audio != drive::AudioStatus::Playing) break;
      const std::int64_t lagMs = elapsedMs - (s.position - 150) * 1000 / 75;
      if (baselineLagMs < 0) {
        if (s.position >= 150 + 5 * 75) baselineLagMs = lagMs;
        continue;
      }
      lastDriftMs = lagMs - baselineLagMs;
      worstDriftMs = std::max(worstDriftMs, std::abs(lastDriftMs));
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    const audio::SinkStats stats = rig.sink->stats();
    state.counters["audio_seconds"] = seconds;
    state.counters["underflows"] = static_cast<double>(stats.underflows);
    state.counters["start_lag_ms"] = static_cast<double>(baselineLagMs);
    state.counters["position_drift_ms_worst"] = static_cast<double>(worstDriftMs);
    state.counters["position_drift_ms_at_end"] = static_cast<double>(lastDriftMs);
  }
  if (busy > 0) {
    kill(busy, SIGKILL);
    waitpid(busy, nullptr, 0);
  }
}
BENCHMARK(BM_SoakWithABusyCore)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace tavrelo::bench
