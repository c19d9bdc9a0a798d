// Files that claim to be WavPack, Monkey's Audio, TAK or ALAC: the first byte
// of the input picks the format, the rest is the file. Opened, then its first
// and last sectors and a stretch in the middle read, forwards and back: a
// refusal or silence is fine; a crash, a hang or a read past the end is not.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/disc/DiscSource.h"
#include "platform/disc/decoders/FfmpegFile.h"

namespace {

using namespace tavrelo::disc;

std::filesystem::path file;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/fuzz-decoders-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  file = std::filesystem::path(pattern) / "input";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto format = static_cast<CodedFormat>(data[0] % 4);
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  try {
    const auto decoded = openFfmpegFile(file, format);
    const std::int64_t sectors = decoded->sectors();
    if (sectors <= 0) std::abort();
    std::vector<std::uint8_t> buffer(8 * kSectorBytes);
    const std::int64_t places[] = {0, sectors / 2, std::max<std::int64_t>(0, sectors - 8), 1};
    for (const std::int64_t at : places) {
      const int count = static_cast<int>(std::min<std::int64_t>(8, sectors - at));
      decoded->read(at, count, buffer);
    }
  } catch (const DiscError&) {
  }
  return 0;
}
