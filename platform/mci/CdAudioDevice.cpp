#include "platform/mci/CdAudioDevice.h"

#include <algorithm>
#include <utility>

#include "platform/mci/DriveErrors.h"
#include "platform/mci/MciErrors.h"
#include "platform/mci/Positions.h"

namespace tavrelo::mci {
namespace {

using drive::AudioStatus;
using drive::DriveStatus;

// TOCs number tracks 1..99; larger values (say -1 sent as 0xFFFFFFFF) name none.
const disc::Track* trackByValue(const Toc& toc, std::uint32_t value) {
  return value > 99 ? nullptr : toc.find(static_cast<int>(value));
}

bool hasDisc(const DriveStatus& s) {
  return !s.trayOpen && s.mediaPresent;
}

std::string modeName(const DriveStatus& s) {
  if (!hasDisc(s)) return "open";
  switch (s.audio) {
    case AudioStatus::Playing:
      return "playing";
    case AudioStatus::Paused:
      return "paused";
    case AudioStatus::Stopped:
      return "stopped";
    case AudioStatus::Error:
      return "not ready";
  }
  return "not ready";
}

// A blank disc, or a TOC no pressed disc can have: everything below relies
// on tracks 1..99 numbered without gaps, in ascending order, before the lead-out.
bool usable(const Toc& toc) {
  if (toc.empty() || toc.firstTrack() < 1 || toc.lastTrack() > 99) return false;
  if (toc.tracks.front().start < 0 || toc.leadOut <= toc.tracks.back().start) return false;
  for (std::size_t i = 1; i < toc.tracks.size(); ++i) {
    const disc::Track& previous = toc.tracks[i - 1];
    if (toc.tracks[i].number != previous.number + 1) return false;
    if (toc.tracks[i].start <= previous.start) return false;
  }
  return true;
}

std::string boolName(bool value) {
  return value ? "true" : "false";
}

// The reply with no text: 0 for success, else the MCI error.
Reply replyCode(std::uint32_t code) {
  return Reply{code, {}};
}

}  // namespace

CdAudioDevice::CdAudioDevice(std::shared_ptr<drive::CdDrive> drive, drive::Clock& clock)
    : drive_(std::move(drive)), clock_(clock) {}

Reply CdAudioDevice::execute(const Command& c) {
  switch (c.verb) {
    case Verb::Play:
      return play(c);
    case Verb::Pause:
      return replyCode(toMciError(drive_->pause()));
    case Verb::Resume:
      return replyCode(toMciError(drive_->resume()));
    case Verb::Stop:
      return replyCode(toMciError(drive_->stop()));
    case Verb::Seek:
      return seek(c);
    case Verb::Set:
      return set(c);
    case Verb::Status:
      return status(c);
    case Verb::Open:
    case Verb::Close:
      break;  // the session's business
  }
  return replyCode(err::kUnrecognizedCommand);
}

std::uint32_t CdAudioDevice::refreshToc(const DriveStatus& s) {
  if (!hasDisc(s)) return err::kDeviceNotReady;
  if (tocValid_ && tocGeneration_ == s.mediaGeneration) return err::kNone;
  Toc toc;
  if (const std::uint32_t code = toMciError(drive_->readToc(toc))) return code;
  if (!usable(toc)) return err::kHardware;
  toc_ = std::move(toc);
  tocValid_ = true;
  tocGeneration_ = s.mediaGeneration;
  return err::kNone;
}

disc::Lba CdAudioDevice::nextAudio(disc::Lba lba) const {
  const int holder = toc_.trackAt(lba);
  for (const disc::Track& track : toc_.tracks) {
    if (track.number < holder || !track.audio) continue;
    return track.number == holder ? lba : track.start;
  }
  return -1;
}

disc::Lba CdAudioDevice::audioRunEnd(disc::Lba lba) const {
  const int holder = toc_.trackAt(lba);
  for (const disc::Track& track : toc_.tracks) {
    if (track.number > holder && !track.audio) return toc_.trackEnd(track.number - 1);
  }
  return toc_.leadOut;
}

Reply CdAudioDevice::play(const Command& c) {
  const DriveStatus s = drive_->status();
  if (const std::uint32_t code = refreshToc(s)) return replyCode(code);

  if (!c.from && !c.to && s.audio == AudioStatus::Playing) {
    // Native Windows lets the stream run on with no gap.
    return replyCode(c.wait ? waitWhilePlaying() : err::kNone);
  }
  if (!c.from && !c.to && s.audio == AudioStatus::Paused) {
    if (const std::uint32_t code = toMciError(drive_->resume())) return replyCode(code);
    return replyCode(c.wait ? waitWhilePlaying() : err::kNone);
  }

  const Lba first = toc_.tracks.front().start;
  const Lba leadOut = toc_.leadOut;
  auto address = [&](std::uint32_t value) -> std::optional<Lba> {
    const auto lba = positionFromValue(timeFormat_, toc_, value);
    if (!lba || *lba < first || *lba >= leadOut) return std::nullopt;
    return lba;
  };

  Lba from = s.position;
  if (c.from) {
    const auto lba = address(*c.from);
    if (!lba) return replyCode(err::kOutOfRange);
    from = *lba;
  } else if (from < first || from >= leadOut) {
    from = first;
  }
  // Without "to" the play runs to the lead-out, where the drive returns to track 1.
  Lba to = leadOut;
  if (c.to) {
    const auto lba = address(*c.to);
    if (!lba) return replyCode(err::kOutOfRange);
    to = *lba;
  }
  if (from > to) return replyCode(err::kOutOfRange);

  // Data tracks are never played: start at the next audio track, stop before
  // the next data track. A range of data only plays nothing and succeeds.
  from = nextAudio(from);
  if (from < 0) return replyCode(err::kNone);
  to = std::min(to, audioRunEnd(from));
  if (from >= to) return replyCode(err::kNone);

  if (const std::uint32_t code = toMciError(drive_->play(from, to))) return replyCode(code);
  return replyCode(c.wait ? waitWhilePlaying() : err::kNone);
}

std::uint32_t CdAudioDevice::waitWhilePlaying() {
  Lba heard = -1;
  std::int64_t movedAt = clock_.nowMs();
  while (true) {
    const DriveStatus s = drive_->status();
    if (s.audio != AudioStatus::Playing) {
      return s.audio == AudioStatus::Error ? err::kHardware : err::kNone;
    }
    const std::int64_t now = clock_.nowMs();
    if (s.position != heard) {
      heard = s.position;
      movedAt = now;
    } else if (now - movedAt >= kStallMs) {
      return err::kHardware;
    }
    clock_.sleepMs(kWaitPollMs);
  }
}

Reply CdAudioDevice::seek(const Command& c) {
  const DriveStatus s = drive_->status();
  if (const std::uint32_t code = refreshToc(s)) return replyCode(code);
  const Lba first = toc_.tracks.front().start;
  const Lba end = toc_.leadOut - 1;

  Lba target = end;
  switch (c.seekTarget) {
    case SeekTarget::Start:
      target = nextAudio(first);
      break;
    case SeekTarget::End:
      target = end;
      break;
    case SeekTarget::Position: {
      const auto lba = positionFromValue(timeFormat_, toc_, c.seekTo);
      if (!lba || *lba < first || *lba > end) return replyCode(err::kOutOfRange);
      target = nextAudio(*lba);
      break;
    }
    case SeekTarget::None:
      return replyCode(err::kMissingParameter);
  }
  if (target < 0) target = end;  // only data from there on: native lands at the end
  return replyCode(toMciError(drive_->seek(target)));
}

Reply CdAudioDevice::set(const Command& c) {
  if (c.timeFormat) timeFormat_ = *c.timeFormat;
  if (c.doorOpen) {
    return replyCode(toMciError(*c.doorOpen ? drive_->openTray() : drive_->closeTray()));
  }
  return {};
}

Reply CdAudioDevice::status(const Command& c) {
  const DriveStatus s = drive_->status();
  switch (c.item.value_or(StatusItem::Mode)) {
    case StatusItem::Mode:
      return {err::kNone, modeName(s)};
    case StatusItem::MediaPresent:
      return {err::kNone, boolName(hasDisc(s))};
    case StatusItem::Ready:
      return {err::kNone, boolName(hasDisc(s) && s.audio != AudioStatus::Error)};
    case StatusItem::TimeFormat:
      return {err::kNone, std::string(timeFormatName(timeFormat_))};
    default:
      return statusWithToc(c, s);
  }
}

Reply CdAudioDevice::statusWithToc(const Command& c, const DriveStatus& s) {
  if (const std::uint32_t code = refreshToc(s)) return replyCode(code);
  const disc::Track* track = nullptr;
  if (c.track) {
    track = trackByValue(toc_, *c.track);
    if (track == nullptr) return replyCode(err::kOutOfRange);
  }
  switch (*c.item) {
    case StatusItem::Position: {
      Lba at = s.position;
      if (track != nullptr) at = track->start;
      if (c.start) at = toc_.tracks.front().start;
      return {err::kNone, formatPosition(timeFormat_, toc_, at)};
    }
    case StatusItem::CurrentTrack: {
      int number = toc_.trackAt(s.position);
      if (number == 0) {
        number = s.position < toc_.tracks.front().start ? toc_.firstTrack() : toc_.lastTrack();
      }
      return {err::kNone, std::to_string(number)};
    }
    case StatusItem::NumberOfTracks:
      return {err::kNone, std::to_string(toc_.tracks.size())};
    case StatusItem::Length: {
      // Windows counts one frame less for the disc and for its last track.
      Lba frames = toc_.leadOut - toc_.tracks.front().start - 1;
      if (track != nullptr) {
        frames = toc_.trackEnd(track->number) - track->start;
        if (track->number == toc_.lastTrack()) --frames;
      }
      return {err::kNone, formatLength(timeFormat_, frames)};
    }
    case StatusItem::TypeTrack:
      return {err::kNone, track->audio ? "audio" : "other"};
    default:
      break;
  }
  return replyCode(err::kDriverInternal);
}

}  // namespace tavrelo::mci
