// Threads: the caller's thread (any, one call at a time or several), the
// reader thread started here, and the sink's own thread, which only pulls
// from ring_.
// Locks, always taken in this order: mutex_ (drive state, held briefly, never
// across a disc read or a wait), then the sink's lock (calls into sink_), then
// the ring's lock. sourceMutex_ serialises every use of the disc source and is
// never taken while mutex_ is held. The reader decides what to read under
// mutex_, reads under sourceMutex_ alone, and hands the result back under
// mutex_ only if the play it read for is still current (serial_).
#include "platform/drive/DigitalCdDrive.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/os/Log.h"

namespace tavrelo::drive {
namespace {

constexpr std::size_t kSectorBytes = disc::kSectorBytes;
constexpr std::int64_t kFramesPerSector = disc::kStereoFramesPerSector;

std::size_t secondsToBytes(int seconds) {
  return static_cast<std::size_t>(seconds) * disc::kFramesPerSecond * kSectorBytes;
}

// Two looks at one disc: the same TOC, and the same catalogue number where
// both looks have one (a drive may fail to give it).
bool sameDisc(const Toc& a, const Toc& b) {
  if (!a.catalog.empty() && !b.catalog.empty() && a.catalog != b.catalog) return false;
  Toc withCatalog = a;
  withCatalog.catalog = b.catalog;
  return withCatalog == b;
}

}  // namespace

DigitalCdDrive::DigitalCdDrive(std::unique_ptr<disc::DiscSource> source,
                               std::unique_ptr<audio::AudioSink> sink, EngineOptions options)
    : source_(std::move(source)),
      sink_(std::move(sink)),
      options_(std::move(options)),
      clock_(options_.clock != nullptr ? *options_.clock : systemClock()),
      ring_(secondsToBytes(std::max(options_.ringSeconds, 1)),
            secondsToBytes(options_.lowMarkSeconds), [this] { wakeReader_.notify_all(); }),
      keepHeads_(source_->seeksSlowly() && options_.headSeconds > 0) {
  MediaSnapshot media;
  {
    std::lock_guard sourceLock(sourceMutex_);
    try {
      source_->setReadSpeed(options_.readSpeed);
    } catch (const std::exception& e) {
      // Some drives refuse speed changes; they read at their own pace.
      logProblem(std::string("could not set the read speed: ") + e.what());
    }
    media = snapshotMedia();
  }
  {
    std::lock_guard lock(mutex_);
    adoptMediaLocked(media);
  }
  reader_ = std::thread([this] { run(); });
}

DigitalCdDrive::~DigitalCdDrive() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    ++serial_;
    liveSerial_ = serial_;
    sink_->stop();
  }
  wakeReader_.notify_all();
  reader_.join();
}

// ---- state the callers see ----

DriveStatus DigitalCdDrive::status() {
  std::lock_guard lock(mutex_);
  DriveStatus s;
  s.trayOpen = trayOpen_;
  s.mediaPresent = mediaPresent_;
  s.mediaGeneration = generation_;
  s.audio = audio_;
  s.position = (audio_ == AudioStatus::Playing || audio_ == AudioStatus::Paused) ? heardLbaLocked()
                                                                                 : position_;
  s.track = mediaPresent_ ? toc_.trackAt(s.position) : 0;
  return s;
}

DriveError DigitalCdDrive::readToc(Toc& out) {
  std::lock_guard lock(mutex_);
  if (const DriveError e = checkMediaLocked(); e != DriveError::None) return e;
  out = toc_;
  return DriveError::None;
}

std::string DigitalCdDrive::lastError() {
  std::lock_guard lock(mutex_);
  return lastError_;
}

DriveError DigitalCdDrive::checkMediaLocked() const {
  if (driveGone_) return DriveError::Unavailable;
  if (!mediaPresent_) return DriveError::NoMedia;
  if (toc_.empty()) return DriveError::Hardware;
  return DriveError::None;
}

Lba DigitalCdDrive::firstAudioStartLocked() const {
  for (const disc::Track& track : toc_.tracks) {
    if (track.audio) return track.start;
  }
  return toc_.empty() ? 0 : toc_.tracks.front().start;
}

