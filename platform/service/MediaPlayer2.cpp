#include "platform/service/MediaPlayer2.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/os/LockFile.h"
#include "platform/os/Spawn.h"
#include "platform/service/ServiceLauncher.h"

namespace tavrelo::service {
namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRoot = "org.mpris.MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// The base name of the program's desktop entry.
constexpr const char* kDesktopEntry = "org.example.tavrelo.Tavrelo2";

std::int64_t micros(std::int64_t frames) {
  return frames * 1'000'000 / disc::kFramesPerSecond;
}

std::int64_t frames(std::int64_t micros) {
  return micros * disc::kFramesPerSecond / 1'000'000;
}

using drive::AudioStatus;
using drive::Lba;

std::string trackPath(int number) {
  return "/org/tavrelo2/track/" + std::to_string(number);
}

// D-Bus refuses strings that are not UTF-8; a title of stray bytes is shown
// with question marks rather than lose the whole of the metadata.
std::string validUtf8(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xe  ? 3
                               : (lead >> 3) == 0x1e ? 4
                                                     : 0;
    bool whole = length > 0 && i + length <= text.size() && !(length == 1 && lead == 0);
    for (std::size_t k = 1; whole && k < length; ++k) {
      whole = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
    }
    out += whole ? text.substr(i, length) : "?";
    i += whole ? length : 1;
  }
  return out;
}

const disc::Track* firstAudio(const drive::Toc& toc) {
  for (const disc::Track& t : toc.tracks) {
    if (t.audio) return &t;
  }
  return nullptr;
}

// The audio track after (or before) `number`, going round the disc.
const disc::Track* neighbour(const drive::Toc& toc, int number, int step) {
  const int count = static_cast<int>(toc.tracks.size());
  int at = 0;
  while (at < count && toc.tracks[static_cast<std::size_t>(at)].number != number) ++at;
  if (at == count) return firstAudio(toc);
  for (int k = 1; k <= count; ++k) {
    const auto& t = toc.tracks[static_cast<std::size_t>(((at + step * k) % count + count) % count)];
    if (t.audio) return &t;
  }
  return nullptr;
}

// Where a play from `from` stops: before the next data track, else at the lead-out.
Lba audioRunEnd(const drive::Toc& toc, Lba from) {
  const int holder = toc.trackAt(from);
  for (const disc::Track& t : toc.tracks) {
    if (t.number > holder && !t.audio) return toc.trackEnd(t.number - 1);
  }
  return toc.leadOut;
}

// The found titles of track `t`: the n-th audio track has the n-th found
// name; nullptr when the lookup named fewer tracks.
const titles::DiscTitles::Track* foundFor(const drive::Toc& toc, const disc::Track& t,
                                          const titles::DiscTitles& found) {
  std::size_t index = 0;
  for (const disc::Track& other : toc.tracks) {
    if (other.number == t.number) break;
    if (other.audio) ++index;
  }
  return index < found.tracks.size() ? &found.tracks[index] : nullptr;
}

// "file:///home/a%20b/c.jpg": every byte but letters, digits and -._~/ escaped.
std::string fileUrl(const std::filesystem::path& file) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char c : file.string()) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || std::strchr("-._~/", c) != nullptr) {
      url += c;
    } else {
      url += {'%', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  return url;
}

int appendVariant(sd_bus_message* m, const char* key, char type, const void* value) {
  const char signature[2] = {type, '\0'};
  int r = sd_bus_message_open_container(m, 'e', "sv");
  if (r >= 0) r = sd_bus_message_append_basic(m, 's', key);
  if (r >= 0) r = sd_bus_message_open_container(m, 'v', signature);
  if (r >= 0) r = sd_bus_message_append_basic(m, type, value);
  if (r >= 0) r = sd_bus_message_close_container(m);
  if (r >= 0) r = sd_bus_message_close_container(m);
  return r;
}

}  // namespace

const drive::Toc* KnownDrive::tocFor(const drive::DriveStatus& status) {
  if (!status.mediaPresent) return nullptr;
  if (tocGeneration != status.mediaGeneration || !toc) {
    drive::Toc read;
    tocGeneration = status.mediaGeneration;
    toc = drive->readToc(read) == drive::DriveError::None ? std::optional(read) : std::nullopt;
    if (!toc) toc = drive::Toc{};
  }
  return toc->empty() ? nullptr : &*toc;
}

