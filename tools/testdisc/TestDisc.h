#pragma once

// Generated disc images for tests: tones whose every sample is known, written
// as CUE sheets over BIN, MOTOROLA, WAV, FLAC, AIFF, WavPack or ALAC files, and
// broken variants. WavPack and ALAC files are encoded by the `wavpack` and
// `ffmpeg` programs, which must be installed.
//
// Every audio track carries a tone per channel, left and right at different
// frequencies, both different on every track, so a swapped channel, a wrong
// track or a wrong offset shows in the samples. The amplitude steps with the
// sector number inside the track, so an offset by whole sectors shows too.
// Pregaps (INDEX 00 and PREGAP) and postgaps are digital silence.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/disc/Toc.h"

namespace tavrelo::testdisc {

using disc::Lba;

enum class AudioFormat {
  Binary,    // one BIN file, little-endian
  Motorola,  // one BIN file, big-endian
  Wave,      // one WAV file per track
  Flac,      // one FLAC file per track
  Aiff,      // one AIFF file per track (big-endian samples in the file)
  WavPack,   // one .wv file per track
  Alac,      // one .m4a file per track
};

struct TrackSpec {
  int sectors = 4 * disc::kFramesPerSecond;  // INDEX 01 to the end of the track
  int indexZeroSectors = 0;                  // INDEX 00 to INDEX 01, stored in the file
  int pregapSectors = 0;                     // PREGAP: silence stored in no file
  int postgapSectors = 0;                    // POSTGAP: silence stored in no file
  bool data = false;                         // a MODE1/2352 track in a BIN file of its own
  bool preemphasis = false;                  // FLAGS PRE in the sheet, control bit 0x1 in the TOC
  // Non-zero: both channels carry this one steady tone, peak 16000, instead
  // of the track's own, so a level can be measured at a chosen frequency.
  double toneHz = 0;
};

struct SheetStyle {
  // Per-track files only: a track's INDEX 00 stored at the end of the previous
  // track's file, as rippers do in their "gaps appended" mode.
  bool gapsInPreviousFile = false;
};

struct TestDiscLayout {
  std::vector<TrackSpec> tracks;
  AudioFormat format = AudioFormat::Binary;
  SheetStyle style{};
  std::string baseName = "disc";
};

// `count` audio tracks of `seconds` each, no gaps.
std::vector<TrackSpec> plainTracks(int count, int seconds);

// One stretch of disc addresses and what a correct reader returns there.
struct Region {
  enum class Kind { Silence, Tone, Data };
  Kind kind = Kind::Silence;
  Lba start = 0;
  Lba end = 0;        // first address after the region
  int track = 0;      // the tone or data of this track number
  int file = -1;      // the index in TestDisc::files of the file that stores it; -1: none
  double toneHz = 0;  // TrackSpec::toneHz of its track
};

// Tone frequency in hertz (44100 / period, an exact integer period).
double toneFrequency(int track, int channel);

class TestDisc {
 public:
  std::filesystem::path cue;
  std::vector<std::filesystem::path> files;  // every file the sheet names
  disc::Toc toc;                             // what a correct reader reports
  std::vector<Region> regions;               // ordered, contiguous from 150 to the lead-out

  // The bytes a correct reader returns for `count` sectors from `lba`:
  // little-endian interleaved stereo; data sectors read as silence.
  std::vector<std::uint8_t> expected(Lba lba, int count = 1) const;
};

// Writes the sheet and its files into `dir` (created if needed).
TestDisc writeDisc(const std::filesystem::path& dir, const TestDiscLayout& layout);

// Sheets whose files a correct reader refuses (faults of the sheet's text
// alone are the parser's tests).
enum class Breakage {
  NoTracks,       // a FILE line and nothing else
  MissingFile,    // FILE names a file that does not exist
  EmptyFile,      // FILE naming an empty BIN file
  NotAudioFile,   // FILE ... WAVE naming a text file
  WaveRate22050,  // a WAV file at 22050 Hz
  WaveMono,       // a WAV file with one channel
  Wave8Bit,       // a WAV file with 8-bit samples
};
// Writes a sheet with the named fault into `dir`; returns the sheet's path.
std::filesystem::path writeBrokenDisc(const std::filesystem::path& dir, Breakage breakage);

}  // namespace tavrelo::testdisc