Lba DigitalCdDrive::heardLbaLocked() {
  const std::int64_t heard = sink_->heardFrames() / kFramesPerSector;
  const std::int64_t last = std::max<std::int64_t>(playTo_ - 1, playFrom_);
  return static_cast<Lba>(std::clamp<std::int64_t>(playFrom_ + heard, playFrom_, last));
}

// ---- commands ----

void DigitalCdDrive::stopSoundLocked() {
  sink_->stop();
  ring_.clear();
  ++serial_;
  liveSerial_ = serial_;
  readDone_ = true;
  filling_ = false;
}

DriveError DigitalCdDrive::play(Lba from, Lba to) {
  {
    std::lock_guard lock(mutex_);
    if (const DriveError e = checkMediaLocked(); e != DriveError::None) return e;
    if (from < toc_.tracks.front().start || from >= to || to > toc_.leadOut) {
      return DriveError::OutOfRange;
    }
    stopSoundLocked();
    playFrom_ = from;
    playTo_ = to;
    readNext_ = from;
    readDone_ = false;
    filling_ = true;
    readFailure_.clear();
    audio_ = AudioStatus::Playing;
    spliceHeadLocked();
    sink_->start(ring_, false);
  }
  wakeReader_.notify_all();
  return DriveError::None;
}

DriveError DigitalCdDrive::pause() {
  std::lock_guard lock(mutex_);
  if (const DriveError e = checkMediaLocked(); e != DriveError::None) return e;
  if (audio_ == AudioStatus::Playing) {
    sink_->pause();
    audio_ = AudioStatus::Paused;
  }
  return DriveError::None;
}

DriveError DigitalCdDrive::resume() {
  {
    std::lock_guard lock(mutex_);
    if (const DriveError e = checkMediaLocked(); e != DriveError::None) return e;
    if (audio_ != AudioStatus::Paused) return DriveError::NotPaused;
    sink_->resume();
    audio_ = AudioStatus::Playing;
  }
  wakeReader_.notify_all();  // a paused reader rests with no timer
  return DriveError::None;
}

DriveError DigitalCdDrive::stop() {
  std::lock_guard lock(mutex_);
  if (const DriveError e = checkMediaLocked(); e != DriveError::None) return e;
  if (audio_ == AudioStatus::Playing || audio_ == AudioStatus::Paused) {
    position_ = heardLbaLocked();
  }
  stopSoundLocked();
  audio_ = AudioStatus::Stopped;
  return DriveError::None;
}

DriveError DigitalCdDrive::seek(Lba to) {
  std::lock_guard lock(mutex_);
  if (const DriveError e = checkMediaLocked(); e != DriveError::None) return e;
  if (to < toc_.tracks.front().start || to >= toc_.leadOut) return DriveError::OutOfRange;
  stopSoundLocked();
  audio_ = AudioStatus::Stopped;
  position_ = to;
  return DriveError::None;
}

DriveError DigitalCdDrive::openTray() {
  {
    std::lock_guard lock(mutex_);
    if (driveGone_) return DriveError::Unavailable;
    stopSoundLocked();
    audio_ = AudioStatus::Stopped;
    ++mediaEpoch_;
    heads_.clear();
  }
  return moveTray(&disc::DiscSource::eject, "the tray did not open: ");
}

DriveError DigitalCdDrive::closeTray() {
  {
    std::lock_guard lock(mutex_);
    if (driveGone_) return DriveError::Unavailable;
  }
  return moveTray(&disc::DiscSource::closeTray, "the tray did not close: ");
}

void DigitalCdDrive::setVolume(double level) {
  std::lock_guard lock(mutex_);
  volume_ = level > 0 ? level : 0.0;
  sink_->setVolume(volume_);
}

double DigitalCdDrive::volume() {
  std::lock_guard lock(mutex_);
  return volume_;
}

