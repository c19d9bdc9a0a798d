// The Linux kernel's side of a CD drive, as libcdio and our disc code reach it
// through the C library: device nodes, descriptors, CD-ROM ioctls and the MMC
// commands of CDROM_SEND_PACKET. Everything else goes to the real C library.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/scsi.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

#include "tests/disc/cdrom/EmulatedDrive.h"

namespace tavrelo::cdrom {

std::int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {

// Writes every field, one a line, or reads them back in the same order.
class Fields {
 public:
  explicit Fields(const std::string& text = {}) : reading_(!text.empty()), in_(text) {}
  std::string text() const { return out_.str(); }

  void operator()(std::string& value) {
    if (!reading_) out_ << value << '\n';
    if (reading_) std::getline(in_, value);
  }
  template <typename T>
  requires std::is_arithmetic_v<T>
  void operator()(T& value) {
    std::string text = std::to_string(value);
    (*this)(text);
    if (reading_) std::istringstream(text) >> value;
  }
  template <typename T>
  void operator()(std::vector<T>& list) {
    std::size_t size = list.size();
    (*this)(size);
    if (reading_) list.resize(std::min<std::size_t>(size, 1000));
    for (T& item : list) (*this)(item);
  }
  void operator()(disc::Track& t) {
    all(t.number, t.start, t.audio, t.flags.preemphasis, t.flags.copyPermitted,
        t.flags.fourChannel);
  }
  void operator()(DriveState& s) {
    all(s.node, s.aliases, s.plugged, s.denied, s.trayOpen, s.locked, s.mediaChanged, s.hasDisc,
        s.generation, s.readyAtMs, s.speed, s.disc.image, s.disc.toc.tracks, s.disc.toc.leadOut,
        s.disc.lastSession, s.disc.album, s.disc.performer, s.disc.titles, s.disc.performers,
        s.unreadable, s.opens, s.readCommands, s.failedReads, s.lastReadTimeoutMs, s.commands,
        s.seekMs, s.timedReads, s.head);
    all(s.disc.toc.catalog);
  }
  template <typename... T>
  void all(T&... fields) {
    ((*this)(fields), ...);
  }

 private:
  bool reading_;
  std::istringstream in_;
  std::ostringstream out_;
};

}  // namespace

bool updateState(const std::filesystem::path& file,
                 const std::function<bool(DriveState&)>& change) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::flock(fd, LOCK_EX);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  DriveState state;
  if (!text.empty()) Fields{text}(state);
  const auto dead =
      std::erase_if(state.opens, [](pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; });
  bool written = true;
  if (change(state) || dead > 0) {
    Fields out;
    out(state);
    text = out.text();
    written = ::ftruncate(fd, 0) == 0 && ::pwrite(fd, text.data(), text.size(), 0) >= 0;
  }
  ::close(fd);  // and the lock with it
  return written;
}

namespace {

#define REAL(name) \
  static const auto real_##name = reinterpret_cast<decltype(&::name)>(::dlsym(RTLD_NEXT, #name))

std::mutex tableMutex;
std::map<int, int>& table() {  // our descriptors and the plug generation they were opened in
  static auto* descriptors = new std::map<int, int>;
  return *descriptors;
}

std::optional<int> generationOf(int fd) {
  std::lock_guard lock(tableMutex);
  const auto it = table().find(fd);
  return it != table().end() ? std::optional(it->second) : std::nullopt;
}

const char* folder() {
  const char* dir = std::getenv("TAVRELO_EMULATED_CDROM");
  return dir != nullptr && *dir != '\0' ? dir : nullptr;
}

bool update(const std::function<bool(DriveState&)>& change) {
  return updateState(std::filesystem::path(folder()) / kStateFile, change);
}

// The drive, when it is plugged in and has `path` as its node or one of its aliases.
std::optional<DriveState> findDrive(const char* path) {
  std::error_code error;
  if (path == nullptr || std::strncmp(path, "/dev/", 5) != 0 || folder() == nullptr ||
      !std::filesystem::exists(std::filesystem::path(folder()) / kStateFile, error))
    return std::nullopt;
  std::optional<DriveState> found;
  update([&](DriveState& s) {
    const auto& names = s.aliases;
    if (s.plugged && (path == s.node || std::find(names.begin(), names.end(), path) != names.end()))
      found = s;
    return false;
  });
  return found;
}

std::string hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%lx", value);
  return text;
}

