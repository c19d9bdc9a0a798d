// CPU spent per second of audio while the engine plays an image to the sound
// server (argument 1: a pre-emphasised track, played through de-emphasis),
// and the same for mpv playing the image as a CD when mpv is there.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "drive_support.h"

namespace tavrelo::bench {
namespace {

constexpr int kSeconds = 10;

void BM_EngineCpuPerAudioSecond(benchmark::State& state) {
  BenchImage image(1, kSeconds + 2, state.range(0) == 1);
  PulseDrive rig(image);
  if (!waitForServer(*rig.sink)) {
    state.SkipWithError("no sound server");
    return;
  }
  for (auto _ : state) {
    const double cpuBefore = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    rig.drive->play(150, 150 + kSeconds * 75);
    while (rig.drive->status().audio == drive::AudioStatus::Playing) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    state.SetIterationTime(wall);
    state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / wall;
    state.counters["cpu_ms_per_audio_second"] = 1000.0 * cpu / kSeconds;
    state.counters["underflows"] = static_cast<double>(rig.sink->stats().underflows);
  }
}
BENCHMARK(BM_EngineCpuPerAudioSecond)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

void BM_MpvCpuPerAudioSecond(benchmark::State& state) {
  BenchImage image(1, kSeconds + 2);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawnProgram({"mpv", "--no-config", "--no-video", "--really-quiet",
                                    "--ao=pulse", "--length=" + std::to_string(kSeconds),
                                    "--cdrom-device=" + image.disc.cue.string(), "cdda://"});
    if (pid < 0) {
      state.SkipWithError("mpv is not installed");
      return;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("mpv failed to play the image");
      return;
    }
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    state.SetIterationTime(wall);
    state.counters["cpu_percent_of_a_core"] = 100.0 * cpu / wall;
    state.counters["cpu_ms_per_audio_second"] = 1000.0 * cpu / kSeconds;
  }
}
BENCHMARK(BM_MpvCpuPerAudioSecond)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace tavrelo::bench
