// "status cd position" through the whole string path: parse, find the alias,
// ask the drive, format the reply, copy it into the caller's buffer.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/mci/MciSession.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"

namespace {

using namespace tavrelo;

void BM_StatusPosition(benchmark::State& state) {
  testing::ManualClock clock;
  disc::Toc toc;
  for (int n = 1; n <= 12; ++n) toc.tracks.push_back({n, 150 + (n - 1) * 18000, true});
  toc.leadOut = 150 + 12 * 18000;
  auto drive = std::make_shared<testing::FakeCdDrive>(clock, toc);
  auto drives = std::make_shared<testing::FakeDriveDirectory>();
  drives->drives['D'] = drive;
  mci::MciSession session(drives, clock);
  char reply[255];
  session.sendString("open  D:\\ type cdaudio alias cd wait shareable", reply, 255, nullptr);
  session.sendString("set cd time format tmsf", reply, 255, nullptr);
  session.sendString("play cd from 5", reply, 255, nullptr);
  for (auto _ : state) {
    clock.advance(13);
    const auto code = session.sendString("status cd position", reply, 255, nullptr);
    benchmark::DoNotOptimize(code);
    benchmark::DoNotOptimize(reply);
  }
  if (std::string_view(reply).size() != 11) state.SkipWithError("unexpected reply");
}
BENCHMARK(BM_StatusPosition);

}  // namespace

BENCHMARK_MAIN();
