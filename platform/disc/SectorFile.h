#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

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

// Lossless formats read through FFmpeg's libraries, told by their first bytes.
enum class CodedFormat {
  WavPack,       // "wvpk"
  MonkeysAudio,  // "MAC "
  Tak,           // "tBaK"
  Mp4,           // "....ftyp": ALAC in an MP4 (.m4a) file
};
inline const char* formatName(CodedFormat format) {
  switch (format) {
    case CodedFormat::WavPack:
      return "WavPack";
    case CodedFormat::MonkeysAudio:
      return "Monkey's Audio";
    case CodedFormat::Tak:
      return "TAK";
    case CodedFormat::Mp4:
      return "ALAC";
  }
  return "?";
}

// Why a sound file is not CD audio, e.g.
//   "\"a.wav\" is 22050 Hz, 16 bits, 1 channel; a CD holds 44100 Hz, 16 bits, 2 channels"
// `bits` 0: a compressed format that states none.
inline std::string notCdAudio(const std::filesystem::path& path, int rate, int bits, int channels) {
  return "\"" + path.filename().string() + "\" is " + std::to_string(rate) + " Hz, " +
         (bits > 0 ? std::to_string(bits) + " bits" : std::string("compressed")) + ", " +
         std::to_string(channels) + (channels == 1 ? " channel" : " channels") +
         "; a CD holds 44100 Hz, 16 bits, 2 channels: convert it to that";
}

// Opens and checks a file: BINARY and MOTOROLA files must be non-empty;
// sound files must be 44100 Hz, 16-bit, 2 channels. Sound files are WAV,
// AIFF, FLAC, Ogg Vorbis, Opus and MP3 (libsndfile) or a CodedFormat (FFmpeg,
// loaded when first needed, see DecoderModule.h). `blockBytes` is the
// sector size of the file's tracks (2352 for audio). Throws DiscError with a
// message that says what was found, e.g.
//   "\"a.wav\" is 22050 Hz, 16 bits, 1 channel; a CD holds 44100 Hz, ..."
std::unique_ptr<SectorFile> openSectorFile(const std::filesystem::path& path, SheetFileType type,
                                           int blockBytes);

}  // namespace tavrelo::disc
