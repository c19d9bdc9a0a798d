// play-disc CUE [TRACK]: plays a disc image to the sound server from the start
// of TRACK (default: the first audio track) to the end of the disc, printing
// the drive's status once a second. Ctrl+C stops.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/audio/PulseSink.h"
#include "platform/disc/CueImage.h"
#include "platform/drive/DigitalCdDrive.h"

namespace {

using namespace tavrelo;

std::atomic<bool> interrupted{false};

void onSignal(int) {
  interrupted = true;
}

const char* statusName(drive::AudioStatus status) {
  switch (status) {
    case drive::AudioStatus::Stopped:
      return "stopped";
    case drive::AudioStatus::Playing:
      return "playing";
    case drive::AudioStatus::Paused:
      return "paused";
    case drive::AudioStatus::Error:
      return "error";
  }
  return "?";
}

int usage() {
  std::fprintf(stderr, "usage: play-disc CUE [TRACK]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return usage();
  int trackNumber = 0;
  if (argc == 3) {
    char* end = nullptr;
    const long n = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || n < 1 || n > 99) {
      std::fprintf(stderr, "play-disc: \"%s\" is no track number (1 to 99)\n", argv[2]);
      return 2;
    }
    trackNumber = static_cast<int>(n);
  }

  std::unique_ptr<disc::DiscSource> source;
  try {
    source = disc::CueImage::open(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "play-disc: %s\n", e.what());
    return 1;
  }
  drive::DigitalCdDrive cd(std::move(source), std::make_unique<audio::PulseSink>());

  drive::Toc toc;
  if (cd.readToc(toc) != drive::DriveError::None) {
    std::fprintf(stderr, "play-disc: no readable disc in %s: %s\n", argv[1],
                 cd.lastError().c_str());
    return 1;
  }
  const disc::Track* track = nullptr;
  if (trackNumber == 0) {
    for (const disc::Track& t : toc.tracks) {
      if (t.audio) {
        track = &t;
        break;
      }
    }
  } else {
    track = toc.find(trackNumber);
  }
  if (track == nullptr || !track->audio) {
    std::fprintf(stderr, "play-disc: the disc has no audio track %d (tracks %d to %d)\n",
                 trackNumber, toc.firstTrack(), toc.lastTrack());
    return 1;
  }

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  if (cd.play(track->start, toc.leadOut) != drive::DriveError::None) {
    std::fprintf(stderr, "play-disc: the drive refused to play\n");
    return 1;
  }
  for (;;) {
    for (int i = 0; i < 10 && !interrupted; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const drive::DriveStatus s = cd.status();
    const int inTrack = toc.find(s.track) != nullptr ? s.position - toc.find(s.track)->start : 0;
    const int seconds = std::max(inTrack, 0) / disc::kFramesPerSecond;
    std::printf("%-8s track %2d  %02d:%02d  LBA %d\n", statusName(s.audio), s.track, seconds / 60,
                seconds % 60, s.position);
    std::fflush(stdout);
    if (interrupted) {
      cd.stop();
      return 130;
    }
    if (s.audio == drive::AudioStatus::Error) {
      std::fprintf(stderr, "play-disc: %s\n", cd.lastError().c_str());
      return 1;
    }
    if (s.audio != drive::AudioStatus::Playing) return 0;
  }
}
