#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tavrelo::mci {

enum class Verb { Open, Close, Play, Pause, Resume, Stop, Seek, Set, Status };

// The values are the MCI_FORMAT_* numbers, which "set ... time format" also accepts.
enum class TimeFormat { Milliseconds = 0, Msf = 2, Tmsf = 10 };

enum class StatusItem {
  Length,
  Position,
  NumberOfTracks,
  Mode,
  MediaPresent,
  TimeFormat,
  Ready,
  CurrentTrack,
  TypeTrack,
};

enum class SeekTarget { None, Position, Start, End };

// One MCI string, parsed. Integers are kept as the 32-bit values the string
// gave; what they mean depends on the device's time format.
struct Command {
  Verb verb = Verb::Status;
  std::string device;  // alias, type, element or type!element, as written
  bool wait = false;
  bool notify = false;

  // open
  std::optional<std::string> type;
  std::optional<std::string> alias;
  bool shareable = false;

  // play
  std::optional<std::uint32_t> from;
  std::optional<std::uint32_t> to;

  // seek
  SeekTarget seekTarget = SeekTarget::None;
  std::uint32_t seekTo = 0;

  // set
  std::optional<TimeFormat> timeFormat;
  std::optional<bool> doorOpen;

  // status
  std::optional<StatusItem> item;
  std::optional<std::uint32_t> track;
  bool start = false;
};

}  // namespace tavrelo::mci
