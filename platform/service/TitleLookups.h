#pragma once

// Titles from MusicBrainz for the discs the desktop is shown: each new disc
// without titles of its own is looked up once, when the user has agreed
// ([titles] online=true in the settings, read at each new disc), and what
// comes back fills only what CD-Text or the sheet left empty.
//
// Threads: the service loop's thread only. The lookups run on the thread of
// LookupWorker, made at the first lookup; their results wake the loop through
// a descriptor added by addDescriptors().

#include <poll.h>

#include <memory>
#include <vector>

#include "platform/service/MediaPlayer2.h"

namespace tavrelo::titles {
class LookupWorker;
}

namespace tavrelo::service {

class TitleLookups {
 public:
  TitleLookups();
  ~TitleLookups();
  TitleLookups(const TitleLookups&) = delete;
  TitleLookups& operator=(const TitleLookups&) = delete;

  void addDescriptors(std::vector<pollfd>& fds) const;
  // Starts a lookup for every drive of `roster` that holds a new disc needing one.
  void look(DriveRoster& roster);
  // Hands what the lookups found to their drives; true when any drive's titles changed.
  bool collect(DriveRoster& roster);

 private:
  std::unique_ptr<titles::LookupWorker> worker_;
};

}  // namespace tavrelo::service
