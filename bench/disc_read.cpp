// Reading every sector of a 74-minute generated image, from the page cache.
// The figure that matters is x_realtime: seconds of sound read per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "platform/disc/CueImage.h"
#include "tools/testdisc/TestDisc.h"

namespace {

using namespace tavrelo;

// One image per format, written once per run into a private folder that is
// removed at exit.
class Images {
 public:
  ~Images() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  const std::filesystem::path& get(testdisc::AudioFormat format) {
    auto it = sheets_.find(format);
    if (it != sheets_.end()) return it->second;
    if (folder_.empty()) {
      char pattern[] = "/tmp/tavrelo-disc-bench-XXXXXX";
      if (mkdtemp(pattern) == nullptr) std::abort();
      folder_ = pattern;
    }
    testdisc::TestDiscLayout layout;
    layout.format = format;
    layout.tracks = testdisc::plainTracks(20, 74 * 60 / 20);  // 20 tracks, 74 minutes
    layout.baseName = "long" + std::to_string(static_cast<int>(format));
    return sheets_[format] = testdisc::writeDisc(folder_, layout).cue;
  }

 private:
  std::filesystem::path folder_;
  std::map<testdisc::AudioFormat, std::filesystem::path> sheets_;
};

Images& images() {
  static Images instance;
  return instance;
}

void readWholeDisc(benchmark::State& state, testdisc::AudioFormat format) {
  const auto source = disc::CueImage::open(images().get(format));
  const disc::Toc toc = source->readToc();
  const int chunk = static_cast<int>(state.range(0));
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(chunk) * disc::kSectorBytes);
  std::int64_t sectors = 0;
  for (auto _ : state) {
    for (disc::Lba lba = disc::kLeadInFrames; lba < toc.leadOut;) {
      const int n = source->readAudio(lba, chunk, buffer);
      benchmark::DoNotOptimize(buffer.data());
      lba += n;
      sectors += n;
    }
  }
  state.SetBytesProcessed(sectors * disc::kSectorBytes);
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(sectors) / disc::kFramesPerSecond, benchmark::Counter::kIsRate);
}

void BM_ReadBinImage(benchmark::State& state) {
  readWholeDisc(state, testdisc::AudioFormat::Binary);
}
void BM_ReadWaveImage(benchmark::State& state) {
  readWholeDisc(state, testdisc::AudioFormat::Wave);
}

// 75 sectors: one second of sound per read; 13: the reader's small steps.
BENCHMARK(BM_ReadBinImage)->Arg(13)->Arg(75)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadWaveImage)->Arg(75)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
