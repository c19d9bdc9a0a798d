// Sheets with one fault each, small enough to write in a millisecond.
#include <sndfile.h>

#include <vector>

#include "tools/testdisc/SheetText.h"
#include "tools/testdisc/SoundFile.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::testdisc {
namespace {

// A BIN file of `sectors` sectors of one tone.
void writeBin(const std::filesystem::path& path, int sectors) {
  std::string bytes(static_cast<std::size_t>(sectors) * disc::kSectorBytes, '\0');
  for (std::size_t frame = 0; frame < bytes.size() / 4; ++frame) {
    for (int c = 0; c < 2; ++c) {
      const auto value =
          static_cast<std::uint16_t>(toneSample(1, c, static_cast<std::int64_t>(frame)));
      bytes[frame * 4 + static_cast<std::size_t>(c) * 2] = static_cast<char>(value & 0xff);
      bytes[frame * 4 + static_cast<std::size_t>(c) * 2 + 1] = static_cast<char>(value >> 8);
    }
  }
  saveFile(path, bytes);
}

void writeWave(const std::filesystem::path& path, int format, int rate, int channels) {
  SoundFile out = SoundFile::create(path, format, rate, channels);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(rate * channels), 1000);
  out.writeFrames(samples);
}

}  // namespace

std::vector<Breakage> allBreakages() {
  return {Breakage::Garbage,          Breakage::NoTracks,         Breakage::MissingFile,
          Breakage::TracksOutOfOrder, Breakage::FirstTrackNotOne, Breakage::IndexesDecreasing,
          Breakage::IndexPastEnd,     Breakage::ZeroLengthTrack,  Breakage::WaveRate22050,
          Breakage::WaveMono,         Breakage::Wave8Bit,         Breakage::NotAudioFile,
          Breakage::NoIndexOne,       Breakage::EmptyFile};
}

const char* breakageName(Breakage breakage) {
  switch (breakage) {
    case Breakage::Garbage:
      return "Garbage";
    case Breakage::NoTracks:
      return "NoTracks";
    case Breakage::MissingFile:
      return "MissingFile";
    case Breakage::TracksOutOfOrder:
      return "TracksOutOfOrder";
    case Breakage::FirstTrackNotOne:
      return "FirstTrackNotOne";
    case Breakage::IndexesDecreasing:
      return "IndexesDecreasing";
    case Breakage::IndexPastEnd:
      return "IndexPastEnd";
    case Breakage::ZeroLengthTrack:
      return "ZeroLengthTrack";
    case Breakage::WaveRate22050:
      return "WaveRate22050";
    case Breakage::WaveMono:
      return "WaveMono";
    case Breakage::Wave8Bit:
      return "Wave8Bit";
    case Breakage::NotAudioFile:
      return "NotAudioFile";
    case Breakage::NoIndexOne:
      return "NoIndexOne";
    case Breakage::EmptyFile:
      return "EmptyFile";
  }
  return "?";
}

std::filesystem::path writeBrokenDisc(const std::filesystem::path& dir, Breakage breakage) {
  std::filesystem::create_directories(dir);
  const std::filesystem::path cue = dir / (std::string(breakageName(breakage)) + ".cue");
  const std::string bin = std::string(breakageName(breakage)) + ".bin";
  const std::string fileLine = "FILE \"" + bin + "\" BINARY\n";
  // Two seconds of audio: enough room for two tracks of one second.
  auto withBin = [&](const std::string& body) {
    writeBin(dir / bin, 150);
    saveFile(cue, fileLine + body);
  };
  switch (breakage) {
    case Breakage::Garbage:
      saveFile(cue, std::string("\x7f"
                                "ELF\x01\x02 no sheet here {{{ \"\n\xff\xfe",
                                24));
      break;
    case Breakage::NoTracks:
      withBin("");
      break;
    case Breakage::MissingFile:
      saveFile(cue, "FILE \"absent.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
      break;
    case Breakage::TracksOutOfOrder:
      withBin("  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n");
      break;
    case Breakage::FirstTrackNotOne:
      withBin("  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n");
      break;
    case Breakage::IndexesDecreasing:
      withBin(
          "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
          "    INDEX 00 00:01:20\n    INDEX 01 00:01:00\n");
      break;
    case Breakage::IndexPastEnd:
      withBin("  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n");
      break;
    case Breakage::ZeroLengthTrack:
      withBin(
          "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n"
          "  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n");
      break;
    case Breakage::WaveRate22050:
    case Breakage::WaveMono:
    case Breakage::Wave8Bit: {
      const int format =
          SF_FORMAT_WAV | (breakage == Breakage::Wave8Bit ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
      writeWave(dir / "wrong.wav", format, breakage == Breakage::WaveRate22050 ? 22050 : 44100,
                breakage == Breakage::WaveMono ? 1 : 2);
      saveFile(cue, "FILE \"wrong.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
      break;
    }
    case Breakage::NotAudioFile:
      saveFile(dir / "notes.wav", "These are notes, not sound.\n");
      saveFile(cue, "FILE \"notes.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
      break;
    case Breakage::NoIndexOne:
      withBin("  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n");
      break;
    case Breakage::EmptyFile:
      saveFile(dir / bin, "");
      saveFile(cue, fileLine + "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
      break;
  }
  return cue;
}

}  // namespace tavrelo::testdisc
