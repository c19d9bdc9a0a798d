#pragma once

// The MMC commands an emulated drive answers through CDROM_SEND_PACKET.

#include <linux/cdrom.h>

#include <string>

#include "tests/disc/cdrom/DriveState.h"

namespace tavrelo::cdrom {

struct Packet {
  int error = 0;         // errno; the sense data is in the command
  bool changed = false;  // the drive state changed (counters)
  int delayMs = 0;       // what the command took
  std::string unknown;   // a command no emulated drive answers
};

Packet runPacket(DriveState& s, cdrom_generic_command& cgc);

std::string hex(unsigned long value);

// The CD-Text packs of READ TOC/PMA/ATIP format 5, after its 4-byte header.
std::string cdTextPacks(const DiscText& text, int tracks);

}  // namespace tavrelo::cdrom
