// The desktop's side of the real service: a real MPRIS client (playerctl) on a
// private session bus, and a stand-in for logind on a private "system" bus.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/os/Settings.h"
#include "tests/service/ServiceHarness.h"
#include "tests/support/WebStandIn.h"

namespace tavrelo::servicetest {
namespace {

class Desktop : public ServiceHarness {
 protected:
  void SetUp() override {
    ServiceHarness::SetUp();
    world_.setenv("TAVRELO2_DISC_IMAGES", disc_.cue.string());
    session_ = startBus();
    world_.setenv("DBUS_SESSION_BUS_ADDRESS", session_);
    system_ = startBus();
    world_.setenv("DBUS_SYSTEM_BUS_ADDRESS", system_);
  }
  // A stand-in for a desktop's inhibitor (fake-inhibitor.py `args`) on the
  // session bus, once it owns its name; what it prints goes into `out`.
  pid_t inhibitor(const std::string& args, const std::filesystem::path& out) {
    const pid_t pid = background(
        "/usr/bin/python3 " + here("fake-inhibitor.py") + " '" + session_ + "' " + args, out);
    EXPECT_TRUE(eventually([&] { return readFile(out).starts_with("ready\n"); }));
    return pid;
  }
  // Whether the stand-in's last line ends in `text`.
  static bool last(const std::filesystem::path& file, const std::string& text) {
    return readFile(file).ends_with(text + "\n");
  }

  // mcisend's output for these commands on drive D:, one per line.
  std::string mci(const std::string& commands) {
    return shell("printf 'open D:\\\\ type cdaudio alias cd shareable\\n" + commands +
                 "' | mcisend | tail -n +2");
  }
  std::string player(const std::string& args) {
    return shell("playerctl -p tavrelo2 " + args + " 2>&1");
  }
  bool shows(const std::string& args, const std::string& text) {
    return eventually([&] { return player(args) == text + "\n"; }, 3000);
  }

  std::string session_;
};

TEST_F(Desktop, APlayerClientSeesAndDrivesTheDiscAfterItsClientLeft) {
  ASSERT_TRUE(world_.sound.start());
  world_.setenv("PULSE_SERVER", world_.sound.server());
  ASSERT_EQ(mci("play cd\\n"), "\n");  // mcisend has gone: nobody holds the drive now
  EXPECT_TRUE(shows("status", "Playing"));
  EXPECT_EQ(player("metadata --format "
                   "'{{mpris:trackid}}|{{xesam:title}}|{{xesam:album}}|{{xesam:trackNumber}}|"
                   "{{mpris:length}}'"),
            "'/org/tavrelo2/track/1'|Piste 1|CD Audio (D:\\)|1|4000000\n");

  // Every change reaches the bus, whoever made it.
  const std::filesystem::path watched = dir_.path() / "monitor";
  background("dbus-monitor \"type='signal',path='/org/mpris/MediaPlayer2'\"", watched);
  ASSERT_TRUE(eventually([&] { return std::filesystem::file_size(watched) > 0; }));
  EXPECT_EQ(mci("pause cd\\n"), "\n");
  const auto monitor = [&] { return readFile(watched); };
  EXPECT_TRUE(eventually([&] { return monitor().find("\"Paused\"") != std::string::npos; }));

  // The volume is the drive's own stream's, and holds for a restarted sound server.
  const auto streamAtHalf = [&] {
    return eventually(
        [&] { return shell("pactl list sink-inputs").find(": 32768 /") != std::string::npos; });
  };
  player("volume 0.5");
  EXPECT_TRUE(streamAtHalf());
  EXPECT_TRUE(shows("volume", "0.500000"));
  EXPECT_TRUE(eventually([&] { return monitor().find("\"Volume\"") != std::string::npos; }));
  world_.sound.stop();
  ASSERT_TRUE(world_.sound.start());
  EXPECT_TRUE(streamAtHalf());

  player("play");
  EXPECT_TRUE(shows("status", "Playing"));
  EXPECT_EQ(mci("status cd mode\\n"), "playing\n");
  player("next");
  EXPECT_TRUE(shows("metadata xesam:trackNumber", "2"));
  player("previous");
  player("previous");  // before track 1 comes the last
  EXPECT_TRUE(shows("metadata xesam:trackNumber", "3"));
  player("position 2.5");
  EXPECT_TRUE(eventually([&] { return monitor().find("member=Seeked") != std::string::npos; }));
  const double at = std::stod(player("position"));
  EXPECT_GE(at, 2.5 - 1.0 / 75);  // 2.5 s lands on the frame that holds it
  EXPECT_LT(at, 3.5);
  EXPECT_EQ(mci("set cd time format tmsf\\nstatus cd current track\\n"), "\n3\n");
  player("pause");
  EXPECT_EQ(mci("status cd mode\\n"), "paused\n");
  player("stop");
  EXPECT_TRUE(shows("status", "Stopped"));
  EXPECT_TRUE(shows("metadata xesam:trackNumber", "1"));
}

TEST_F(Desktop, WhileADiscPlaysTheComputerStaysAwakeAndSleepPausesIt) {
  // No session bus here: the drives work as before, and the log says why the
  // desktop cannot see them.
  world_.setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir_.path() / "none").string());
  startLogind();

