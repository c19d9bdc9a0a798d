#include "tests/disc/cdrom/Packets.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tavrelo::cdrom {
namespace {

int fail(cdrom_generic_command& cgc, int key, int asc, int ascq) {
  if (cgc.sense != nullptr) {  // fixed-format sense data
    auto* sense = reinterpret_cast<unsigned char*>(cgc.sense);
    std::memset(sense, 0, sizeof(request_sense));
    sense[0] = 0x70;
    sense[2] = static_cast<unsigned char>(key);
    sense[7] = 10;
    sense[12] = static_cast<unsigned char>(asc);
    sense[13] = static_cast<unsigned char>(ascq);
  }
  cgc.stat = 2;  // check condition
  return EIO;
}

std::uint32_t bigEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

// What the drive answers for one sector: 0 or the sense as key << 16 | asc << 8 | ascq.
int senseFor(const DriveState& s, Lba lba) {
  const auto& toc = s.disc.toc;
  if (lba < disc::kLeadInFrames || lba >= toc.leadOut) return 0x052100;
  // Between the sessions of a CD-Extra: lead-out, lead-in and pregap.
  if (s.disc.lastSession > 0 && lba >= s.disc.lastSession - 11400 && lba < s.disc.lastSession)
    return 0x052100;
  const auto it = std::find_if(toc.tracks.rbegin(), toc.tracks.rend(),
                               [&](const auto& t) { return t.start <= lba; });
  if (it != toc.tracks.rend() && !it->audio) return 0x056400;
  if (std::find(s.unreadable.begin(), s.unreadable.end(), lba) != s.unreadable.end())
    return 0x031105;
  return 0;
}

Packet failed(int error, bool changed = false) {
  Packet p;
  p.error = error;
  p.changed = changed;
  return p;
}

Packet readCd(DriveState& s, cdrom_generic_command& cgc) {
  const unsigned char* cmd = cgc.cmd;
  if (cmd[1] != 0x04 || cmd[9] != 0x78 || cmd[10] != 0) {
    Packet p = failed(fail(cgc, 5, 0x24, 0));
    p.unknown = "READ CD " + hex(cmd[1]) + " " + hex(cmd[9]) + " " + hex(cmd[10]);
    return p;
  }
  const Lba lba = static_cast<Lba>(bigEndian(cmd + 2, 4)) + disc::kLeadInFrames;
  const int count = static_cast<int>(bigEndian(cmd + 6, 3));
  if (cgc.buflen < static_cast<unsigned>(count) * disc::kSectorBytes) return failed(EINVAL);
  ++s.readCommands;
  s.lastReadTimeoutMs = cgc.timeout;
  Packet p = failed(0, true);
  if (s.trayOpen || !s.hasDisc) p.error = fail(cgc, 2, 0x3A, 0);
  if (p.error == 0 && nowMs() < s.readyAtMs) p.error = fail(cgc, 2, 0x04, 0x01);
  for (int i = 0; i < count && p.error == 0; ++i) {
    if (const int sense = senseFor(s, lba + i)) {
      p.error = fail(cgc, sense >> 16, sense >> 8 & 0xff, sense & 0xff);
      if (sense >> 16 == 3) p.delayMs = s.unreadableDelayMs;
    }
  }
  if (p.error != 0) {
    ++s.failedReads;
    return p;
  }
  const std::size_t bytes = static_cast<std::size_t>(count) * disc::kSectorBytes;
  std::memset(cgc.buffer, 0, bytes);
  const int fd = ::open(s.disc.image.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failed(fail(cgc, 3, 0x11, 0), true);
  const off_t at = static_cast<off_t>(lba - disc::kLeadInFrames) * disc::kSectorBytes;
  if (::pread(fd, cgc.buffer, bytes, at) < 0) p.error = fail(cgc, 3, 0x11, 0);
  ::close(fd);
  return p;
}

void reply(cdrom_generic_command& cgc, const std::string& data) {
  std::memcpy(cgc.buffer, data.data(), std::min<std::size_t>(cgc.buflen, data.size()));
}

Packet readCdText(const DriveState& s, cdrom_generic_command& cgc) {
  if (s.trayOpen || !s.hasDisc) return failed(fail(cgc, 2, 0x3A, 0));
  const std::string packs = cdTextPacks(s.disc.text, s.disc.toc.lastTrack());
  if (packs.empty()) return failed(fail(cgc, 5, 0x24, 0));  // no CD-Text on this disc
  const std::size_t length = packs.size() + 2;
  reply(cgc, std::string{static_cast<char>(length >> 8), static_cast<char>(length & 0xff), 0, 0} +
                 packs);
  return {};
}

std::uint16_t crc16(const unsigned char* data, int size) {  // CCITT, stored inverted
  std::uint16_t crc = 0;
  for (int i = 0; i < size; ++i) {
    crc ^= static_cast<std::uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
  }
  return static_cast<std::uint16_t>(~crc);
}

void addPack(std::string& out, int type, int track, const unsigned char* text, int charPos) {
  unsigned char pack[18] = {static_cast<unsigned char>(type), static_cast<unsigned char>(track),
                            static_cast<unsigned char>(out.size() / 18),
                            static_cast<unsigned char>(std::min(charPos, 15))};
  std::memcpy(pack + 4, text, 12);
  const std::uint16_t crc = crc16(pack, 16);
  pack[16] = static_cast<unsigned char>(crc >> 8);
  pack[17] = static_cast<unsigned char>(crc & 0xff);
  out.append(reinterpret_cast<const char*>(pack), 18);
}

}  // namespace

std::string hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%lx", value);
  return text;
}

