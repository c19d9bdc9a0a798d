#pragma once

// Shared by the drive benchmarks: a generated image on disk, and a drive
// playing it to the sound server named by PULSE_SERVER.

#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "platform/audio/PulseSink.h"
#include "platform/disc/CueImage.h"
#include "platform/drive/DigitalCdDrive.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::bench {

// A CUE + BIN image of `tracks` tracks of `seconds` each in a fresh temporary
// folder, removed with the object.
class BenchImage {
 public:
  BenchImage(int tracks, int seconds, bool preemphasis = false) {
    char pattern[] = "/tmp/tavrelo-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    testdisc::TestDiscLayout layout{.tracks = testdisc::plainTracks(tracks, seconds),
                                    .format = testdisc::AudioFormat::Binary,
                                    .style = {},
                                    .baseName = "bench"};
    for (testdisc::TrackSpec& track : layout.tracks) track.preemphasis = preemphasis;
    disc = testdisc::writeDisc(dir_, layout);
  }
  ~BenchImage() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  BenchImage(const BenchImage&) = delete;
  BenchImage& operator=(const BenchImage&) = delete;

  testdisc::TestDisc disc;

 private:
  std::filesystem::path dir_;
};

struct PulseDrive {
  explicit PulseDrive(const BenchImage& image) {
    auto pulse = std::make_unique<audio::PulseSink>();
    sink = pulse.get();
    drive = std::make_unique<drive::DigitalCdDrive>(disc::CueImage::open(image.disc.cue),
                                                    std::move(pulse));
  }
  audio::PulseSink* sink = nullptr;
  std::unique_ptr<drive::DigitalCdDrive> drive;
};

inline double processCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace tavrelo::bench

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace tavrelo::bench {

// Starts a program; -1 when it can't be started.
inline pid_t spawnProgram(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  return posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0 ? pid : -1;
}

inline bool waitForServer(audio::PulseSink& sink) {
  for (int i = 0; i < 500 && !sink.connected(); ++i) {
    timespec ts{0, 10'000'000};
    nanosleep(&ts, nullptr);
  }
  return sink.connected();
}

}  // namespace tavrelo::bench
