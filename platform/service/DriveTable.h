#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/drive/CdDrive.h"
#include "platform/service/DriveSource.h"

namespace tavrelo::service {

// The service's drives, one per source, shared by every connection that opens
// that source. A drive stays when its last client leaves (the disc plays on,
// and the next client finds it as it was); the table goes with the service.
// Any thread may call it: opens take turns, so two clients opening one drive
// share it even while the first open waits on the disc.
class DriveTable {
 public:
  // Makes the drive for a canonical source; throws std::exception with a
  // sentence a person can act on when the source cannot be played.
  using Factory = std::function<std::shared_ptr<drive::CdDrive>(const DriveSource&)>;

  explicit DriveTable(Factory factory) : factory_(std::move(factory)) {}

  // The drive for `source` (an absolute path), made on first use. Paths that
  // name one file ("/dev/cdrom" and "/dev/sr0", "a/../a.cue" and "a.cue") give
  // one drive. Throws std::runtime_error (see canonicalSource) or what the
  // factory throws.
  std::shared_ptr<drive::CdDrive> open(const DriveSource& source);

  // True while any drive plays or is paused: a paused disc waits for its
  // listener, as it would in a hardware drive, and must not be forgotten.
  bool anyInUse();

 private:
  Factory factory_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<drive::CdDrive>> drives_;
};

// `source` with its path resolved through symbolic links, "." and "..".
// Throws std::runtime_error naming the path when it is relative, or when a
// device does not exist (a missing sheet is an image drive with no disc).
DriveSource canonicalSource(const DriveSource& source);

}  // namespace tavrelo::service
