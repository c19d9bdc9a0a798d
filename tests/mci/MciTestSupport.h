#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/mci/MciSession.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"

namespace tavrelo::testing {

namespace discs {

inline disc::Toc make(std::initializer_list<disc::Track> tracks, disc::Lba leadOut) {
  disc::Toc toc;
  toc.tracks = tracks;
  toc.leadOut = leadOut;
  return toc;
}
// One track of 3 minutes from 00:02:00.
inline disc::Toc oneTrack() {
  return make({{1, 150, true}}, 150 + 3 * 4500);
}
// Twelve tracks of 4 minutes each: track n starts at 150 + (n - 1) * 18000.
inline disc::Toc twelveTracks() {
  disc::Toc toc;
  for (int n = 1; n <= 12; ++n) toc.tracks.push_back({n, 150 + (n - 1) * 18000, true});
  toc.leadOut = 150 + 12 * 18000;
  return toc;
}
// Track 1 starts 2 s later than usual, at 00:04:00.
inline disc::Toc lateFirstTrack() {
  return make({{1, 300, true}, {2, 4800, true}}, 9300);
}
// Two audio tracks, then a data track (an enhanced CD).
inline disc::Toc enhancedCd() {
  return make({{1, 150, true}, {2, 4650, true}, {3, 9150, false}}, 20000);
}
// A data track first, then two audio tracks (a mixed-mode CD).
inline disc::Toc mixedMode() {
  return make({{1, 150, false}, {2, 6000, true}, {3, 10500, true}}, 15000);
}
inline disc::Toc dataOnly() {
  return make({{1, 150, false}}, 6000);
}

}  // namespace discs

struct Result {
  std::uint32_t code;
  std::string reply;
};

// A session over one fake drive at D: with the disc `toc`. Every command goes
// through sendString with a 255-character buffer full of leftovers, as the
// program's MciReply is; the reply must come back NUL-terminated inside it.
class MciFixture : public ::testing::Test {
 protected:
  void useDisc(std::optional<disc::Toc> toc) {
    directory = std::make_shared<FakeDriveDirectory>();
    drive = toc ? std::make_shared<FakeCdDrive>(clock, *toc) : std::make_shared<FakeCdDrive>(clock);
    directory->drives['D'] = drive;
    session = std::make_unique<mci::MciSession>(directory, clock);
  }

  void SetUp() override { useDisc(discs::twelveTracks()); }

  Result mci(std::string_view command) {
    char buffer[255];
    std::memset(buffer, '#', sizeof buffer);
    const std::uint32_t code = session->sendString(command, buffer, sizeof buffer, nullptr);
    const void* nul = std::memchr(buffer, '\0', sizeof buffer);
    EXPECT_NE(nul, nullptr) << command << ": reply not NUL-terminated";
    if (nul == nullptr) return {code, {}};
    return {code, std::string(buffer)};
  }

  // The reply of a command that must succeed.
  std::string ok(std::string_view command) {
    const Result r = mci(command);
    EXPECT_EQ(r.code, 0u) << command;
    return r.reply;
  }

  // The code of a command that must fail; a failure always leaves "".
  std::uint32_t fails(std::string_view command) {
    const Result r = mci(command);
    EXPECT_NE(r.code, 0u) << command;
    EXPECT_EQ(r.reply, "") << command;
    return r.code;
  }

  void openCd() { EXPECT_EQ(ok("open  D:\\ type cdaudio alias cd wait shareable"), "1"); }
  void openTmsf() {
    openCd();
    ok("set cd time format tmsf");
  }

  ManualClock clock;
  std::shared_ptr<FakeDriveDirectory> directory;
  std::shared_ptr<FakeCdDrive> drive;
  std::unique_ptr<mci::MciSession> session;
};

}  // namespace tavrelo::testing
