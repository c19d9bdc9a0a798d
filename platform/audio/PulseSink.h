#pragma once

#include <memory>
#include <string>

#include "platform/audio/AudioSink.h"

namespace tavrelo::audio {

struct PulseOptions {
  std::string server;  // "unix:/run/user/1000/pulse/native"; empty: libpulse's default
  std::string device;  // a sink name; empty: the server's default sink
  std::string appName = "Tavrelo 2";
  int latencyMs = 2000;  // what the server keeps queued: asked for in halves
};

// Plays to a PulseAudio server (or PipeWire's pulse server) through libpulse.
// It connects in the background and reconnects by itself, every 250 ms, after
// the server goes away; until then, or with no server at all, the stream is
// consumed on the wall clock so the position still moves.
class PulseSink final : public AudioSink {
 public:
  explicit PulseSink(PulseOptions options = {});
  ~PulseSink() override;
  PulseSink(const PulseSink&) = delete;
  PulseSink& operator=(const PulseSink&) = delete;

  void start(FrameSource& source, bool paused) override;
  void pause() override;
  void resume() override;
  void stop() override;
  void wake() override;
  void setVolume(double level) override;
  std::int64_t heardFrames() override;
  SinkStats stats() override;

  // True while a connection to the server stands.
  bool connected();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrelo::audio
