// Cold start to first paint, and peak memory: the program against a bare Qt
// window with one label, each started afresh per iteration under the same
// private Xvfb. The program opens a generated disc image through the drive
// service (started by the first iteration; its memory is its own process's
// and not counted here). Time is wall time from spawn to exit; memory is the
// child's peak resident set (ru_maxrss).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/XServer.h"
#include "tools/testdisc/TestDisc.h"

extern char** environ;

namespace {

struct Run {
  double seconds = 0;
  long peakKilobytes = 0;
  bool ok = false;
};

Run runOnce(const char* program) {
  std::vector<std::string> args{program};
  std::vector<char*> argv{args[0].data(), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (::posix_spawn(&pid, program, nullptr, nullptr, argv.data(), environ) != 0) return {};
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return {};
  const auto end = std::chrono::steady_clock::now();
  return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss,
          WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// One round starts the bare window, then the program, so that the load of a
// shared machine falls on both alike. Manual time is the program's.
void startupPairs(benchmark::State& state) {
  std::vector<double> times[2];
  std::vector<double> memory[2];
  std::vector<double> timeRatios;  // per round: the load moves slower than a round
  const char* programs[2] = {TAVRELO_BARE_WINDOW, TAVRELO_STARTUP_PLAYER};
  for (auto _ : state) {
    for (int i = 0; i < 2; ++i) {
      const Run run = runOnce(programs[i]);
      if (!run.ok) {
        state.SkipWithError((std::string(programs[i]) + " did not start and paint").c_str());
        return;
      }
      times[i].push_back(run.seconds);
      memory[i].push_back(static_cast<double>(run.peakKilobytes));
      if (i == 1) state.SetIterationTime(run.seconds);
    }
    timeRatios.push_back(times[1].back() / times[0].back());
  }
  state.counters["bare_ms"] = median(times[0]) * 1000;
  state.counters["tavrelo2_ms"] = median(times[1]) * 1000;
  state.counters["time_ratio"] = median(timeRatios);  // goal <= 1.15
  state.counters["bare_rss_kB"] = median(memory[0]);
  state.counters["tavrelo2_rss_kB"] = median(memory[1]);
  state.counters["rss_ratio"] = median(memory[1]) / median(memory[0]);  // goal <= 1.2
}

}  // namespace

int main(int argc, char** argv) {
  tavrelo::testing::XvfbServer server;
  if (!server.running()) {
    std::fprintf(stderr, "startup: no X server: %s\n", server.error().c_str());
    return 1;
  }
  char folderPattern[] = "/tmp/tavrelo2-startup-XXXXXX";
  if (::mkdtemp(folderPattern) == nullptr) return 1;
  const std::filesystem::path folder = folderPattern;
  std::filesystem::create_directory(folder / "xdg");
  ::chmod((folder / "xdg").c_str(), 0700);
  tavrelo::testdisc::TestDiscLayout layout;
  layout.tracks = tavrelo::testdisc::plainTracks(3, 5);
  const auto disc = tavrelo::testdisc::writeDisc(folder, layout);
  ::setenv("DISPLAY", server.display().c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::setenv("XDG_RUNTIME_DIR", (folder / "xdg").c_str(), 1);
  ::setenv("TAVRELO2_DISC_IMAGES", disc.cue.c_str(), 1);
  // The question about looking titles up, answered, so no box joins the window.
  std::filesystem::create_directories(folder / "config/tavrelo2");
  std::ofstream(folder / "config/tavrelo2/tavrelo2.conf") << "[titles]\nonline=false\n";
  ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);

  // The first start of the program also starts the drive service; it is
  // timed on its own, and the rounds after it find the service running.
  const Run first = runOnce(TAVRELO_STARTUP_PLAYER);
  std::printf("first start, drive service included: %.1f ms, peak RSS %ld kB\n",
              first.seconds * 1000, first.peakKilobytes);
  benchmark::RegisterBenchmark("startup/first_paint_vs_bare_qt_window", startupPairs)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(25);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