std::string cdTextPacks(const DiscText& text, int tracks) {
  if (text.album.empty() && text.performer.empty() && text.titles.empty() &&
      text.performers.empty())
    return {};
  std::string out;
  int counts[16] = {};
  const std::vector<std::string>* perTrack[] = {&text.titles, &text.performers};
  const std::string* disc[] = {&text.album, &text.performer};
  for (int kind = 0; kind < 2; ++kind) {
    // One string per track, track 0 being the disc, each ending in a zero byte,
    // cut into 12-byte packs that say where their first byte belongs.
    std::vector<unsigned char> bytes;
    std::vector<std::pair<int, int>> owner;  // track and position of each byte
    for (int track = 0; track <= tracks; ++track) {
      const std::string& s = track == 0 ? *disc[kind]
                             : static_cast<std::size_t>(track - 1) < perTrack[kind]->size()
                                 ? (*perTrack[kind])[track - 1]
                                 : std::string();
      for (std::size_t i = 0; i <= s.size(); ++i) {
        bytes.push_back(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
        owner.emplace_back(track, static_cast<int>(i));
      }
    }
    bytes.resize((bytes.size() + 11) / 12 * 12, 0);
    for (std::size_t at = 0; at < bytes.size(); at += 12) {
      addPack(out, 0x80 + kind, owner[at].first, bytes.data() + at, owner[at].second);
      ++counts[kind];
    }
  }
  // Three block-size packs: ISO-8859-1, track range, pack counts, language.
  counts[15] = 3;
  unsigned char info[36] = {0x00, 1, static_cast<unsigned char>(tracks), 0};
  for (int i = 0; i < 16; ++i) info[4 + i] = static_cast<unsigned char>(counts[i]);
  info[20] = static_cast<unsigned char>(out.size() / 18 + 2);  // last sequence number
  info[28] = 0x0f;                                             // French
  for (int i = 0; i < 3; ++i) addPack(out, 0x8f, i, info + 12 * i, 0);
  return out;
}

Packet runPacket(DriveState& s, cdrom_generic_command& cgc) {
  switch (cgc.cmd[0]) {
    case 0xBE:
      return readCd(s, cgc);
    case 0x43:
      if ((cgc.cmd[2] & 0x0f) == 5) return readCdText(s, cgc);
      break;
  }
  Packet p = failed(fail(cgc, 5, 0x20, 0));
  p.unknown = "packet " + hex(cgc.cmd[0]);
  return p;
}

}  // namespace tavrelo::cdrom
