// Our physical drive code, libcdio and an emulated Linux CD-ROM drive: what
// a user sees of a drive, through the same system calls a real one gets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/audio/NullSink.h"
#include "platform/disc/PhysicalDrive.h"
#include "platform/drive/DigitalCdDrive.h"
#include "platform/os/Log.h"
#include "tests/disc/cdrom/EmulatedDrive.h"
#include "tests/service/ServiceHarness.h"

namespace tavrelo::cdrom {
namespace {

using drive::AudioStatus;
using drive::DriveError;
using servicetest::eventually;

class EmulatedCdrom : public servicetest::ServiceHarness {
 protected:
  void SetUp() override {
    ServiceHarness::SetUp();
    ::setenv("TAVRELO_EMULATED_CDROM", folder_.c_str(), 1);
    drive_.insert(emulatedDisc(disc_));
  }
  void TearDown() override {
    EXPECT_EQ(drive_.unknownRequests(), "");
    ServiceHarness::TearDown();
    ::unsetenv("TAVRELO_EMULATED_CDROM");
  }

  // A disc of two audio tracks of two seconds and a data track, first or last.
  void insertMixedDisc(bool dataFirst) {
    testdisc::TestDiscLayout layout{.tracks = testdisc::plainTracks(2, 2)};
    layout.tracks.insert(dataFirst ? layout.tracks.begin() : layout.tracks.end(),
                         testdisc::TrackSpec{.sectors = 150, .data = true});
    disc_ = testdisc::writeDisc(dir_.path() / "mixed", layout);
  }

  // The drive engine on /dev/sr0, as the service makes it, with a
  // hand-driven sink and its log kept.
  struct Engine {
    explicit Engine(drive::EngineOptions options = {.mediaPollMs = 50}) {
      os::setLogSink([this](const std::string& line) {
        std::lock_guard lock(mutex);
        lines += line + "\n";
      });
      auto owned = std::make_unique<audio::NullSink>(true);
      sink = owned.get();
      cd = std::make_unique<drive::DigitalCdDrive>(disc::openPhysicalDrive("/dev/sr0"),
                                                   std::move(owned), options);
    }
    ~Engine() { os::setLogSink({}); }
    std::string log() {
      std::lock_guard lock(mutex);
      return lines;
    }
    // Listens for `ms` of wall time, a sector at a time.
    void listen(int ms) {
      eventually([&] { return sink->advance(disc::kStereoFramesPerSector) < 0; }, ms);
    }
    std::mutex mutex;
    std::string lines;
    audio::NullSink* sink = nullptr;
    std::unique_ptr<drive::DigitalCdDrive> cd;
  };

  // Runs mcisend with the emulation preloaded; its output and error text.
  // ASan builds load their runtime after the preloaded emulation.
  std::string mcisend(const std::string& commands, int* status = nullptr) {
    const std::string command = "LD_PRELOAD=" TAVRELO_EMULATED_CDROM_LIBRARY
                                " ASAN_OPTIONS=verify_asan_link_order=0 " TAVRELO_SERVICE_BIN_DIR
                                "/mcisend " +
                                commands + " 2>&1";
    FILE* tool = ::popen(command.c_str(), "r");
    std::string output(1 << 16, '\0');
    output.resize(tool != nullptr ? std::fread(output.data(), 1, output.size(), tool) : 0);
    const int ended = tool != nullptr ? ::pclose(tool) : -1;
    if (status != nullptr) *status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
    return output;
  }

