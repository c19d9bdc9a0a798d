#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrelo::testing {

// Records a PulseAudio source with parecord (raw s16le, 44100 Hz, stereo,
// 20 ms latency) into memory. `onData`, when set, sees each block as it
// arrives, on the recorder's thread, with the total recorded so far.
class Recorder {
 public:
  Recorder(const std::string& server, const std::string& device,
           std::function<void(const std::vector<std::uint8_t>&)> onData = {});
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Stops parecord and returns everything it recorded.
  std::vector<std::uint8_t> finish();
  std::size_t bytes();
  std::vector<std::uint8_t> snapshot();  // what was recorded so far

 private:
  void pump();

  pid_t pid_ = -1;
  int fd_ = -1;
  std::function<void(const std::vector<std::uint8_t>&)> onData_;
  std::mutex mutex_;
  std::vector<std::uint8_t> data_;
  std::thread thread_;
};

// Runs a program and waits for it; returns its exit status (-1 if it could
// not start).
int runProgram(const std::vector<std::string>& argv);

}  // namespace tavrelo::testing