void logUnknown(const std::string& what) {
  std::ofstream(std::filesystem::path(folder()) / kUnknownLog, std::ios::app) << what << '\n';
}

// Fails the command with fixed-format sense data `sense` (key << 16 | asc << 8 | ascq).
int fail(cdrom_generic_command& cgc, int sense) {
  if (cgc.sense != nullptr) {
    auto* bytes = reinterpret_cast<unsigned char*>(cgc.sense);
    std::memset(bytes, 0, sizeof(request_sense));
    bytes[0] = 0x70;
    bytes[2] = static_cast<unsigned char>(sense >> 16);
    bytes[7] = 10;
    bytes[12] = static_cast<unsigned char>(sense >> 8);
    bytes[13] = static_cast<unsigned char>(sense);
  }
  cgc.stat = 2;  // check condition
  return EIO;
}

// How long the current thread's command keeps the drive busy; slept after
// the state's lock is let go, so other processes can still look at the drive.
thread_local std::int64_t busyMs = 0;

std::uint32_t bigEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

// What the drive answers for one sector: 0 or its sense.
int senseFor(const DriveState& s, Lba lba) {
  const auto& toc = s.disc.toc;
  if (lba < disc::kLeadInFrames || lba >= toc.leadOut) return 0x052100;
  // Between the sessions of a CD-Extra: lead-out, lead-in and pregap.
  if (s.disc.lastSession > 0 && lba >= s.disc.lastSession - disc::kSessionGapFrames &&
      lba < s.disc.lastSession)
    return 0x052100;
  const auto it = std::find_if(toc.tracks.rbegin(), toc.tracks.rend(),
                               [&](const auto& t) { return t.start <= lba; });
  if (it != toc.tracks.rend() && !it->audio) return 0x056400;
  return std::count(s.unreadable.begin(), s.unreadable.end(), lba) > 0 ? 0x031105 : 0;
}

int readCd(DriveState& s, cdrom_generic_command& cgc) {
  const unsigned char* cmd = cgc.cmd;
  if (cmd[1] != 0x04 || cmd[9] != 0x78 || cmd[10] != 0) {
    logUnknown("READ CD " + hex(cmd[1]) + " " + hex(cmd[9]) + " " + hex(cmd[10]) + " on " + s.node);
    return fail(cgc, 0x052400);
  }
  const Lba lba = static_cast<Lba>(bigEndian(cmd + 2, 4)) + disc::kLeadInFrames;
  const int count = static_cast<int>(bigEndian(cmd + 6, 3));
  if (cgc.buflen < static_cast<unsigned>(count) * disc::kSectorBytes) return EINVAL;
  ++s.readCommands;
  s.lastReadTimeoutMs = cgc.timeout;
  if (s.seekMs > 0 && lba != s.head) busyMs += s.seekMs;
  if (s.timedReads) busyMs += count * 1000 / (75 * (s.speed > 0 ? s.speed : 24));
  s.head = lba + count;
  int sense = s.trayOpen || !s.hasDisc ? 0x023A00 : nowMs() < s.readyAtMs ? 0x020401 : 0;
  for (int i = 0; i < count && sense == 0; ++i) sense = senseFor(s, lba + i);
  const int fd = sense == 0 ? ::open(s.disc.image.c_str(), O_RDONLY | O_CLOEXEC) : -1;
  const std::size_t bytes = static_cast<std::size_t>(count) * disc::kSectorBytes;
  const off_t at = static_cast<off_t>(lba - disc::kLeadInFrames) * disc::kSectorBytes;
  if (sense == 0 && (fd < 0 || ::pread(fd, cgc.buffer, bytes, at) < 0)) sense = 0x031100;
  if (fd >= 0) ::close(fd);
  if (sense == 0) return 0;
  ++s.failedReads;
  return fail(cgc, sense);
}

