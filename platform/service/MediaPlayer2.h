#pragma once

// MPRIS 2 for the drive service: org.mpris.MediaPlayer2.tavrelo2 on the
// session bus. The player is the drive that plays (or stands paused), else
// the one last used; it follows the window's rules (Next after the last audio
// track is track 1, Stop goes back to track 1).

#include <systemd/sd-bus.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/drive/CdDrive.h"
#include "platform/titles/ReplyTitles.h"

namespace tavrelo::service {

// The drives clients have used, with what the desktop needs to know of each.
struct KnownDrive {
  std::shared_ptr<drive::CdDrive> drive;
  std::string label;          // "D:\"; empty when the client did not say
  drive::Lba playTo = 0;      // the end of its last play range
  std::uint64_t lastUse = 0;  // larger is more recent
  std::uint64_t tocGeneration = 0;
  std::optional<drive::Toc> toc;  // for tocGeneration; empty when unreadable
  // Titles found on the Internet for the disc of tocGeneration; they fill
  // only what the TOC's own titles leave empty.
  std::uint64_t titlesFor = 0;  // tocGeneration + 1 when they were sought; 0 with no disc
  std::uint64_t titlesTicket = 0;
  std::optional<titles::DiscTitles> found;
  std::filesystem::path cover;
  std::uint64_t titlesSerial = 0;  // changes with what the desktop must be shown again

  // The TOC of the disc `status` describes, read once per disc.
  const drive::Toc* tocFor(const drive::DriveStatus& status);
};

class DriveRoster {
 public:
  KnownDrive& note(const std::shared_ptr<drive::CdDrive>& drive, const std::string& label);
  std::vector<KnownDrive>& all() { return drives_; }
  // The drive that plays, else the paused one, else the last used; null when none.
  KnownDrive* current();

 private:
  std::vector<KnownDrive> drives_;
  std::uint64_t uses_ = 0;
};

struct MediaPlayerOptions {
  std::filesystem::path program;       // Raise starts it
  std::filesystem::path instanceLock;  // holds the window's pid, for Quit
  std::filesystem::path logFile;       // the window's output goes there
  std::filesystem::path discPicture;   // the cover of a disc without one; may be missing
  std::function<void(const std::string&)> log;
};

class MediaPlayer2 {
 public:
  // Registers the object and asks for the name on `bus`, which it does not own.
  MediaPlayer2(sd_bus* bus, DriveRoster& roster, MediaPlayerOptions options);
  ~MediaPlayer2();
  MediaPlayer2(const MediaPlayer2&) = delete;
  MediaPlayer2& operator=(const MediaPlayer2&) = delete;

  // Publishes what changed since the last call; `seeked` also sends Seeked.
  void publish(bool seeked = false);
  // Set by the owner: called after every change this object makes to a drive.
  std::function<void(bool seeked)> changed;

 private:
  struct Shown {
    std::string playback;
    std::string track;  // what the metadata describes
    bool can = false;
    double volume = 1.0;
    bool operator==(const Shown&) const = default;
  };
  struct View {
    KnownDrive* known = nullptr;
    drive::DriveStatus status;
    const drive::Toc* toc = nullptr;
    const disc::Track* track = nullptr;  // the audio track shown
  };

  static int getProperty(sd_bus*, const char*, const char*, const char* property,
                         sd_bus_message* reply, void* self, sd_bus_error*);
  static int setIgnored(sd_bus*, const char*, const char*, const char*, sd_bus_message*, void*,
                        sd_bus_error*);
  static int setVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                       void* self, sd_bus_error*);
  static int call(sd_bus_message* message, void* self, sd_bus_error* error);

  View look();
  Shown shownOf(const View& view) const;
  int property(const std::string& name, sd_bus_message* reply);
  int appendMetadata(sd_bus_message* reply, const View& view);
  void act(const std::string& method, sd_bus_message* message);
  void goToTrack(View& view, int number);
  void moveTo(View& view, drive::Lba lba);
  void play(KnownDrive& known, const drive::Toc& toc, drive::Lba from);
  void raise();
  void quit();

  sd_bus* bus_;
  DriveRoster& roster_;
  MediaPlayerOptions options_;
  sd_bus_slot* rootSlot_ = nullptr;
  sd_bus_slot* playerSlot_ = nullptr;
  std::optional<Shown> shown_;
};

}  // namespace tavrelo::service