// Moves the tray on the source (this can take seconds on a real drive, so the
// status lock is not held), then takes in whatever media the source now has.
DriveError DigitalCdDrive::moveTray(void (disc::DiscSource::*move)(), const char* failure) {
  MediaSnapshot media;
  {
    std::lock_guard sourceLock(sourceMutex_);
    try {
      (source_.get()->*move)();
    } catch (const std::exception& e) {
      logProblem(failure + std::string(e.what()));
      return DriveError::Hardware;
    }
    media = snapshotMedia();
  }
  std::lock_guard lock(mutex_);
  ++mediaEpoch_;
  adoptMediaLocked(media);
  return DriveError::None;
}

// ---- media ----

DigitalCdDrive::MediaSnapshot DigitalCdDrive::snapshotMedia() {
  MediaSnapshot media;
  media.state = source_->mediaState();
  media.generation = source_->mediaGeneration();
  if (media.state == disc::MediaState::DiscPresent) {
    try {
      media.toc = source_->readToc();
    } catch (const std::exception& e) {
      media.tocError = e.what();
    }
    media.deemphasis = deemphasisWanted();
  }
  return media;
}

bool DigitalCdDrive::deemphasisWanted() const {
  return !options_.deemphasis || options_.deemphasis();
}

void DigitalCdDrive::adoptMediaLocked(const MediaSnapshot& media) {
  const bool gone = media.state == disc::MediaState::Gone;
  if (gone != driveGone_) {
    logProblem(gone ? "the drive is gone" : "the drive is back");
    driveGone_ = gone;
  }
  if (media.state == disc::MediaState::NotReady) {
    // Waking from standby, resetting (after a suspend, with a media change),
    // or a closed tray's disc still spinning up: what was known stays (a
    // paused disc stays paused) until the drive is ready to say which disc it
    // holds; its generation is taken then, so that disc's TOC is read.
    trayOpen_ = false;
    return;
  }
  const bool present = media.state == disc::MediaState::DiscPresent;
  // A disc never seen to leave that has the TOC (and catalogue number) of
  // the one in use is that disc: a reset drive reports a media change with
  // the same disc inside.
  const bool same = present && mediaPresent_ && media.tocError.empty() && sameDisc(media.toc, toc_);
  const bool changed = !same && (present != mediaPresent_ || media.generation != generation_ ||
                                 (present && media.toc != toc_));
  trayOpen_ = media.state == disc::MediaState::TrayOpen;
  generation_ = media.generation;
  if (!changed) return;
  heads_.clear();
  if (audio_ == AudioStatus::Playing || audio_ == AudioStatus::Paused) {
    stopSoundLocked();
    audio_ = present ? AudioStatus::Stopped : AudioStatus::Error;
    if (!present) {
      lastError_ = gone ? "the drive went away during play" : "the disc went away during play";
      logProblem(lastError_);
    }
  }
  mediaPresent_ = present;
  toc_ = present ? media.toc : Toc{};
  if (!media.tocError.empty()) {
    lastError_ = "the table of contents could not be read: " + media.tocError;
  }
  position_ = firstAudioStartLocked();
  deemphasis_ = media.deemphasis;
  std::string flagged;
  for (const disc::Track& track : toc_.tracks) {
    if (track.audio && track.flags.preemphasis) flagged += " " + std::to_string(track.number);
  }
  if (!flagged.empty()) {
    logProblem("pre-emphasised tracks:" + flagged +
               (deemphasis_ ? "; played through de-emphasis"
                            : "; played as pressed ([sound] deemphasis=false)"));
  }
}

void DigitalCdDrive::pollMedia() {
  std::uint64_t epoch = 0;
  std::uint64_t knownGeneration = 0;
  bool knownPresent = false;
  {
    std::lock_guard lock(mutex_);
    epoch = mediaEpoch_;
    knownGeneration = generation_;
    knownPresent = mediaPresent_;
  }
  MediaSnapshot media;
  {
    std::lock_guard sourceLock(sourceMutex_);
    media.state = source_->mediaState();
    media.generation = source_->mediaGeneration();
    // A disc in a drive we hold none for is taken in, change or not.
    if (media.generation == knownGeneration &&
        (media.state != disc::MediaState::DiscPresent || knownPresent)) {
      std::lock_guard lock(mutex_);
      if (media.state != disc::MediaState::NotReady) {
        trayOpen_ = media.state == disc::MediaState::TrayOpen;
      }
      return;
    }
    if (media.state == disc::MediaState::DiscPresent) {
      try {
        media.toc = source_->readToc();
      } catch (const std::exception& e) {
        media.tocError = e.what();
      }
      media.deemphasis = deemphasisWanted();
    }
  }
  std::lock_guard lock(mutex_);
  if (epoch != mediaEpoch_) return;  // a tray move since; its result stands
  adoptMediaLocked(media);
}

