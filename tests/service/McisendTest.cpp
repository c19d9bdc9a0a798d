#include <gtest/gtest.h>

#include <sstream>

#include "platform/mci/MciSession.h"
#include "tests/service/ServiceHarness.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"
#include "tools/mcisend/Mcisend.h"

namespace tavrelo::servicetest {
namespace {

// mcisend's own work against one fake drive at D:.
class McisendLogic : public ::testing::Test {
 protected:
  McisendLogic() {
    disc::Toc toc;
    toc.tracks = {{1, 150, true}, {2, 450, true}};
    toc.leadOut = 750;
    drive_ = std::make_shared<testing::FakeCdDrive>(clock_, toc);
    drives_->drives['D'] = drive_;
  }

  // One run of the tool: a session of its own over the same drive.
  int run(const std::vector<std::string>& args, const std::string& input = "") {
    session_ = std::make_unique<mci::MciSession>(drives_, clock_);
    std::istringstream in(input);
    out_.str("");
    err_.str("");
    return mcisend::runMcisend(args, in, out_, err_, *session_);
  }

  testing::ManualClock clock_;
  std::shared_ptr<testing::FakeCdDrive> drive_;
  std::shared_ptr<testing::FakeDriveDirectory> drives_ =
      std::make_shared<testing::FakeDriveDirectory>();
  std::unique_ptr<mci::MciSession> session_;
  std::ostringstream out_, err_;
};

TEST_F(McisendLogic, PrintsOneLinePerCommandAndExitsWithTheWorstOutcome) {
  const std::string notOpen =
      "error 263: The specified device is not open or is not recognized by MCI.\n";
  const std::string unknown = "error 261: The driver cannot recognize the specified command.\n";
  const struct {
    std::vector<std::string> args;
    std::string input;
    int code;
    std::string out;
  } runs[] = {
      {{"open D:\\ type cdaudio alias cd", "status cd number of tracks", "play cd",
        "status cd mode"},
       "",
       mcisend::kAllSucceeded,
       "1\n2\n\nplaying\n"},
      // Every command is sent; a failed one prints its code and text.
      {{"status cd mode", "open D: type cdaudio alias cd", "bogus cd", "status cd mode"},
       "",
       mcisend::kSomeFailed,
       notOpen + "1\n" + unknown + "playing\n"},
      {{},
       "open cdaudio alias cd\r\n\n   \nstatus cd number of tracks\nstatus cd media present",
       mcisend::kAllSucceeded,
       "1\n2\ntrue\n"},
      {{}, "", mcisend::kAllSucceeded, ""},
      // After "--" everything is a command, even one that starts with '-';
      // and standard input is not read.
      {{"--", "-open"}, "", mcisend::kSomeFailed, unknown},
      {{"--"}, "status cd mode\n", mcisend::kAllSucceeded, ""},
      {{"open cdaudio alias cd", "-x"}, "", mcisend::kUsage, ""},  // nothing was sent
  };
  for (const auto& r : runs) {
    EXPECT_EQ(run(r.args, r.input), r.code) << r.input;
    EXPECT_EQ(out_.str(), r.out) << r.input;
  }
  EXPECT_NE(err_.str().find("unknown option -x"), std::string::npos);
  EXPECT_EQ(run({"--help"}), mcisend::kAllSucceeded);
  EXPECT_NE(out_.str().find("usage: mcisend"), std::string::npos);
}

// The real tool through the real service, which it finds beside itself.
using McisendTool = ServiceHarness;

TEST_F(McisendTool, AnswersExactlyThroughTheServiceAndFailsAfterAnError) {
  const std::string tool = std::string(TAVRELO_SERVICE_BIN_DIR) + "/mcisend";
  test::ScopedEnv path("PATH", "/usr/bin:/bin");
  std::string output;
  EXPECT_EQ(
      testing::runProgram({tool, "open D:\\ type cdaudio alias cd shareable", "status cd mode",
                           "status cd number of tracks", "set cd time format tmsf",
                           "status cd position", "status cd length track 2", "close cd"},
                          "", &output),
      0);
  EXPECT_EQ(output, "1\nstopped\n3\n\n01:00:00:00\n00:04:00\n\n");
  EXPECT_EQ(testing::runProgram({tool, "bogus"}), 1);
}

}  // namespace
}  // namespace tavrelo::servicetest
