// Threads: libpulse's threaded main loop runs one thread of its own; every
// callback below (context and stream state, write requests, underflows, the
// retry and wall-clock timers) runs there with the main loop's lock held.
// Public calls come from any thread and take that same lock, so all state in
// Impl is guarded by it. FrameSource::pull() is called under the lock, from
// the loop thread or from wake(); it must not take locks that are held around
// calls into this sink.
#include "platform/audio/PulseSink.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/os/Log.h"

namespace tavrelo::audio {
namespace {

constexpr pa_usec_t kRetryUsec = 250'000;
constexpr pa_usec_t kClockTickUsec = 20'000;
// libpulse interpolates the server's clock between timing updates; its own
// automatic ones come several times a second, each waking this process and
// the server. Ours are asked for when the stream starts, corks, uncorks or
// runs dry, and otherwise along with a write this often: a write runs on the
// loop's thread, where asking costs no wakeup of its own.
constexpr pa_usec_t kTimingRefreshUsec = 2'000'000;
// Asked for by a reader of the position when no write came for this long
// (a held stream), or, while there is no answer yet, this soon.
constexpr pa_usec_t kTimingStaleUsec = 5'000'000;
constexpr pa_usec_t kTimingRetryUsec = 10'000;
// What the server's sink holds ahead of the speakers. A cork or a flush takes
// back the stream's queue at once but not this on a server that cannot
// rewind its sink (PipeWire), so it is what a button can lag. Asking for none
// at all, though, leaves the sink at its least, working in tiny blocks.
constexpr pa_usec_t kSinkLatencyUsec = 25'000;

std::int64_t usecToFrames(pa_usec_t usec) {
  return static_cast<std::int64_t>(usec * kSampleRate / 1'000'000);
}

// Holds the main loop's lock for a scope.
class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

void unrefOperation(pa_operation* op) {
  if (op != nullptr) pa_operation_unref(op);
}

// Owners of libpulse's handles. Each takes its callbacks away before letting
// go, so nothing calls back into a sink that is done with the handle.
struct LoopCloser {
  void operator()(pa_threaded_mainloop* loop) const {
    pa_threaded_mainloop_stop(loop);  // never with the loop's lock held
    pa_threaded_mainloop_free(loop);
  }
};
struct ContextCloser {
  void operator()(pa_context* context) const {
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
};
// A stream that no longer calls us back, whatever becomes of it.
void detachCallbacks(pa_stream* stream) {
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_set_write_callback(stream, nullptr, nullptr);
  pa_stream_set_underflow_callback(stream, nullptr, nullptr);
  pa_stream_set_started_callback(stream, nullptr, nullptr);
  pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
}

struct StreamCloser {
  void operator()(pa_stream* stream) const {
    detachCallbacks(stream);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
  }
};
struct OperationCanceller {
  void operator()(pa_operation* op) const {
    pa_operation_cancel(op);
    pa_operation_unref(op);
  }
};
using LoopPtr = std::unique_ptr<pa_threaded_mainloop, LoopCloser>;
using ContextPtr = std::unique_ptr<pa_context, ContextCloser>;
using StreamPtr = std::unique_ptr<pa_stream, StreamCloser>;
using OperationPtr = std::unique_ptr<pa_operation, OperationCanceller>;

}  // namespace

struct PulseSink::Impl {
  PulseOptions options;
  LoopPtr loop;
  pa_mainloop_api* api = nullptr;
  ContextPtr context;
  bool ready = false;  // context connected
  bool everReady = false;
  // An outage has been logged and not yet ended. It starts at the first thing
  // that keeps the sound from the server (no connection, a refused or broken
  // stream) and ends only once sound flows again (or, with nothing to play,
  // once connected), so a server that connects but will not play is told once.
  bool down = false;
  pa_time_event* retryTimer = nullptr;
  pa_time_event* clockTimer = nullptr;

  // The stream the engine asked for (a "session"); a pa_stream exists for it
  // only while the server is there.
  FrameSource* source = nullptr;
  bool paused = false;
  bool finished = false;         // the source said nothing follows
  std::int64_t heardBefore = 0;  // frames already heard through earlier pa_streams or the clock
  std::int64_t lastHeard = 0;