KnownDrive& DriveRoster::note(const std::shared_ptr<drive::CdDrive>& drive,
                              const std::string& label) {
  auto found = std::find_if(drives_.begin(), drives_.end(),
                            [&](const KnownDrive& k) { return k.drive == drive; });
  if (found == drives_.end()) {
    found = drives_.emplace(drives_.end());
    found->drive = drive;
  }
  if (!label.empty()) found->label = label;
  found->lastUse = ++uses_;
  return *found;
}

KnownDrive* DriveRoster::current() {
  KnownDrive* best = nullptr;
  int bestRank = -1;
  for (KnownDrive& k : drives_) {
    const AudioStatus audio = k.drive->status().audio;
    const int rank = audio == AudioStatus::Playing ? 2 : audio == AudioStatus::Paused ? 1 : 0;
    if (rank > bestRank || (rank == bestRank && k.lastUse > best->lastUse)) {
      best = &k;
      bestRank = rank;
    }
  }
  return best;
}

MediaPlayer2::MediaPlayer2(sd_bus* bus, DriveRoster& roster, MediaPlayerOptions options)
    : bus_(bus), roster_(roster), options_(std::move(options)) {
  constexpr auto kChanges = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;
  constexpr auto kConst = SD_BUS_VTABLE_PROPERTY_CONST;
  constexpr auto kMethod = SD_BUS_VTABLE_UNPRIVILEGED;
  static const sd_bus_vtable root[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Raise", "", "", call, kMethod),
      SD_BUS_METHOD("Quit", "", "", call, kMethod),
      SD_BUS_PROPERTY("CanQuit", "b", getProperty, 0, kConst),
      SD_BUS_PROPERTY("CanRaise", "b", getProperty, 0, kConst),
      SD_BUS_PROPERTY("HasTrackList", "b", getProperty, 0, kConst),
      SD_BUS_PROPERTY("Identity", "s", getProperty, 0, kConst),
      SD_BUS_PROPERTY("DesktopEntry", "s", getProperty, 0, kConst),
      SD_BUS_PROPERTY("SupportedUriSchemes", "as", getProperty, 0, kConst),
      SD_BUS_PROPERTY("SupportedMimeTypes", "as", getProperty, 0, kConst),
      SD_BUS_VTABLE_END,
  };
  static const sd_bus_vtable player[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Next", "", "", call, kMethod),
      SD_BUS_METHOD("Previous", "", "", call, kMethod),
      SD_BUS_METHOD("Pause", "", "", call, kMethod),
      SD_BUS_METHOD("PlayPause", "", "", call, kMethod),
      SD_BUS_METHOD("Stop", "", "", call, kMethod),
      SD_BUS_METHOD("Play", "", "", call, kMethod),
      SD_BUS_METHOD("Seek", "x", "", call, kMethod),
      SD_BUS_METHOD("SetPosition", "ox", "", call, kMethod),
      SD_BUS_METHOD("OpenUri", "s", "", call, kMethod),
      SD_BUS_SIGNAL("Seeked", "x", 0),
      SD_BUS_PROPERTY("PlaybackStatus", "s", getProperty, 0, kChanges),
      SD_BUS_WRITABLE_PROPERTY("Rate", "d", getProperty, setIgnored, 0, kChanges),
      SD_BUS_PROPERTY("Metadata", "a{sv}", getProperty, 0, kChanges),
      SD_BUS_WRITABLE_PROPERTY("Volume", "d", getProperty, setVolume, 0, kChanges),
      SD_BUS_PROPERTY("Position", "x", getProperty, 0, 0),
      SD_BUS_PROPERTY("MinimumRate", "d", getProperty, 0, kConst),
      SD_BUS_PROPERTY("MaximumRate", "d", getProperty, 0, kConst),
      SD_BUS_PROPERTY("CanGoNext", "b", getProperty, 0, kChanges),
      SD_BUS_PROPERTY("CanGoPrevious", "b", getProperty, 0, kChanges),
      SD_BUS_PROPERTY("CanPlay", "b", getProperty, 0, kChanges),
      SD_BUS_PROPERTY("CanPause", "b", getProperty, 0, kChanges),
      SD_BUS_PROPERTY("CanSeek", "b", getProperty, 0, kChanges),
      SD_BUS_PROPERTY("CanControl", "b", getProperty, 0, kConst),
      SD_BUS_VTABLE_END,
  };
  int r = sd_bus_add_object_vtable(bus_, &rootSlot_, kPath, kRoot, root, this);
  if (r >= 0) r = sd_bus_add_object_vtable(bus_, &playerSlot_, kPath, kPlayer, player, this);
  if (r >= 0) {
    r = sd_bus_request_name_async(bus_, nullptr, "org.mpris.MediaPlayer2.tavrelo2", 0, nullptr,
                                  nullptr);
  }
  if (r < 0) options_.log(std::string("cannot offer the media controls: ") + std::strerror(-r));
}

