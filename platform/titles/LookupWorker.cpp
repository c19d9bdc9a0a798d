// Threads: see LookupWorker.h. mutex_ guards the queue, the running slot, the
// tickets and the results; the worker never holds it during a request.
// abandon_ is set under the mutex and read by the fetcher's progress callback.

#include "platform/titles/LookupWorker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "platform/os/Log.h"

namespace tavrelo::titles {
namespace {

void say(const std::string& line) {
  os::log("titles: " + line);
}

std::string baseUrl(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  std::string url = value != nullptr && *value != '\0' ? value : fallback;
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}

}  // namespace

LookupOptions LookupOptions::fromEnvironment() {
  LookupOptions options;
  options.musicBrainz = baseUrl("TAVRELO2_MUSICBRAINZ_URL", "https://musicbrainz.org");
  options.coverArt = baseUrl("TAVRELO2_COVERART_URL", "https://coverartarchive.org");
  return options;
}

LookupWorker::LookupWorker(LookupOptions options, std::unique_ptr<HttpFetcher> fetcher)
    : options_(std::move(options)),
      fetcher_(std::move(fetcher)),
      cache_(options_.cacheFolder),
      ready_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      thread_([this] { run(); }) {}

LookupWorker::~LookupWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    abandon_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

std::uint64_t LookupWorker::ask(std::uintptr_t slot, DiscIdentity disc) {
  std::uint64_t ticket = 0;
  {
    std::lock_guard lock(mutex_);
    ticket = ++tickets_;
    std::erase_if(pending_, [&](const Job& j) { return j.slot == slot; });
    pending_.push_back({slot, ticket, std::move(disc)});
    if (runningSlot_ == slot) abandon_ = true;
  }
  wake_.notify_all();
  return ticket;
}

std::vector<LookupResult> LookupWorker::take() {
  std::uint64_t count = 0;
  while (::read(ready_.get(), &count, sizeof count) > 0) {
  }
  std::lock_guard lock(mutex_);
  return std::exchange(results_, {});
}

void LookupWorker::post(LookupResult result) {
  {
    std::lock_guard lock(mutex_);
    results_.push_back(std::move(result));
  }
  const std::uint64_t one = 1;
  if (::write(ready_.get(), &one, sizeof one) < 0) {
    // Full only when nobody takes the results; then nobody wants them.
  }
}

void LookupWorker::run() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      runningSlot_.reset();
      wake_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
      if (stopping_) return;
      job = std::move(pending_.front());
      pending_.pop_front();
      runningSlot_ = job.slot;
      abandon_ = false;
    }
    lookUp(job);
  }
}

bool LookupWorker::pause(std::chrono::steady_clock::time_point until) {
  std::unique_lock lock(mutex_);
  return !wake_.wait_until(lock, until, [&] { return abandon_.load(); });
}

HttpReply LookupWorker::request(const std::string& url, bool spaced) {
  if (spaced && !pause(lastRequest_ + options_.spacing)) return {0, {}, {}, -1, "cancelled"};
  HttpReply reply = fetcher_->get(url, abandon_);
  if (spaced) lastRequest_ = std::chrono::steady_clock::now();
  return reply;
}

void LookupWorker::lookUp(const Job& job) {
  const DiscIdentity& disc = job.disc;
  std::optional<TitleCache::Entry> entry = cache_.read(disc.id, disc.toc);
  if (!entry) {
    const std::optional<std::string> reply = fetchReply(job);
    if (!reply) return;
    entry = TitleCache::Entry{!reply->empty(), *reply};
    if (!cache_.write(disc.id, disc.toc, *entry)) {
      say("cannot keep the answer in " + options_.cacheFolder.string());
    }
  }
  if (!entry->found) return;
  std::optional<DiscTitles> titles = titlesFromReply(entry->reply, disc.id, disc.trackCount());
  if (!titles) {
    say("no release of the answer fits disc " + disc.id);
    return;
  }
  post({job.ticket, titles, {}});
  if (titles->frontCover) findCover(job, *titles);
}

// The reply's body; an empty string when the server knows no such disc;
// nullopt when there is no answer to keep.
std::optional<std::string> LookupWorker::fetchReply(const Job& job) {
  const std::string url = options_.musicBrainz + "/ws/2/discid/" + job.disc.id +
                          "?toc=" + job.disc.toc +
                          "&inc=recordings+artist-credits&cdstubs=no&fmt=json";
  for (int attempt = 1; attempt <= options_.tries; ++attempt) {
    const HttpReply reply = request(url, true);
    if (!reply.failure.empty()) {
      if (!abandon_) say("lookup of disc " + job.disc.id + " failed: " + reply.failure);
      return std::nullopt;
    }
    if (reply.status == 200) {
      if (reply.contentType.find("json") == std::string::npos) {
        say("lookup of disc " + job.disc.id + ": the answer is not JSON (" + reply.contentType +
            ")");
        return std::nullopt;
      }
      if (!nlohmann::json::accept(reply.body)) {
        say("lookup of disc " + job.disc.id + ": the answer is not valid JSON");
        return std::nullopt;
      }
      return reply.body;
    }
    if (reply.status == 404) {
      say("disc " + job.disc.id + " is not known to MusicBrainz");
      return std::string();
    }
    if ((reply.status != 503 && reply.status != 429) || attempt == options_.tries) {
      say("lookup of disc " + job.disc.id + " answered " + std::to_string(reply.status) +
          "; giving up");
      return std::nullopt;
    }
    const auto wait = reply.retryAfterSeconds >= 0
                          ? std::chrono::milliseconds(reply.retryAfterSeconds * 1000)
                          : options_.busyWait;
    if (!pause(std::chrono::steady_clock::now() + wait)) return std::nullopt;
  }
  return std::nullopt;
}

void LookupWorker::findCover(const Job& job, const DiscTitles& titles) {
  std::optional<std::filesystem::path> file = cache_.cover(titles.releaseId);
  if (!file) {
    // The archive answers with a redirect to the image.
    const HttpReply reply =
        request(options_.coverArt + "/release/" + titles.releaseId + "/front-500", false);
    if (!reply.failure.empty() || reply.status != 200) {
      if (!abandon_) {
        say("no cover for release " + titles.releaseId + ": " +
            (reply.failure.empty() ? "answered " + std::to_string(reply.status) : reply.failure));
      }
      return;
    }
    file = cache_.keepCover(titles.releaseId, reply.body);
    if (!file) {
      say("the cover of release " + titles.releaseId + " is no JPEG or PNG, or cannot be kept");
      return;
    }
  }
  post({job.ticket, titles, *file});
}

}  // namespace tavrelo::titles