  StreamPtr stream;
  // The last session's stream, held and emptied (before the first, one made
  // empty), until the next one plays.
  // While any stream is there the server's sink works at that stream's short
  // latency; with none it goes idle, and an idle sink may render seconds of
  // silence ahead that a new stream then waits behind.
  StreamPtr parked;
  std::int64_t streamPulled = 0;
  bool drained = false;      // the server has played out the finished stream...
  pa_usec_t heardAllAt = 0;  // ...and its sink will have, by this rtclock time
  OperationPtr drainOp;      // the drain, then the timing update after it
  pa_usec_t timingAskedAt = 0;
  pa_time_event* timingTimer = nullptr;  // asks again while the clock should run but stands
  pa_usec_t timingBackoff = kTimingRetryUsec;

  pa_usec_t clockOrigin = 0;
  std::int64_t clockDue = 0;
  std::vector<std::uint8_t> scratch;

  SinkStats stats;
  // The level asked for, for every stream from then on; until one is asked
  // for, the server chooses (it may restore what the user set last time).
  std::optional<pa_cvolume> volume;

  // --- connection ---

  void connect() {
    context.reset(pa_context_new(api, options.appName.c_str()));
    if (context == nullptr) {
      reportDown("no sound server (libpulse could not make a context)");
      scheduleRetry();
      return;
    }
    pa_context_set_state_callback(context.get(), &Impl::onContextState, this);
    const char* server = options.server.empty() ? nullptr : options.server.c_str();
    if (pa_context_connect(context.get(), server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      reportDown(std::string("no sound server (") + pa_strerror(pa_context_errno(context.get())) +
                 ")");
      dropContext();
      startClockIfNeeded();
      scheduleRetry();
    }
  }

  void dropContext() {
    parked.reset();
    context.reset();
    ready = false;
  }

  void reportDown(const std::string& what) {
    if (down) return;
    down = true;
    os::log(what + "; the position follows the wall clock");
  }

  void reportBack() {
    if (down) os::log("sound server back");
    down = false;
  }

  void scheduleRetry() {
    if (retryTimer != nullptr) return;
    timeval tv;
    pa_timeval_add(pa_gettimeofday(&tv), kRetryUsec);
    retryTimer = api->time_new(api, &tv, &Impl::onRetry, this);
  }

  static void onRetry(pa_mainloop_api* a, pa_time_event* e, const timeval*, void* user) {
    auto* self = static_cast<Impl*>(user);
    a->time_free(e);
    self->retryTimer = nullptr;
    self->dropContext();
    self->connect();
  }

  static void onContextState(pa_context* c, void* user) {
    auto* self = static_cast<Impl*>(user);
    switch (pa_context_get_state(c)) {
      case PA_CONTEXT_READY:
        self->ready = true;
        if (self->everReady) ++self->stats.reconnects;
        self->everReady = true;
        self->stopClock();
        if (self->source != nullptr) {
          self->openStream();
        } else {
          self->parkEmptyStream();
          self->reportBack();
        }
        break;
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED:
        self->ready = false;
        self->closeStream();
        self->parked.reset();
        self->reportDown(std::string("no sound server (") + pa_strerror(pa_context_errno(c)) + ")");
        self->startClockIfNeeded();
        // The context can't be freed inside its own callback: the retry does it.
        self->scheduleRetry();
        break;
      default:
        break;
    }
  }

  // --- the pa_stream ---

  // A stream of CD audio on the server, not yet connected.
  StreamPtr newStream() {
    const pa_sample_spec format{PA_SAMPLE_S16LE, kSampleRate, kChannels};
    return StreamPtr(pa_stream_new(context.get(), "CD", &format, nullptr));
  }

  void openStream() {
    stream = newStream();
    if (stream == nullptr) {
      reportDown(std::string("the sound server refused a stream: ") +
                 pa_strerror(pa_context_errno(context.get())));
      startClockIfNeeded();
      return;
    }
    streamPulled = 0;
    drained = false;
    pa_stream_set_state_callback(stream.get(), &Impl::onStreamState, this);
    pa_stream_set_write_callback(stream.get(), &Impl::onWritable, this);
    pa_stream_set_underflow_callback(stream.get(), &Impl::onUnderflow, this);
    pa_stream_set_started_callback(stream.get(), &Impl::onStarted, this);
    pa_stream_set_latency_update_callback(stream.get(), &Impl::onTiming, this);
    if (connectPlayback(stream.get(), paused) < 0) {
      reportDown(std::string("could not play to the sound server: ") +
                 pa_strerror(pa_context_errno(context.get())));
      closeStream();
      startClockIfNeeded();
    }
  }

  // Connects a new stream to the sink (held from the start when `corked`).
  int connectPlayback(pa_stream* s, bool corked) {
    const pa_sample_spec& format = *pa_stream_get_sample_spec(s);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(options.latencyMs) * 1000, &format));
    // One frame: play as soon as anything is there, and after an underrun
    // wait for data rather than run the clock over silence.
    attr.prebuf = kBytesPerFrame;
    // Asked for in halves, less the sink's share: a CD's data is cheap to
    // copy, every request wakes this process, and half a queue still playing
    // is ample margin. The server gives the sink (tlength - 2 minreq) / 2.
    const auto sinkBytes = static_cast<std::uint32_t>(pa_usec_to_bytes(kSinkLatencyUsec, &format));
    attr.minreq = std::max(attr.tlength / 2, 2 * sinkBytes) - sinkBytes;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY);
    if (corked) flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_START_CORKED);
    const char* device = options.device.empty() ? nullptr : options.device.c_str();
    const pa_cvolume* level = volume ? &*volume : nullptr;
    return pa_stream_connect_playback(s, device, &attr, flags, level, nullptr);
  }

  // A held, empty stream, so that the sink already works at our short latency
  // when the first play comes (see `parked`).
  void parkEmptyStream() {
    StreamPtr fresh = newStream();
    if (fresh != nullptr && connectPlayback(fresh.get(), true) == 0) parked = std::move(fresh);
  }

  // Silences the stream at once (held, then emptied: the server takes back
  // what its sink had of it) and keeps it in place of the parked one.
  void parkStream() {
    if (stream != nullptr && pa_stream_get_state(stream.get()) == PA_STREAM_READY) {
      pa_stream* s = stream.get();
      detachCallbacks(s);
      unrefOperation(pa_stream_cork(s, 1, nullptr, nullptr));
      unrefOperation(pa_stream_flush(s, nullptr, nullptr));
      drainOp.reset();
      parked = std::move(stream);
    }
    closeStream();
  }

  // Whatever the stream had pulled counts as heard: a lost server takes its
  // queue with it, and the clock carries on from there.
  void closeStream() {
    if (timingTimer != nullptr) api->time_free(timingTimer);
    timingTimer = nullptr;
    timingBackoff = kTimingRetryUsec;
    if (stream == nullptr) return;
    heardBefore += streamPulled;
    streamPulled = 0;
    drainOp.reset();
    stream.reset();
  }

  // The stream's own level, once the server has given it an index.
  void applyVolume() {
    if (!volume || stream == nullptr || pa_stream_get_state(stream.get()) != PA_STREAM_READY)
      return;
    unrefOperation(pa_context_set_sink_input_volume(
        context.get(), pa_stream_get_index(stream.get()), &*volume, nullptr, nullptr));
  }

  static void onStreamState(pa_stream* s, void* user) {
    auto* self = static_cast<Impl*>(user);
    if (s != self->stream.get()) return;
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_READY) {
      self->applyVolume();  // a level asked for while the stream was being made
      // A pause or resume that came while the stream was being made could not
      // cork it then (libpulse refuses before READY); the wish stands now.
      unrefOperation(pa_stream_cork(s, self->paused ? 1 : 0, nullptr, nullptr));
      self->parked.reset();  // the sink has this one now
      self->askTiming();
      self->reportBack();
      self->writeSome();
    } else if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
      if (self->context != nullptr &&
          pa_context_get_state(self->context.get()) == PA_CONTEXT_READY) {
        self->reportDown(std::string("the sound stream failed: ") +
                         pa_strerror(pa_context_errno(self->context.get())));
        // Start over on a fresh connection rather than loop on a broken one.
        self->ready = false;
        self->closeStream();
        self->startClockIfNeeded();
        self->scheduleRetry();
      }
    }
  }

  static void onWritable(pa_stream*, size_t, void* user) {
    auto* self = static_cast<Impl*>(user);
    self->writeSome();
    if (pa_rtclock_now() - self->timingAskedAt >= kTimingRefreshUsec) self->askTiming();
  }

  static void onUnderflow(pa_stream*, void* user) {
    auto* self = static_cast<Impl*>(user);
    // The end of a finished stream is no underflow.
    if (!self->finished) ++self->stats.underflows;
    self->askTiming();  // the server's clock has stopped
  }

  // The server plays the stream from now on; until then its clock stands.
  static void onStarted(pa_stream*, void* user) { static_cast<Impl*>(user)->askTiming(); }

  // An uncork, or a start on a sink that is only waking, can be answered
  // before the server plays again; until it says it plays, its clock stands.
  static void onTiming(pa_stream* s, void* user) {
    auto* self = static_cast<Impl*>(user);
    const pa_timing_info* timing = pa_stream_get_timing_info(s);
    const bool shouldRun = !self->paused && !self->finished && self->streamPulled > 0;
    if (timing == nullptr || timing->playing || !shouldRun) {
      self->timingBackoff = kTimingRetryUsec;
      return;
    }
    if (self->timingTimer != nullptr) return;
    timeval tv;
    pa_timeval_add(pa_gettimeofday(&tv), self->timingBackoff);
    self->timingTimer = self->api->time_new(self->api, &tv, &Impl::onTimingDue, self);
    self->timingBackoff = std::min(self->timingBackoff * 2, kTimingRefreshUsec);
  }

  static void onTimingDue(pa_mainloop_api* a, pa_time_event* e, const timeval*, void* user) {
    auto* self = static_cast<Impl*>(user);
    a->time_free(e);
    self->timingTimer = nullptr;
    self->askTiming();
  }

  void askTiming() {
    if (stream == nullptr || pa_stream_get_state(stream.get()) != PA_STREAM_READY) return;
    unrefOperation(pa_stream_update_timing_info(stream.get(), nullptr, nullptr));
    timingAskedAt = pa_rtclock_now();
  }

  // Holds or releases the stream, then asks where that leaves its clock.
  void cork(bool hold) {
    unrefOperation(pa_stream_cork(stream.get(), hold ? 1 : 0, nullptr, nullptr));
    askTiming();
  }

  // Drained means the server has handed the last frame to its sink, not that
  // anyone heard it: the sink still holds its own latency's worth, which a
  // fresh timing update tells. Stopping the stream earlier would cut the end.
  static void onDrained(pa_stream* s, int success, void* user) {
    auto* self = static_cast<Impl*>(user);
    unrefOperation(self->drainOp.release());  // finishing: nothing to cancel
    if (success) self->drainOp.reset(pa_stream_update_timing_info(s, &Impl::onDrainTiming, self));
  }

  static void onDrainTiming(pa_stream* s, int success, void* user) {
    auto* self = static_cast<Impl*>(user);
    unrefOperation(self->drainOp.release());
    const pa_timing_info* timing = success ? pa_stream_get_timing_info(s) : nullptr;
    const pa_usec_t sinkUsec = timing != nullptr
                                   ? timing->sink_usec
                                   : static_cast<pa_usec_t>(self->options.latencyMs) * 1000;
    self->heardAllAt = pa_rtclock_now() + sinkUsec;
    self->drained = true;
  }

  void markFinished() {
    finished = true;
    if (stream != nullptr && drainOp == nullptr && !drained) {
      drainOp.reset(pa_stream_drain(stream.get(), &Impl::onDrained, this));
    }
  }

  // Nothing is written to a held stream: samples travel to the server apart
  // from commands, so data sent right after a cork could still be played.
  void writeSome() {
    if (stream == nullptr || source == nullptr || finished || paused) return;
    if (pa_stream_get_state(stream.get()) != PA_STREAM_READY) return;
    std::size_t room = pa_stream_writable_size(stream.get());
    if (room == static_cast<std::size_t>(-1)) return;
    while (room >= kBytesPerFrame) {
      void* data = nullptr;
      std::size_t length = room;
      if (pa_stream_begin_write(stream.get(), &data, &length) < 0 || data == nullptr) return;
      length -= length % kBytesPerFrame;
      const PullResult got = source->pull({static_cast<std::uint8_t*>(data), length});
      if (got.bytes == 0) {
        pa_stream_cancel_write(stream.get());
      } else {
        pa_stream_write(stream.get(), data, got.bytes, nullptr, 0, PA_SEEK_RELATIVE);
        const auto frames = static_cast<std::int64_t>(got.bytes / kBytesPerFrame);
        streamPulled += frames;
        stats.framesWritten += frames;
      }
      if (got.finished) {
        markFinished();
        return;
      }
      if (got.bytes < length) return;  // the source ran dry; wake() brings more
      room -= got.bytes;
    }
  }

  // --- the wall clock, standing in for a server ---

  // Only once the server is known to be away: while a first connection is
  // under way, the stream waits for it rather than lose its start to the clock.
  void startClockIfNeeded() {
    if (!down || source == nullptr || paused || finished || stream != nullptr ||
        clockTimer != nullptr) {
      return;
    }
    clockOrigin = pa_rtclock_now();
    clockDue = 0;
    timeval tv;
    pa_timeval_add(pa_gettimeofday(&tv), kClockTickUsec);
    clockTimer = api->time_new(api, &tv, &Impl::onClockTick, this);
  }

  void stopClock() {
    if (clockTimer == nullptr) return;
    api->time_free(clockTimer);
    clockTimer = nullptr;
  }

  static void onClockTick(pa_mainloop_api*, pa_time_event* e, const timeval*, void* user) {
    auto* self = static_cast<Impl*>(user);
    self->consumeOnClock();
    if (self->clockTimer == nullptr) return;
    timeval tv;
    pa_timeval_add(pa_gettimeofday(&tv), kClockTickUsec);
    self->api->time_restart(e, &tv);
  }

  // Discards what the wall clock says has been played since the last tick.
  void consumeOnClock() {
    if (source == nullptr) return;
    const std::int64_t due = usecToFrames(pa_rtclock_now() - clockOrigin) - clockDue;
    clockDue += due;
    std::int64_t left = due;
    scratch.resize(4096 * kBytesPerFrame);
    while (left > 0) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::int64_t>(left, 4096)) * kBytesPerFrame;
      const PullResult got = source->pull({scratch.data(), want});
      const auto frames = static_cast<std::int64_t>(got.bytes / kBytesPerFrame);
      heardBefore += frames;
      stats.framesWritten += frames;
      stats.framesSkipped += frames;
      left -= frames;
      if (got.finished) {
        finished = true;
        stopClock();
        return;
      }
      if (got.bytes < want) return;
    }
  }

  std::int64_t heard() {
    std::int64_t frames = heardBefore;
    if (stream != nullptr && pa_stream_get_state(stream.get()) == PA_STREAM_READY) {
      pa_usec_t usec = 0;
      std::int64_t played = 0;
      const bool known = pa_stream_get_time(stream.get(), &usec) == 0;
      if (known) played = std::min(usecToFrames(usec), streamPulled);
      if (pa_rtclock_now() - timingAskedAt >= (known ? kTimingStaleUsec : kTimingRetryUsec)) {
        askTiming();
      }
      if (drained) {
        // The server's clock stops when the stream runs out; count down the
        // sink's latency instead.
        const pa_usec_t now = pa_rtclock_now();
        const std::int64_t left = now >= heardAllAt ? 0 : usecToFrames(heardAllAt - now);
        played = std::max(played, streamPulled - left);
      }
      frames += std::max<std::int64_t>(played, 0);
    }
    // The server's clock is interpolated; never let the position step back.
    lastHeard = std::max(lastHeard, frames);
    return lastHeard;
  }

  void endSession() {
    parkStream();
    stopClock();
    source = nullptr;
    paused = false;
    finished = false;
    heardBefore = 0;
    lastHeard = 0;
  }
};