// ---- events ----

void DigitalCdDrive::post(const DriveEvent& event) {
  std::lock_guard lock(mutex_);
  applyLocked(event);
}

void DigitalCdDrive::applyLocked(const DriveEvent& event) {
  if (event.serial != serial_) return;
  if (audio_ != AudioStatus::Playing && audio_ != AudioStatus::Paused) return;
  switch (event.kind) {
    case DriveEvent::Kind::EndOfRange:
      if (!readFailure_.empty()) {
        // What could be read has been heard; the drive stops where reading failed.
        position_ = std::clamp(readNext_, playFrom_, std::max(playTo_ - 1, playFrom_));
        stopSoundLocked();
        audio_ = AudioStatus::Error;
        lastError_ = readFailure_;
      } else {
        // Past the last audio track lies only data (a CD-Extra disc): that is
        // the end of the disc for a player.
        const bool endOfDisc = playTo_ >= toc_.audioEnd();
        stopSoundLocked();
        audio_ = AudioStatus::Stopped;
        position_ = endOfDisc ? firstAudioStartLocked() : playTo_;
      }
      break;
    case DriveEvent::Kind::SourceFailed:
      // The ring plays out first, so the listener hears everything read
      // before the failure; the end of that is the end of the play.
      if (readFailure_.empty()) logProblem(event.reason);
      readFailure_ = event.reason;
      readDone_ = true;
      ring_.closeInput();
      break;
  }
}

void DigitalCdDrive::logProblem(const std::string& why) {
  os::log(source_->describe() + ": " + why);
}

// ---- the reader thread ----

void DigitalCdDrive::run() {
  ::pthread_setname_np(::pthread_self(), "tavrelo-reader");
  std::int64_t lastMediaPoll = clock_.nowMs();
  std::unique_lock lock(mutex_);
  while (!quit_) {
    ReadJob job;
    if (nextJobLocked(job)) {
      lock.unlock();
      readJob(job);
      lock.lock();
      continue;
    }
    if (nextHeadJobLocked(job)) {
      lock.unlock();
      readHead(job);
      lock.lock();
      continue;
    }
    const bool playing = audio_ == AudioStatus::Playing;
    if (const auto restMs = restMsLocked()) {
      wakeReader_.wait_for(lock, std::chrono::milliseconds(*restMs));
    } else {
      wakeReader_.wait(lock);
    }
    if (quit_) break;
    lock.unlock();
    if (playing) checkEnd();
    const std::int64_t now = clock_.nowMs();
    if (options_.mediaPollMs > 0 && now - lastMediaPoll >= options_.mediaPollMs) {
      lastMediaPoll = now;
      pollMedia();
    }
    lock.lock();
  }
}

// Every rest costs a wakeup, so the reader sleeps until something is due.
std::optional<int> DigitalCdDrive::restMsLocked() {
  constexpr std::int64_t kBytesPerSecond = disc::kFramesPerSecond * kSectorBytes;
  std::optional<int> rest;
  if (audio_ == AudioStatus::Playing && readDone_) {
    // The end of the play comes at the listener's pace.
    const std::int64_t total = static_cast<std::int64_t>(readNext_ - playFrom_) * kFramesPerSector;
    const std::int64_t leftMs =
        (total - sink_->heardFrames()) * 1000 / (disc::kFramesPerSecond * kFramesPerSector);
    rest = static_cast<int>(std::clamp<std::int64_t>(leftMs, options_.pollMs, options_.idlePollMs));
  } else if (audio_ == AudioStatus::Playing) {
    // The ring wakes the reader as it falls under its low mark. In case that
    // call slipped in just before this wait, the reader also wakes a little
    // after the listener could have drained it there.
    const std::int64_t above = static_cast<std::int64_t>(ring_.size()) -
                               static_cast<std::int64_t>(secondsToBytes(options_.lowMarkSeconds));
    rest = options_.idlePollMs +
           static_cast<int>(std::max<std::int64_t>(above, 0) * 1000 / kBytesPerSecond);
  }
  if (options_.mediaPollMs > 0)
    rest = std::min(rest.value_or(options_.idlePollMs), options_.idlePollMs);
  return rest;
}

