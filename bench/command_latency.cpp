// How soon each button reaches the sound server, seen from the server's side:
// the sink inputs as `pactl list sink-inputs` lists them (corked or not, what
// each still holds), asked for again a millisecond after each answer, and the
// MCI position, polled by a second client of the drive service. One client
// sends the buttons, each timed from the moment it is sent:
//   gone   the sound that played before is off the server (its stream
//          corked or removed; the sink's own share goes with it on a server
//          that rewinds, and "sink holds" says how much that is)
//   sound  a stream that was not playing before is uncorked and holds data
//   moves  the MCI position first changes after the command's reply
//   sink ahead  what the sink had already rendered when the new sound came:
//          a null sink that went idle renders seconds of silence at once and
//          rewinds little of it, so there the sound is heard that much later
// Each figure is the first answer that showed the change, so an upper bound;
// the poll periods are the resolution. Run by bench/command-latency, which
// provides the sound server, the runtime folder and the disc image.
//   command_latency [RUNS]
#include <pulse/pulseaudio.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/mci/MciSession.h"
#include "platform/service/ServiceLauncher.h"
#include "platform/win32/ServiceDriveDirectory.h"

namespace {

using namespace tavrelo;
using Time = std::chrono::steady_clock::time_point;
using std::chrono::milliseconds;

Time now() {
  return std::chrono::steady_clock::now();
}
double msBetween(Time from, Time to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

struct StreamState {
  std::uint32_t index = 0;
  bool corked = false;
  pa_usec_t held = 0;      // the stream's own queue at the server
  pa_usec_t sinkHeld = 0;  // what the sink holds ahead of the speakers
  bool sounding() const { return !corked && held > 0; }
};
struct ServerSample {
  Time at;
  std::vector<StreamState> streams;
};

// Asks the server for its sink inputs, again and again, and keeps each answer.
class ServerWatch {
 public:
  ServerWatch() : loop_(pa_threaded_mainloop_new()) {
    api_ = pa_threaded_mainloop_get_api(loop_);
    context_ = pa_context_new(api_, "command-latency");
    pa_context_set_state_callback(context_, &ServerWatch::onState, this);
    pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    pa_threaded_mainloop_start(loop_);
    pa_threaded_mainloop_lock(loop_);
    while (!ready_ && !failed_) pa_threaded_mainloop_wait(loop_);
    if (ready_) ask();
    pa_threaded_mainloop_unlock(loop_);
  }
  ~ServerWatch() {
    pa_threaded_mainloop_stop(loop_);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_threaded_mainloop_free(loop_);
  }
  ServerWatch(const ServerWatch&) = delete;
  ServerWatch& operator=(const ServerWatch&) = delete;

  bool ready() const { return ready_; }
  std::vector<ServerSample> samples() {
    pa_threaded_mainloop_lock(loop_);
    auto copy = samples_;
    pa_threaded_mainloop_unlock(loop_);
    return copy;
  }

 private:
  static void onState(pa_context* c, void* user) {
    auto* self = static_cast<ServerWatch*>(user);
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_READY) self->ready_ = true;
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) self->failed_ = true;
    pa_threaded_mainloop_signal(self->loop_, 0);
  }
  void ask() {
    pa_operation* op = pa_context_get_sink_input_info_list(context_, &ServerWatch::onInput, this);
    if (op != nullptr) pa_operation_unref(op);
  }
  static void onInput(pa_context*, const pa_sink_input_info* info, int eol, void* user) {
    auto* self = static_cast<ServerWatch*>(user);
    if (eol == 0 && info != nullptr) {
      self->pending_.push_back(
          {info->index, info->corked != 0, info->buffer_usec, info->sink_usec});
      return;
    }
    self->samples_.push_back({now(), std::move(self->pending_)});
    self->pending_.clear();
    timeval tv;
    pa_timeval_add(pa_gettimeofday(&tv), 1000);
    self->api_->time_new(self->api_, &tv, &ServerWatch::onDue, self);
  }
  static void onDue(pa_mainloop_api* api, pa_time_event* e, const timeval*, void* user) {
    api->time_free(e);
    static_cast<ServerWatch*>(user)->ask();
  }