  std::filesystem::path folder_ = dir_.path() / "drives";
  EmulatedDrive drive_{folder_, "/dev/sr0", {"/dev/cdrom"}};
};

// CD-Text arrives in UTF-8.
TEST_F(EmulatedCdrom, TocTextAndSamplesComeFromTheirAddresses) {
  insertMixedDisc(true);
  EmulatedDisc titled = emulatedDisc(disc_);
  titled.album = "\xC9t\xE9 \xE0 Paris";
  titled.performer = "Les \xC9toiles";
  titled.titles = {"Ouverture", "Fin"};
  // Control bits: pre-emphasis (0x1) on one track, copy (0x2) and four channels (0x8) on the other.
  titled.toc.tracks[1].flags.preemphasis = true;
  titled.toc.tracks[2].flags = {.copyPermitted = true, .fourChannel = true};
  drive_.insert(titled);
  const auto source = disc::openPhysicalDrive("/dev/sr0");
  EXPECT_EQ(source->mediaState(), disc::MediaState::DiscPresent);
  const disc::Toc toc = source->readToc();
  disc::Toc want = titled.toc;
  want.album = "Été à Paris";
  want.performer = "Les Étoiles";
  want.tracks[0].title = "Ouverture";
  want.tracks[1].title = "Fin";
  EXPECT_EQ(toc, want);

  const Lba track2 = toc.tracks[1].start;
  std::vector<std::uint8_t> got(5 * disc::kSectorBytes);
  ASSERT_EQ(source->readAudio(track2 + 7, 3, got), 3);
  got.resize(3 * disc::kSectorBytes);
  EXPECT_EQ(got, disc_.expected(track2 + 7, 3));
  got.resize(5 * disc::kSectorBytes);
  ASSERT_EQ(source->readAudio(toc.leadOut - 2, 5, got), 2);  // clamped at the lead-out
  got.resize(2 * disc::kSectorBytes);
  EXPECT_EQ(got, disc_.expected(toc.leadOut - 2, 2));
  EXPECT_EQ(source->readAudio(toc.leadOut, 1, got), 0);
  EXPECT_THROW(source->readAudio(toc.tracks[0].start, 1, got), disc::DiscError);  // data
  EXPECT_EQ(drive_.state().readCommands, 3);
}

TEST_F(EmulatedCdrom, TheTrayButtonIsSeenAndEjectWaitsForOtherPrograms) {
  const auto source = disc::openPhysicalDrive("/dev/cdrom");
  ASSERT_EQ(source->mediaState(), disc::MediaState::DiscPresent);
  const auto generation = source->mediaGeneration();
  drive_.pressTrayButton();
  EXPECT_EQ(source->mediaState(), disc::MediaState::TrayOpen);
  EXPECT_NE(source->mediaGeneration(), generation);
  drive_.pressTrayButton();
  EXPECT_EQ(source->mediaState(), disc::MediaState::DiscPresent);
  EXPECT_EQ(source->readToc(), disc_.toc);  // libcdio's own descriptor is open too

  const int other = ::open("/dev/sr0", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(other, 0);
  try {
    source->eject();
    ADD_FAILURE() << "ejected";
  } catch (const disc::DiscError& e) {
    EXPECT_NE(std::string(e.what()).find("busy"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(drive_.state().trayOpen);
  ::close(other);
  source->readToc();
  EXPECT_NO_THROW(source->eject());
  EXPECT_TRUE(drive_.state().trayOpen);
  EXPECT_EQ(source->mediaState(), disc::MediaState::TrayOpen);
}

TEST_F(EmulatedCdrom, ADiscIsTakenInOnceSpunUpReadQuietlyAndAfterAReplug) {
  Engine engine;
  EXPECT_EQ(drive_.state().speed, 4);
  drive_.pressTrayButton();
  ASSERT_TRUE(eventually([&] { return engine.cd->status().trayOpen; }));
  // One media-change event, consumed while the drive still spins up; the
  // drive went back to full speed with the new disc.
  drive_.pressTrayButton(700);
  EXPECT_FALSE(engine.cd->status().mediaPresent);
  ASSERT_TRUE(eventually([&] { return engine.cd->status().mediaPresent; }, 4000));
  EXPECT_EQ(drive_.state().speed, 4);
  ASSERT_EQ(engine.cd->play(150, 300), DriveError::None);

  // Unplugged, the drive fails at once; it plays again under its new node.
  drive_.plug("");
  EXPECT_TRUE(eventually([&] { return engine.cd->pause() == DriveError::Unavailable; }, 1000));
  EXPECT_EQ(engine.cd->play(150, 300), DriveError::Unavailable);
  EXPECT_EQ(engine.cd->status().audio, AudioStatus::Error);
  drive_.plug("/dev/sr1");
  ASSERT_TRUE(eventually([&] { return engine.cd->status().mediaPresent; }, 3000)) << engine.log();
  EXPECT_EQ(engine.cd->play(150, 300), DriveError::None);
  EXPECT_EQ(drive_.state().speed, 4);
  engine.cd.reset();
  EXPECT_EQ(drive_.state().speed, 0);  // the drive's own, once we are done with it
}

TEST_F(EmulatedCdrom, AStandbyBlipKeepsAPausedDiscPausedAndAPlayingOnePlaying) {
  Engine engine;
  ASSERT_EQ(engine.cd->play(150, disc_.toc.leadOut), DriveError::None);
  engine.listen(300);
  ASSERT_EQ(engine.cd->pause(), DriveError::None);
  const Lba paused = engine.cd->status().position;
  drive_.standbyBlip(500);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(engine.cd->status().audio, AudioStatus::Paused);
  EXPECT_EQ(engine.cd->status().position, paused);
  ASSERT_EQ(engine.cd->resume(), DriveError::None);
  drive_.standbyBlip(500);
  engine.listen(1500);
  EXPECT_EQ(engine.cd->status().audio, AudioStatus::Playing) << engine.log();
  EXPECT_GT(engine.cd->status().position, paused + 75);
}

// A drive that resets (a wake from suspend, a USB reset, a slot loader) is
// not ready for a while with a media change, and never shows its tray open.
// The same disc keeps its place and its pause; another one (or a pressing of
// the same TOC with another catalogue number) is a new disc, taken in stopped
// at its start, even when another program took the change.
TEST_F(EmulatedCdrom, ADriveThatResetsTakesItsDiscBackAndTheSameDiscKeepsItsPlace) {
  const EmulatedDisc other =
      emulatedDisc(testdisc::writeDisc(dir_.path() / "other", {testdisc::plainTracks(2, 2)}));
  EmulatedDisc first = emulatedDisc(disc_);
  first.toc.catalog = "3259119744521";
  EmulatedDisc reissue = first;
  reissue.toc.catalog = "3259119744538";
  struct Case {
    const EmulatedDisc* disc;
    bool paused;
    bool changeTakenElsewhere;
  };
  for (const Case c : {Case{nullptr, true, false}, Case{&other, true, false},
                       Case{&other, false, true}, Case{&reissue, true, false}}) {
    SCOPED_TRACE(::testing::Message() << (c.disc ? c.disc->toc.catalog : "the same disc")
                                      << (c.paused ? ", paused" : ", stopped"));
    drive_.insert(first);
    Engine engine;
    const Lba track2 = disc_.toc.tracks[1].start;
    ASSERT_EQ(engine.cd->play(track2, disc_.toc.leadOut), DriveError::None);
    engine.listen(300);
    ASSERT_EQ(c.paused ? engine.cd->pause() : engine.cd->stop(), DriveError::None);
    const drive::DriveStatus before = engine.cd->status();
    drive_.reset(1500, c.disc);
    if (c.changeTakenElsewhere) drive_.configure([](DriveState& s) { s.mediaChanged = false; });
    std::this_thread::sleep_for(std::chrono::milliseconds(1800));
    const disc::Toc& want = (c.disc ? *c.disc : first).toc;
    disc::Toc toc;
    ASSERT_TRUE(eventually(
        [&] { return engine.cd->readToc(toc) == DriveError::None && toc == want; }, 2000))
        << engine.log();
    const drive::DriveStatus after = engine.cd->status();
    EXPECT_FALSE(after.trayOpen);
    if (c.disc == nullptr) {
      EXPECT_EQ(after.audio, before.audio);
      EXPECT_EQ(after.position, before.position);
    } else {
      EXPECT_EQ(after.audio, AudioStatus::Stopped);
      EXPECT_EQ(after.position, want.tracks[0].start);
    }
    EXPECT_EQ(engine.log().find("went away"), std::string::npos) << engine.log();
  }
}

TEST_F(EmulatedCdrom, OneBadSectorCostsThreeFailedCommandsAndTheLogSaysWhich) {
  drive_.configure([](DriveState& s) { s.unreadable = {1000}; });
  Engine engine;
  ASSERT_EQ(engine.cd->play(990, 1030), DriveError::None);
  ASSERT_TRUE(eventually(
      [&] {
        engine.sink->advance(disc::kStereoFramesPerSector);
        return engine.cd->status().audio == AudioStatus::Stopped;
      },
      5000));
  EXPECT_EQ(drive_.state().failedReads, 3);
  EXPECT_EQ(drive_.state().lastReadTimeoutMs, 10000);
  EXPECT_NE(engine.log().find("sector 1000: unreadable (sense 3/11/05)"), std::string::npos)
      << engine.log();
}

// A drive whose head takes 400 ms to move and whose reads take as long as
// the disc turns at 4x. While track 1 plays, the first three seconds of
// track 2 are read into memory; a play from track 2 then sounds at once and
// the drive's reads follow on. Whatever goes wrong around that, what is
// heard is the disc in the drive from track 2 on, without a gap or a
// repeat, as far as it goes, and the position never runs ahead of it.
TEST_F(EmulatedCdrom, APlayFromTheNextTrackSoundsFromMemoryAndGoesOnAsTheDisc) {
  constexpr int kHead = 3 * disc::kFramesPerSecond;
  const auto twoTracksAndAShortOne = [&](int shortSeconds) {
    auto layout = testdisc::TestDiscLayout{.tracks = testdisc::plainTracks(3, 4)};
    layout.tracks[1].sectors = shortSeconds * disc::kFramesPerSecond;
    return testdisc::writeDisc(dir_.path() / "short", layout);
  };
  // The same addresses, other sound: track 2 of the first disc lies where
  // this disc's track 3 begins.
  const testdisc::TestDisc other = testdisc::writeDisc(
      dir_.path() / "other", {.tracks = {{.sectors = 150}, {.sectors = 150}, {}, {}}});
  struct Case {
    const char* name;
    int track2Seconds = 4;
    std::vector<Lba> unreadable{};  // offsets from track 2
    // Until track 2's head is read whole (or has failed); the disc may change
    // on the way. None: until it is read and checked.
    std::function<void(EmulatedDrive&, Lba track2)> meanwhile{};
    std::function<void(EmulatedDrive&)> afterPlay{};
    bool fromMemory = true;
    bool toTrackEnd = false;  // the play stops where track 2 ends
    bool wholeRange = true;   // everything of the play is heard
  };
  // With no media polls, the check that the disc is still the same is the
  // drive's next command after the head's last read.
  const auto headRead = [](EmulatedDrive& d, Lba end) {
    ASSERT_TRUE(eventually([&] { return d.state().head == end; }, 8000));
    const int commands = d.state().commands;
    ASSERT_TRUE(eventually([&] { return d.state().commands > commands; }, 8000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  };
  const Case cases[] = {
      {.name = "plain"},
      {.name = "track shorter than the head", .track2Seconds = 1, .toTrackEnd = true},
      {.name = "the drive not ready after the head",
       .afterPlay = [](EmulatedDrive& d) { d.standbyBlip(800); }},
      {.name = "the disc taken out after the head",
       .afterPlay = [](EmulatedDrive& d) { d.pressTrayButton(); },
       .wholeRange = false},
      {.name = "a read error inside the head",
       .unreadable = {100},
       .meanwhile =
           [](EmulatedDrive& d, Lba) {
             ASSERT_TRUE(eventually([&] { return d.state().failedReads > 0; }, 8000));
           },
       .fromMemory = false},
      {.name = "another disc while the head is read",
       .meanwhile =
           [&](EmulatedDrive& d, Lba track2) {
             ASSERT_TRUE(eventually([&] { return d.state().head > track2; }, 8000));
             d.configure([&](DriveState& s) {
               s.disc = emulatedDisc(other);
               s.mediaChanged = true;
             });
             headRead(d, track2 + kHead);
           },
       .fromMemory = false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testdisc::TestDisc disc = twoTracksAndAShortOne(c.track2Seconds);
    drive_.insert(emulatedDisc(disc));
    const Lba track2 = disc.toc.tracks[1].start;
    drive_.configure([&](DriveState& s) {
      s.seekMs = 400;
      s.timedReads = true;
      s.head = 0;
      s.unreadable.clear();
      for (Lba offset : c.unreadable) s.unreadable.push_back(track2 + offset);
    });
    Engine engine({.mediaPollMs = 0});
    ASSERT_EQ(engine.cd->play(disc.toc.tracks[0].start, disc.toc.leadOut), DriveError::None);
    if (c.meanwhile) {
      c.meanwhile(drive_, track2);
    } else {
      headRead(drive_, std::min(track2 + kHead, disc.toc.trackEnd(2)));
    }
    const testdisc::TestDisc& inDrive =
        drive_.state().disc.image == disc.cue.string() + ".raw" ? disc : other;
    const Lba end = c.toTrackEnd ? disc.toc.trackEnd(2) : disc.toc.leadOut;
    ASSERT_EQ(engine.cd->play(track2, end), DriveError::None);
    const std::size_t before = engine.sink->captured().size();
    if (c.fromMemory) {  // all but the head's last sector, heard before the drive could seek
      const int sectors = std::min<int>(kHead, end - track2) - 1;
      EXPECT_EQ(engine.sink->advance(sectors * disc::kStereoFramesPerSector),
                sectors * disc::kStereoFramesPerSector);
      EXPECT_EQ(engine.cd->status().position, track2 + sectors);
    }
    if (c.afterPlay) c.afterPlay(drive_);
    ASSERT_TRUE(eventually(
        [&] {
          engine.sink->advance(8 * disc::kStereoFramesPerSector);
          return engine.cd->status().audio != AudioStatus::Playing;
        },
        10000));
    std::vector<std::uint8_t> heard = engine.sink->captured();
    heard.erase(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(before));
    const auto sectors = static_cast<int>(heard.size() / disc::kSectorBytes);
    if (c.wholeRange) {
      EXPECT_EQ(sectors, end - track2);
    }
    EXPECT_LE(engine.cd->status().position, track2 + sectors);
    std::vector<std::uint8_t> want = inDrive.expected(track2, sectors);
    for (Lba offset : c.unreadable) {
      std::fill_n(want.begin() + offset * disc::kSectorBytes, disc::kSectorBytes, 0);
    }
    EXPECT_TRUE(heard == want) << sectors << " sectors heard";
  }
}

// Through the drive service that mcisend starts, with the emulation
// preloaded. The audio session of a CD-Extra disc ends 11,400 frames before
// its data track: that is where its last audio track ends, and play stops.
TEST_F(EmulatedCdrom, McisendPlaysACdExtraDiscsAudioSessionToItsEnd) {
  insertMixedDisc(false);
  EmulatedDisc extra = emulatedDisc(disc_);
  extra.toc.tracks[2].start += disc::kSessionGapFrames;
  extra.toc.leadOut += disc::kSessionGapFrames;
  extra.lastSession = extra.toc.tracks[2].start;
  drive_.insert(extra);
  // Past the audio session lie the gap and the data: nothing to hear there.
  std::vector<std::uint8_t> gap(disc::kSectorBytes);
  EXPECT_EQ(disc::openPhysicalDrive("/dev/sr0")->readAudio(disc_.toc.tracks[2].start, 1, gap), 0);
  EXPECT_EQ(mcisend("'open D:\\ type cdaudio alias cd' 'status cd number of tracks' "
                    "'status cd length track 2' 'set cd time format tmsf' 'play cd from 2' "
                    "'status cd mode'"),
            "1\n3\n00:02:00\n\n\nplaying\n");
  EXPECT_GT(servicePid(), 0);  // it runs on, with the drive open
  EXPECT_FALSE(drive_.state().opens.empty());
  EXPECT_TRUE(eventually(
      [&] {
        return mcisend("'open D:\\ type cdaudio alias cd shareable' 'status cd mode'") ==
               "1\nstopped\n";
      },
      8000));
  EXPECT_EQ(mcisend("'open D:\\ type cdaudio alias cd shareable' 'status cd position'"),
            "1\n00:02:00\n");
}

// Through the service, with a stand-in logind: the disc is paused before the
// sleep, the drive resets at the wake, and the same disc is found where it was
// and plays on from there; another disc is a new disc, stopped at its start.
TEST_F(EmulatedCdrom, AfterAWakeTheSameDiscKeepsItsPlaceAndAnotherStartsStopped) {
  startLogind();
  const auto ask = [&](const std::string& commands) {
    return mcisend("'open D:\\ type cdaudio alias cd shareable' " + commands);
  };
  ASSERT_EQ(ask("'play cd from 00:03:00'"), "1\n\n");
  ASSERT_TRUE(eventually([&] { return logind("Held") == "(true,)\n"; }));
  logind("Sleep", "true");
  ASSERT_TRUE(eventually([&] { return ask("'status cd mode'") == "1\npaused\n"; }));
  const std::string place = ask("'status cd position'");
  drive_.reset(1500);
  logind("Sleep", "false");
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  EXPECT_EQ(ask("'status cd position' 'status cd mode'"), place + "paused\n") << log();
  EXPECT_EQ(ask("'play cd' 'status cd mode'"), "1\n\nplaying\n");
  EXPECT_TRUE(eventually([&] { return ask("'status cd position'") > place; }, 2000));

  const EmulatedDisc other =
      emulatedDisc(testdisc::writeDisc(dir_.path() / "other", {testdisc::plainTracks(2, 2)}));
  logind("Sleep", "true");
  ASSERT_TRUE(eventually([&] { return ask("'status cd mode'") == "1\npaused\n"; }));
  drive_.reset(1500, &other);
  logind("Sleep", "false");
  EXPECT_TRUE(eventually(
      [&] {
        return ask("'status cd number of tracks' 'status cd mode' 'status cd position'") ==
               "1\n2\nstopped\n00:02:00\n";
      },
      4000))
      << log();
}

TEST_F(EmulatedCdrom, ADriveThisUserMayNotOpenKeepsItsLetterAndSaysWhy) {
  drive_.configure([](DriveState& s) { s.denied = true; });
  EXPECT_EQ(disc::listPhysicalDrives(), std::vector<std::string>{"/dev/cdrom"});
  int status = 0;
  const std::string output = mcisend("'open D:\\ type cdaudio alias cd'", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find("/dev/cdrom: permission denied"), std::string::npos) << output;
  EXPECT_NE(output.find("add your user to the cdrom group"), std::string::npos) << output;
  EXPECT_NE(log().find("add your user to the cdrom group"), std::string::npos) << log();
}

}  // namespace
}  // namespace tavrelo::cdrom
