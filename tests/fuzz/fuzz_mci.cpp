// MCI command strings from the fuzzer against a session over fake drives:
// one line per command, each sent with a reply buffer whose length the input
// picks. Checked after every command: a reply that fits is NUL-terminated
// inside its buffer, an error leaves "" (268 leaves the buffer untouched),
// and nothing is written past the length given.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>

#include "platform/mci/MciErrors.h"
#include "platform/mci/MciSession.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"

namespace {

using namespace tavrelo;

disc::Toc makeToc(int tracks, bool dataLast) {
  disc::Toc toc;
  for (int n = 1; n <= tracks; ++n) {
    toc.tracks.push_back({n, 150 + (n - 1) * 9000, !(dataLast && n == tracks)});
  }
  toc.leadOut = 150 + tracks * 9000;
  return toc;
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  testing::ManualClock clock;
  auto drives = std::make_shared<testing::FakeDriveDirectory>();
  drives->drives['D'] = std::make_shared<testing::FakeCdDrive>(clock, makeToc(12, false));
  drives->drives['E'] = std::make_shared<testing::FakeCdDrive>(clock, makeToc(3, true));
  drives->drives['F'] = std::make_shared<testing::FakeCdDrive>(clock);
  disc::Toc gap = makeToc(3, false);  // numbered 1, 2, 4: a TOC no disc can have
  gap.tracks.back().number = 4;
  drives->drives['G'] = std::make_shared<testing::FakeCdDrive>(clock, gap);
  mci::MciSession session(drives, clock);

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  constexpr unsigned kBuffer = 64;
  char buffer[kBuffer + 8];
  std::size_t start = 0;
  int line = 0;
  while (start <= input.size() && line < 64) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view command = input.substr(start, end - start);
    start = end + 1;

    // The length this command gets: cycles through 0, 1, short and full.
    const unsigned lengths[] = {kBuffer, 0, 1, 5, 8, 12};
    const unsigned length = lengths[static_cast<unsigned>(line++) % 6];
    std::memset(buffer, '#', sizeof buffer);
    const std::uint32_t code = session.sendString(command, buffer, length, nullptr);

    for (unsigned i = length; i < sizeof buffer; ++i) check(buffer[i] == '#');
    if (length == 0 || code == mci::err::kParamOverflow) {
      for (char c : buffer) check(c == '#');
    } else if (code != 0) {
      check(buffer[0] == '\0');
    } else {
      check(std::memchr(buffer, '\0', length) != nullptr);
    }
    check(code == 0 || mci::errorText(code) != nullptr);
    clock.advance(code % 7 * 700);
  }
  return 0;
}
