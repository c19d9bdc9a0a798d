#include "platform/service/Desktop.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <variant>

#include "platform/service/MediaPlayer2.h"
#include "platform/service/Protocol.h"
#include "platform/service/ServiceLauncher.h"
#include "platform/service/SessionInhibitor.h"
#include "platform/service/SleepGuard.h"
#include "platform/service/TitleLookups.h"

namespace tavrelo::service {
namespace {

// However quiet the drives, they are looked at this often: a disc may be
// taken out or a tray opened by hand.
constexpr std::int64_t kLookMs = 1000;
// A boundary is looked at this long after it is due, so the drive has
// passed it by then.
constexpr std::int64_t kBoundaryMarginMs = 30;

std::int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Milliseconds until the bus wants to be processed without input; -1 for never.
std::int64_t busTimeout(sd_bus* bus) {
  std::uint64_t at = 0;
  if (bus == nullptr || sd_bus_get_timeout(bus, &at) < 0 || at == UINT64_MAX) return -1;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const std::int64_t nowUs = std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
  return std::max<std::int64_t>(0, (static_cast<std::int64_t>(at) - nowUs + 999) / 1000);
}

std::int64_t earliest(std::int64_t a, std::int64_t b) {
  return a < 0 ? b : b < 0 ? a : std::min(a, b);
}

}  // namespace

struct Desktop::Parts {
  DesktopOptions options;
  sd_bus* session = nullptr;
  sd_bus* system = nullptr;
  DriveRoster roster;
  std::unique_ptr<MediaPlayer2> player;
  std::unique_ptr<SleepGuard> sleep;
  TitleLookups titles;
  std::unique_ptr<SessionInhibitor> inhibitor;
  std::int64_t nextLook = -1;  // steady ms, -1 for never

  ~Parts() {
    player.reset();
    sleep.reset();
    inhibitor.reset();
    sd_bus_flush_close_unref(session);
    sd_bus_flush_close_unref(system);
  }

  // Publishes what changed, holds or lets go of the inhibitor, and plans the next look.
  void refresh(bool seeked = false) {
    if (player) titles.look(roster);
    if (player) player->publish(seeked);
    bool playing = false;
    std::int64_t untilBoundary = kLookMs;
    for (KnownDrive& k : roster.all()) {
      const drive::DriveStatus s = k.drive->status();
      if (s.audio != drive::AudioStatus::Playing) continue;
      playing = true;
      const drive::Toc* toc = k.tocFor(s);
      if (toc == nullptr || toc->find(s.track) == nullptr) continue;
      drive::Lba end = toc->trackEnd(s.track);
      if (k.playTo > s.position) end = std::min(end, k.playTo);
      const std::int64_t ms = std::int64_t{end - s.position} * 1000 / disc::kFramesPerSecond;
      untilBoundary = std::min(untilBoundary, std::max<std::int64_t>(0, ms) + kBoundaryMarginMs);
    }
    if (sleep) sleep->hold(playing);
    if (inhibitor) inhibitor->hold(playing);
    nextLook = roster.all().empty() ? -1 : nowMs() + untilBoundary;
  }

  void sleeping(bool before) {
    for (KnownDrive& k : roster.all()) {
      if (before) {
        if (k.drive->status().audio == drive::AudioStatus::Playing) k.drive->pause();
      } else {
        // The disc may have been changed while the computer slept.
        k.toc.reset();
        k.tocFor(k.drive->status());
      }
    }
    refresh();
  }

  // Reads and answers what came; a bus that failed is let go.
  void process(sd_bus*& bus, bool isSession) {
    if (bus == nullptr) return;
    int r = 0;
    while ((r = sd_bus_process(bus, nullptr)) > 0) {
    }
    if (r < 0) {
      options.log(std::string("lost the ") + (isSession ? "session" : "system") +
                  " bus: " + std::strerror(-r));
      if (isSession) {
        player.reset();
        inhibitor.reset();
      } else {
        sleep.reset();
      }
      bus = sd_bus_flush_close_unref(bus);
    }
  }
};

Desktop::Desktop(DesktopOptions options) : parts_(std::make_unique<Parts>()) {
  Parts& p = *parts_;
  p.options = std::move(options);
  int r = sd_bus_open_user(&p.session);
  if (r < 0) {
    p.session = nullptr;
    p.options.log(std::string("no session bus (") + std::strerror(-r) +
                  "): the desktop's media controls cannot reach the drives");
  } else {
    MediaPlayerOptions player;
    player.program = p.options.programFolder / "tavrelo2";
    player.instanceLock = p.options.runtimeFolder / "instance.lock";
    player.logFile = p.options.runtimeFolder / kLogName;
    // Installed with the program (and copied beside the build's programs).
    player.discPicture =
        p.options.programFolder.parent_path() / "share/icons/hicolor/256x256/apps/tavrelo2.png";
    player.log = p.options.log;
    p.player = std::make_unique<MediaPlayer2>(p.session, p.roster, std::move(player));
    p.player->changed = [&p](bool seeked) { p.refresh(seeked); };
    p.inhibitor =
        std::make_unique<SessionInhibitor>(p.session, desktopInhibitProviders(), p.options.log);
  }
  r = sd_bus_open_system(&p.system);
  if (r < 0) {
    p.system = nullptr;
    p.options.log(std::string("no system bus (") + std::strerror(-r) +
                  "): nothing keeps the computer awake while a disc plays");
  } else {
    p.sleep = std::make_unique<SleepGuard>(
        p.system, [&p](bool before) { p.sleeping(before); }, p.options.log);
  }
}

Desktop::~Desktop() = default;

void Desktop::addDescriptors(std::vector<pollfd>& fds) const {
  for (sd_bus* bus : {parts_->session, parts_->system}) {
    if (bus == nullptr) continue;
    const int events = sd_bus_get_events(bus);
    fds.push_back({sd_bus_get_fd(bus), static_cast<short>(events < 0 ? 0 : events), 0});
  }
  parts_->titles.addDescriptors(fds);
}

int Desktop::timeoutMs() const {
  const Parts& p = *parts_;
  std::int64_t ms = p.nextLook < 0 ? -1 : std::max<std::int64_t>(0, p.nextLook - nowMs());
  ms = earliest(ms, busTimeout(p.session));
  ms = earliest(ms, busTimeout(p.system));
  return static_cast<int>(std::min<std::int64_t>(ms, 60'000));
}

void Desktop::dispatch() {
  Parts& p = *parts_;
  p.process(p.session, true);
  p.process(p.system, false);
  if (p.titles.collect(p.roster)) p.refresh();
  if (p.nextLook >= 0 && nowMs() >= p.nextLook) p.refresh();
}

void Desktop::noteRequest(const std::shared_ptr<drive::CdDrive>& drive, const std::string& label,
                          std::span<const std::uint8_t> packet) {
  if (!drive) return;
  std::optional<Request> request;
  if (!packet.empty()) {
    auto decoded = decodeRequest(packet);
    if (auto* r = std::get_if<Request>(&decoded)) request = *r;
    // Questions change nothing, and do not make a drive the one last used.
    if (!request || request->op == Op::Status || request->op == Op::ReadToc) return;
  }
  KnownDrive& known = parts_->roster.note(drive, label);
  if (request && request->op == Op::Play) known.playTo = request->to;
  parts_->refresh(request && request->op == Op::Seek);
}

}  // namespace tavrelo::service