bool DigitalCdDrive::nextJobLocked(ReadJob& job) {
  if (audio_ != AudioStatus::Playing && audio_ != AudioStatus::Paused) return false;
  if (readDone_) return false;
  const std::size_t chunkBytes = static_cast<std::size_t>(options_.chunkSectors) * kSectorBytes;
  const std::size_t filled = ring_.size();
  if (filled < secondsToBytes(options_.lowMarkSeconds)) filling_ = true;
  if (ring_.capacity() - filled < chunkBytes) filling_ = false;
  if (!filling_) return false;
  const int chunk = readNext_ == playFrom_ ? options_.firstChunkSectors : options_.chunkSectors;
  job.serial = serial_;
  job.lba = readNext_;
  job.count = std::max(1, std::min(chunk, playTo_ - readNext_));
  job.generation = generation_;
  job.head.reset();
  return true;
}

void DigitalCdDrive::readJob(const ReadJob& job) {
  if (job.serial != readerSerial_) {  // a new play: its bad runs start from zero
    readerSerial_ = job.serial;
    unreadableRun_ = 0;
  }
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(job.count) * kSectorBytes);
  ReadResult result;
  {
    std::lock_guard sourceLock(sourceMutex_);
    result = readChunk(job, buffer.data());
  }
  switch (result.outcome) {
    case ReadOutcome::Abandoned:
      return;
    case ReadOutcome::NotReady: {
      // The ring plays on meanwhile; the same sectors are read once the
      // drive is up again, or dropped if a command moves the play on.
      std::unique_lock lock(mutex_);
      wakeReader_.wait_for(lock, std::chrono::milliseconds(options_.idlePollMs),
                           [&] { return quit_ || job.serial != serial_; });
      return;
    }
    case ReadOutcome::DiscGone:
      post(DriveEvent{
          .serial = job.serial, .kind = DriveEvent::Kind::SourceFailed, .reason = result.why});
      return;
    case ReadOutcome::Read:
      break;
  }
  std::optional<Lba> headDone;
  {
    std::lock_guard lock(mutex_);
    if (job.serial != serial_) return;  // a newer play cleared the ring meanwhile
    const std::span<std::uint8_t> read(buffer.data(),
                                       static_cast<std::size_t>(result.sectors) * kSectorBytes);
    if (keepHeads_ && result.clean) {
      // A track played from its start keeps its head for nothing. Heads hold
      // the disc's own sound: de-emphasis belongs to the play that uses them.
      wantHeadsLocked();
      headDone = heads_.store(job.generation, job.lba, read);
    }
    deemphasisFilter_.apply(toc_, deemphasis_, job.serial, job.lba, read);
    ring_.push(read);
    readNext_ = job.lba + result.sectors;
    if (readNext_ >= playTo_ || result.sectors < job.count) {
      readDone_ = true;
      ring_.closeInput();
    }
  }
  sink_->wake();
  if (headDone) confirmHead(*headDone, job.generation);
}

// ---- track heads ----

void DigitalCdDrive::wantHeadsLocked() {
  if (!mediaPresent_ || toc_.empty()) return;
  const bool sounding = audio_ == AudioStatus::Playing || audio_ == AudioStatus::Paused;
  const int heard = toc_.trackAt(sounding ? heardLbaLocked() : position_);
  const int length = options_.headSeconds * disc::kFramesPerSecond;
  std::vector<TrackHeads::Wanted> wanted;
  // Next before previous; the one heard only as the ordinary reads pass it.
  const std::pair<int, bool> tracks[] = {{heard + 1, true}, {heard - 1, true}, {heard, false}};
  for (const auto& [number, fetch] : tracks) {
    const disc::Track* track = toc_.find(number);
    if (track == nullptr || !track->audio) continue;
    const int sectors = std::min(length, toc_.trackEnd(number) - track->start);
    if (sectors > 0) wanted.push_back({track->start, sectors, fetch});
  }
  heads_.keepOnly(generation_, wanted);
}

