#include "platform/disc/PhysicalDrive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <tuple>

#include "platform/os/Fd.h"
#include "platform/os/Log.h"

namespace tavrelo::disc {
namespace {

// libcdio's warnings go to our log instead of straight to stderr.
void routeLibcdioLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    cdio_log_set_handler([](cdio_log_level_t level, const char* message) {
      if (level >= CDIO_LOG_WARN && message != nullptr) os::log(std::string("libcdio: ") + message);
    });
  });
}

struct DeviceListDeleter {
  void operator()(char** list) const { cdio_free_device_list(list); }
};

struct CdioDeleter {
  void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
using CdioPtr = std::unique_ptr<CdIo_t, CdioDeleter>;

class PhysicalDrive final : public DiscSource {
 public:
  explicit PhysicalDrive(std::string device)
      : device_(std::move(device)),
        fd_(::open(device_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    if (fd_.get() < 0) throw DiscError(device_ + ": " + std::strerror(errno));
    if (::ioctl(fd_.get(), CDROM_GET_CAPABILITY, 0) < 0) {
      throw DiscError(device_ + " is not a CD drive");
    }
  }

  ~PhysicalDrive() override {
    // The drive keeps a chosen speed after we leave; give it back its own.
    if (speedChanged_ && cdio_) cdio_set_speed(cdio_.get(), 0);
  }

  std::string describe() const override { return device_; }

  MediaState mediaState() override {
    const int status = ::ioctl(fd_.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
    MediaState state = MediaState::DiscPresent;  // CDS_NO_INFO: let the TOC read decide
    if (status < 0) {
      state = MediaState::NoDisc;  // the drive does not answer
    } else if (status == CDS_TRAY_OPEN) {
      state = MediaState::TrayOpen;
    } else if (status == CDS_NO_DISC || status == CDS_DRIVE_NOT_READY) {
      state = MediaState::NoDisc;
    }
    if (state != MediaState::DiscPresent && lastState_ == MediaState::DiscPresent) dropDisc();
    lastState_ = state;
    return state;
  }

  std::uint64_t mediaGeneration() override {
    if (::ioctl(fd_.get(), CDROM_MEDIA_CHANGED, CDSL_CURRENT) == 1) dropDisc();
    return generation_;
  }

  Toc readToc() override {
    CdIo_t* cdio = handle();
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
      dropDisc();
      throw DiscError(device_ + ": no readable table of contents");
    }
    Toc toc;
    for (track_t t = first; t < first + count; ++t) {
      const lba_t start = cdio_get_track_lba(cdio, t);
      if (start == CDIO_INVALID_LBA)
        throw DiscError(device_ + ": track " + std::to_string(t) + " has no address");
      toc.tracks.push_back({t, start, cdio_get_track_format(cdio, t) == TRACK_FORMAT_AUDIO});
    }
    toc.leadOut = cdio_get_track_lba(cdio, CDIO_CDROM_LEADOUT_TRACK);
    leadOut_ = toc.leadOut;
    return toc;
  }

  int readAudio(Lba lba, int count, std::span<std::uint8_t> out) override {
    if (leadOut_ == 0) readToc();
    if (count <= 0 || lba >= leadOut_) return 0;
    if (lba < kLeadInFrames)
      throw DiscError(device_ + ": address " + std::to_string(lba) + " lies in the lead-in");
    count = std::min(count, leadOut_ - lba);
    if (out.size() < static_cast<std::size_t>(count) * kSectorBytes) {
      throw DiscError("readAudio: the buffer holds fewer than " + std::to_string(count) +
                      " sectors");
    }
    const driver_return_code_t rc = cdio_read_audio_sectors(
        handle(), out.data(), lba - kLeadInFrames, static_cast<std::uint32_t>(count));
    if (rc != DRIVER_OP_SUCCESS) {
      throw DiscError(device_ + ": cannot read sectors " + std::to_string(lba) + " to " +
                      std::to_string(lba + count - 1) + " (" + cdio_driver_errmsg(rc) + ")");
    }
    return count;
  }

  bool hasTray() const override { return true; }

  void eject() override {
    dropDisc();
    ::ioctl(fd_.get(), CDROM_LOCKDOOR, 0);
    if (::ioctl(fd_.get(), CDROMEJECT) != 0) {
      throw DiscError(device_ + ": eject failed: " + std::strerror(errno));
    }
  }

  void closeTray() override {
    if (::ioctl(fd_.get(), CDROMCLOSETRAY) != 0) {
      throw DiscError(device_ + ": closing the tray failed: " + std::strerror(errno));
    }
    dropDisc();
  }

  void setReadSpeed(int speed) override {
    if (cdio_set_speed(handle(), speed) == DRIVER_OP_SUCCESS) speedChanged_ = speed != 0;
  }

 private:
  // libcdio caches the TOC in its handle: a new disc needs a new handle.
  CdIo_t* handle() {
    if (!cdio_) {
      cdio_.reset(cdio_open(device_.c_str(), DRIVER_LINUX));
      if (!cdio_) throw DiscError(device_ + ": libcdio cannot open the drive");
    }
    return cdio_.get();
  }

  void dropDisc() {
    if (speedChanged_ && cdio_) cdio_set_speed(cdio_.get(), 0);
    speedChanged_ = false;
    cdio_.reset();
    leadOut_ = 0;
    ++generation_;
  }

  std::string device_;
  os::Fd fd_;
  CdioPtr cdio_;
  Lba leadOut_ = 0;
  std::uint64_t generation_ = 1;
  MediaState lastState_ = MediaState::DiscPresent;
  bool speedChanged_ = false;
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
  routeLibcdioLog();
  std::unique_ptr<char*, DeviceListDeleter> list(cdio_get_devices(DRIVER_LINUX));
  std::vector<std::string> candidates;
  for (char** name = list.get(); name != nullptr && *name != nullptr; ++name) {
    candidates.emplace_back(*name);
  }
  return distinctDevices(candidates);
}

std::unique_ptr<DiscSource> openPhysicalDrive(const std::string& device) {
  routeLibcdioLog();
  return std::make_unique<PhysicalDrive>(device);
}

}  // namespace tavrelo::disc