  pa_threaded_mainloop* loop_;
  pa_mainloop_api* api_;
  pa_context* context_;
  bool ready_ = false;
  bool failed_ = false;
  std::vector<StreamState> pending_;
  std::vector<ServerSample> samples_;
};

std::unique_ptr<mci::MciSession> openDrive() {
  auto session =
      std::make_unique<mci::MciSession>(std::make_shared<win32::ServiceDriveDirectory>());
  session->send("open D:\\ type cdaudio alias cd shareable");
  session->send("set cd time format milliseconds");
  return session;
}

// Asks the drive for its position as fast as it answers, on a client of its own.
class PositionWatch {
 public:
  PositionWatch() : thread_([this] { run(); }) {}
  ~PositionWatch() {
    quit_ = true;
    thread_.join();
  }
  PositionWatch(const PositionWatch&) = delete;
  PositionWatch& operator=(const PositionWatch&) = delete;

  std::vector<std::pair<Time, long>> samples() {
    std::lock_guard lock(mutex_);
    return samples_;
  }

 private:
  void run() {
    auto session = openDrive();
    while (!quit_) {
      const mci::Reply reply = session->send("status cd position");
      const Time at = now();
      if (reply.code == 0) {
        std::lock_guard lock(mutex_);
        samples_.emplace_back(at, std::atol(reply.text.c_str()));
      }
      std::this_thread::sleep_for(milliseconds(1));
    }
    session->closeAll();
  }

  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  std::vector<std::pair<Time, long>> samples_;
  std::thread thread_;
};

struct Button {
  const char* name;
  const char* command;
  int restMs;
};
struct Sent {
  const Button* button;
  Time sent;
  Time answered;
  std::uint32_t code;
};

void stopService() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::ifstream lock(std::string(runtime ? runtime : "") + "/tavrelo2/" + service::kLockName);
  long pid = 0;
  if (!(lock >> pid) || pid <= 1) return;
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  while (::kill(static_cast<pid_t>(pid), 0) == 0) std::this_thread::sleep_for(milliseconds(10));
}

double period(const std::vector<Time>& times) {
  if (times.size() < 2) return 0;
  return msBetween(times.front(), times.back()) / static_cast<double>(times.size() - 1);
}

struct Figures {
  double reply = 0;
  std::optional<double> gone, sound, moves;
  std::optional<double> silenceAhead;  // what the sink held before the new sound, in ms
};

Figures measure(const Sent& sent, const std::vector<ServerSample>& server,
                const std::vector<std::pair<Time, long>>& positions, bool wantsSound) {
  Figures f;
  f.reply = msBetween(sent.sent, sent.answered);
  std::set<std::uint32_t> before;
  auto it = server.begin();
  for (; it != server.end() && it->at < sent.sent; ++it) {
    before.clear();
    for (const StreamState& s : it->streams) {
      if (s.sounding()) before.insert(s.index);
    }
  }
  for (; it != server.end(); ++it) {
    bool old = false;
    bool fresh = false;
    for (const StreamState& s : it->streams) {
      const bool wasOn = before.count(s.index) != 0;
      if (wasOn && !s.corked) old = true;
      if (!wasOn && s.sounding()) fresh = true;
    }
    if (!f.gone && !before.empty() && !old) f.gone = msBetween(sent.sent, it->at);
    if (!f.sound && wantsSound && fresh) {
      f.sound = msBetween(sent.sent, it->at);
      for (const StreamState& s : it->streams) {
        if (before.count(s.index) == 0 && s.sounding()) {
          f.silenceAhead = static_cast<double>(s.sinkHeld) / 1000;
        }
      }
    }
  }
  if (wantsSound) {
    // The poller's client may answer from a status a few milliseconds old
    // (RemoteCdDrive): start from one asked for after the command.
    const Time settled = sent.answered + milliseconds(6);
    auto p = std::find_if(positions.begin(), positions.end(),
                          [&](const auto& s) { return s.first > settled; });
    if (p != positions.end()) {
      const long first = p->second;
      p = std::find_if(p, positions.end(), [&](const auto& s) { return s.second != first; });
      if (p != positions.end()) f.moves = msBetween(sent.sent, p->first);
    }
  }
  return f;
}

