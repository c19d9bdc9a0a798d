// How soon a track change is heard on a drive that seeks slowly: the drive
// engine on an emulated Linux drive whose head takes 300 ms to move and whose
// reads last as long as the disc turns at the engine's speed, playing to the
// sound server that PULSE_SERVER names. From "play from N" to the position,
// which follows the server's clock, moving inside track N, for the next
// track, the previous one and one three tracks on; then the drive commands
// and READ CDs of a minute of play that crosses one track change, and the
// resident memory. Run by bench/track-change-latency.
// HEAD_SECONDS 0 keeps no track heads, as the engine did before it could.
//   track_change_latency [RUNS] [SEEK_MS] [HEAD_SECONDS]     (defaults: 6, 300, 3)
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/drive_support.h"
#include "platform/disc/PhysicalDrive.h"
#include "tests/disc/cdrom/EmulatedDrive.h"

namespace {

using namespace tavrelo;
using Clock = std::chrono::steady_clock;

void sleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Milliseconds from the command until the position lies past the start of
// `track` and inside it; -1 if that takes longer than 3 s.
double playFrom(drive::DigitalCdDrive& cd, const disc::Toc& toc, int track) {
  const disc::Track& t = toc.tracks[static_cast<std::size_t>(track - 1)];
  const disc::Lba end = toc.trackEnd(track);
  const auto sent = Clock::now();
  cd.play(t.start, toc.leadOut);
  while (Clock::now() - sent < std::chrono::seconds(3)) {
    const disc::Lba at = cd.status().position;
    if (at > t.start && at < end) {
      return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return -1;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
  const int seekMs = argc > 2 ? std::atoi(argv[2]) : 300;
  const int headSeconds = argc > 3 ? std::atoi(argv[3]) : drive::EngineOptions{}.headSeconds;
  bench::BenchImage image(8, 60);
  const std::filesystem::path folder = image.disc.cue.parent_path() / "drives";
  ::setenv("TAVRELO_EMULATED_CDROM", folder.c_str(), 1);
  cdrom::EmulatedDrive emulated(folder, "/dev/sr0");
  emulated.insert(cdrom::emulatedDisc(image.disc));
  emulated.configure([&](cdrom::DriveState& s) {
    s.seekMs = seekMs;
    s.timedReads = true;
  });
  auto pulse = std::make_unique<audio::PulseSink>();
  audio::PulseSink& sink = *pulse;
  drive::DigitalCdDrive cd(disc::openPhysicalDrive("/dev/sr0"), std::move(pulse),
                           drive::EngineOptions{.headSeconds = headSeconds});
  if (!bench::waitForServer(sink)) {
    std::fprintf(stderr, "track_change_latency: no sound server (PULSE_SERVER)\n");
    return 1;
  }
  const disc::Toc& toc = image.disc.toc;

  // From track 3: next (4), previous (3), far (6), each after 4 to 6 s of
  // play, so the commands fall at every point of the reader's bursts.
  std::mt19937 random(21);
  std::uniform_int_distribution<int> restMs(4000, 6000);
  std::map<std::string, std::vector<double>> times;
  const std::pair<const char*, int> steps[] = {{"next", 4}, {"previous", 3}, {"far", 6}};
  for (int run = 1; run <= runs; ++run) {
    playFrom(cd, toc, 3);
    sleepMs(restMs(random));
    std::printf("run %d", run);
    for (const auto& [name, track] : steps) {
      const double ms = playFrom(cd, toc, track);
      times[name].push_back(ms);
      std::printf("  %s %.1f ms", name, ms);
      std::fflush(stdout);
      sleepMs(restMs(random));
    }
    std::printf("\n");
  }
  for (const auto& [name, track] : steps) {
    const auto& v = times[name];
    std::printf("%-9s median %6.1f ms  (%.1f - %.1f) over %d runs\n", name, median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), runs);
  }

  // A minute of play from 30 s into track 2, so one track change falls in it.
  playFrom(cd, toc, 2);
  cd.play(toc.tracks[1].start + 30 * 75, toc.leadOut);
  sleepMs(3000);  // the first fill, which any play costs, stays out of the count
  const cdrom::DriveState before = emulated.state();
  sleepMs(60000);
  const cdrom::DriveState after = emulated.state();
  std::printf("a minute of play: %d drive commands, %d READ CD; resident %ld kB\n",
              after.commands - before.commands, after.readCommands - before.readCommands,
              residentKb());
  cd.stop();
  return 0;
}