void addPack(std::string& out, int type, int track, const unsigned char* text, int charPos) {
  unsigned char pack[18] = {static_cast<unsigned char>(type), static_cast<unsigned char>(track),
                            static_cast<unsigned char>(out.size() / 18),
                            static_cast<unsigned char>(std::min(charPos, 15))};
  std::memcpy(pack + 4, text, 12);
  std::uint16_t crc = 0;  // CRC-16/CCITT of the first 16 bytes, stored inverted
  for (int bit = 0; bit < 16 * 8; ++bit) {
    if (bit % 8 == 0) crc ^= static_cast<std::uint16_t>(pack[bit / 8] << 8);
    crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  pack[16] = static_cast<unsigned char>(~crc >> 8);
  pack[17] = static_cast<unsigned char>(~crc);
  out.append(reinterpret_cast<const char*>(pack), 18);
}

// The CD-Text packs of READ TOC/PMA/ATIP format 5, after its 4-byte header.
std::string cdTextPacks(const EmulatedDisc& text, int tracks) {
  std::string out;
  unsigned char info[36] = {0x00, 1, static_cast<unsigned char>(tracks)};  // ISO-8859-1
  const std::vector<std::string>* perTrack[] = {&text.titles, &text.performers};
  const std::string* disc[] = {&text.album, &text.performer};
  for (int kind = 0; kind < 2; ++kind) {
    // One string per track, track 0 being the disc, each ending in a zero byte,
    // cut into 12-byte packs that say where their first byte belongs.
    std::vector<unsigned char> bytes;
    std::vector<std::pair<int, int>> owner;  // track and position of each byte
    for (int track = 0; track <= tracks; ++track) {
      const auto index = static_cast<std::size_t>(track - 1);
      const std::string s = track == 0                       ? *disc[kind]
                            : index < perTrack[kind]->size() ? (*perTrack[kind])[index]
                                                             : std::string();
      for (std::size_t i = 0; i <= s.size(); ++i) {
        bytes.push_back(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
        owner.emplace_back(track, static_cast<int>(i));
      }
    }
    bytes.resize((bytes.size() + 11) / 12 * 12, 0);
    for (std::size_t at = 0; at < bytes.size(); at += 12, ++info[4 + kind])
      addPack(out, 0x80 + kind, owner[at].first, bytes.data() + at, owner[at].second);
  }
  // Three block-size packs: character set, track range, pack counts, language.
  info[4 + 15] = 3;
  info[20] = static_cast<unsigned char>(out.size() / 18 + 2);  // last sequence number
  info[28] = 0x0f;                                             // French
  for (int i = 0; i < 3; ++i) addPack(out, 0x8f, i, info + 12 * i, 0);
  return out;
}

int readCdText(const DriveState& s, cdrom_generic_command& cgc) {
  if (s.trayOpen || !s.hasDisc) return fail(cgc, 0x023A00);
  const EmulatedDisc& text = s.disc;
  if (text.album.empty() && text.performer.empty() && text.titles.empty() &&
      text.performers.empty())
    return fail(cgc, 0x052400);  // no CD-Text on this disc
  const std::string packs = cdTextPacks(text, s.disc.toc.lastTrack());
  const std::size_t length = packs.size() + 2;
  const std::string data =
      std::string{static_cast<char>(length >> 8), static_cast<char>(length & 0xff), 0, 0} + packs;
  std::memcpy(cgc.buffer, data.data(), std::min<std::size_t>(cgc.buflen, data.size()));
  return 0;
}

int nodeNumber(const std::string& node) {
  return std::atoi(node.c_str() + node.find_last_not_of("0123456789") + 1);
}

int fillStat(const char* path, struct stat* st, bool followLink) {
  const auto found = findDrive(path);
  if (!found) return 1;  // not ours
  const int number = nodeNumber(found->node);
  const bool link = !followLink && path != found->node;
  *st = {};
  st->st_ino = 4000 + number * 2 + link;
  if (link) {
    st->st_mode = S_IFLNK | 0777;
    st->st_size = static_cast<off_t>(found->node.size() - 5);  // "sr0"
  } else {
    st->st_mode = S_IFBLK | 0660;
    st->st_rdev = makedev(11, number);
    st->st_gid = 24;  // cdrom
  }
  return 0;
}

void putAddress(cdrom_addr& addr, std::uint8_t format, Lba lba) {
  if (format == CDROM_MSF) {
    addr.msf = {static_cast<std::uint8_t>(lba / 4500), static_cast<std::uint8_t>(lba / 75 % 60),
                static_cast<std::uint8_t>(lba % 75)};
  } else {
    addr.lba = lba - disc::kLeadInFrames;
  }
}

// What the request returns, or minus its errno, as kernel drivers answer.
int answer(DriveState& s, int generation, unsigned long request, void* arg) {
  if (!s.plugged || generation != s.generation) return -ENODEV;
  ++s.commands;
  // Tray and media requests that need a disc.
  const int noDisc = s.trayOpen || !s.hasDisc ? ENOMEDIUM : nowMs() < s.readyAtMs ? EIO : 0;
  const disc::Toc& toc = s.disc.toc;
  switch (request) {
    case CDROM_GET_CAPABILITY:
      return CDC_CLOSE_TRAY | CDC_OPEN_TRAY | CDC_LOCK | CDC_SELECT_SPEED | CDC_MULTI_SESSION |
             CDC_MCN | CDC_MEDIA_CHANGED | CDC_PLAY_AUDIO | CDC_RESET | CDC_DRIVE_STATUS |
             CDC_GENERIC_PACKET;
    case SCSI_IOCTL_GET_BUS_NUMBER:
      *static_cast<int*>(arg) = 0;
      return 0;
    case SCSI_IOCTL_GET_IDLUN:
      static_cast<int*>(arg)[0] = nodeNumber(s.node);
      static_cast<int*>(arg)[1] = nodeNumber(s.node) + 1;
      return 0;
    case CDROM_DRIVE_STATUS:
      return s.trayOpen              ? CDS_TRAY_OPEN
             : nowMs() < s.readyAtMs ? CDS_DRIVE_NOT_READY
             : s.hasDisc             ? CDS_DISC_OK
                                     : CDS_NO_DISC;
    case CDROM_MEDIA_CHANGED:
      return std::exchange(s.mediaChanged, false);
    case CDROM_SELECT_SPEED:
      s.speed = static_cast<int>(reinterpret_cast<std::intptr_t>(arg));
      return 0;
    case CDROM_LOCKDOOR:
      if (arg == nullptr && s.opens.size() != 1) return -EBUSY;
      s.locked = arg != nullptr;
      return 0;
    case CDROMEJECT:
      if (s.opens.size() != 1 || s.locked) return -EBUSY;
      if (s.trayOpen) return 0;
      s.trayOpen = s.mediaChanged = true;
      s.speed = 0;
      return 0;
    case CDROMCLOSETRAY:
      if (!s.trayOpen) return 0;
      s.trayOpen = false;
      s.readyAtMs = nowMs();
      s.mediaChanged = true;
      return 0;
    case CDROMREADTOCHDR: {
      if (noDisc) return -noDisc;
      auto* hdr = static_cast<cdrom_tochdr*>(arg);
      hdr->cdth_trk0 = static_cast<std::uint8_t>(toc.firstTrack());
      hdr->cdth_trk1 = static_cast<std::uint8_t>(toc.lastTrack());
      return 0;
    }
    case CDROMREADTOCENTRY: {
      if (noDisc) return -noDisc;
      auto* entry = static_cast<cdrom_tocentry*>(arg);
      disc::Track track{CDROM_LEADOUT, toc.leadOut, true};
      if (entry->cdte_track != CDROM_LEADOUT) {
        // Toc::find lives in the disc library, which a preloaded kernel has not.
        const auto it = std::find_if(toc.tracks.begin(), toc.tracks.end(),
                                     [&](const auto& t) { return t.number == entry->cdte_track; });
        if (it == toc.tracks.end()) return -EINVAL;
        track = *it;
      }
      entry->cdte_adr = 1;
      entry->cdte_ctrl =
          (track.audio ? 0 : CDROM_DATA_TRACK) | (track.flags.preemphasis ? 0x1 : 0) |
          (track.flags.copyPermitted ? 0x2 : 0) | (track.flags.fourChannel ? 0x8 : 0);
      entry->cdte_datamode = track.audio ? 0 : 1;
      putAddress(entry->cdte_addr, entry->cdte_format, track.start);
      return 0;
    }
    case CDROM_GET_MCN: {
      if (noDisc) return -noDisc;
      auto* mcn = static_cast<cdrom_mcn*>(arg);
      std::memset(mcn, 0, sizeof *mcn);  // no number: all zeros, as drives answer
      std::memcpy(mcn->medium_catalog_number, s.disc.toc.catalog.data(),
                  std::min(s.disc.toc.catalog.size(), sizeof mcn->medium_catalog_number - 1));
      return 0;
    }
    case CDROMMULTISESSION: {
      if (noDisc) return -noDisc;
      auto* ms = static_cast<cdrom_multisession*>(arg);
      ms->xa_flag = s.disc.lastSession > 0;
      putAddress(ms->addr, ms->addr_format,
                 s.disc.lastSession > 0 ? s.disc.lastSession : disc::kLeadInFrames);
      return 0;
    }
    case CDROM_SEND_PACKET: {
      auto& cgc = *static_cast<cdrom_generic_command*>(arg);
      int error = 0;
      if (cgc.cmd[0] == 0xBE) {
        error = readCd(s, cgc);
      } else if (cgc.cmd[0] == 0x43 && (cgc.cmd[2] & 0x0f) == 5) {
        error = readCdText(s, cgc);
      } else {
        logUnknown("packet " + hex(cgc.cmd[0]) + " on " + s.node);
        error = fail(cgc, 0x052000);
      }
      return -error;
    }
  }
  logUnknown("ioctl " + hex(request) + " on " + s.node);
  return -EINVAL;
}

int emulatedOpen(const char* path, int flags, mode_t mode, int (*realOpen)(const char*, int, ...)) {
  const auto found = findDrive(path);
  if (!found) return realOpen(path, flags, mode);
  if (found->denied) {
    errno = EACCES;
    return -1;
  }
  const int fd = realOpen("/dev/null", O_RDONLY | (flags & O_CLOEXEC));
  if (fd < 0) return fd;
  int generation = 0;
  update([&](DriveState& s) {
    generation = s.generation;
    s.opens.push_back(::getpid());
    return true;
  });
  std::lock_guard lock(tableMutex);
  table()[fd] = generation;
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
  if (const auto generation = generationOf(fd)) {
    {
      std::lock_guard lock(tableMutex);
      table().erase(fd);
    }
    update([&](DriveState& s) {
      const auto it = std::find(s.opens.begin(), s.opens.end(), ::getpid());
      if (*generation != s.generation || it == s.opens.end()) return false;
      s.opens.erase(it);
      return true;
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
  const auto generation = generationOf(fd);
  if (!generation) return real_ioctl(fd, request, arg);
  int result = 0;
  update([&](DriveState& s) {
    result = answer(s, *generation, request, arg);
    return true;
  });
  if (busyMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(std::exchange(busyMs, 0)));
  if (result >= 0) return result;
  errno = -result;
  return -1;
}

char* realpath(const char* path, char* resolved) noexcept {
  REAL(realpath);
  const auto found = findDrive(path);
  if (!found) return real_realpath(path, resolved);
  const std::string& node = found->node;
  if (resolved == nullptr) return ::strdup(node.c_str());
  std::memcpy(resolved, node.c_str(), node.size() + 1);
  return resolved;
}

}  // extern "C"
