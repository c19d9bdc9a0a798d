#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/audio/AudioSink.h"
#include "platform/disc/DiscSource.h"
#include "platform/drive/CdDrive.h"
#include "platform/drive/Clock.h"
#include "platform/drive/Deemphasis.h"
#include "platform/drive/SampleRing.h"
#include "platform/drive/TrackHeads.h"

namespace tavrelo::drive {

struct EngineOptions {
  int ringSeconds = 4;        // audio read ahead of the listener
  int lowMarkSeconds = 2;     // reading resumes below this, and runs until the ring is full
  int chunkSectors = 25;      // one steady read: a third of a second
  int firstChunkSectors = 3;  // the first read of a play is short, so sound starts at once
  int readSpeed = 4;          // asked of drives with a motor, in "x"
  int retries = 1;            // extra attempts for each unreadable sector
  // Past this many unreadable sectors in a row a failed chunk is silence
  // whole, read once without retries, until the disc reads again.
  int longUnreadableRun = 150;
  int pollMs = 20;       // the closest the reader looks at the clock near a play's end
  int idlePollMs = 500;  // the longest it rests while its source may change by itself
  // How often an idle reader asks the source about its tray; 0 for a source
  // that changes only through this drive (a disc image), which is never asked.
  int mediaPollMs = 300;
  // On a source that seeks slowly, the first seconds of the tracks before and
  // after the one heard are kept, so a play from either sounds at once; they
  // are read while the ring is full, in reads of `headChunkSectors`: longer
  // than the steady ones, as each read is a drive command, but short enough
  // that a play arriving meanwhile waits little. 0: none.
  int headSeconds = 3;
  int headChunkSectors = 75;
  Clock* clock = nullptr;  // null: the system clock
  // Asked at each new disc whether its pre-emphasised tracks are played
  // through de-emphasis; empty: they are.
  std::function<bool()> deemphasis{};
};

// Something that happened on another thread, stamped with the play it
// belongs to; it is dropped when the drive has moved on to another play.
struct DriveEvent {
  enum class Kind {
    EndOfRange,    // the listener has heard the last frame of the play range
    SourceFailed,  // the disc can't be read any more; `reason` says why. What was
                   // read still plays, then the drive stops with AudioStatus::Error.
  };
  std::uint64_t serial = 0;
  Kind kind = Kind::EndOfRange;
  std::string reason;
};

// The digital CD drive: reads the disc through a DiscSource into a ring of a
// few seconds and plays it to an AudioSink as one gapless stream. The
// position is what the sink's clock says has been heard.
class DigitalCdDrive final : public CdDrive {
 public:
  // Reads the disc's state and TOC before returning (the one call that may
  // wait for a disc to spin up).
  DigitalCdDrive(std::unique_ptr<disc::DiscSource> source, std::unique_ptr<audio::AudioSink> sink,
                 EngineOptions options = {});
  ~DigitalCdDrive() override;
  DigitalCdDrive(const DigitalCdDrive&) = delete;
  DigitalCdDrive& operator=(const DigitalCdDrive&) = delete;

  DriveStatus status() override;
  DriveError readToc(Toc& out) override;
  DriveError play(Lba from, Lba to) override;
  DriveError pause() override;
  DriveError resume() override;
  DriveError stop() override;
  DriveError seek(Lba to) override;
  DriveError openTray() override;
  DriveError closeTray() override;
  void setVolume(double level) override;
  double volume() override;

  // Why the drive last gave up or failed a command; empty when it never did.
  std::string lastError();

 private:
  struct ReadJob {
    std::uint64_t serial = 0;
    Lba lba = 0;
    int count = 0;
    std::uint64_t generation = 0;  // the disc it reads
    std::optional<Lba> head;       // the track head it fetches, if that is what it does
  };
  struct MediaSnapshot {
    disc::MediaState state = disc::MediaState::NoDisc;
    std::uint64_t generation = 0;
    Toc toc;
    std::string tocError;
    bool deemphasis = true;
  };

