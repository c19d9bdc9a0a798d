#include "tools/testdisc/TestDisc.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>
#include <span>
#include <stdexcept>

#include "tools/demo-disc/DiscImage.h"

namespace tavrelo::testdisc {
namespace {

using demodisc::msf;
using demodisc::saveFile;

// Tone periods in stereo frames; whole numbers so the tone repeats exactly.
int tonePeriod(int track, int channel) {
  const int n = std::clamp(track, 1, 99) - 1;
  return channel == 0 ? 100 + 3 * n : 60 + 2 * n;
}

struct FilePlan {
  std::string name;
  AudioFormat type = AudioFormat::Binary;
  std::int64_t sectors = 0;
};

struct PlacedRegion {
  Region region;
  int file = -1;  // -1: stored in no file
};

// Interleaved 16-bit samples into a sound file through libsndfile.
void saveSound(const std::filesystem::path& path, int format, int rate, int channels,
               const std::vector<std::int16_t>& samples) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(sf_open(path.c_str(), SFM_WRITE, &info),
                                                   &sf_close);
  const auto frames = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(channels));
  if (!file || sf_writef_short(file.get(), samples.data(), frames) != frames) {
    throw std::runtime_error("testdisc: cannot write " + path.string());
  }
}

void fillSector(const Region& region, Lba lba, std::span<std::uint8_t> out) {
  const std::int64_t rel = lba - region.start;
  for (int i = 0; i < disc::kSectorBytes; i += 2) {
    std::uint16_t value = 0;
    if (region.kind == Region::Kind::Data) {
      value = static_cast<std::uint16_t>(((region.track * 31 + rel * 7 + i) & 0xff) |
                                         (((region.track * 31 + rel * 7 + i + 1) & 0xff) << 8));
    } else if (region.kind == Region::Kind::Tone) {
      value = static_cast<std::uint16_t>(
          toneSample(region.track, (i / 2) % 2, rel * disc::kStereoFramesPerSector + i / 4));
    }
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xff);
    out[static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(value >> 8);
  }
}

void writeFile(const std::filesystem::path& path, AudioFormat type,
               const std::vector<const PlacedRegion*>& parts) {
  std::string bytes;
  std::vector<std::uint8_t> sector(disc::kSectorBytes);
  for (const PlacedRegion* part : parts) {
    for (Lba lba = part->region.start; lba < part->region.end; ++lba) {
      fillSector(part->region, lba, sector);
      if (type == AudioFormat::Motorola && part->region.kind != Region::Kind::Data) {
        for (std::size_t i = 0; i < sector.size(); i += 2) std::swap(sector[i], sector[i + 1]);
      }
      bytes.append(sector.begin(), sector.end());
    }
  }
  if (type == AudioFormat::Binary || type == AudioFormat::Motorola) return saveFile(path, bytes);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                           (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  const int container = type == AudioFormat::Wave   ? SF_FORMAT_WAV
                        : type == AudioFormat::Aiff ? SF_FORMAT_AIFF
                                                    : SF_FORMAT_FLAC;
  saveSound(path, container | SF_FORMAT_PCM_16, 44100, 2, samples);
}

}  // namespace

std::vector<TrackSpec> plainTracks(int count, int seconds) {
  TrackSpec track;
  track.sectors = seconds * disc::kFramesPerSecond;
  return std::vector<TrackSpec>(static_cast<std::size_t>(count), track);
}

std::int16_t toneSample(int track, int channel, std::int64_t frame) {
  const int period = tonePeriod(track, channel);
  const std::int64_t phase = ((frame % period) + period) % period;
  // The amplitude steps with the sector, so an offset by whole sectors shows.
  const std::int64_t sector = frame >= 0 ? frame / disc::kStereoFramesPerSector : 0;
  const double amplitude = 6000.0 + 50.0 * static_cast<double>(sector % 64);
  return static_cast<std::int16_t>(std::lround(
      amplitude * std::sin(2.0 * std::numbers::pi * static_cast<double>(phase) / period)));
}

