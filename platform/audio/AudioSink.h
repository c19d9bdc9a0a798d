#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tavrelo::audio {

// Every sink plays CD audio as it comes off the disc: 44100 Hz, signed 16-bit
// little-endian, two interleaved channels.
inline constexpr int kSampleRate = 44100;
inline constexpr int kChannels = 2;
inline constexpr int kBytesPerFrame = 4;  // one stereo frame

struct PullResult {
  std::size_t bytes = 0;  // whole frames copied into the buffer
  bool finished = false;  // no frame will ever follow in this stream
};

// What a sink plays. pull() runs on the sink's own thread (or the caller of
// NullSink::advance) and must not block: it hands over what is ready, and the
// producer calls AudioSink::wake() when more becomes ready.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual PullResult pull(std::span<std::uint8_t> out) = 0;
};

struct SinkStats {
  std::int64_t framesWritten = 0;  // handed to the sound server, or discarded by the clock
  std::int64_t framesSkipped = 0;  // of those, discarded by the clock with no server there
  std::int64_t underflows = 0;     // times the server ran dry while playing
  std::int64_t reconnects = 0;     // connections made after a lost one
};

// A sound output playing one stream at a time. Every call returns promptly and
// may come from any thread; none waits for the sound server.
class AudioSink {
 public:
  virtual ~AudioSink() = default;

  // Drops whatever plays now and starts a new stream pulling from `source`
  // (held, paused, when `paused`). The source must outlive the stream: until
  // stop(), the next start() or the sink's end.
  virtual void start(FrameSource& source, bool paused) = 0;
  // Holds the stream, keeping what is queued; resume() plays on from there.
  virtual void pause() = 0;
  virtual void resume() = 0;
  // Silences the stream at once and forgets it; after return, the source is
  // never pulled again.
  virtual void stop() = 0;
  // The source has frames again after a pull that found none.
  virtual void wake() = 0;
  // The level of this sink's own stream, as the sound server's mixer shows
  // it: 1.0 is 100 %, the disc as recorded. Kept for every later stream.
  virtual void setVolume(double level) = 0;

  // Frames of the current stream the listener has heard: what the sound
  // server's clock says has left the speakers, never more than was pulled.
  // Frames lost while the server was away count as heard, so the position
  // keeps pace with the wall clock.
  virtual std::int64_t heardFrames() = 0;
  virtual SinkStats stats() = 0;
};

}  // namespace tavrelo::audio