MediaPlayer2::~MediaPlayer2() {
  sd_bus_slot_unref(playerSlot_);
  sd_bus_slot_unref(rootSlot_);
}

MediaPlayer2::View MediaPlayer2::look() {
  View view;
  view.known = roster_.current();
  if (view.known == nullptr) return view;
  view.status = view.known->drive->status();
  view.toc = view.known->tocFor(view.status);
  if (view.toc == nullptr) return view;
  view.track = view.toc->find(view.status.track);
  if (view.track == nullptr || !view.track->audio) view.track = firstAudio(*view.toc);
  return view;
}

MediaPlayer2::Shown MediaPlayer2::shownOf(const View& view) const {
  Shown shown;
  switch (view.status.audio) {
    case AudioStatus::Playing:
      shown.playback = "Playing";
      break;
    case AudioStatus::Paused:
      shown.playback = "Paused";
      break;
    default:
      shown.playback = "Stopped";
      break;
  }
  shown.can = view.track != nullptr;
  if (view.known != nullptr) shown.volume = view.known->drive->volume();
  if (view.track != nullptr) {
    shown.track = std::to_string(reinterpret_cast<std::uintptr_t>(view.known)) + "/" +
                  std::to_string(view.status.mediaGeneration) + "/" +
                  std::to_string(view.track->number) + "/" +
                  std::to_string(view.known->titlesSerial);
  }
  return shown;
}