double toneFrequency(int track, int channel) {
  return 44100.0 / tonePeriod(track, channel);
}

std::vector<std::uint8_t> TestDisc::expected(Lba lba, int count) const {
  std::vector<std::uint8_t> bytes(std::size_t(count) * disc::kSectorBytes);
  for (int i = 0; i < count; ++i, ++lba) {
    auto it = std::upper_bound(regions.begin(), regions.end(), lba,
                               [](Lba value, const Region& r) { return value < r.end; });
    if (it == regions.end() || lba < it->start) throw std::out_of_range("testdisc: off the disc");
    fillSector(it->kind == Region::Kind::Data ? Region{} : *it, lba,  // data reads as silence
               std::span(bytes).subspan(std::size_t(i) * disc::kSectorBytes));
  }
  return bytes;
}

TestDisc writeDisc(const std::filesystem::path& dir, const DiscSpec& layout) {
  const auto count = static_cast<int>(layout.tracks.size());
  if (count < 1 || count > 99) throw std::invalid_argument("testdisc: a disc has 1 to 99 tracks");
  std::filesystem::create_directories(dir);
  const bool perTrack = layout.format == AudioFormat::Wave || layout.format == AudioFormat::Flac ||
                        layout.format == AudioFormat::Aiff;
  const auto track = [&](int n) -> const TrackSpec& { return layout.tracks[std::size_t(n - 1)]; };
  std::vector<FilePlan> files;
  std::vector<PlacedRegion> placed;
  // Per track: the file of INDEX 01 and of INDEX 00, and their sector offsets.
  std::vector<int> oneFile(std::size_t(count) + 1, -1), zeroFile(oneFile);
  std::vector<std::int64_t> oneAt(oneFile.size()), zeroAt(oneFile.size());
  int sharedFile = -1;
  TestDisc disc;
  Lba lba = disc::kLeadInFrames;
  auto add = [&](Region::Kind kind, int n, Lba length, int file) {
    if (length <= 0) return;
    placed.push_back({Region{kind, lba, lba + length, n}, file});
    if (file >= 0) files[std::size_t(file)].sectors += length;
    lba += length;
  };
  auto newFile = [&](std::string name, AudioFormat type) {
    files.push_back({std::move(name), type, 0});
    return static_cast<int>(files.size()) - 1;
  };
  for (int n = 1; n <= count; ++n) {
    const TrackSpec& t = track(n);
    if (t.sectors <= 0) throw std::invalid_argument("testdisc: a track needs at least one sector");
    char name[64];
    int file = sharedFile;
    if (t.data) {
      std::snprintf(name, sizeof name, "-%02d-data.bin", n);
      file = newFile(layout.baseName + name, AudioFormat::Binary);
    } else if (perTrack) {
      const char* ext = layout.format == AudioFormat::Wave   ? "wav"
                        : layout.format == AudioFormat::Aiff ? "aiff"
                                                             : "flac";
      if (layout.style.blanksInNames) {
        std::snprintf(name, sizeof name, "%02d - Piste %d.%s", n, n, ext);
        file = newFile(name, layout.format);
      } else {
        std::snprintf(name, sizeof name, "-%02d.%s", n, ext);
        file = newFile(layout.baseName + name, layout.format);
      }
    } else if (sharedFile < 0) {
      file = sharedFile = newFile(
          layout.baseName + (layout.style.blanksInNames ? " (image).bin" : ".bin"), layout.format);
    }
    oneFile[std::size_t(n)] = file;
    add(Region::Kind::Silence, 0, t.pregapSectors, -1);
    // Rippers' "gaps appended" mode: INDEX 00 at the end of the previous track's file.
    const bool gapBefore =
        perTrack && layout.style.gapsInPreviousFile && n > 1 && !t.data && !track(n - 1).data;
    const int zero = gapBefore ? oneFile[std::size_t(n - 1)] : file;
    zeroFile[std::size_t(n)] = zero;
    zeroAt[std::size_t(n)] = files[std::size_t(zero)].sectors;
    add(Region::Kind::Silence, 0, t.indexZeroSectors, zero);
    oneAt[std::size_t(n)] = files[std::size_t(file)].sectors;
    disc.toc.tracks.push_back({n, lba, !t.data});
    add(t.data ? Region::Kind::Data : Region::Kind::Tone, n, t.sectors, file);
    add(Region::Kind::Silence, 0, t.postgapSectors, -1);
  }
  disc.toc.leadOut = lba;
  if (layout.style.remAndTitles) {
    disc.toc.album = "Disque d'été";
    disc.toc.performer = "Tavrelo Test";
    for (disc::Track& entry : disc.toc.tracks) {
      entry.title = "Piste " + std::to_string(entry.number);
      entry.performer = "Tavrelo Test";
    }
  }

  std::string sheet = layout.style.utf8Bom ? "\xEF\xBB\xBF" : "";
  const auto line = [&](const std::string& text) {
    sheet += text + (layout.style.crlf ? "\r\n" : "\n");
  };
  if (layout.style.remAndTitles) {
    for (const char* text :
         {"REM GENRE \"Test\"", "REM DATE 2024", "REM COMMENT \"testdisc\"",
          "CATALOG 0000000000000", "PERFORMER \"Tavrelo Test\"", "TITLE \"Disque d'été\""})
      line(text);
  }
  int currentFile = -1;
  const auto fileLine = [&](int file) {
    static const char* const kTypes[] = {"BINARY", "MOTOROLA", "WAVE", "WAVE", "AIFF"};
    if (file == currentFile) return;
    const FilePlan& plan = files[std::size_t(file)];
    line("FILE \"" + plan.name + "\" " + kTypes[static_cast<int>(plan.type)]);
    currentFile = file;
  };
  for (int n = 1; n <= count; ++n) {
    const TrackSpec& t = track(n);
    const std::size_t i = std::size_t(n);
    fileLine(t.indexZeroSectors > 0 ? zeroFile[i] : oneFile[i]);
    char text[64];
    std::snprintf(text, sizeof text, "  TRACK %02d %s", n, t.data ? "MODE1/2352" : "AUDIO");
    line(text);
    if (layout.style.remAndTitles) {
      std::snprintf(text, sizeof text, "    TITLE \"Piste %d\"", n);
      line(text);
      line("    PERFORMER \"Tavrelo Test\"");
      if (!t.data) line("    FLAGS DCP");
      line("    ISRC ZZ0000000000");
    }
    if (t.pregapSectors > 0) line("    PREGAP " + msf(t.pregapSectors));
    if (t.indexZeroSectors > 0) line("    INDEX 00 " + msf(zeroAt[i]));
    fileLine(oneFile[i]);
    line("    INDEX 01 " + msf(oneAt[i]));
    if (t.postgapSectors > 0) line("    POSTGAP " + msf(t.postgapSectors));
  }
  disc.cue = dir / (layout.baseName + ".cue");
  saveFile(disc.cue, sheet);
  for (std::size_t f = 0; f < files.size(); ++f) {
    std::vector<const PlacedRegion*> parts;
    for (const PlacedRegion& part : placed) {
      if (part.file == static_cast<int>(f)) parts.push_back(&part);
    }
    disc.files.push_back(dir / files[f].name);
    writeFile(disc.files.back(), files[f].type, parts);
  }
  for (const PlacedRegion& part : placed) disc.regions.push_back(part.region);
  return disc;
}

