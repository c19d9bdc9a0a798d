#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/disc/Toc.h"
#include "platform/mci/Command.h"

namespace tavrelo::mci {

using disc::Lba;
using disc::Toc;

// Positions in and out of the cdaudio device. MSF and milliseconds are
// absolute disc addresses with the 2 s lead-in (Lba 150 = "00:02:00" =
// 2001 ms); TMSF counts m:s:f from the start of track t.

// "MM:SS:FF", each field at least two digits.
std::string formatMsf(Lba frames);
// "TT:MM:SS:FF".
std::string formatTmsf(int track, Lba offset);
// Windows rounds frames to milliseconds as frames * 1000 / 75 + 1
// (150 frames -> 2001 ms) and back as ((ms - 1) * 75 + 500) / 1000.
std::int64_t framesToMs(Lba frames);
Lba msToFrames(std::uint32_t ms);

// The reply for an absolute address in `format`. In TMSF the address is
// given against the track that holds it; before the first track it reads as
// the first track's 00:00:00:00.
std::string formatPosition(TimeFormat format, const Toc& toc, Lba position);
// A length in frames; TMSF answers in MSF, as Windows does.
std::string formatLength(TimeFormat format, Lba frames);

// The address a "from"/"to" value names in `format`, or nullopt when the
// value names no address (track 0 or missing, seconds > 59, frames > 74).
std::optional<Lba> positionFromValue(TimeFormat format, const Toc& toc, std::uint32_t value);

std::string_view timeFormatName(TimeFormat format);

}  // namespace tavrelo::mci
