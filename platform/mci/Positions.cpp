#include "platform/mci/Positions.h"

#include <cstdio>

namespace tavrelo::mci {
namespace {

constexpr Lba kFramesPerMinute = 60 * disc::kFramesPerSecond;

std::uint32_t byteOf(std::uint32_t value, int index) {
  return (value >> (8 * index)) & 0xFFu;
}

}  // namespace

std::string formatMsf(Lba frames) {
  if (frames < 0) frames = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / kFramesPerMinute,
                (frames / disc::kFramesPerSecond) % 60, frames % disc::kFramesPerSecond);
  return text;
}

std::string formatTmsf(int track, Lba offset) {
  if (offset < 0) offset = 0;
  char text[40];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", track, offset / kFramesPerMinute,
                (offset / disc::kFramesPerSecond) % 60, offset % disc::kFramesPerSecond);
  return text;
}

std::int64_t framesToMs(Lba frames) {
  return static_cast<std::int64_t>(frames) * 1000 / disc::kFramesPerSecond + 1;
}

Lba msToFrames(std::uint32_t ms) {
  const std::int64_t frames =
      ((static_cast<std::int64_t>(ms) - 1) * disc::kFramesPerSecond + 500) / 1000;
  return frames > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<Lba>(frames);
}

std::string formatPosition(TimeFormat format, const Toc& toc, Lba position) {
  switch (format) {
    case TimeFormat::Milliseconds:
      return std::to_string(framesToMs(position));
    case TimeFormat::Msf:
      return formatMsf(position);
    case TimeFormat::Tmsf: {
      if (toc.empty()) return formatTmsf(0, 0);
      const disc::Track& first = toc.tracks.front();
      if (position < first.start) return formatTmsf(first.number, 0);
      int number = toc.trackAt(position);
      if (number == 0) number = toc.lastTrack();  // at or past the lead-out
      return formatTmsf(number, position - toc.find(number)->start);
    }
  }
  return {};
}

std::string formatLength(TimeFormat format, Lba frames) {
  return format == TimeFormat::Milliseconds ? std::to_string(framesToMs(frames))
                                            : formatMsf(frames);
}

std::optional<Lba> positionFromValue(TimeFormat format, const Toc& toc, std::uint32_t value) {
  switch (format) {
    case TimeFormat::Milliseconds:
      return msToFrames(value);
    case TimeFormat::Msf: {
      const std::uint32_t m = byteOf(value, 0), s = byteOf(value, 1), f = byteOf(value, 2);
      if (s > 59 || f >= static_cast<std::uint32_t>(disc::kFramesPerSecond)) return std::nullopt;
      return static_cast<Lba>(m * kFramesPerMinute + s * disc::kFramesPerSecond + f);
    }
    case TimeFormat::Tmsf: {
      const disc::Track* track = toc.find(static_cast<int>(byteOf(value, 0)));
      const std::uint32_t m = byteOf(value, 1), s = byteOf(value, 2), f = byteOf(value, 3);
      if (track == nullptr || s > 59 || f >= static_cast<std::uint32_t>(disc::kFramesPerSecond)) {
        return std::nullopt;
      }
      return track->start + static_cast<Lba>(m * kFramesPerMinute + s * disc::kFramesPerSecond + f);
    }
  }
  return std::nullopt;
}

std::string_view timeFormatName(TimeFormat format) {
  switch (format) {
    case TimeFormat::Milliseconds:
      return "milliseconds";
    case TimeFormat::Msf:
      return "msf";
    case TimeFormat::Tmsf:
      return "tmsf";
  }
  return "msf";
}

}  // namespace tavrelo::mci
