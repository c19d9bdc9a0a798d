#pragma once

// The drive service on the desktop's buses: the media controls (MPRIS 2 on
// the session bus) reach the drives with or without the window, and while a
// disc plays the computer neither idles nor sleeps without pausing it first
// (the desktop's own inhibitor on the session bus, logind on the system bus).
// Either bus may be missing; the service then
// runs as before and says so once in its log.
//
// Threads: the service loop's thread only. The loop is the one place that
// waits: it polls addDescriptors()'s descriptors for at most timeoutMs(), then
// calls dispatch(). It reports every client request through noteRequest(), so
// a change the service causes is published at once; changes a drive makes by
// itself (a track boundary, the end of the disc) are looked for when the next
// one is due, and once a second in case the disc changed.

#include <poll.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/drive/CdDrive.h"

namespace tavrelo::service {

struct DesktopOptions {
  std::filesystem::path programFolder;  // holds the window's executable, which Raise starts
  std::filesystem::path runtimeFolder;  // holds the window's instance lock and the service's log
  std::function<void(const std::string&)> log;
};

class Desktop {
 public:
  explicit Desktop(DesktopOptions options);
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // Appends the buses' descriptors to `fds`.
  void addDescriptors(std::vector<pollfd>& fds) const;
  // Milliseconds until dispatch() has work without a descriptor waking; -1 for never.
  int timeoutMs() const;
  // Reads and answers the buses, and looks at the drives when that is due.
  void dispatch();
  // A client's request `packet` reached `drive`, which its client calls `label`.
  // An empty packet stands for a request that may have changed anything.
  void noteRequest(const std::shared_ptr<drive::CdDrive>& drive, const std::string& label,
                   std::span<const std::uint8_t> packet);

  struct Parts;

 private:
  std::unique_ptr<Parts> parts_;
};

}  // namespace tavrelo::service