std::vector<Breakage> allBreakages() {
  std::vector<Breakage> all;
  for (int b = 0; b <= static_cast<int>(Breakage::EmptyFile); ++b) all.push_back(Breakage(b));
  return all;
}

const char* breakageName(Breakage breakage) {
  static const char* const kNames[] = {"Garbage",          "NoTracks",         "MissingFile",
                                       "TracksOutOfOrder", "FirstTrackNotOne", "IndexesDecreasing",
                                       "IndexPastEnd",     "ZeroLengthTrack",  "WaveRate22050",
                                       "WaveMono",         "Wave8Bit",         "NotAudioFile",
                                       "NoIndexOne",       "EmptyFile"};
  return kNames[static_cast<int>(breakage)];
}

// Sheets with one fault each, small enough to write in a millisecond.
std::filesystem::path writeBrokenDisc(const std::filesystem::path& dir, Breakage breakage) {
  std::filesystem::create_directories(dir);
  const std::string name = breakageName(breakage);
  const std::filesystem::path cue = dir / (name + ".cue");
  const std::string fileLine = "FILE \"" + name + ".bin\" BINARY\n";
  const std::string one = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  // Two seconds of one tone: room for two tracks of a second.
  auto withBin = [&](const std::string& body) {
    std::string bytes(150 * std::size_t(disc::kSectorBytes), '\0');
    for (std::size_t at = 0; at < bytes.size(); at += 2) {
      const auto value =
          static_cast<std::uint16_t>(toneSample(1, int(at / 2 % 2), std::int64_t(at / 4)));
      bytes[at] = static_cast<char>(value & 0xff);
      bytes[at + 1] = static_cast<char>(value >> 8);
    }
    saveFile(dir / (name + ".bin"), bytes);
    saveFile(cue, fileLine + body);
  };
  switch (breakage) {
    case Breakage::Garbage:
      return saveFile(cue, std::string("\x7f"
                                       "ELF\x01\x02 no sheet here {{{ \"\n\xff\xfe",
                                       24)),
             cue;
    case Breakage::NoTracks:
      return withBin(""), cue;
    case Breakage::MissingFile:
      return saveFile(cue, "FILE \"absent.bin\" BINARY\n" + one), cue;
    case Breakage::TracksOutOfOrder:
      return withBin(one + "  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n"), cue;
    case Breakage::FirstTrackNotOne:
      return withBin(
                 "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 01 "
                 "00:01:00\n"),
             cue;
    case Breakage::IndexesDecreasing:
      return withBin(one + "  TRACK 02 AUDIO\n    INDEX 00 00:01:20\n    INDEX 01 00:01:00\n"), cue;
    case Breakage::IndexPastEnd:
      return withBin(one + "  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n"), cue;
    case Breakage::ZeroLengthTrack:
      return withBin(one +
                     "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n  TRACK 03 AUDIO\n    INDEX 01 "
                     "00:01:00\n"),
             cue;
    case Breakage::WaveRate22050:
    case Breakage::WaveMono:
    case Breakage::Wave8Bit: {
      const int rate = breakage == Breakage::WaveRate22050 ? 22050 : 44100;
      const int channels = breakage == Breakage::WaveMono ? 1 : 2;
      saveSound(
          dir / "wrong.wav",
          SF_FORMAT_WAV | (breakage == Breakage::Wave8Bit ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16),
          rate, channels, std::vector<std::int16_t>(std::size_t(rate * channels), 1000));
      return saveFile(cue, "FILE \"wrong.wav\" WAVE\n" + one), cue;
    }
    case Breakage::NotAudioFile:
      saveFile(dir / "notes.wav", "These are notes, not sound.\n");
      return saveFile(cue, "FILE \"notes.wav\" WAVE\n" + one), cue;
    case Breakage::NoIndexOne:
      return withBin(one + "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n"), cue;
    case Breakage::EmptyFile:
      saveFile(dir / (name + ".bin"), "");
      return saveFile(cue, fileLine + one), cue;
  }
  return cue;
}

}  // namespace tavrelo::testdisc
