#include "platform/service/DriveTable.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tavrelo::service {

DriveSource canonicalSource(const DriveSource& source) {
  if (source.path.empty() || source.path.front() != '/') {
    throw std::runtime_error("the drive source \"" + source.path + "\" is not an absolute path");
  }
  std::error_code error;
  // A missing sheet is still a drive (one with no disc); a missing device is not.
  const auto resolved = source.kind == DriveSource::Kind::CueImage
                            ? std::filesystem::weakly_canonical(source.path, error)
                            : std::filesystem::canonical(source.path, error);
  if (error) throw std::runtime_error(source.path + ": " + error.message());
  return {source.kind, resolved.string()};
}

std::shared_ptr<drive::CdDrive> DriveTable::open(const DriveSource& source) {
  std::lock_guard lock(mutex_);
  // An unplugged drive's node is gone until it comes back, but its drive is
  // here, waiting for it.
  if (const auto found = drives_.find(describe(source)); found != drives_.end()) {
    return found->second;
  }
  const DriveSource canonical = canonicalSource(source);
  const std::string key = describe(canonical);
  if (const auto found = drives_.find(key); found != drives_.end()) return found->second;
  std::shared_ptr<drive::CdDrive> made = factory_(canonical);
  if (!made) throw std::runtime_error("no drive for " + key);
  drives_.emplace(key, made);
  return made;
}

bool DriveTable::anyInUse() {
  std::lock_guard lock(mutex_);
  for (const auto& [key, drive] : drives_) {
    const drive::AudioStatus audio = drive->status().audio;
    if (audio == drive::AudioStatus::Playing || audio == drive::AudioStatus::Paused) return true;
  }
  return false;
}

}  // namespace tavrelo::service
