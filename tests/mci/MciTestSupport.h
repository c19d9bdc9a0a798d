#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mci/MciSession.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"

namespace tavrelo::testing {

inline disc::Toc makeToc(std::initializer_list<disc::Track> tracks, disc::Lba leadOut) {
  disc::Toc toc;
  toc.tracks = tracks;
  toc.leadOut = leadOut;
  return toc;
}
// One track of 3 minutes from 00:02:00.
inline disc::Toc oneTrack() {
  return makeToc({{1, 150, true}}, 150 + 3 * 4500);
}
// Twelve tracks of 4 minutes each: track n starts at 150 + (n - 1) * 18000.
inline disc::Toc twelveTracks() {
  disc::Toc toc = makeToc({}, 150 + 12 * 18000);
  for (int n = 1; n <= 12; ++n) toc.tracks.push_back({n, 150 + (n - 1) * 18000, true});
  return toc;
}

inline constexpr std::string_view kOpenCd = "open  D:\\ type cdaudio alias cd wait shareable";

// A session over one fake drive at D: with the disc `toc`, opened as the
// program opens it, in time format tmsf.
class MciFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    useDisc(twelveTracks());
    openCd("tmsf");
  }

  void useDisc(std::optional<disc::Toc> toc) {
    directory = std::make_shared<FakeDriveDirectory>();
    drive = toc ? std::make_shared<FakeCdDrive>(clock, *toc) : std::make_shared<FakeCdDrive>(clock);
    directory->drives['D'] = drive;
    session = std::make_unique<mci::MciSession>(directory, clock);
  }

  // The reply of `command`, or "error N". It goes through sendString with a
  // 255-character buffer full of leftovers, as the program's MciReply is: the
  // reply must come back NUL-terminated inside it, and empty after an error.
  std::string answer(std::string_view command) {
    char buffer[255];
    std::memset(buffer, '#', sizeof buffer);
    const std::uint32_t code = session->sendString(command, buffer, sizeof buffer, nullptr);
    if (std::memchr(buffer, '\0', sizeof buffer) == nullptr) return "no NUL in the reply";
    if (code == 0) return buffer;
    return buffer[0] == '\0' ? "error " + std::to_string(code) : "an error with a reply";
  }

  // Sends each step's command in turn: a step is "command -> answer", and
  // "command ->" for an empty reply.
  void expect(std::initializer_list<std::string_view> steps) {
    for (const std::string_view step : steps) {
      const std::size_t arrow = step.find(" ->");
      ASSERT_NE(arrow, std::string_view::npos) << step;
      const std::string_view wanted = step.substr(std::min(arrow + 4, step.size()));
      EXPECT_EQ(answer(step.substr(0, arrow)), wanted) << step;
    }
  }
  void expectEach(std::string_view wanted, std::initializer_list<std::string_view> commands) {
    for (std::string_view command : commands) EXPECT_EQ(answer(command), wanted) << command;
  }

  // Opens the drive as the program does, in `timeFormat`.
  void openCd(std::string_view timeFormat = "msf") {
    EXPECT_EQ(answer(kOpenCd), "1");
    EXPECT_EQ(answer("set cd time format " + std::string(timeFormat)), "");
  }

  ManualClock clock;
  std::shared_ptr<FakeDriveDirectory> directory;
  std::shared_ptr<FakeCdDrive> drive;
  std::unique_ptr<mci::MciSession> session;
};

}  // namespace tavrelo::testing
