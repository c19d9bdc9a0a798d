#pragma once

#include <optional>
#include <string>

#include "platform/disc/Toc.h"

namespace tavrelo::titles {

// What MusicBrainz knows a disc by: its disc ID (28 characters of base64,
// "49HHV7Eb8UKF3aQiNmu1GR8vKTY-") and its TOC string as the web service takes
// it ("1+6+95462+150+15363+32314+46592+63414+80489": first track, last track,
// lead-out, then each track's start, in absolute frames).
struct DiscIdentity {
  std::string id;
  std::string toc;
  int firstTrack = 0;
  int lastTrack = 0;

  int trackCount() const { return lastTrack - firstTrack + 1; }
};

// The identity of the disc `toc` describes. A CD-Extra counts its audio
// session only: the data tracks after the last audio track are left out and
// the lead-out is where the audio session ends (the data session's start less
// 11,400 frames). A disc whose first track is data keeps that track. Nullopt
// for a TOC libdiscid refuses (no audio track, addresses out of order).
std::optional<DiscIdentity> discIdentity(const disc::Toc& toc);

}  // namespace tavrelo::titles
