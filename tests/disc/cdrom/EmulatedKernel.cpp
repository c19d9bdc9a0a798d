// The Linux kernel's side of CD drives, as libcdio and our disc code reach it
// through the C library: device nodes, descriptors and CD-ROM ioctls of the
// drives described in $TAVRELO_EMULATED_CDROM. Everything else goes through
// to the real C library.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/scsi.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "tests/disc/cdrom/DriveState.h"
#include "tests/disc/cdrom/Packets.h"

namespace tavrelo::cdrom {
namespace {

template <typename F>
F real(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
#define REAL(name) static const auto real_##name = real<decltype(&::name)>(#name)

struct Handle {
  std::filesystem::path file;
  int generation = 0;
};

std::mutex& tableMutex() {
  static std::mutex mutex;
  return mutex;
}
std::map<int, Handle>& table() {  // our descriptors
  static auto* handles = new std::map<int, Handle>;
  return *handles;
}

std::optional<Handle> handleOf(int fd) {
  std::lock_guard lock(tableMutex());
  const auto it = table().find(fd);
  if (it == table().end()) return std::nullopt;
  return it->second;
}

const char* folder() {
  const char* dir = std::getenv("TAVRELO_EMULATED_CDROM");
  return dir != nullptr && *dir != '\0' ? dir : nullptr;
}

struct Found {
  std::filesystem::path file;
  DriveState state;
};

// The plugged-in drive that has `path` as its node or one of its aliases.
std::optional<Found> findDrive(const char* path) {
  if (path == nullptr || std::strncmp(path, "/dev/", 5) != 0 || folder() == nullptr)
    return std::nullopt;
  for (const auto& file : driveFiles(folder())) {
    std::optional<Found> found;
    updateState(file, [&](DriveState& s) {
      if (s.plugged && s.isNamed(path)) found = Found{file, s};
      return false;
    });
    if (found) return found;
  }
  return std::nullopt;
}

void logUnknown(const std::string& what) {
  REAL(open);
  const int fd = real_open((std::filesystem::path(folder()) / kUnknownLog).c_str(),
                           O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string line = what + '\n';
  if (::write(fd, line.data(), line.size()) < 0) {
  }
  ::close(fd);
}

int nodeNumber(const std::string& node) {
  return std::atoi(node.c_str() + node.find_last_not_of("0123456789") + 1);
}

int fillStat(const char* path, struct stat* st, bool followLink) {
  const auto found = findDrive(path);
  if (!found) return 1;  // not ours
  const int number = nodeNumber(found->state.node);
  const bool link = !followLink && path != found->state.node;
  *st = {};
  st->st_dev = makedev(0, 5);
  st->st_ino = 4000 + number * 2 + link;
  st->st_nlink = 1;
  st->st_blksize = 4096;
  if (link) {
    st->st_mode = S_IFLNK | 0777;
    st->st_size = static_cast<off_t>(found->state.node.size() - 5);  // "sr0"
  } else {
    st->st_mode = S_IFBLK | 0660;
    st->st_rdev = makedev(11, number);
    st->st_gid = 24;  // cdrom
  }
  return 0;
}

int driveStatus(const DriveState& s) {
  if (s.trayOpen) return CDS_TRAY_OPEN;
  if (nowMs() < s.readyAtMs) return CDS_DRIVE_NOT_READY;
  return s.hasDisc ? CDS_DISC_OK : CDS_NO_DISC;
}

int capabilities(const DriveState& s) {
  return (s.canCloseTray ? CDC_CLOSE_TRAY : 0) | CDC_OPEN_TRAY | CDC_LOCK | CDC_SELECT_SPEED |
         CDC_MULTI_SESSION | CDC_MCN | CDC_MEDIA_CHANGED | CDC_PLAY_AUDIO | CDC_RESET |
         CDC_DRIVE_STATUS | CDC_GENERIC_PACKET;
}

void putAddress(cdrom_addr& addr, std::uint8_t format, Lba lba) {
  if (format == CDROM_MSF) {
    addr.msf = {static_cast<std::uint8_t>(lba / 4500), static_cast<std::uint8_t>(lba / 75 % 60),
                static_cast<std::uint8_t>(lba % 75)};
  } else {
    addr.lba = lba - disc::kLeadInFrames;
  }
}

struct Reply {
  int result = 0;
  int error = 0;
  bool changed = false;
  int delayMs = 0;
};

// Tray and media requests that need a disc.
int discError(const DriveState& s) {
  if (s.trayOpen || !s.hasDisc) return ENOMEDIUM;
  return nowMs() < s.readyAtMs ? EIO : 0;
}

Reply answer(DriveState& s, const Handle& h, unsigned long request, void* arg) {
  Reply r;
  if (!s.plugged || h.generation != s.generation) return {-1, ENODEV};
  switch (request) {
    case CDROM_GET_CAPABILITY:
      r.result = capabilities(s);
      break;
    case SCSI_IOCTL_GET_BUS_NUMBER:
      *static_cast<int*>(arg) = 0;
      break;
    case SCSI_IOCTL_GET_IDLUN:
      static_cast<int*>(arg)[0] = nodeNumber(s.node);
      static_cast<int*>(arg)[1] = nodeNumber(s.node) + 1;
      break;
    case CDROM_DRIVE_STATUS:
      r.result = driveStatus(s);
      break;
    case CDROM_MEDIA_CHANGED:
      r.result = s.mediaChanged;
      r.changed = s.mediaChanged;
      s.mediaChanged = false;
      break;
    case CDROM_SELECT_SPEED:
      if (s.refusesSpeed) return {-1, EINVAL};
      s.speed = static_cast<int>(reinterpret_cast<std::intptr_t>(arg));
      r.changed = true;
      break;
    case CDROM_LOCKDOOR:
      if (arg == nullptr && s.openCount() != 1) return {-1, EBUSY};
      s.locked = arg != nullptr;
      r.changed = true;
      break;
    case CDROMEJECT:
      if (s.openCount() != 1 || s.locked) return {-1, EBUSY};
      if (!s.trayOpen) {
        s.trayOpen = true;
        s.mediaChanged = true;
        s.speed = 0;
        r.changed = true;
      }
      break;
    case CDROMCLOSETRAY:
      if (!s.canCloseTray) return {-1, ENOSYS};
      if (s.trayOpen) {
        s.trayOpen = false;
        s.readyAtMs = nowMs() + s.spinUpMs;
        s.mediaChanged = true;
        r.changed = true;
      }
      break;
    case CDROMREADTOCHDR: {
      if (const int e = discError(s)) return {-1, e};
      auto* hdr = static_cast<cdrom_tochdr*>(arg);
      hdr->cdth_trk0 = static_cast<std::uint8_t>(s.disc.toc.firstTrack());
      hdr->cdth_trk1 = static_cast<std::uint8_t>(s.disc.toc.lastTrack());
      break;
    }
    case CDROMREADTOCENTRY: {
      if (const int e = discError(s)) return {-1, e};
      auto* entry = static_cast<cdrom_tocentry*>(arg);
      disc::Track track{CDROM_LEADOUT, s.disc.toc.leadOut, true};
      if (entry->cdte_track != CDROM_LEADOUT) {
        const auto& tracks = s.disc.toc.tracks;
        const auto it = std::find_if(tracks.begin(), tracks.end(),
                                     [&](const auto& t) { return t.number == entry->cdte_track; });
        if (it == tracks.end()) return {-1, EINVAL};
        track = *it;
      }
      entry->cdte_adr = 1;
      entry->cdte_ctrl = track.audio ? 0 : CDROM_DATA_TRACK;
      entry->cdte_datamode = track.audio ? 0 : 1;
      putAddress(entry->cdte_addr, entry->cdte_format, track.start);
      break;
    }
    case CDROMMULTISESSION: {
      if (const int e = discError(s)) return {-1, e};
      auto* ms = static_cast<cdrom_multisession*>(arg);
      ms->xa_flag = s.disc.lastSession > 0;
      putAddress(ms->addr, ms->addr_format,
                 s.disc.lastSession > 0 ? s.disc.lastSession : disc::kLeadInFrames);
      break;
    }
    case CDROM_SEND_PACKET: {
      const Packet p = runPacket(s, *static_cast<cdrom_generic_command*>(arg));
      if (!p.unknown.empty()) logUnknown(p.unknown + " on " + s.node);
      return {p.error != 0 ? -1 : 0, p.error, p.changed, p.delayMs};
    }
    default:
      logUnknown("ioctl " + hex(request) + " on " + s.node);
      return {-1, EINVAL};
  }
  return r;
}

int emulatedOpen(const char* path, int flags, mode_t mode, int (*realOpen)(const char*, int, ...)) {
  const auto found = findDrive(path);
  if (!found) return realOpen(path, flags, mode);
  if (found->state.denied) {
    errno = EACCES;
    return -1;
  }
  const int fd = realOpen("/dev/null", O_RDONLY | (flags & O_CLOEXEC));
  if (fd < 0) return fd;
  Handle handle{found->file, 0};
  updateState(found->file, [&](DriveState& s) {
    handle.generation = s.generation;
    s.opens.push_back({::getpid(), s.generation});
    return true;
  });
  std::lock_guard lock(tableMutex());
  table()[fd] = handle;
  return fd;
}

mode_t modeArgument(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace
}  // namespace tavrelo::cdrom

using namespace tavrelo::cdrom;

extern "C" {

// The C library's open, open64, stat, lstat, stat64 and lstat64, each
// answering for the emulated nodes first.
#define OPEN(name)                                       \
  int name(const char* path, int flags, ...) {           \
    REAL(name);                                          \
    va_list args;                                        \
    va_start(args, flags);                               \
    const mode_t mode = modeArgument(flags, args);       \
    va_end(args);                                        \
    return emulatedOpen(path, flags, mode, real_##name); \
  }
OPEN(open)
OPEN(open64)

#define STAT(name, type, follow)                                                 \
  int name(const char* path, struct type* st) noexcept {                         \
    REAL(name);                                                                  \
    const int ours = fillStat(path, reinterpret_cast<struct stat*>(st), follow); \
    return ours == 1 ? real_##name(path, st) : ours;                             \
  }
STAT(stat, stat, true)
STAT(lstat, stat, false)
STAT(stat64, stat64, true)
STAT(lstat64, stat64, false)

int close(int fd) {
  REAL(close);
  std::optional<Handle> handle;
  {
    std::lock_guard lock(tableMutex());
    if (const auto it = table().find(fd); it != table().end()) {
      handle = it->second;
      table().erase(it);
    }
  }
  if (handle) {
    updateState(handle->file, [&](DriveState& s) {
      const auto it = std::find_if(s.opens.begin(), s.opens.end(), [&](const Opener& o) {
        return o.pid == ::getpid() && o.generation == handle->generation;
      });
      if (it != s.opens.end()) s.opens.erase(it);
      return it != s.opens.end();
    });
  }
  return real_close(fd);
}

int ioctl(int fd, unsigned long request, ...) noexcept {
  REAL(ioctl);
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  const auto handle = handleOf(fd);
  if (!handle) return real_ioctl(fd, request, arg);
  Reply reply;
  updateState(handle->file, [&](DriveState& s) {
    reply = answer(s, *handle, request, arg);
    return reply.changed;
  });
  if (reply.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
  if (reply.error != 0) errno = reply.error;
  return reply.result;
}

char* realpath(const char* path, char* resolved) noexcept {
  REAL(realpath);
  const auto found = findDrive(path);
  if (!found) return real_realpath(path, resolved);
  const std::string& node = found->state.node;
  if (resolved == nullptr) return ::strdup(node.c_str());
  std::memcpy(resolved, node.c_str(), node.size() + 1);
  return resolved;
}

}  // extern "C"
