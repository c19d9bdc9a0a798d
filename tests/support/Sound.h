#pragma once

// Threads: a Recorder drains parecord's pipe on a thread of its own; what it
// has recorded is under its mutex.

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <ostream>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace tavrelo::testing {

// The servers that speak PulseAudio's protocol: PulseAudio itself, and
// PipeWire through its pulse server (with WirePlumber and a session bus).
enum class SoundServer { PulseAudio, PipeWire };
inline constexpr SoundServer kSoundServers[] = {SoundServer::PulseAudio, SoundServer::PipeWire};
std::string name(SoundServer kind);
inline void PrintTo(SoundServer kind, std::ostream* out) {
  *out << name(kind);
}

// A sound server of the test's own with the null sink "tavrelo_null", in a
// fresh temporary folder, so stopping it disturbs no other test.
class PrivatePulse {
 public:
  explicit PrivatePulse(SoundServer kind = SoundServer::PulseAudio);
  ~PrivatePulse();  // all of it ends
  PrivatePulse(const PrivatePulse&) = delete;
  PrivatePulse& operator=(const PrivatePulse&) = delete;

  bool start();  // true once the server answers and the sink is there
  // The pulse server exits, as a crashed or restarted one would; under
  // PipeWire the rest of PipeWire runs on.
  void stop();
  // PipeWire only: the daemon itself ends, so its pulse server, still
  // listening, refuses every client.
  void stopPipeWire();
  std::string server() const;
  static std::string sink() { return "tavrelo_null"; }

 private:
  SoundServer kind_;
  std::string dir_;
};

// Records what a server's null sink plays (parecord on its monitor, raw
// s16le stereo at 44.1 kHz, 20 ms latency) into memory.
class Recorder {
 public:
  explicit Recorder(const std::string& server);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  std::size_t bytes();
  // Stops parecord; interleaved samples, left first.
  std::vector<std::int16_t> finish();

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::mutex mutex_;
  std::vector<std::uint8_t> data_;
  std::thread thread_;
};

// Goertzel power of `hz` in the left channel of interleaved stereo samples.
double tonePower(std::span<const std::int16_t> stereo, double hz);

// Runs a program (looked up on PATH) to its end with `input` on its standard
// input; its exit status, -1 if it did not start or end normally. When
// `output` is given it receives the program's standard output.
int runProgram(const std::vector<std::string>& argv, const std::string& input = "",
               std::string* output = nullptr);

}  // namespace tavrelo::testing