PulseSink::PulseSink(PulseOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->loop.reset(pa_threaded_mainloop_new());
  if (impl_->loop == nullptr) throw std::runtime_error("libpulse: no main loop");
  impl_->api = pa_threaded_mainloop_get_api(impl_->loop.get());
  pa_threaded_mainloop_set_name(impl_->loop.get(), "tavrelo-pulse");
  if (pa_threaded_mainloop_start(impl_->loop.get()) < 0) {
    throw std::runtime_error("libpulse: the main loop did not start");
  }
  LoopLock lock(impl_->loop.get());
  impl_->connect();
}

PulseSink::~PulseSink() {
  {
    LoopLock lock(impl_->loop.get());
    impl_->endSession();
    if (impl_->retryTimer != nullptr) impl_->api->time_free(impl_->retryTimer);
    impl_->retryTimer = nullptr;
    impl_->dropContext();
  }
  impl_->loop.reset();
}

void PulseSink::start(FrameSource& source, bool paused) {
  LoopLock lock(impl_->loop.get());
  impl_->endSession();
  impl_->source = &source;
  impl_->paused = paused;
  if (impl_->ready) {
    impl_->openStream();
  } else {
    impl_->startClockIfNeeded();
  }
}

void PulseSink::pause() {
  LoopLock lock(impl_->loop.get());
  if (impl_->source == nullptr || impl_->paused) return;
  impl_->paused = true;
  if (impl_->stream != nullptr) {
    impl_->cork(true);
  } else {
    impl_->consumeOnClock();
    impl_->stopClock();
  }
}

