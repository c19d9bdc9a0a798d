#include "tests/support/FakeCdDrive.h"

#include <utility>

namespace tavrelo::testing {

using drive::AudioStatus;
using drive::DriveError;

FakeCdDrive::FakeCdDrive(drive::Clock& clock, disc::Toc toc)
    : clock_(clock), disc_(std::move(toc)) {
  position_ = disc_->empty() ? 0 : disc_->tracks.front().start;
}

FakeCdDrive::FakeCdDrive(drive::Clock& clock) : clock_(clock) {}

void FakeCdDrive::update() {
  if (audio_ != AudioStatus::Playing) return;
  const std::int64_t now = clock_.nowMs();
  if (stalled_) {
    restartRun();
    return;
  }
  const std::int64_t heard = runFrom_ + (now - runStartMs_) * disc::kFramesPerSecond / 1000;
  if (heard >= to_) {
    audio_ = AudioStatus::Stopped;
    const bool endOfDisc = disc_ && to_ >= disc_->leadOut;
    position_ = endOfDisc ? disc_->tracks.front().start : to_;
  } else {
    position_ = static_cast<disc::Lba>(heard);
  }
}

void FakeCdDrive::restartRun() {
  runFrom_ = position_;
  runStartMs_ = clock_.nowMs();
}

drive::DriveStatus FakeCdDrive::status() {
  update();
  drive::DriveStatus s;
  s.trayOpen = trayOpen_;
  s.mediaPresent = hasDisc();
  s.mediaGeneration = generation_;
  s.audio = audio_;
  s.position = hasDisc() ? position_ : 0;
  s.track = hasDisc() ? disc_->trackAt(position_) : 0;
  return s;
}

DriveError FakeCdDrive::takeFailure() {
  return std::exchange(nextFailure_, DriveError::None);
}

DriveError FakeCdDrive::checkRange(disc::Lba lba, bool endAllowed) const {
  if (disc_->empty() || lba < 0) return DriveError::OutOfRange;
  return (endAllowed ? lba > disc_->leadOut : lba >= disc_->leadOut) ? DriveError::OutOfRange
                                                                     : DriveError::None;
}

DriveError FakeCdDrive::readToc(disc::Toc& out) {
  ++readTocCalls_;
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  if (!hasDisc()) return DriveError::NoMedia;
  out = *disc_;
  return DriveError::None;
}

DriveError FakeCdDrive::play(disc::Lba from, disc::Lba to) {
  ++playCalls_;
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  if (!hasDisc()) return DriveError::NoMedia;
  if (checkRange(from, false) != DriveError::None || checkRange(to, true) != DriveError::None ||
      from > to) {
    return DriveError::OutOfRange;
  }
  update();
  position_ = from;
  to_ = to;
  restartRun();
  audio_ = from < to ? AudioStatus::Playing : AudioStatus::Stopped;
  return DriveError::None;
}

DriveError FakeCdDrive::pause() {
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  if (!hasDisc()) return DriveError::NoMedia;
  update();
  if (audio_ == AudioStatus::Playing) audio_ = AudioStatus::Paused;
  return DriveError::None;
}

DriveError FakeCdDrive::resume() {
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  if (!hasDisc()) return DriveError::NoMedia;
  if (audio_ != AudioStatus::Paused) return DriveError::NotPaused;
  audio_ = AudioStatus::Playing;
  restartRun();
  return DriveError::None;
}

DriveError FakeCdDrive::stop() {
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  update();
  if (audio_ != AudioStatus::Error || hasDisc()) audio_ = AudioStatus::Stopped;
  return DriveError::None;
}

DriveError FakeCdDrive::seek(disc::Lba to) {
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  if (!hasDisc()) return DriveError::NoMedia;
  if (const DriveError e = checkRange(to, false); e != DriveError::None) return e;
  audio_ = AudioStatus::Stopped;
  position_ = to;
  return DriveError::None;
}

DriveError FakeCdDrive::openTray() {
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  update();
  audio_ = AudioStatus::Stopped;
  if (!trayOpen_) {
    trayOpen_ = true;
    ++generation_;
  }
  return DriveError::None;
}

DriveError FakeCdDrive::closeTray() {
  if (const DriveError e = takeFailure(); e != DriveError::None) return e;
  if (trayOpen_) {
    trayOpen_ = false;
    ++generation_;
    position_ = hasDisc() && !disc_->empty() ? disc_->tracks.front().start : 0;
  }
  return DriveError::None;
}

void FakeCdDrive::insertDisc(std::optional<disc::Toc> toc) {
  update();
  disc_ = std::move(toc);
  audio_ = AudioStatus::Stopped;
  position_ = disc_ && !disc_->empty() ? disc_->tracks.front().start : 0;
  ++generation_;
}

void FakeCdDrive::stall(bool stalled) {
  update();
  stalled_ = stalled;
  restartRun();
}

void FakeCdDrive::breakDown() {
  update();
  audio_ = AudioStatus::Error;
}

}  // namespace tavrelo::testing
