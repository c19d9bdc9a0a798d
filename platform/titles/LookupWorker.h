#pragma once

// Looks discs up on MusicBrainz off the caller's thread.
//
// Threads: the constructor starts one worker thread, which the destructor
// stops and joins. The worker sleeps on a condition variable while there is
// nothing to do (no timer, no wakeup). ask() and take() are for one owner
// thread; results reach it through an eventfd that stays readable while
// results wait, so the owner's poll loop wakes for them. A request that hangs
// is abandoned within a second of a newer ask() for its slot, or of the
// destructor.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/Fd.h"
#include "platform/titles/DiscId.h"
#include "platform/titles/HttpFetcher.h"
#include "platform/titles/ReplyTitles.h"
#include "platform/titles/TitleCache.h"

namespace tavrelo::titles {

struct LookupOptions {
  std::string musicBrainz = "https://musicbrainz.org";   // base URL, no trailing slash
  std::string coverArt = "https://coverartarchive.org";  // base URL, no trailing slash
  std::filesystem::path cacheFolder = TitleCache::defaultFolder();
  // MusicBrainz allows one request a second per client.
  std::chrono::milliseconds spacing{1000};
  // The wait after a 503 or 429 that does not say how long.
  std::chrono::milliseconds busyWait{15000};
  int tries = 3;

  // The base URLs from TAVRELO2_MUSICBRAINZ_URL and TAVRELO2_COVERART_URL
  // when they are set, else the public servers.
  static LookupOptions fromEnvironment();
};

struct LookupResult {
  std::uint64_t ticket = 0;  // as ask() returned it
  std::optional<DiscTitles> titles;
  // The cover file; empty in the first result of a ticket, set in a second
  // one once the cover is kept.
  std::filesystem::path cover;
};

class LookupWorker {
 public:
  LookupWorker(LookupOptions options, std::unique_ptr<HttpFetcher> fetcher);
  ~LookupWorker();
  LookupWorker(const LookupWorker&) = delete;
  LookupWorker& operator=(const LookupWorker&) = delete;

  // Looks up `disc` for `slot` (the caller's name for a drive). What was
  // asked for the same slot before is dropped, or abandoned if it runs. The
  // results will carry the returned ticket; a lookup that finds nothing
  // sends none.
  std::uint64_t ask(std::uintptr_t slot, DiscIdentity disc);
  // Readable while take() has results.
  int readyFd() const { return ready_.get(); }
  std::vector<LookupResult> take();

 private:
  struct Job {
    std::uintptr_t slot = 0;
    std::uint64_t ticket = 0;
    DiscIdentity disc;
  };

  void run();
  void lookUp(const Job& job);
  std::optional<std::string> fetchReply(const Job& job);
  void findCover(const Job& job, const DiscTitles& titles);
  // Waits until `until`; false when the job is abandoned first.
  bool pause(std::chrono::steady_clock::time_point until);
  // Waits for the request's turn, then makes it.
  HttpReply request(const std::string& url, bool spaced);
  void post(LookupResult result);

  LookupOptions options_;
  std::unique_ptr<HttpFetcher> fetcher_;
  TitleCache cache_;
  os::Fd ready_;

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::deque<Job> pending_;
  std::optional<std::uintptr_t> runningSlot_;
  std::uint64_t tickets_ = 0;
  std::vector<LookupResult> results_;
  std::atomic<bool> abandon_{false};                     // the running job's; read by the fetcher
  std::chrono::steady_clock::time_point lastRequest_{};  // worker only

  std::thread thread_;  // last: it starts once everything above is made
};

}  // namespace tavrelo::titles
