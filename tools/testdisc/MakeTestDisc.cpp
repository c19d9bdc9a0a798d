// make-test-disc: writes a generated test disc (tones per track) as a CUE sheet.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "tools/testdisc/TestDisc.h"

namespace {

constexpr const char* kUsage =
    "usage: make-test-disc [--tracks N] [--seconds S] [--format bin|motorola|wave|flac|aiff]\n"
    "                      [--pregap SECTORS] [--index0 SECTORS] [--data] OUT.cue\n"
    "  --pregap   silence before every track after the first (PREGAP, in no file)\n"
    "  --index0   silence stored before every track after the first (INDEX 00)\n"
    "  --data     append a data track (MODE1/2352)\n";

int number(const char* text, int low, int high, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) {
    std::fprintf(stderr, "make-test-disc: %s must be a number from %d to %d, not \"%s\"\n", what,
                 low, high, text);
    std::exit(2);
  }
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tavrelo::testdisc;
  int tracks = 3;
  int seconds = 5;
  int pregap = 0;
  int indexZero = 0;
  bool data = false;
  AudioFormat format = AudioFormat::Binary;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--tracks" && hasValue) {
      tracks = number(argv[++i], 1, 98, "--tracks");
    } else if (arg == "--seconds" && hasValue) {
      seconds = number(argv[++i], 1, 4800, "--seconds");
    } else if (arg == "--pregap" && hasValue) {
      pregap = number(argv[++i], 0, 75 * 60, "--pregap");
    } else if (arg == "--index0" && hasValue) {
      indexZero = number(argv[++i], 0, 75 * 60, "--index0");
    } else if (arg == "--data") {
      data = true;
    } else if (arg == "--format" && hasValue) {
      const std::string_view name = argv[++i];
      if (name == "bin") {
        format = AudioFormat::Binary;
      } else if (name == "motorola") {
        format = AudioFormat::Motorola;
      } else if (name == "wave") {
        format = AudioFormat::Wave;
      } else if (name == "flac") {
        format = AudioFormat::Flac;
      } else if (name == "aiff") {
        format = AudioFormat::Aiff;
      } else {
        std::fprintf(stderr, "make-test-disc: unknown format \"%s\"\n%s", argv[i], kUsage);
        return 2;
      }
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!arg.starts_with("-") && out.empty()) {
      out = arg;
    } else {
      std::fprintf(stderr, "make-test-disc: unexpected argument \"%s\"\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (out.empty() || !out.ends_with(".cue") || out.size() <= 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  DiscSpec discSpec;
  discSpec.format = format;
  discSpec.tracks = plainTracks(tracks, seconds);
  for (std::size_t t = 1; t < discSpec.tracks.size(); ++t) {
    discSpec.tracks[t].pregapSectors = pregap;
    discSpec.tracks[t].indexZeroSectors = indexZero;
  }
  if (data) {
    TrackSpec dataTrack;
    dataTrack.data = true;
    dataTrack.sectors = 300;
    discSpec.tracks.push_back(dataTrack);
  }
  const std::filesystem::path path = std::filesystem::absolute(out);
  discSpec.baseName = path.stem().string();
  try {
    const TestDisc disc = writeDisc(path.parent_path(), discSpec);
    std::printf("%s: %zu tracks, lead-out at %d\n", disc.cue.c_str(), disc.toc.tracks.size(),
                disc.toc.leadOut);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-test-disc: %s\n", e.what());
    return 1;
  }
  return 0;
}
