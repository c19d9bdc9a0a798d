// Time from play() to the first sample handed to the sound server, on a CUE +
// BIN image. Needs a PulseAudio server (PULSE_SERVER).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "drive_support.h"

namespace tavrelo::bench {
namespace {

void BM_PlayToFirstSample(benchmark::State& state) {
  BenchImage image(3, 10);
  PulseDrive rig(image);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!rig.sink->connected()) {
    if (std::chrono::steady_clock::now() > deadline) {
      state.SkipWithError("no sound server");
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const drive::Lba from = image.disc.toc.tracks[1].start;
  for (auto _ : state) {
    rig.drive->stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::int64_t before = rig.sink->stats().framesWritten;
    const auto start = std::chrono::steady_clock::now();
    rig.drive->play(from, from + 750);
    while (rig.sink->stats().framesWritten == before) {
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(2)) {
        state.SkipWithError("no sample reached the server within 2 s");
        return;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  rig.drive->stop();
}
BENCHMARK(BM_PlayToFirstSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace
}  // namespace tavrelo::bench