  ASSERT_EQ(mci("play cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return logind("Held") == "(true,)\n"; }));
  EXPECT_EQ(mci("stop cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return logind("Held") == "(false,)\n"; }));

  EXPECT_EQ(mci("play cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return logind("Held") == "(true,)\n"; }));
  logind("Sleep", "true");
  EXPECT_TRUE(eventually([&] { return mci("status cd mode\\n") == "paused\n"; }));
  EXPECT_TRUE(eventually([&] { return logind("Held") == "(false,)\n"; }));
  logind("Sleep", "false");  // after the resume the disc waits for its listener
  EXPECT_EQ(mci("status cd mode\\n"), "paused\n");
  EXPECT_NE(log().find("media controls cannot reach"), std::string::npos);
}

// The desktop's own inhibitor, one desktop at a time: held while the disc
// plays, given back within a second of a pause, and when the service ends.
struct Inhibitor {
  const char* desktop;
  const char* asked;  // the arguments of its Inhibit, as Python prints them
};

class SuspendHeldOff : public Desktop, public ::testing::WithParamInterface<Inhibitor> {};

TEST_P(SuspendHeldOff, WhileADiscPlays) {
  const auto out = dir_.path() / "inhibitor";
  inhibitor(GetParam().desktop, out);
  ASSERT_EQ(mci("play cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return last(out, "-> held 1"); }));
  EXPECT_EQ(readFile(out), std::string("ready\ninhibit ") + GetParam().asked + " -> held 1\n");
  EXPECT_EQ(mci("pause cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return last(out, "release -> held 0"); }, 1000));
  EXPECT_EQ(mci("play cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return last(out, "-> held 1"); }));
  world_.stopService();  // SIGTERM
  EXPECT_TRUE(eventually([&] { return last(out, "release -> held 0"); })) << readFile(out);
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, SuspendHeldOff,
    ::testing::Values(Inhibitor{"portal", "('', 4, {'reason': 'Un disque est en lecture'})"},
                      Inhibitor{"gnome", "('tavrelo2', 0, 'Un disque est en lecture', 4)"},
                      Inhibitor{"kde", "('tavrelo2', 'Un disque est en lecture')"}),
    [](const auto& test) { return std::string(test.param.desktop); });

// A portal that refuses makes way for GNOME's session manager; one that
// arrives while a disc plays takes over, and one that leaves gives the hold
// back to GNOME. An answer that comes after the pause is given back at once.
TEST_F(Desktop, TheSuspendInhibitorFallsBackAndFollowsTheDesktopsComingsAndGoings) {
  const auto portal = dir_.path() / "portal", gnome = dir_.path() / "gnome";
  pid_t refusing = inhibitor("portal --refuse", dir_.path() / "refusing");
  inhibitor("gnome", gnome);
  ASSERT_EQ(mci("play cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return last(gnome, "-> held 1"); }));
  ::kill(refusing, SIGTERM);
  const pid_t good = inhibitor("portal", portal);
  EXPECT_TRUE(eventually([&] { return last(portal, "-> held 1"); }));
  EXPECT_TRUE(eventually([&] { return last(gnome, "release -> held 0"); }));
  ::kill(good, SIGTERM);
  EXPECT_TRUE(eventually([&] { return last(gnome, "-> held 1"); }));
  EXPECT_EQ(mci("pause cd\\n"), "\n");
  EXPECT_TRUE(eventually([&] { return last(gnome, "release -> held 0"); }, 1000));

  const auto late = dir_.path() / "late";
  inhibitor("portal --late-ms 700", late);
  EXPECT_EQ(mci("play cd\\npause cd\\n"), "\n\n");
  EXPECT_TRUE(eventually([&] { return last(late, "release -> held 0"); }, 3000)) << readFile(late);
  EXPECT_EQ(readFile(gnome).find("inhibit", readFile(gnome).rfind("release")), std::string::npos);
  const std::string text = log();
  const auto refusal = text.find("did not hold off suspend (refused here)");
  EXPECT_NE(refusal, std::string::npos) << text;
  EXPECT_EQ(text.find("did not hold off", refusal + 1), std::string::npos) << text;
}

TEST_F(Desktop, RaiseStartsTheProgramBesideTheServiceAndQuitEndsItsWindowAndTheDisc) {
  // The service, copied beside a stand-in program that says it was started.
  const auto bin = dir_.path() / "bin";
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(std::string(TAVRELO_SERVICE_BIN_DIR) + "/tavrelo2-drived",
                             bin / "tavrelo2-drived");
  std::ofstream(bin / "tavrelo2") << "#!/bin/sh\ntouch \"$0.raised\"\n";
  std::filesystem::permissions(bin / "tavrelo2", std::filesystem::perms::owner_all);
  startService({}, 0, bin / "tavrelo2-drived");
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(socketPath()); }));
  ASSERT_EQ(mci("play cd\\n"), "\n");
  ASSERT_TRUE(shows("status", "Playing"));
  // A window that runs: a process of the program's name, its pid in its lock.
  const auto window = dir_.path() / "window";
  std::filesystem::create_directories(window);
  std::filesystem::copy_file("/bin/sleep", window / "tavrelo2");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl((window / "tavrelo2").c_str(), "tavrelo2", "60", nullptr);
    ::_exit(127);
  }
  std::ofstream(folder() / "instance.lock") << pid << "\n";
  const auto call = [&](const std::string& method) {
    shell(
        "gdbus call --session --dest org.mpris.MediaPlayer2.tavrelo2 --object-path "
        "/org/mpris/MediaPlayer2 --method org.mpris.MediaPlayer2." +
        method);
  };
  call("Raise");
  EXPECT_TRUE(eventually([&] { return std::filesystem::exists(bin / "tavrelo2.raised"); }));
  call("Quit");
  int status = 0;
  EXPECT_TRUE(eventually([&] { return reaped(pid, &status); }));
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(mci("status cd mode\\n"), "stopped\n");
}

class DesktopTitles : public Desktop {
 protected:
  void SetUp() override {
    Desktop::SetUp();
    std::ifstream in(std::string(TAVRELO_REPLIES) + "/two-discs.json");
    web_.serve("disc.json", std::string(std::istreambuf_iterator<char>(in), {}));
    web_.serve("cover.jpg", "\xff\xd8\xff\xe0 a picture");
    web_.rules(R"([{"path": "/ws/2/discid/*", "file": "disc.json"},
                   {"path": "/release/*", "redirect": "/cover.jpg"}])");
    world_.setenv("TAVRELO2_MUSICBRAINZ_URL", web_.url());
    world_.setenv("TAVRELO2_COVERART_URL", web_.url());
    // The sheet names its first track: a lookup must not rename it.
    std::ifstream sheet(disc_.cue);
    std::string text(std::istreambuf_iterator<char>(sheet), {});
    text.replace(text.find("TRACK 01 AUDIO\n"), 15, "TRACK 01 AUDIO\n    TITLE \"À moi\"\n");
    std::ofstream(disc_.cue) << text;
  }
  void agree(const char* online) {
    std::string error;
    ASSERT_TRUE(os::writeSetting("titles", "online", online, error)) << error;
  }
  // Takes the disc out and puts it back: a new disc for the service.
  void reinsert() {
    ASSERT_EQ(mci("set cd door open wait\nset cd door closed wait\nseek cd to start\n"), "\n\n\n");
  }
  std::string titles() {
    return player("metadata --format '{{xesam:title}}|{{artist}}|{{album}}|{{xesam:albumArtist}}'");
  }
  std::size_t discRequests() {
    std::size_t count = 0;
    for (const std::string& r : web_.requests())
      count += r.find("/ws/2/discid/") != std::string::npos;
    return count;
  }

  testing::WebStandIn web_;
};

TEST_F(DesktopTitles, ADiscIsLookedUpOnceAgreedAndThenComesFromTheCache) {
  std::filesystem::remove(os::settingsFile());  // not yet asked
  ASSERT_EQ(mci("seek cd to start\n"), "\n");
  EXPECT_TRUE(shows("metadata xesam:title", "À moi"));
  const auto cover = player("metadata mpris:artUrl");
  EXPECT_NE(cover.find("file://"), std::string::npos) << "the generic disc picture";
  agree("false");
  reinsert();
  std::this_thread::sleep_for(
      std::chrono::milliseconds(1500));  // a look at the drive is due each second
  EXPECT_EQ(discRequests(), 0u) << "not agreed: nothing leaves the machine";

  agree("true");
  reinsert();
  EXPECT_TRUE(eventually(
      [&] {
        return titles() ==
               "À moi|Sœurs Piaf feat. Yves|Le Coffret – En public|Sœurs Piaf & "
               "Orchestre\n";
      },
      5000));
  EXPECT_TRUE(shows(
      "metadata mpris:artUrl",
      "file://" + (dir_.path() / "cache/tavrelo2/11111111-2222-3333-4444-555555555555-front.jpg")
                      .string()));
  player("next");
  EXPECT_TRUE(shows("metadata xesam:title", "Milord"));
  EXPECT_EQ(discRequests(), 1u);

  reinsert();  // the same disc again: from the cache
  EXPECT_TRUE(shows("metadata xesam:album", "Le Coffret – En public"));
  EXPECT_EQ(discRequests(), 1u);
}

TEST_F(DesktopTitles, AHangingServerHoldsUpNoButtonAndNotTheServiceEnd) {
  web_.rules(R"([{"path": "/ws/2/discid/*", "hang": true}])");
  agree("true");
  ASSERT_EQ(mci("play cd\n"), "\n");
  ASSERT_TRUE(eventually([&] { return discRequests() == 1; }));
  EXPECT_EQ(mci("pause cd\nstatus cd mode\nplay cd\nstatus cd mode\n"), "\npaused\n\nplaying\n");
  player("next");
  EXPECT_TRUE(shows("metadata xesam:title", "Piste 2"));
  const pid_t pid = servicePid();
  ASSERT_GT(pid, 0);
  ::kill(pid, SIGTERM);
  EXPECT_TRUE(eventually([&] { return reaped(pid); }, 3000)) << "well before the 15 s timeout";
}

}  // namespace
}  // namespace tavrelo::servicetest
