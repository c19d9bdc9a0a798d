#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "platform/disc/CueSheet.h"

namespace tavrelo::disc {

// One file a sheet names, read in sectors as they lie on the disc: 2352 bytes
// of 16-bit little-endian interleaved stereo. A partial last sector reads as
// if padded with silence.
class SectorFile {
 public:
  virtual ~SectorFile() = default;
  virtual std::int64_t sectors() const = 0;
  // Reads `count` sectors from `first` (all inside the file) into `out`
  // (count * 2352 bytes); throws DiscError on an I/O failure.
  virtual void read(std::int64_t first, int count, std::span<std::uint8_t> out) = 0;
};

// Opens and checks a file: BINARY and MOTOROLA files must be non-empty;
// sound files must be 44100 Hz, 16-bit, 2 channels. `blockBytes` is the
// sector size of the file's tracks (2352 for audio). Throws DiscError with a
// message that says what was found, e.g.
//   "\"a.wav\" is 22050 Hz, 16 bits, 1 channel; a CD holds 44100 Hz, 16 bits, 2 channels"
std::unique_ptr<SectorFile> openSectorFile(const std::filesystem::path& path, SheetFileType type,
                                           int blockBytes);

}  // namespace tavrelo::disc