// Only while the ring is full, within the burst that filled it: the drive is
// spinning at its quiet speed anyway, and the listener has seconds in hand.
bool DigitalCdDrive::nextHeadJobLocked(ReadJob& job) {
  if (!keepHeads_ || audio_ != AudioStatus::Playing || readDone_ || filling_) return false;
  wantHeadsLocked();
  const auto read = heads_.nextRead(options_.headChunkSectors);
  if (!read) return false;
  job = ReadJob{.serial = serial_,
                .lba = read->lba,
                .count = read->count,
                .generation = generation_,
                .head = read->head};
  return true;
}

// One attempt and no retries: a head that does not read cleanly is not kept,
// and a play from its track reads the disc as any other play does.
void DigitalCdDrive::readHead(const ReadJob& job) {
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(job.count) * kSectorBytes);
  Attempt got;
  {
    std::lock_guard sourceLock(sourceMutex_);
    got = attempt(job.lba, job.count, buffer.data());
  }
  std::optional<Lba> done;
  {
    std::lock_guard lock(mutex_);
    if (!got.read || got.sectors < job.count) {
      heads_.fail(*job.head);
      return;
    }
    done = heads_.store(job.generation, job.lba, buffer);
  }
  if (done) confirmHead(*done, job.generation);
}

// The disc may have been swapped while the head was read, before the next
// media poll would tell.
void DigitalCdDrive::confirmHead(Lba start, std::uint64_t generation) {
  bool same = false;
  {
    std::lock_guard sourceLock(sourceMutex_);
    try {
      same = source_->mediaGeneration() == generation;
    } catch (const std::exception&) {
      same = false;
    }
  }
  std::lock_guard lock(mutex_);
  heads_.confirm(start, same && generation == generation_);
}

void DigitalCdDrive::spliceHeadLocked() {
  if (!keepHeads_) return;
  const std::span<const std::uint8_t> head = heads_.at(generation_, playFrom_);
  if (head.empty()) return;
  const std::size_t wanted =
      std::min<std::size_t>(playTo_ - playFrom_, ring_.capacity() / kSectorBytes) * kSectorBytes;
  // The ring was emptied for this play, so all of it goes in and the filter's
  // state ends where the drive's reads take over.
  std::vector<std::uint8_t> sound(
      head.begin(), head.begin() + static_cast<std::ptrdiff_t>(std::min(head.size(), wanted)));
  deemphasisFilter_.apply(toc_, deemphasis_, serial_, playFrom_, sound);
  const std::size_t pushed = ring_.push(sound);
  // Whole sectors only, so the drive's reads continue at a sector boundary.
  const auto sectors = static_cast<Lba>(pushed / kSectorBytes);
  readNext_ = playFrom_ + sectors;
  if (readNext_ >= playTo_) {
    readDone_ = true;
    ring_.closeInput();
  }
}