  // How one job's read of the disc ended.
  enum class ReadOutcome {
    Read,       // `sectors` are in the buffer, unreadable ones as silence
    Abandoned,  // a newer play, a stop or the drive's end made it pointless
    NotReady,   // the drive spins up or wakes: read the same sectors again soon
    DiscGone,   // no disc or no drive any more; `why` says which
  };
  struct ReadResult {
    ReadOutcome outcome = ReadOutcome::Read;
    int sectors = 0;
    std::string why;
    bool clean = false;  // read at the first attempt, every sector as on the disc
  };
  // One command to the source: the sectors read, or why none were.
  struct Attempt {
    bool read = false;
    int sectors = 0;
    disc::DiscError::Kind kind = disc::DiscError::Kind::Other;
    std::string error;
  };

  void run();
  bool nextJobLocked(ReadJob& job);
  void readJob(const ReadJob& job);
  // Track heads: which to keep, the next to fetch, a fetch, and the check that
  // a completed one is of the disc still in the drive.
  void wantHeadsLocked();
  bool nextHeadJobLocked(ReadJob& job);
  void readHead(const ReadJob& job);
  void confirmHead(Lba start, std::uint64_t generation);
  // Starts the play's sound from a kept head, if there is one for its start.
  void spliceHeadLocked();
  // Reads a job; unreadable sectors become silence. An isolated bad sector
  // costs three failed commands: the chunk's, then its own and one retry.
  ReadResult readChunk(const ReadJob& job, std::uint8_t* out);
  Attempt attempt(disc::Lba lba, int count, std::uint8_t* out);
  // Whether a failed attempt ends the read rather than costing a sector.
  std::optional<ReadResult> endsTheRead(const Attempt& failed);
  // Any thread: applies the event unless its serial is no longer current.
  void post(const DriveEvent& event);
  void checkEnd();
  // How long the reader may rest now; nullopt: until a command or the ring wakes it.
  std::optional<int> restMsLocked();
  void pollMedia();
  DriveError moveTray(void (disc::DiscSource::*move)(), const char* failure);
  MediaSnapshot snapshotMedia();  // the caller holds sourceMutex_
  void adoptMediaLocked(const MediaSnapshot& media);
  void applyLocked(const DriveEvent& event);
  void stopSoundLocked();
  Lba heardLbaLocked();
  Lba firstAudioStartLocked() const;
  DriveError checkMediaLocked() const;
  void logProblem(const std::string& why);  // one line in the log, naming the source
  bool deemphasisWanted() const;

  const std::unique_ptr<disc::DiscSource> source_;
  const std::unique_ptr<audio::AudioSink> sink_;
  const EngineOptions options_;
  Clock& clock_;
  SampleRing ring_;
  const bool keepHeads_;

  // Guards every member below; never held while reading the disc.
  std::mutex mutex_;
  std::condition_variable wakeReader_;
  bool quit_ = false;
  std::uint64_t serial_ = 1;
  AudioStatus audio_ = AudioStatus::Stopped;
  Lba position_ = 0;  // where a play starts when not playing
  Lba playFrom_ = 0;  // the current play's range [playFrom_, playTo_)
  Lba playTo_ = 0;
  Lba readNext_ = 0;
  bool readDone_ = false;
  bool filling_ = false;
  bool trayOpen_ = false;
  bool mediaPresent_ = false;
  bool driveGone_ = false;  // unplugged: every command fails until it is back
  double volume_ = 1.0;
  std::uint64_t generation_ = 0;
  std::uint64_t mediaEpoch_ = 0;  // bumped by tray moves, so an older poll is not applied
  Toc toc_;
  bool deemphasis_ = true;  // for the disc in the drive
  std::string lastError_;
  std::string readFailure_;  // why the current play's reading ended early
  TrackHeads heads_;

  // Serialises every use of source_ (reads, polls, tray moves).
  std::mutex sourceMutex_;
  // serial_ as the reader may read it between attempts without mutex_.
  std::atomic<std::uint64_t> liveSerial_{1};
  // Reader thread only.
  std::uint64_t readerSerial_ = 0;
  int unreadableRun_ = 0;
  Deemphasis deemphasisFilter_;  // under mutex_ as well: sectors on their way into the ring

  std::thread reader_;
};

}  // namespace tavrelo::drive