void PulseSink::resume() {
  LoopLock lock(impl_->loop.get());
  if (impl_->source == nullptr || !impl_->paused) return;
  impl_->paused = false;
  if (impl_->stream != nullptr) {
    impl_->cork(false);
    impl_->writeSome();
  } else {
    impl_->startClockIfNeeded();
  }
}

void PulseSink::stop() {
  LoopLock lock(impl_->loop.get());
  impl_->endSession();
}

void PulseSink::wake() {
  LoopLock lock(impl_->loop.get());
  // New data comes every third of a second, but the server asks for more by
  // itself once half its queue has room: writing only then, or while the
  // queue is still filling, lets this process sleep in between.
  pa_stream* stream = impl_->stream.get();
  if (stream != nullptr && pa_stream_get_state(stream) == PA_STREAM_READY &&
      impl_->streamPulled > 0) {
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    const std::size_t room = pa_stream_writable_size(stream);
    if (attr != nullptr && room != static_cast<std::size_t>(-1) && room < attr->minreq) return;
  }
  impl_->writeSome();
}

void PulseSink::setVolume(double level) {
  // Not a number counts as silence; past the server's maximum is its maximum.
  const double limit = static_cast<double>(PA_VOLUME_MAX) / PA_VOLUME_NORM;
  const double kept = level > 0 ? std::min(level, limit) : 0.0;
  pa_cvolume volume;
  pa_cvolume_set(&volume, kChannels, static_cast<pa_volume_t>(std::lround(kept * PA_VOLUME_NORM)));
  LoopLock lock(impl_->loop.get());
  impl_->volume = volume;
  impl_->applyVolume();
}

std::int64_t PulseSink::heardFrames() {
  LoopLock lock(impl_->loop.get());
  return impl_->heard();
}

SinkStats PulseSink::stats() {
  LoopLock lock(impl_->loop.get());
  return impl_->stats;
}

bool PulseSink::connected() {
  LoopLock lock(impl_->loop.get());
  return impl_->ready;
}

}  // namespace tavrelo::audio
