#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/disc/DiscLayout.h"
#include "platform/disc/DiscSource.h"
#include "platform/disc/SectorFile.h"

namespace tavrelo::disc {

// A CUE sheet standing for a disc in a drive with a tray. Eject takes the
// disc out (TrayOpen); closing the tray reads the sheet and its files again,
// so a changed image shows as a new disc (new media generation), and a sheet
// that became broken leaves the drive empty (NoDisc) with the reason logged
// and kept in lastError(). Sectors of data tracks read as silence.
class CueImage final : public DiscSource {
 public:
  // Reads the sheet and opens its files; throws DiscError if anything is wrong.
  static std::unique_ptr<CueImage> open(const std::filesystem::path& sheet);
  // The same, but a bad sheet gives an empty drive (NoDisc) instead of an error.
  static std::unique_ptr<CueImage> openAsDrive(const std::filesystem::path& sheet);

  std::string describe() const override { return sheet_.string(); }
  MediaState mediaState() override { return state_; }
  std::uint64_t mediaGeneration() override { return generation_; }
  Toc readToc() override;
  int readAudio(Lba lba, int count, std::span<std::uint8_t> out) override;
  bool hasTray() const override { return true; }
  void eject() override;
  void closeTray() override;

  // Why the drive is empty after a failed load; empty when a disc is in.
  const std::string& lastError() const { return lastError_; }

 private:
  explicit CueImage(std::filesystem::path sheet) : sheet_(std::move(sheet)) {}
  void load();  // throws DiscError
  bool loadOrLog();
  const DiscLayout& layout() const;  // throws DiscError without a disc

  struct Disc {
    DiscLayout layout;
    std::vector<std::unique_ptr<SectorFile>> files;
  };
  std::filesystem::path sheet_;
  std::optional<Disc> disc_;
  MediaState state_ = MediaState::NoDisc;
  std::uint64_t generation_ = 1;
  std::string lastError_;
  bool notesLogged_ = false;  // the sheet's notes are logged at its first load only
};

}  // namespace tavrelo::disc