std::string show(const std::optional<double>& ms) {
  char text[16];
  if (!ms) return "     -";
  std::snprintf(text, sizeof text, "%6.1f", *ms);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  static const Button kButtons[] = {
      {"play (service cold)", "play cd", 2000},
      {"pause", "pause cd", 1000},
      {"play (after pause)", "play cd", 1500},
      {"play from", "play cd from 60000", 1500},
      {"stop", "stop cd", 1000},
      {"play", "play cd", 1500},
      {"seek", "seek cd to start", 1000},
      {"play (after seek)", "play cd", 1500},
      {"open tray", "set cd door open", 1000},
  };
  std::map<std::string, std::vector<Figures>> all;
  double serverPeriod = 0;
  double positionPeriod = 0;
  std::vector<pa_usec_t> sinkHeld;
  for (int run = 1; run <= runs; ++run) {
    stopService();
    ServerWatch server;
    if (!server.ready()) {
      std::fprintf(stderr, "command_latency: no sound server (PULSE_SERVER)\n");
      return 1;
    }
    std::this_thread::sleep_for(milliseconds(300));
    std::vector<Sent> sent;
    std::unique_ptr<PositionWatch> positions;
    std::unique_ptr<mci::MciSession> buttons;
    for (const Button& button : kButtons) {
      Sent s{&button, now(), {}, 0};
      if (buttons == nullptr) {
        buttons = openDrive();  // the open starts the service
        positions = std::make_unique<PositionWatch>();
      }
      s.code = buttons->send(button.command).code;
      s.answered = now();
      sent.push_back(s);
      std::this_thread::sleep_for(milliseconds(button.restMs));
    }
    buttons->send("set cd door closed");
    const auto position = positions->samples();
    positions.reset();
    buttons->closeAll();
    const auto samples = server.samples();
    std::vector<Time> times;
    for (const ServerSample& s : samples) {
      times.push_back(s.at);
      for (const StreamState& stream : s.streams) {
        if (stream.sounding()) sinkHeld.push_back(stream.sinkHeld);
      }
    }
    serverPeriod += period(times) / runs;
    times.clear();
    for (const auto& p : position) times.push_back(p.first);
    positionPeriod += period(times) / runs;
    for (const Sent& s : sent) {
      const bool wantsSound = std::strncmp(s.button->command, "play", 4) == 0;
      const Figures f = measure(s, samples, position, wantsSound);
      all[s.button->name].push_back(f);
      std::printf("run %d  %-20s reply %6.1f  gone %s  sound %s  moves %s  sink ahead %s%s\n", run,
                  s.button->name, f.reply, show(f.gone).c_str(), show(f.sound).c_str(),
                  show(f.moves).c_str(), show(f.silenceAhead).c_str(),
                  s.code != 0                                 ? "  (refused)"
                  : f.moves && f.sound && *f.moves < *f.sound ? "  (moved before the sound)"
                                                              : "");
    }
  }
  std::printf("\nranges over %d runs (ms from the command; min - max):\n", runs);
  for (const Button& button : kButtons) {
    const auto& figures = all[button.name];
    const auto range = [&](std::optional<double> Figures::*field) {
      double lo = 1e9;
      double hi = -1;
      for (const Figures& f : figures) {
        if (!(f.*field)) continue;
        lo = std::min(lo, *(f.*field));
        hi = std::max(hi, *(f.*field));
      }
      char text[32];
      if (hi < 0) return std::string("          -");
      std::snprintf(text, sizeof text, "%5.1f - %5.1f", lo, hi);
      return std::string(text);
    };
    std::printf("  %-20s gone %s   sound %s   moves %s   sink ahead %s\n", button.name,
                range(&Figures::gone).c_str(), range(&Figures::sound).c_str(),
                range(&Figures::moves).c_str(), range(&Figures::silenceAhead).c_str());
  }
  std::sort(sinkHeld.begin(), sinkHeld.end());
  const double medianSink =
      sinkHeld.empty() ? 0 : static_cast<double>(sinkHeld[sinkHeld.size() / 2]) / 1000;
  std::printf(
      "poll periods: server %.1f ms, position %.1f ms; while playing, the sink holds"
      " %.1f ms (median)\n",
      serverPeriod, positionPeriod, medianSink);
  stopService();
  return 0;
}
