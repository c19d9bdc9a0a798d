#pragma once

// The drive client: a CdDrive whose drive lives in this user's drive service.
//
//   auto drive = service::RemoteCdDrive::open(service::DriveSource::fromPath("/dev/sr0"));
//   drive->play(150, 33000);  // the service plays; this process may end now
//
// Threads: calls may come from any thread; a mutex makes them take turns on
// the one connection. Each call waits for its reply (status in well under a
// millisecond; opening a physical disc or moving its tray takes seconds).
//
// A status stays good for kStatusReuseMs: a window asks several questions a
// tick (media, position), back to back, and each reply wakes both processes.
// That is shorter than the MCI device's own wait poll, so "play ... wait"
// sees every change as before, and than a CD frame (13 ms), so a position
// read is never a frame behind; and any command drops it, so what follows a
// command is always fresh.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/drive/CdDrive.h"
#include "platform/service/DriveSource.h"
#include "platform/service/Packets.h"
#include "platform/service/ServiceLauncher.h"

namespace tavrelo::service {

class RemoteCdDrive final : public drive::CdDrive {
 public:
  // Connects to the service (starting it when needed) and opens `source`
  // (an absolute path: DriveSource::fromPath makes one) there. Never fails outright: a drive that
  // could not be opened is unavailable from the start, and lastError() says why. `label` is what
  // the user calls the drive ("D:\\"); the desktop shows it.
  static std::shared_ptr<RemoteCdDrive> open(const DriveSource& source,
                                             const ConnectOptions& options = {},
                                             const std::string& label = {});

  // Once the service is lost, every command answers DriveError::Unavailable
  // and status() an empty, stopped drive; the drive does not come back by
  // itself (open a new one).
  drive::DriveStatus status() override;
  drive::DriveError readToc(drive::Toc& out) override;
  drive::DriveError play(drive::Lba from, drive::Lba to) override;
  drive::DriveError pause() override;
  drive::DriveError resume() override;
  drive::DriveError stop() override;
  drive::DriveError seek(drive::Lba to) override;
  drive::DriveError openTray() override;
  drive::DriveError closeTray() override;

  // False once the connection is lost or was never made.
  bool connected();
  // Why the drive is unavailable; empty while it works.
  std::string lastError();

  RemoteCdDrive(Fd connection, int replyTimeoutMs, std::string error);

  static constexpr int kStatusReuseMs = 5;

 private:
  // The reply to `request`, or nullopt after which the connection is gone.
  std::optional<Reply> call(const Request& request);
  drive::DriveError command(Op op, drive::Lba from = 0, drive::Lba to = 0);
  void lose(std::string why);

  std::mutex mutex_;
  Fd connection_;
  int replyTimeoutMs_;
  std::string error_;
  std::optional<drive::DriveStatus> status_;  // the last one, while still good
  std::chrono::steady_clock::time_point statusAt_;
};

// The service drives of one process, one per source: asking again for a
// source gives the same drive object (so shareable opens share it), unless
// its service was lost, in which case a fresh connection is made.
class ServiceDrives {
 public:
  explicit ServiceDrives(ConnectOptions options = {}) : options_(options) {}
  std::shared_ptr<RemoteCdDrive> drive(const DriveSource& source, const std::string& label = {});

 private:
  ConnectOptions options_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<RemoteCdDrive>> drives_;
};

}  // namespace tavrelo::service
