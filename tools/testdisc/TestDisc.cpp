#include "tools/testdisc/TestDisc.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// Runs an encoder; a missing one is a broken test machine (tools/install-deps).
void encode(const std::string& command) {
  if (std::system((command + " </dev/null >/dev/null").c_str()) != 0) {
    throw std::runtime_error("testdisc: failed: " + command);
  }
}

// One sample of a track's tone: `frame` counts stereo frames from the
// track's INDEX 01, channel 0 is left.
std::int16_t toneSample(int track, int channel, std::int64_t frame) {
  const int period = tonePeriod(track, channel);
  const std::int64_t phase = ((frame % period) + period) % period;
  // The amplitude steps with the sector, so an offset by whole sectors shows.
  const std::int64_t sector = frame >= 0 ? frame / disc::kStereoFramesPerSector : 0;
  const double amplitude = 6000.0 + 50.0 * static_cast<double>(sector % 64);
  return static_cast<std::int16_t>(std::lround(
      amplitude * std::sin(2.0 * std::numbers::pi * static_cast<double>(phase) / period)));
}

void fillSector(const Region& region, Lba lba, std::span<std::uint8_t> out) {
  const std::int64_t rel = lba - region.start;
  for (int i = 0; i < disc::kSectorBytes; i += 2) {
    std::uint16_t value = 0;
    const std::int64_t frame = rel * disc::kStereoFramesPerSector + i / 4;
    if (region.kind == Region::Kind::Tone && region.toneHz > 0) {
      value = static_cast<std::uint16_t>(
          std::lround(16000.0 * std::sin(2.0 * std::numbers::pi * region.toneHz *
                                         static_cast<double>(frame) / 44100.0)));
    } else if (region.kind == Region::Kind::Data) {
      value = static_cast<std::uint16_t>(((region.track * 31 + rel * 7 + i) & 0xff) |
                                         (((region.track * 31 + rel * 7 + i + 1) & 0xff) << 8));
    } else if (region.kind == Region::Kind::Tone) {
      value = static_cast<std::uint16_t>(toneSample(region.track, (i / 2) % 2, frame));
    }
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xff);
    out[static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(value >> 8);
  }
}

