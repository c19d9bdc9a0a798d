#include "tools/testdisc/TestDisc.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "tools/testdisc/SheetText.h"
#include "tools/testdisc/SoundFile.h"

namespace tavrelo::testdisc {
namespace {

constexpr int kMinPeriod = 60;
constexpr int kMaxPeriod = 400;

// Tone periods in stereo frames; whole numbers so the tone repeats exactly.
int tonePeriod(int track, int channel) {
  const int n = std::clamp(track, 1, 99) - 1;
  return channel == 0 ? 100 + 3 * n : 60 + 2 * n;
}

const std::vector<std::vector<double>>& sineTables() {
  static const std::vector<std::vector<double>> tables = [] {
    std::vector<std::vector<double>> t(kMaxPeriod + 1);
    for (int period = kMinPeriod; period <= kMaxPeriod; ++period) {
      auto& table = t[static_cast<std::size_t>(period)];
      table.resize(static_cast<std::size_t>(period));
      for (int i = 0; i < period; ++i) {
        table[static_cast<std::size_t>(i)] = std::sin(2.0 * std::numbers::pi * i / period);
      }
    }
    return t;
  }();
  return tables;
}

enum class FileType { Binary, Motorola, Wave, Flac, Aiff };

struct FilePlan {
  std::string name;
  FileType type = FileType::Binary;
  std::int64_t sectors = 0;
};

// A region of the disc and where it is stored: file index (-1: in no file)
// and the sector offset inside that file.
struct PlacedRegion {
  Region region;
  int file = -1;
  std::int64_t fileSector = 0;
};

std::string perTrackName(const DiscSpec& discSpec, int track, const char* extension) {
  char buffer[64];
  if (discSpec.style.blanksInNames) {
    std::snprintf(buffer, sizeof buffer, "%02d - Piste %d.%s", track, track, extension);
    return buffer;
  }
  std::snprintf(buffer, sizeof buffer, "-%02d.%s", track, extension);
  return discSpec.baseName + buffer;
}

std::string singleName(const DiscSpec& discSpec) {
  return discSpec.style.blanksInNames ? discSpec.baseName + " (image).bin" : discSpec.baseName + ".bin";
}

bool perTrackFiles(AudioFormat format) {
  return format == AudioFormat::Wave || format == AudioFormat::Flac || format == AudioFormat::Aiff;
}

FileType audioFileType(AudioFormat format) {
  switch (format) {
    case AudioFormat::Binary:
      return FileType::Binary;
    case AudioFormat::Motorola:
      return FileType::Motorola;
    case AudioFormat::Wave:
      return FileType::Wave;
    case AudioFormat::Flac:
      return FileType::Flac;
    case AudioFormat::Aiff:
      return FileType::Aiff;
  }
  return FileType::Binary;
}

const char* sheetFileType(FileType type) {
  switch (type) {
    case FileType::Binary:
      return "BINARY";
    case FileType::Motorola:
      return "MOTOROLA";
    case FileType::Wave:
      return "WAVE";
    case FileType::Flac:
      return "WAVE";  // what rippers write for FLAC files
    case FileType::Aiff:
      return "AIFF";
  }
  return "BINARY";
}

std::uint8_t regionByte(const Region& region, Lba lba, int offset) {
  const std::int64_t rel = lba - region.start;
  switch (region.kind) {
    case Region::Kind::Silence:
      return 0;
    case Region::Kind::Data:
      return dataByte(region.track, rel, offset);
    case Region::Kind::Tone: {
      const int frame = offset / 4;
      const int channel = (offset / 2) % 2;
      const auto value = static_cast<std::uint16_t>(
          toneSample(region.track, channel, rel * disc::kStereoFramesPerSector + frame));
      return static_cast<std::uint8_t>(offset % 2 == 0 ? value & 0xff : value >> 8);
    }
  }
  return 0;
}

void fillSector(const Region& region, Lba lba, std::span<std::uint8_t> out) {
  if (region.kind == Region::Kind::Silence) {
    std::fill_n(out.begin(), disc::kSectorBytes, std::uint8_t{0});
    return;
  }
  if (region.kind == Region::Kind::Data) {
    for (int i = 0; i < disc::kSectorBytes; ++i)
      out[static_cast<std::size_t>(i)] = regionByte(region, lba, i);
    return;
  }
  const std::int64_t first =
      static_cast<std::int64_t>(lba - region.start) * disc::kStereoFramesPerSector;
  for (int f = 0; f < disc::kStereoFramesPerSector; ++f) {
    for (int c = 0; c < 2; ++c) {
      const auto value = static_cast<std::uint16_t>(toneSample(region.track, c, first + f));
      const auto at = static_cast<std::size_t>(f * 4 + c * 2);
      out[at] = static_cast<std::uint8_t>(value & 0xff);
      out[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
  }
}

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr openForWriting(const std::filesystem::path& path) {
  FilePtr file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) throw std::runtime_error("testdisc: cannot write " + path.string());
  return file;
}

void writeFile(const std::filesystem::path& path, FileType type,
               const std::vector<const PlacedRegion*>& parts) {
  std::vector<std::uint8_t> sector(disc::kSectorBytes);
  if (type == FileType::Binary || type == FileType::Motorola) {
    FilePtr file = openForWriting(path);
    std::vector<std::uint8_t> buffer;
    buffer.reserve(disc::kSectorBytes * 64);
    for (const PlacedRegion* part : parts) {
      for (Lba lba = part->region.start; lba < part->region.end; ++lba) {
        fillSector(part->region, lba, sector);
        if (type == FileType::Motorola && part->region.kind != Region::Kind::Data) {
          for (std::size_t i = 0; i < sector.size(); i += 2) std::swap(sector[i], sector[i + 1]);
        }
        buffer.insert(buffer.end(), sector.begin(), sector.end());
        if (buffer.size() >= buffer.capacity()) {
          if (std::fwrite(buffer.data(), 1, buffer.size(), file.get()) != buffer.size()) {
            throw std::runtime_error("testdisc: short write to " + path.string());
          }
          buffer.clear();
        }
      }
    }
    if (std::fwrite(buffer.data(), 1, buffer.size(), file.get()) != buffer.size()) {
      throw std::runtime_error("testdisc: short write to " + path.string());
    }
    return;
  }
  const int container = type == FileType::Wave   ? SF_FORMAT_WAV
                        : type == FileType::Aiff ? SF_FORMAT_AIFF
                                                 : SF_FORMAT_FLAC;
  SoundFile out = SoundFile::create(path, container | SF_FORMAT_PCM_16, 44100, 2);
  std::vector<std::int16_t> frames(disc::kStereoFramesPerSector * 2);
  for (const PlacedRegion* part : parts) {
    for (Lba lba = part->region.start; lba < part->region.end; ++lba) {
      fillSector(part->region, lba, sector);
      for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i] = static_cast<std::int16_t>(sector[2 * i] | (sector[2 * i + 1] << 8));
      }
      out.writeFrames(frames);
    }
  }
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
  const std::int64_t sector = frame >= 0 ? frame / disc::kStereoFramesPerSector : 0;
  const double amplitude = 6000.0 + 50.0 * static_cast<double>(sector % 64);
  const double value =
      amplitude * sineTables()[static_cast<std::size_t>(period)][static_cast<std::size_t>(phase)];
  return static_cast<std::int16_t>(std::lround(value));
}

double toneFrequency(int track, int channel) {
  return 44100.0 / tonePeriod(track, channel);
}

std::uint8_t dataByte(int track, std::int64_t sectorInTrack, int offset) {
  return static_cast<std::uint8_t>((track * 31 + sectorInTrack * 7 + offset) & 0xff);
}

const Region& TestDisc::regionAt(Lba lba) const {
  auto it = std::upper_bound(regions.begin(), regions.end(), lba,
                             [](Lba value, const Region& r) { return value < r.end; });
  if (it == regions.end() || lba < it->start)
    throw std::out_of_range("testdisc: address off the disc");
  return *it;
}

void TestDisc::expectedSector(Lba lba, std::span<std::uint8_t> out) const {
  const Region& region = regionAt(lba);
  if (region.kind == Region::Kind::Data) {
    std::fill_n(out.begin(), disc::kSectorBytes, std::uint8_t{0});
    return;
  }
  fillSector(region, lba, out);
}

std::int16_t TestDisc::sampleAt(Lba lba, int frame, int channel) const {
  const Region& region = regionAt(lba);
  if (region.kind == Region::Kind::Data) return 0;
  const auto lo = regionByte(region, lba, frame * 4 + channel * 2);
  const auto hi = regionByte(region, lba, frame * 4 + channel * 2 + 1);
  return static_cast<std::int16_t>(lo | (hi << 8));
}

TestDisc writeDisc(const std::filesystem::path& dir, const DiscSpec& discSpec) {
  if (discSpec.tracks.empty() || discSpec.tracks.size() > 99) {
    throw std::invalid_argument("testdisc: a disc has 1 to 99 tracks");
  }
  std::filesystem::create_directories(dir);
  const bool perTrack = perTrackFiles(discSpec.format);
  const auto count = static_cast<int>(discSpec.tracks.size());
  auto isData = [&](int n) { return discSpec.tracks[static_cast<std::size_t>(n - 1)].data; };
  // Track n's INDEX 00 lies at the end of track n-1's file.
  auto gapInPrevious = [&](int n) {
    return perTrack && discSpec.style.gapsInPreviousFile && n > 1 && !isData(n) && !isData(n - 1);
  };

  std::vector<FilePlan> files;
  std::vector<PlacedRegion> placed;
  std::vector<int> trackFile(static_cast<std::size_t>(count) + 1, -1);
  // The file of each track's INDEX 00 and INDEX 01, and their sector offsets.
  std::vector<int> indexZeroFile(trackFile.size(), -1);
  std::vector<std::int64_t> indexZeroAt(trackFile.size(), 0);
  std::vector<std::int64_t> indexOneAt(trackFile.size(), 0);
  int sharedFile = -1;

  TestDisc disc;
  Lba lba = disc::kLeadInFrames;
  auto add = [&](Region::Kind kind, int track, Lba length, int file) {
    if (length <= 0) return;
    PlacedRegion part{Region{kind, lba, lba + length, track}, file, 0};
    if (file >= 0) {
      part.fileSector = files[static_cast<std::size_t>(file)].sectors;
      files[static_cast<std::size_t>(file)].sectors += length;
    }
    placed.push_back(part);
    lba += length;
  };

  for (int n = 1; n <= count; ++n) {
    const TrackSpec& t = discSpec.tracks[static_cast<std::size_t>(n - 1)];
    if (t.sectors <= 0) throw std::invalid_argument("testdisc: a track needs at least one sector");
    int file = -1;
    if (t.data) {
      char name[48];
      std::snprintf(name, sizeof name, "-%02d-data.bin", n);
      files.push_back({discSpec.baseName + name, FileType::Binary, 0});
      file = static_cast<int>(files.size()) - 1;
    } else if (perTrack) {
      const char* extension = discSpec.format == AudioFormat::Wave   ? "wav"
                              : discSpec.format == AudioFormat::Aiff ? "aiff"
                                                                 : "flac";
      files.push_back({perTrackName(discSpec, n, extension), audioFileType(discSpec.format), 0});
      file = static_cast<int>(files.size()) - 1;
    } else {
      if (sharedFile < 0) {
        files.push_back({singleName(discSpec), audioFileType(discSpec.format), 0});
        sharedFile = static_cast<int>(files.size()) - 1;
      }
      file = sharedFile;
    }
    trackFile[static_cast<std::size_t>(n)] = file;
    add(Region::Kind::Silence, 0, t.pregapSectors, -1);
    const int zeroFile = gapInPrevious(n) ? trackFile[static_cast<std::size_t>(n - 1)] : file;
    indexZeroFile[static_cast<std::size_t>(n)] = zeroFile;
    indexZeroAt[static_cast<std::size_t>(n)] = files[static_cast<std::size_t>(zeroFile)].sectors;
    add(Region::Kind::Silence, 0, t.indexZeroSectors, zeroFile);
    indexOneAt[static_cast<std::size_t>(n)] = files[static_cast<std::size_t>(file)].sectors;
    disc.toc.tracks.push_back({n, lba, !t.data});
    add(t.data ? Region::Kind::Data : Region::Kind::Tone, n, t.sectors, file);
    add(Region::Kind::Silence, 0, t.postgapSectors, -1);
  }
  disc.toc.leadOut = lba;
  if (discSpec.style.remAndTitles) {
    disc.toc.album = "Disque d'été";
    disc.toc.performer = "Tavrelo Test";
    for (disc::Track& track : disc.toc.tracks) {
      track.title = "Piste " + std::to_string(track.number);
      track.performer = "Tavrelo Test";
    }
  }

  // The sheet.
  SheetText sheet(discSpec.style.crlf, discSpec.style.utf8Bom);
  if (discSpec.style.remAndTitles) {
    sheet.line("REM GENRE \"Test\"");
    sheet.line("REM DATE 2024");
    sheet.line("REM COMMENT \"testdisc\"");
    sheet.line("CATALOG 0000000000000");
    sheet.line("PERFORMER \"Tavrelo Test\"");
    sheet.line("TITLE \"Disque d'été\"");
  }
  int currentFile = -1;
  auto fileLine = [&](int file) {
    if (file == currentFile) return;
    const FilePlan& plan = files[static_cast<std::size_t>(file)];
    sheet.line("FILE \"" + plan.name + "\" " + sheetFileType(plan.type));
    currentFile = file;
  };
  for (int n = 1; n <= count; ++n) {
    const auto i = static_cast<std::size_t>(n);
    const TrackSpec& t = discSpec.tracks[i - 1];
    fileLine(t.indexZeroSectors > 0 ? indexZeroFile[i] : trackFile[i]);
    char line[64];
    std::snprintf(line, sizeof line, "  TRACK %02d %s", n, t.data ? "MODE1/2352" : "AUDIO");
    sheet.line(line);
    if (discSpec.style.remAndTitles) {
      std::snprintf(line, sizeof line, "    TITLE \"Piste %d\"", n);
      sheet.line(line);
      sheet.line("    PERFORMER \"Tavrelo Test\"");
      if (!t.data) sheet.line("    FLAGS DCP");
      sheet.line("    ISRC ZZ0000000000");
    }
    if (t.pregapSectors > 0) sheet.line("    PREGAP " + msf(t.pregapSectors));
    if (t.indexZeroSectors > 0) sheet.line("    INDEX 00 " + msf(indexZeroAt[i]));
    fileLine(trackFile[i]);
    sheet.line("    INDEX 01 " + msf(indexOneAt[i]));
    if (t.postgapSectors > 0) sheet.line("    POSTGAP " + msf(t.postgapSectors));
  }
  disc.cue = dir / (discSpec.baseName + ".cue");
  sheet.save(disc.cue);

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

disc::Toc writeCueBin(const std::filesystem::path& cuePath,
                      const std::vector<std::vector<std::int16_t>>& trackPcm) {
  if (trackPcm.empty() || trackPcm.size() > 99) {
    throw std::invalid_argument("testdisc: a disc has 1 to 99 tracks");
  }
  std::filesystem::path binPath = cuePath;
  binPath.replace_extension(".bin");
  FilePtr bin = openForWriting(binPath);
  SheetText sheet(false, false);
  sheet.line("FILE \"" + binPath.filename().string() + "\" BINARY");
  disc::Toc toc;
  std::int64_t sectorsInFile = 0;
  const std::size_t samplesPerSector = disc::kStereoFramesPerSector * 2;
  for (std::size_t i = 0; i < trackPcm.size(); ++i) {
    const auto& pcm = trackPcm[i];
    if (pcm.empty() || pcm.size() % 2 != 0) {
      throw std::invalid_argument("testdisc: track " + std::to_string(i + 1) +
                                  " needs whole stereo frames");
    }
    const std::size_t sectors = (pcm.size() + samplesPerSector - 1) / samplesPerSector;
    std::vector<std::uint8_t> bytes(sectors * disc::kSectorBytes, 0);
    for (std::size_t s = 0; s < pcm.size(); ++s) {
      const auto value = static_cast<std::uint16_t>(pcm[s]);
      bytes[2 * s] = static_cast<std::uint8_t>(value & 0xff);
      bytes[2 * s + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), bin.get()) != bytes.size()) {
      throw std::runtime_error("testdisc: short write to " + binPath.string());
    }
    char line[48];
    std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO", i + 1);
    sheet.line(line);
    sheet.line("    INDEX 01 " + msf(sectorsInFile));
    toc.tracks.push_back(
        {static_cast<int>(i) + 1, static_cast<Lba>(disc::kLeadInFrames + sectorsInFile), true});
    sectorsInFile += static_cast<std::int64_t>(sectors);
  }
  toc.leadOut = static_cast<Lba>(disc::kLeadInFrames + sectorsInFile);
  sheet.save(cuePath);
  return toc;
}

}  // namespace tavrelo::testdisc
