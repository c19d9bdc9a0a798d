#include "platform/disc/PhysicalDrive.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/mmc_util.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <tuple>
#include <utility>

#include "platform/disc/TextEncoding.h"
#include "platform/os/Fd.h"
#include "platform/os/Log.h"

namespace tavrelo::disc {
namespace {

// No single drive command may hold the drive (and everyone waiting on it)
// longer than this; the kernel's own default is 60 s, libcdio's read timeout 3 min.
constexpr std::uint32_t kCommandTimeoutMs = 10000;
// How often a drive that went away is looked for again.
constexpr auto kSearchInterval = std::chrono::milliseconds(500);

void setUpLibcdio() {
  static std::once_flag once;
  std::call_once(once, [] {
    // libcdio's warnings go to our log instead of straight to stderr.
    cdio_log_set_handler([](cdio_log_level_t level, const char* message) {
      if (level >= CDIO_LOG_WARN && message != nullptr) os::log(std::string("libcdio: ") + message);
    });
    mmc_timeout_ms = kCommandTimeoutMs;
  });
}

struct DeviceListDeleter {
  void operator()(char** list) const { cdio_free_device_list(list); }
};

struct CdioDeleter {
  void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
using CdioPtr = std::unique_ptr<CdIo_t, CdioDeleter>;

bool driveIsGone(int error) {
  return error == ENODEV || error == ENXIO || error == ENOENT;
}

std::string permissionAdvice(const std::string& device) {
  return device +
         ": permission denied: this user may not use the CD drive; add your user to the cdrom "
         "group (sudo adduser $USER cdrom) and log in again";
}

// Opens a CD drive's node without waiting for a disc. Throws DiscError.
os::Fd openDriveNode(const std::string& node) {
  os::Fd fd(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == EACCES || errno == EPERM) throw DiscError(permissionAdvice(node));
    throw DiscError(node + ": " + std::strerror(errno),
                    driveIsGone(errno) ? DiscError::Kind::Gone : DiscError::Kind::Other);
  }
  if (::ioctl(fd.get(), CDROM_GET_CAPABILITY, 0) < 0) throw DiscError(node + " is not a CD drive");
  return fd;
}

// A drive's answer to a failed command in words and numbers ("unreadable
// (sense 3/11/05)"), and what it means for the play.
std::string senseText(const unsigned char* sense, DiscError::Kind& kind) {
  const unsigned key = sense[2] & 0x0Fu;
  const unsigned asc = sense[12];
  const unsigned ascq = sense[13];
  kind = DiscError::Kind::Unreadable;
  const char* what = key == 3 ? "unreadable" : "an error";
  if (key == 0 && asc == 0) {
    what = "the drive gave no reason";
  } else if (key == 2 && asc == 0x3A) {
    kind = DiscError::Kind::NoDisc;
    what = "no disc";
  } else if (key == 2 && asc == 0x04) {
    kind = DiscError::Kind::NotReady;
    what = "the drive is not ready";
  } else if (key == 5 && asc == 0x64) {
    kind = DiscError::Kind::NotAudio;
    what = "not an audio sector";
  } else if (key == 5 && asc == 0x21) {
    what = "past the end of the disc";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%s (sense %X/%02X/%02X)", what, key, asc, ascq);
  return text;
}

std::string cdText(const cdtext_t* text, cdtext_field_t field, track_t track) {
  const char* value = text != nullptr ? cdtext_get_const(text, field, track) : nullptr;
  return value != nullptr ? utf8FromUtf8OrLatin1(value) : std::string();
}

// The CD-ROM nodes of this machine that exist, whether or not this user may open them.
std::vector<std::string> driveNodes() {
  std::vector<std::string> nodes{"/dev/cdrom", "/dev/dvd"};
  for (const char* prefix : {"/dev/sr", "/dev/scd"}) {
    for (int i = 0; i < 28; ++i) nodes.push_back(prefix + std::to_string(i));
  }
  std::vector<std::string> present;
  for (const std::string& node : nodes) {
    struct stat info {};
    if (::stat(node.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) present.push_back(node);
  }
  return present;
}

class PhysicalDrive final : public DiscSource {
 public:
  explicit PhysicalDrive(std::string device)
      : device_(std::move(device)), node_(device_), fd_(openDriveNode(device_)) {}

  ~PhysicalDrive() override {
    // The drive keeps a chosen speed after we leave; give it back its own.
    if (speedSet_ && fd_.get() >= 0) ::ioctl(fd_.get(), CDROM_SELECT_SPEED, 0);
  }

  std::string describe() const override { return device_; }

  MediaState mediaState() override {
    if (gone_ && !findAgain()) return MediaState::Gone;
    const int status = ::ioctl(fd_.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (status < 0 && driveIsGone(errno)) {
      lose();
      return MediaState::Gone;
    }
    MediaState state = MediaState::DiscPresent;  // CDS_NO_INFO: let the TOC read decide
    if (status < 0 || status == CDS_NO_DISC) {
      state = MediaState::NoDisc;
    } else if (status == CDS_TRAY_OPEN) {
      state = MediaState::TrayOpen;
    } else if (status == CDS_DRIVE_NOT_READY) {
      // Spinning up after the tray closed, waking from standby or resetting:
      // whatever disc we knew stays known until the drive says otherwise.
      wasNotReady_ = true;
      return MediaState::NotReady;
    }
    const bool wasNotReady = std::exchange(wasNotReady_, false);
    if (state == MediaState::DiscPresent && (!discKnown_ || wasNotReady)) {
      // A disc arrived, with or without a media-change event to say so (the
      // event goes to whichever program asks first). A drive that was not
      // ready may hold another disc now: a slot loader, a reset.
      newDisc();
      discKnown_ = true;
    } else if (state != MediaState::DiscPresent && discKnown_) {
      newDisc();
      discKnown_ = false;
    }
    return state;
  }

  std::uint64_t mediaGeneration() override {
    // The kernel keeps one flag per drive, and whoever asks first takes it.
    if (!gone_ && ::ioctl(fd_.get(), CDROM_MEDIA_CHANGED, CDSL_CURRENT) == 1) newDisc();
    return generation_;
  }

  Toc readToc() override {
    CdIo_t* cdio = handle();
    if (!speedChosen_) applySpeed();
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
      newDisc();
      throw DiscError(device_ + ": no readable table of contents");
    }
    // A CD-Extra disc: the tracks of its last session (the data track) lie
    // past the audio session's lead-out.
    lsn_t lastSession = 0;
    if (cdio_get_last_session(cdio, &lastSession) != DRIVER_OP_SUCCESS) lastSession = 0;
    const cdtext_t* text = cdio_get_cdtext(cdio);
    Toc toc;
    for (track_t t = first; t < first + count; ++t) {
      const lba_t start = cdio_get_track_lba(cdio, t);
      if (start == CDIO_INVALID_LBA)
        throw DiscError(device_ + ": track " + std::to_string(t) + " has no address");
      const bool later = lastSession > 0 && start - kLeadInFrames >= lastSession;
      toc.tracks.push_back(
          {.number = t,
           .start = start,
           .audio = cdio_get_track_format(cdio, t) == TRACK_FORMAT_AUDIO,
           .session = later ? 2 : 1,
           .title = cdText(text, CDTEXT_FIELD_TITLE, t),
           .performer = cdText(text, CDTEXT_FIELD_PERFORMER, t),
           .flags = {
               .preemphasis = cdio_get_track_preemphasis(cdio, t) == CDIO_TRACK_FLAG_TRUE,
               .copyPermitted = cdio_get_track_copy_permit(cdio, t) == CDIO_TRACK_FLAG_TRUE,
               .fourChannel = cdio_get_track_channels(cdio, t) == 4,
           }});
    }
    toc.leadOut = cdio_get_track_lba(cdio, CDIO_CDROM_LEADOUT_TRACK);
    toc.album = cdText(text, CDTEXT_FIELD_TITLE, 0);
    toc.performer = cdText(text, CDTEXT_FIELD_PERFORMER, 0);
    toc.catalog = catalogNumber();
    leadOut_ = toc.leadOut;
    audioEnd_ = toc.audioEnd();
    return toc;
  }

  int readAudio(Lba lba, int count, std::span<std::uint8_t> out) override {
    if (leadOut_ == 0) readToc();
    // Past the last audio sector lie the session gap and data: nothing to hear.
    if (count <= 0 || lba >= audioEnd_) return 0;
    if (lba < kLeadInFrames)
      throw DiscError(device_ + ": address " + std::to_string(lba) + " lies in the lead-in");
    count = std::min(count, audioEnd_ - lba);
    if (out.size() < static_cast<std::size_t>(count) * kSectorBytes) {
      throw DiscError("readAudio: the buffer holds fewer than " + std::to_string(count) +
                      " sectors");
    }
    handle();  // the TOC stays cached with its disc
    // READ CD ourselves rather than through libcdio, which leaves the
    // command's time limit at the kernel's 60 s.
    unsigned char sense[64] = {};
    cdrom_generic_command command{};
    const auto lsn = static_cast<std::uint32_t>(lba - kLeadInFrames);
    const auto sectors = static_cast<std::uint32_t>(count);
    const unsigned char cdb[12] = {0xBE,
                                   0x04,  // READ CD, sectors of CD-DA only
                                   static_cast<unsigned char>(lsn >> 24),
                                   static_cast<unsigned char>(lsn >> 16),
                                   static_cast<unsigned char>(lsn >> 8),
                                   static_cast<unsigned char>(lsn),
                                   static_cast<unsigned char>(sectors >> 16),
                                   static_cast<unsigned char>(sectors >> 8),
                                   static_cast<unsigned char>(sectors),
                                   0x78,  // the whole 2352 bytes
                                   0,
                                   0};
    std::memcpy(command.cmd, cdb, sizeof cdb);
    command.buffer = out.data();
    command.buflen = sectors * kSectorBytes;
    command.sense = reinterpret_cast<request_sense*>(sense);
    command.data_direction = CGC_DATA_READ;
    command.quiet = 1;
    command.timeout = kCommandTimeoutMs;
    if (::ioctl(fd_.get(), CDROM_SEND_PACKET, &command) == 0) return count;
    const int error = errno;
    const std::string where =
        count == 1 ? "sector " + std::to_string(lba)
                   : "sectors " + std::to_string(lba) + " to " + std::to_string(lba + count - 1);
    struct stat info {};
    if (driveIsGone(error) || ::stat(node_.c_str(), &info) != 0) {
      lose();
      throw DiscError(device_ + ": cannot read " + where + ": the drive is gone",
                      DiscError::Kind::Gone);
    }
    DiscError::Kind kind = DiscError::Kind::Unreadable;
    const std::string why = senseText(sense, kind);
    throw DiscError(device_ + ": cannot read " + where + ": " + why, kind);
  }

  bool hasTray() const override { return true; }

  void eject() override {
    if (gone_) throw DiscError(device_ + ": the drive is gone", DiscError::Kind::Gone);
    // The kernel refuses to eject while a second descriptor is open, and
    // libcdio's handle holds one.
    cdio_.reset();
    newDisc();
    discKnown_ = false;
    ::ioctl(fd_.get(), CDROM_LOCKDOOR, 0);
    if (::ioctl(fd_.get(), CDROMEJECT) != 0) {
      if (errno == EBUSY) {
        throw DiscError(device_ +
                        ": the drive is busy: another program (a file manager that "
                        "mounted the disc, another player) holds it open");
      }
      throw DiscError(device_ + ": eject failed: " + std::strerror(errno));
    }
  }

  void closeTray() override {
    if (gone_) throw DiscError(device_ + ": the drive is gone", DiscError::Kind::Gone);
    if (::ioctl(fd_.get(), CDROMCLOSETRAY) != 0) {
      const int error = errno;
      const int capability = ::ioctl(fd_.get(), CDROM_GET_CAPABILITY, 0);
      if (capability >= 0 && (capability & CDC_CLOSE_TRAY) == 0) {
        throw DiscError(device_ + ": this drive cannot close its tray; push it in");
      }
      throw DiscError(device_ + ": closing the tray failed: " + std::strerror(error));
    }
    newDisc();
    discKnown_ = false;
  }

  void setReadSpeed(int speed) override {
    wantedSpeed_ = speed;
    applySpeed();
  }

  bool seeksSlowly() const override { return true; }

 private:
  // libcdio caches the TOC in its handle: a new disc needs a new handle.
  CdIo_t* handle() {
    if (gone_) throw DiscError(device_ + ": the drive is gone", DiscError::Kind::Gone);
    if (!cdio_) {
      cdio_.reset(cdio_open(node_.c_str(), DRIVER_LINUX));
      if (!cdio_) throw DiscError(device_ + ": libcdio cannot open the drive");
    }
    return cdio_.get();
  }

  // The disc's MCN through the kernel (READ SUB-CHANNEL); empty when the disc
  // has none (all zeros) or the drive does not say.
  std::string catalogNumber() {
    cdrom_mcn mcn{};
    if (::ioctl(fd_.get(), CDROM_GET_MCN, &mcn) != 0) return {};
    const auto* digits = reinterpret_cast<const char*>(mcn.medium_catalog_number);
    std::string number(digits, ::strnlen(digits, sizeof mcn.medium_catalog_number));
    return number.find_first_not_of('0') == std::string::npos ? std::string() : number;
  }

  // Drives go back to their own (full, loud) speed with every new disc, so
  // the speed is asked for again each time one is taken in.
  void applySpeed() {
    speedChosen_ = true;
    if (gone_ || (wantedSpeed_ == 0 && !speedSet_)) return;
    if (::ioctl(fd_.get(), CDROM_SELECT_SPEED, wantedSpeed_) == 0) {
      speedSet_ = wantedSpeed_ != 0;
    } else if (!speedRefusalTold_) {
      speedRefusalTold_ = true;
      os::log(device_ + ": the drive keeps its own read speed (" + std::strerror(errno) + ")");
    }
  }

  void newDisc() {
    cdio_.reset();
    leadOut_ = 0;
    audioEnd_ = 0;
    speedChosen_ = false;
    ++generation_;
  }

  // The drive is unplugged: let go of it, so the kernel can give it its old
  // node back when it returns.
  void lose() {
    if (gone_) return;
    newDisc();
    fd_ = os::Fd();
    gone_ = true;
    discKnown_ = false;
    nodesAtLoss_ = driveNodes();
    lastSearch_ = std::chrono::steady_clock::now();
    os::log(device_ + ": the drive is gone (unplugged?); waiting for it to come back");
  }

  // The drive back under its own name, or as a node that appeared since it
  // went away (a USB drive plugged back while its old number was held).
  bool findAgain() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSearch_ < kSearchInterval) return false;
    lastSearch_ = now;
    std::vector<std::string> candidates{device_};
    for (const std::string& node : driveNodes()) {
      if (std::find(nodesAtLoss_.begin(), nodesAtLoss_.end(), node) == nodesAtLoss_.end()) {
        candidates.push_back(node);
      }
    }
    for (const std::string& node : candidates) {
      try {
        fd_ = openDriveNode(node);
      } catch (const DiscError&) {
        continue;
      }
      node_ = node;
      gone_ = false;
      newDisc();
      os::log(device_ + ": the drive is back" + (node == device_ ? "" : " as " + node));
      if (wantedSpeed_ != 0) applySpeed();
      return true;
    }
    return false;
  }

  const std::string device_;  // the name the drive was opened by
  std::string node_;          // where it is now
  os::Fd fd_;
  CdioPtr cdio_;
  Lba leadOut_ = 0;
  Lba audioEnd_ = 0;  // the first address past the last audio sector
  std::uint64_t generation_ = 1;
  bool discKnown_ = false;
  bool wasNotReady_ = false;  // the last state asked for was "not ready"
  bool gone_ = false;
  std::vector<std::string> nodesAtLoss_;
  std::chrono::steady_clock::time_point lastSearch_{};
  int wantedSpeed_ = 0;
  bool speedChosen_ = false;  // asked for since the last disc change
  bool speedSet_ = false;     // the drive runs at a speed of ours
  bool speedRefusalTold_ = false;
};

}  // namespace

std::vector<std::string> distinctDevices(const std::vector<std::string>& candidates) {
  // Devices compare by device number, other files by inode.
  std::vector<std::tuple<bool, dev_t, ino_t>> seen;
  std::vector<std::string> drives;
  for (const std::string& name : candidates) {
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) {
      os::log("skipping CD drive " + name + ": " + std::strerror(errno));
      continue;
    }
    const bool device = S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode);
    const auto key = device ? std::make_tuple(true, info.st_rdev, ino_t{0})
                            : std::make_tuple(false, info.st_dev, info.st_ino);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    drives.push_back(name);
  }
  return drives;
}

std::vector<std::string> listPhysicalDrives() {
  setUpLibcdio();
  std::unique_ptr<char*, DeviceListDeleter> list(cdio_get_devices(DRIVER_LINUX));
  std::vector<std::string> candidates;
  for (char** name = list.get(); name != nullptr && *name != nullptr; ++name) {
    candidates.emplace_back(*name);
  }
  // libcdio leaves out, without a word, the drives this user may not open.
  // Windows lists a drive whatever its rights, and the user needs to learn why
  // it does not play.
  for (const std::string& node : driveNodes()) {
    if (std::find(candidates.begin(), candidates.end(), node) != candidates.end()) continue;
    const os::Fd probe(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (probe.get() >= 0 || (errno != EACCES && errno != EPERM)) continue;
    os::log(permissionAdvice(node));
    candidates.push_back(node);
  }
  return distinctDevices(candidates);
}

std::unique_ptr<DiscSource> openPhysicalDrive(const std::string& device) {
  setUpLibcdio();
  return std::make_unique<PhysicalDrive>(device);
}

}  // namespace tavrelo::disc
