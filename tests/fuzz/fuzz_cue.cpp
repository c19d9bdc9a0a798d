// CUE sheet text from the fuzzer: parsed and laid out against made-up file
// lengths, and, when it parses, opened for real as an image next to a small
// BIN and WAV file, with its first and last sectors read.
#include <sndfile.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/disc/CueImage.h"
#include "platform/disc/CueSheet.h"
#include "platform/disc/DiscLayout.h"
#include "platform/os/Log.h"

namespace {

using namespace tavrelo::disc;

std::filesystem::path folder;

void makeFiles() {
  char pattern[] = "/tmp/fuzz-cue-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  folder = pattern;
  std::ofstream(folder / "a.bin", std::ios::binary) << std::string(20 * kSectorBytes + 100, '\x11');
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* wav = sf_open((folder / "b.wav").c_str(), SFM_WRITE, &info);
  if (wav == nullptr) std::abort();
  std::vector<short> samples(588 * 2 * 10 + 6, 1234);
  sf_writef_short(wav, samples.data(), static_cast<sf_count_t>(samples.size() / 2));
  sf_close(wav);
  std::ofstream(folder / "empty.bin");
}

void checkLayout(const CueSheet& sheet) {
  std::vector<std::int64_t> sectors;
  for (std::size_t i = 0; i < sheet.files.size(); ++i) {
    sectors.push_back(static_cast<std::int64_t>(1 + (i * 7919) % 5000));
  }
  try {
    fileBlockBytes(sheet);
    const DiscLayout layout = layOutDisc(sheet, sectors);
    Lba at = kLeadInFrames;
    for (const Piece& piece : layout.pieces) {
      if (piece.start != at || piece.end <= piece.start) std::abort();
      at = piece.end;
    }
    if (at != layout.toc.leadOut) std::abort();
    for (std::size_t t = 1; t < layout.toc.tracks.size(); ++t) {
      if (layout.toc.tracks[t].start <= layout.toc.tracks[t - 1].start) std::abort();
    }
    for (const Track& track : layout.toc.tracks) {
      if (layout.toc.trackAt(track.start) != track.number) std::abort();
    }
  } catch (const DiscError&) {
  }
}

void openImage(const std::string& text) {
  const std::filesystem::path sheetPath = folder / "sheet.cue";
  std::ofstream(sheetPath, std::ios::binary | std::ios::trunc) << text;
  try {
    const auto image = CueImage::open(sheetPath);
    const Toc toc = image->readToc();
    std::vector<std::uint8_t> buffer(40 * kSectorBytes);
    image->readAudio(kLeadInFrames, 40, buffer);
    if (toc.leadOut > kLeadInFrames + 40) image->readAudio(toc.leadOut - 40, 40, buffer);
    if (image->readAudio(toc.leadOut, 1, buffer) != 0) std::abort();
    image->eject();
    image->closeTray();
  } catch (const DiscError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeFiles();
  tavrelo::os::setLogSink([](const std::string&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    checkLayout(parseCueSheet(text));
  } catch (const DiscError&) {
    return 0;  // opening it would stop at the same fault
  }
  openImage(text);
  return 0;
}