DigitalCdDrive::Attempt DigitalCdDrive::attempt(Lba lba, int count, std::uint8_t* out) {
  Attempt result;
  try {
    result.sectors =
        source_->readAudio(lba, count, {out, static_cast<std::size_t>(count) * kSectorBytes});
    result.read = true;
  } catch (const disc::DiscError& e) {
    result.kind = e.kind();
    result.error = e.what();
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  return result;
}

std::optional<DigitalCdDrive::ReadResult> DigitalCdDrive::endsTheRead(const Attempt& failed) {
  using Kind = disc::DiscError::Kind;
  if (failed.kind == Kind::NotReady) return ReadResult{ReadOutcome::NotReady, 0, failed.error};
  if (failed.kind == Kind::NoDisc || failed.kind == Kind::Gone) {
    return ReadResult{ReadOutcome::DiscGone, 0, failed.error};
  }
  // A source that can't say why (an image, a decorator) is asked where its disc is.
  switch (source_->mediaState()) {
    case disc::MediaState::DiscPresent:
      return std::nullopt;
    case disc::MediaState::NotReady:
      return ReadResult{ReadOutcome::NotReady, 0, failed.error};
    default:
      return ReadResult{ReadOutcome::DiscGone, 0, "the disc went away during play"};
  }
}

DigitalCdDrive::ReadResult DigitalCdDrive::readChunk(const ReadJob& job, std::uint8_t* out) {
  const auto bytes = [](int sectors) { return static_cast<std::size_t>(sectors) * kSectorBytes; };
  // A bad patch can take many slow attempts on a real drive; a stop, seek or
  // tray move in the meantime should not wait for all of them.
  const auto abandoned = [&] { return liveSerial_.load() != job.serial; };
  // Deep in a bad stretch (a long scratch, a file cut short) one attempt a
  // chunk is enough: reading every sector would make a slow drive fall
  // behind the listener.
  const auto deep = [&] { return unreadableRun_ >= options_.longUnreadableRun; };

  const Attempt whole = attempt(job.lba, job.count, out);
  if (whole.read) {
    if (deep()) {
      logProblem("reading again at LBA " + std::to_string(job.lba) + " after " +
                 std::to_string(unreadableRun_) + " unreadable sectors");
    }
    unreadableRun_ = 0;
    return {ReadOutcome::Read, whole.sectors, {}, true};
  }
  if (auto ended = endsTheRead(whole)) return *ended;
  if (deep()) {
    std::memset(out, 0, bytes(job.count));
    unreadableRun_ += job.count;
    return {ReadOutcome::Read, job.count, {}};
  }
  // Sector by sector, so one bad sector costs 1/75 s of silence, not a chunk.
  int bad = 0;
  std::string firstBad;
  for (int i = 0; i < job.count; ++i) {
    std::uint8_t* sector = out + bytes(i);
    if (deep()) {  // the stretch grew long inside this chunk
      std::memset(sector, 0, bytes(1));
      ++bad;
      ++unreadableRun_;
      continue;
    }
    Attempt one;
    for (int tries = 0; tries <= options_.retries; ++tries) {
      if (abandoned()) return {ReadOutcome::Abandoned, 0, {}};
      one = attempt(job.lba + i, 1, sector);
      if (one.read) break;
      if (auto ended = endsTheRead(one)) return *ended;
    }
    if (one.read && one.sectors == 0) {  // past the lead-out: the disc is shorter than its TOC
      return {ReadOutcome::Read, i, {}};
    }
    if (one.read) {
      unreadableRun_ = 0;
      continue;
    }
    std::memset(sector, 0, bytes(1));
    if (firstBad.empty()) firstBad = one.error;
    ++bad;
    ++unreadableRun_;
  }
  if (bad > 0) {
    logProblem(std::to_string(bad) + " unreadable sector(s) from LBA " + std::to_string(job.lba) +
               " played as silence: " + (firstBad.empty() ? whole.error : firstBad));
  }
  if (deep() && unreadableRun_ - bad < options_.longUnreadableRun) {
    logProblem("unreadable from LBA " + std::to_string(job.lba + job.count - unreadableRun_) +
               " on: played as silence, one read a chunk, until the disc reads again");
  }
  return {ReadOutcome::Read, job.count, {}};
}

void DigitalCdDrive::checkEnd() {
  std::uint64_t serial = 0;
  std::int64_t total = 0;
  {
    std::lock_guard lock(mutex_);
    if (audio_ != AudioStatus::Playing || !readDone_) return;
    serial = serial_;
    total = static_cast<std::int64_t>(readNext_ - playFrom_) * kFramesPerSector;
  }
  // Asked without mutex_: a play or seek meanwhile makes the event stale.
  if (sink_->heardFrames() >= total) {
    post(DriveEvent{.serial = serial, .kind = DriveEvent::Kind::EndOfRange, .reason = {}});
  }
}

}  // namespace tavrelo::drive
