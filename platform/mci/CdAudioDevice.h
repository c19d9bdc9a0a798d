#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/drive/CdDrive.h"
#include "platform/drive/Clock.h"
#include "platform/mci/Command.h"

namespace tavrelo::mci {

// What a command gives back: 0 and the reply text, or an MCI error code.
struct Reply {
  std::uint32_t code = 0;
  std::string text;
};

// One open cdaudio device (one alias) over a drive that other aliases may
// share. It keeps only its time format and a copy of the TOC, reread when the
// drive's media generation changes; mode, track and position belong to the
// drive. Opening and closing never move the drive.
class CdAudioDevice {
 public:
  CdAudioDevice(std::shared_ptr<drive::CdDrive> drive, drive::Clock& clock);

  // Carries out a parsed command (any verb but open and close).
  Reply execute(const Command& command);

  const std::shared_ptr<drive::CdDrive>& drive() const { return drive_; }

  // "play ... wait" polls this often, and gives up with 262 when the heard
  // position has not moved for kStallMs while the drive claims to play.
  static constexpr int kWaitPollMs = 20;
  static constexpr int kStallMs = 5000;

 private:
  Reply play(const Command& c);
  Reply seek(const Command& c);
  Reply set(const Command& c);
  Reply status(const Command& c);
  Reply statusWithToc(const Command& c, const drive::DriveStatus& s);
  std::uint32_t waitWhilePlaying();
  // Brings toc_ up to date with the disc in the drive: 0 or an MCI code.
  std::uint32_t refreshToc(const drive::DriveStatus& s);
  // The first audio frame at or after `lba`, or -1 when only data follows.
  disc::Lba nextAudio(disc::Lba lba) const;
  // The end of the run of audio tracks that holds `lba`.
  disc::Lba audioRunEnd(disc::Lba lba) const;

  std::shared_ptr<drive::CdDrive> drive_;
  drive::Clock& clock_;
  TimeFormat timeFormat_ = TimeFormat::Msf;
  disc::Toc toc_;
  bool tocValid_ = false;
  std::uint64_t tocGeneration_ = 0;
};

}  // namespace tavrelo::mci
