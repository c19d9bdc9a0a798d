#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/disc/Toc.h"
#include "platform/drive/CdDrive.h"
#include "platform/drive/Clock.h"
#include "platform/mci/DriveDirectory.h"

namespace tavrelo::testing {

// A drive for tests that follows the CdDrive contract with no disc and no
// sound: the heard position advances with `clock` (75 frames a second) while
// it plays; a range stops at its end, and a play that reaches the lead-out
// stands at the start of track 1. Tests change the disc and inject failures.
class FakeCdDrive final : public drive::CdDrive {
 public:
  // A closed tray with `toc` loaded, stopped at the start of the first track.
  FakeCdDrive(drive::Clock& clock, disc::Toc toc);
  // A closed, empty tray.
  explicit FakeCdDrive(drive::Clock& clock);

  drive::DriveStatus status() override;
  drive::DriveError readToc(disc::Toc& out) override;
  drive::DriveError play(disc::Lba from, disc::Lba to) override;
  drive::DriveError pause() override;
  drive::DriveError resume() override;
  drive::DriveError stop() override;
  drive::DriveError seek(disc::Lba to) override;
  drive::DriveError openTray() override;
  drive::DriveError closeTray() override;

  // Swaps the disc as a user would: what closeTray() loads next. std::nullopt
  // for an empty tray. With the tray closed the change shows at once.
  void insertDisc(std::optional<disc::Toc> toc);
  // The next call to any command (not status) fails with `error`.
  void failNextCommand(drive::DriveError error) { nextFailure_ = error; }
  // Freezes the heard position while still reporting "playing", as a drive
  // whose sound server stalled does.
  void stall(bool stalled);
  // Reports an audio error, as a drive whose disc vanished mid-play.
  void breakDown();

  int playCalls() const { return playCalls_; }
  int readTocCalls() const { return readTocCalls_; }
  disc::Lba playTo() const { return to_; }

 private:
  void update();
  void restartRun();
  bool hasDisc() const { return !trayOpen_ && disc_.has_value(); }
  drive::DriveError takeFailure();
  drive::DriveError checkRange(disc::Lba lba, bool endAllowed) const;

  drive::Clock& clock_;
  std::optional<disc::Toc> disc_;
  bool trayOpen_ = false;
  std::uint64_t generation_ = 1;
  drive::AudioStatus audio_ = drive::AudioStatus::Stopped;
  disc::Lba position_ = 0;  // the frame heard at the last update
  disc::Lba runFrom_ = 0;   // where the current run of playing started, and when
  std::int64_t runStartMs_ = 0;
  disc::Lba to_ = 0;
  bool stalled_ = false;
  drive::DriveError nextFailure_ = drive::DriveError::None;
  int playCalls_ = 0;
  int readTocCalls_ = 0;
};

// Drive letters over fake drives; the same letter always gives the same drive.
class FakeDriveDirectory final : public mci::DriveDirectory {
 public:
  std::shared_ptr<drive::CdDrive> cdDrive(char letter) override {
    const auto it = drives.find(letter);
    return it == drives.end() ? nullptr : it->second;
  }
  std::vector<char> cdDriveLetters() override {
    std::vector<char> letters;
    for (const auto& entry : drives) letters.push_back(entry.first);
    return letters;
  }
  std::map<char, std::shared_ptr<FakeCdDrive>> drives;
};

}  // namespace tavrelo::testing