// File `file`'s regions, in their order.
void writeFile(const std::filesystem::path& path, AudioFormat type,
               const std::vector<Region>& regions, int file) {
  std::string bytes;
  std::vector<std::uint8_t> sector(disc::kSectorBytes);
  for (const Region& part : regions) {
    if (part.file != file) continue;
    for (Lba lba = part.start; lba < part.end; ++lba) {
      fillSector(part, lba, sector);
      if (type == AudioFormat::Motorola && part.kind != Region::Kind::Data) {
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
  const int container = type == AudioFormat::Aiff   ? SF_FORMAT_AIFF
                        : type == AudioFormat::Flac ? SF_FORMAT_FLAC
                                                    : SF_FORMAT_WAV;
  if (type != AudioFormat::WavPack && type != AudioFormat::Alac) {
    return saveSound(path, container | SF_FORMAT_PCM_16, 44100, 2, samples);
  }
  const std::filesystem::path wave = path.string() + ".wav";
  saveSound(wave, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, samples);
  encode(type == AudioFormat::WavPack
             ? "wavpack -q -y '" + wave.string() + "' -o '" + path.string() + "'"
             : "ffmpeg -v error -y -i '" + wave.string() + "' -c:a alac '" + path.string() + "'");
  std::filesystem::remove(wave);
}

}  // namespace

std::vector<TrackSpec> plainTracks(int count, int seconds) {
  return std::vector(std::size_t(count), TrackSpec{.sectors = seconds * disc::kFramesPerSecond});
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

TestDisc writeDisc(const std::filesystem::path& dir, const TestDiscLayout& layout) {
  const auto count = static_cast<int>(layout.tracks.size());
  if (count < 1 || count > 99) throw std::invalid_argument("testdisc: a disc has 1 to 99 tracks");
  std::filesystem::create_directories(dir);
  const bool perTrack = layout.format >= AudioFormat::Wave;
  TestDisc disc;
  std::vector<FilePlan> files;
  Lba lba = disc::kLeadInFrames;
  const auto add = [&](Region::Kind kind, int n, Lba length, int file, double hz = 0) {
    if (length <= 0) return;
    disc.regions.push_back({kind, lba, lba + length, n, file, hz});
    if (file >= 0) files[std::size_t(file)].sectors += length;
    lba += length;
  };
  const auto newFile = [&](std::string name, AudioFormat type) {
    files.push_back({std::move(name), type, 0});
    return static_cast<int>(files.size()) - 1;
  };
  std::string sheet;
  const auto line = [&](const std::string& text) { sheet += text + "\n"; };
  int currentFile = -1;
  const auto fileLine = [&](int file) {
    static const char* const kTypes[] = {"BINARY", "MOTOROLA", "WAVE", "WAVE",
                                         "AIFF",   "WAVE",     "WAVE"};
    if (file == currentFile) return;
    line("FILE \"" + files[std::size_t(file)].name + "\" " +
         kTypes[static_cast<int>(files[std::size_t(file)].type)]);
    currentFile = file;
  };
  int sharedFile = -1, previousFile = -1;
  for (int n = 1; n <= count; ++n) {
    const TrackSpec& t = layout.tracks[std::size_t(n - 1)];
    if (t.sectors <= 0) throw std::invalid_argument("testdisc: a track needs at least one sector");
    char name[128];
    int file = sharedFile;
    if (t.data) {
      std::snprintf(name, sizeof name, "-%02d-data.bin", n);
      file = newFile(layout.baseName + name, AudioFormat::Binary);
    } else if (perTrack) {
      static const char* const kExtensions[] = {"", "", "wav", "flac", "aiff", "wv", "m4a"};
      const char* ext = kExtensions[static_cast<int>(layout.format)];
      std::snprintf(name, sizeof name, "%s-%02d.%s", layout.baseName.c_str(), n, ext);
      file = newFile(name, layout.format);
    } else if (sharedFile < 0) {
      file = sharedFile = newFile(layout.baseName + ".bin", layout.format);
    }
    // Rippers' "gaps appended" mode: INDEX 00 at the end of the previous track's file.
    const bool gapBefore = perTrack && layout.style.gapsInPreviousFile && n > 1 && !t.data &&
                           !layout.tracks[std::size_t(n - 2)].data;
    const int zero = gapBefore ? previousFile : file;
    fileLine(t.indexZeroSectors > 0 ? zero : file);
    char text[64];
    std::snprintf(text, sizeof text, "  TRACK %02d %s", n, t.data ? "MODE1/2352" : "AUDIO");
    line(text);
    if (t.preemphasis) line("    FLAGS PRE");
    if (t.pregapSectors > 0) line("    PREGAP " + msf(t.pregapSectors));
    add(Region::Kind::Silence, 0, t.pregapSectors, -1);
    if (t.indexZeroSectors > 0) line("    INDEX 00 " + msf(files[std::size_t(zero)].sectors));
    add(Region::Kind::Silence, 0, t.indexZeroSectors, zero);
    fileLine(file);
    line("    INDEX 01 " + msf(files[std::size_t(file)].sectors));
    disc.toc.tracks.push_back({.number = n, .start = lba, .audio = !t.data});
    disc.toc.tracks.back().flags.preemphasis = t.preemphasis;
    add(t.data ? Region::Kind::Data : Region::Kind::Tone, n, t.sectors, file, t.toneHz);
    if (t.postgapSectors > 0) line("    POSTGAP " + msf(t.postgapSectors));
    add(Region::Kind::Silence, 0, t.postgapSectors, -1);
    previousFile = file;
  }
  disc.toc.leadOut = lba;
  disc.cue = dir / (layout.baseName + ".cue");
  saveFile(disc.cue, sheet);
  for (std::size_t f = 0; f < files.size(); ++f) {
    disc.files.push_back(dir / files[f].name);
    writeFile(disc.files.back(), files[f].type, disc.regions, static_cast<int>(f));
  }
  return disc;
}

// Sheets with one fault each, small enough to write in a millisecond.
std::filesystem::path writeBrokenDisc(const std::filesystem::path& dir, Breakage breakage) {
  std::filesystem::create_directories(dir);
  const std::string name = "broken-" + std::to_string(static_cast<int>(breakage));
  const std::filesystem::path cue = dir / (name + ".cue");
  const std::string one = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  std::string file = name + ".bin", type = "WAVE";
  if (breakage == Breakage::NoTracks || breakage == Breakage::EmptyFile) {
    // A second of silence, or nothing at all.
    saveFile(dir / file, std::string(breakage == Breakage::NoTracks ? 75 * 2352 : 0, '\0'));
    type = "BINARY";
  } else if (breakage == Breakage::MissingFile) {
    file = "absent.bin";
    type = "BINARY";
  } else if (breakage == Breakage::NotAudioFile) {
    file = "notes.wav";
    saveFile(dir / file, "These are notes, not sound.\n");
  } else {
    const int rate = breakage == Breakage::WaveRate22050 ? 22050 : 44100;
    const int channels = breakage == Breakage::WaveMono ? 1 : 2;
    const int bits = breakage == Breakage::Wave8Bit ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16;
    file = "wrong.wav";
    saveSound(dir / file, SF_FORMAT_WAV | bits, rate, channels,
              std::vector<std::int16_t>(std::size_t(rate * channels), 1000));
  }
  saveFile(cue,
           "FILE \"" + file + "\" " + type + "\n" + (breakage == Breakage::NoTracks ? "" : one));
  return cue;
}

}  // namespace tavrelo::testdisc