void MediaPlayer2::publish(bool seeked) {
  View view = look();
  const Shown now = shownOf(view);
  std::vector<const char*> names;
  if (!shown_ || shown_->playback != now.playback) names.push_back("PlaybackStatus");
  if (!shown_ || shown_->track != now.track) names.push_back("Metadata");
  if (!shown_ || shown_->volume != now.volume) names.push_back("Volume");
  if (!shown_ || shown_->can != now.can) {
    names.insert(names.end(), {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious", "CanSeek"});
  }
  shown_ = now;
  if (!names.empty()) {
    names.push_back(nullptr);
    sd_bus_emit_properties_changed_strv(bus_, kPath, kPlayer, const_cast<char**>(names.data()));
  }
  if (seeked && view.track != nullptr) {
    const std::int64_t at =
        micros(std::max<std::int64_t>(0, view.status.position - view.track->start));
    sd_bus_emit_signal(bus_, kPath, kPlayer, "Seeked", "x", at);
  }
}

int MediaPlayer2::getProperty(sd_bus*, const char*, const char*, const char* property,
                              sd_bus_message* reply, void* self, sd_bus_error*) {
  return static_cast<MediaPlayer2*>(self)->property(property, reply);
}

int MediaPlayer2::setIgnored(sd_bus*, const char*, const char*, const char*, sd_bus_message*, void*,
                             sd_bus_error*) {
  return 0;  // one rate only
}

int MediaPlayer2::setVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                            void* self, sd_bus_error*) {
  double level = 0;
  const int r = sd_bus_message_read(value, "d", &level);
  if (r < 0) return r;
  auto& player = *static_cast<MediaPlayer2*>(self);
  if (KnownDrive* known = player.roster_.current()) known->drive->setVolume(level);
  if (player.changed) player.changed(false);
  return 0;
}

int MediaPlayer2::property(const std::string& name, sd_bus_message* reply) {
  const auto boolean = [&](bool value) {
    const int v = value ? 1 : 0;
    return sd_bus_message_append_basic(reply, 'b', &v);
  };
  const auto number = [&](double value) { return sd_bus_message_append_basic(reply, 'd', &value); };
  if (name == "CanQuit" || name == "CanRaise" || name == "CanControl") return boolean(true);
  if (name == "HasTrackList") return boolean(false);
  if (name == "Identity") return sd_bus_message_append(reply, "s", "Tavrelo 2");
  if (name == "DesktopEntry") return sd_bus_message_append(reply, "s", kDesktopEntry);
  if (name == "SupportedUriSchemes") return sd_bus_message_append(reply, "as", 1, "cdda");
  if (name == "SupportedMimeTypes") {
    return sd_bus_message_append(reply, "as", 2, "x-content/audio-cdda", "application/x-cue");
  }
  if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") return number(1.0);
  const View view = look();
  if (name == "Volume") return number(shownOf(view).volume);
  if (name == "PlaybackStatus")
    return sd_bus_message_append(reply, "s", shownOf(view).playback.c_str());
  if (name == "Metadata") return appendMetadata(reply, view);
  if (name == "Position") {
    const std::int64_t heard =
        view.track ? std::max<std::int64_t>(0, view.status.position - view.track->start) : 0;
    return sd_bus_message_append(reply, "x", micros(heard));
  }
  return boolean(view.track != nullptr);  // the Can* of the player
}

int MediaPlayer2::appendMetadata(sd_bus_message* m, const View& view) {
  int r = sd_bus_message_open_container(m, 'a', "{sv}");
  if (r < 0) return r;
  if (view.track == nullptr) {
    r = appendVariant(m, "mpris:trackid", 'o', kNoTrack);
    return r < 0 ? r : sd_bus_message_close_container(m);
  }
  const disc::Track& t = *view.track;
  const std::string id = trackPath(t.number);
  const std::int64_t length = micros(view.toc->trackEnd(t.number) - t.start);
  // The disc's own titles first; what a lookup found fills the gaps.
  const titles::DiscTitles none;
  const titles::DiscTitles& found = view.known->found ? *view.known->found : none;
  const titles::DiscTitles::Track* foundTrack = foundFor(*view.toc, t, found);
  const auto pick = [](const std::string& own, const std::string& looked, std::string fallback) {
    return validUtf8(!own.empty() ? own : !looked.empty() ? looked : fallback);
  };
  const std::string title = pick(t.title, foundTrack ? foundTrack->title : std::string(),
                                 "Piste " + std::to_string(t.number));
  const std::string& label = view.known->label;
  const std::string album =
      pick(view.toc->album, found.album, label.empty() ? "CD Audio" : "CD Audio (" + label + ")");
  const std::string albumArtist = pick(view.toc->performer, found.albumArtist, "");
  const std::string artist =
      pick(t.performer.empty() ? view.toc->performer : t.performer,
           foundTrack && !foundTrack->artist.empty() ? foundTrack->artist : found.albumArtist, "");
  const std::filesystem::path& cover =
      !view.known->cover.empty() ? view.known->cover : options_.discPicture;
  std::error_code missing;
  const std::string art =
      !cover.empty() && std::filesystem::exists(cover, missing) ? fileUrl(cover) : std::string();
  const std::int32_t number = t.number;
  r = appendVariant(m, "mpris:trackid", 'o', id.c_str());
  if (r >= 0) r = appendVariant(m, "mpris:length", 'x', &length);
  if (r >= 0) r = appendVariant(m, "xesam:title", 's', title.c_str());
  if (r >= 0) r = appendVariant(m, "xesam:album", 's', album.c_str());
  if (r >= 0) r = appendVariant(m, "xesam:trackNumber", 'i', &number);
  if (r >= 0 && !artist.empty()) {
    r = sd_bus_message_append(m, "{sv}", "xesam:artist", "as", 1, artist.c_str());
  }
  if (r >= 0 && !albumArtist.empty()) {
    r = sd_bus_message_append(m, "{sv}", "xesam:albumArtist", "as", 1, albumArtist.c_str());
  }
  if (r >= 0 && !art.empty()) r = appendVariant(m, "mpris:artUrl", 's', art.c_str());
  return r < 0 ? r : sd_bus_message_close_container(m);
}

int MediaPlayer2::call(sd_bus_message* message, void* self, sd_bus_error*) {
  auto& player = *static_cast<MediaPlayer2*>(self);
  if (std::strcmp(sd_bus_message_get_member(message), "OpenUri") == 0) {
    return sd_bus_reply_method_errorf(message, SD_BUS_ERROR_NOT_SUPPORTED,
                                      "choose the disc in the window");
  }
  player.act(sd_bus_message_get_member(message), message);
  return sd_bus_reply_method_return(message, "");
}

void MediaPlayer2::act(const std::string& method, sd_bus_message* message) {
  if (method == "Raise") return raise();
  if (method == "Quit") {
    quit();
    if (changed) changed(false);
    return;
  }
  View view = look();
  if (view.track == nullptr) return;  // no disc to play: every control does nothing
  drive::CdDrive& d = *view.known->drive;
  const AudioStatus audio = view.status.audio;
  bool seeked = false;
  if (method == "Play" || (method == "PlayPause" && audio != AudioStatus::Playing)) {
    if (audio == AudioStatus::Paused) {
      d.resume();
    } else if (audio != AudioStatus::Playing) {
      const Lba at = view.status.position;
      play(*view.known, *view.toc,
           view.toc->trackAt(at) == view.track->number ? at : view.track->start);
    }
  } else if (method == "Pause" || method == "PlayPause") {
    if (audio == AudioStatus::Playing) d.pause();
  } else if (method == "Stop") {
    // As the window's Stop: the disc stands at its first track after.
    d.stop();
    d.seek(firstAudio(*view.toc)->start);
  } else if (method == "Next" || method == "Previous") {
    goToTrack(view, neighbour(*view.toc, view.track->number, method == "Next" ? 1 : -1)->number);
  } else if (method == "Seek" || method == "SetPosition") {
    const char* track = nullptr;
    std::int64_t offset = 0;
    const bool relative = method == "Seek";
    if (relative ? sd_bus_message_read(message, "x", &offset) < 0
                 : sd_bus_message_read(message, "ox", &track, &offset) < 0) {
      return;
    }
    const Lba start = view.track->start;
    const Lba end = view.toc->trackEnd(view.track->number);
    const Lba here = std::clamp(view.status.position, start, end);
    const std::int64_t target = (relative ? here - start : 0) + frames(offset);
    if (!relative &&
        (trackPath(view.track->number) != track || target < 0 || target >= end - start)) {
      return;
    }
    if (target >= end - start) {
      goToTrack(view, neighbour(*view.toc, view.track->number, 1)->number);
    } else {
      moveTo(view, start + static_cast<Lba>(std::max<std::int64_t>(0, target)));
      seeked = true;
    }
  }
  if (changed) changed(seeked);
}

void MediaPlayer2::goToTrack(View& view, int number) {
  const disc::Track* t = view.toc->find(number);
  if (t != nullptr) moveTo(view, t->start);
}

void MediaPlayer2::moveTo(View& view, Lba lba) {
  // As the window does: a disc that plays plays on from there, else it waits there.
  if (view.status.audio == AudioStatus::Playing) {
    play(*view.known, *view.toc, lba);
  } else {
    view.known->drive->seek(lba);
  }
}

void MediaPlayer2::play(KnownDrive& known, const drive::Toc& toc, Lba from) {
  known.playTo = audioRunEnd(toc, from);
  known.drive->play(from, known.playTo);
}

void MediaPlayer2::raise() {
  // A window already open comes forward by itself when a second copy starts.
  std::string error;
  if (os::spawnDetached(options_.program, {}, {"/", options_.logFile}, error) == 0) {
    options_.log("cannot start " + options_.program.string() + ": " + error);
  }
}

void MediaPlayer2::quit() {
  for (KnownDrive& k : roster_.all()) {
    const AudioStatus audio = k.drive->status().audio;
    if (audio == AudioStatus::Playing || audio == AudioStatus::Paused) k.drive->stop();
  }
  // The window closes on this as on its close box, and writes its pid into its lock.
  const pid_t window = os::lockHolder(options_.instanceLock, options_.program.filename().string());
  if (window > 0) ::kill(window, SIGTERM);
}

}  // namespace tavrelo::service
