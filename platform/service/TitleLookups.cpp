#include "platform/service/TitleLookups.h"

#include <algorithm>

#include "platform/os/Settings.h"
#include "platform/titles/CurlFetcher.h"
#include "platform/titles/LookupWorker.h"

namespace tavrelo::service {
namespace {

// A disc whose album and every audio track have names needs nothing more.
bool missesTitles(const drive::Toc& toc) {
  return toc.album.empty() || std::any_of(toc.tracks.begin(), toc.tracks.end(),
                                          [](const auto& t) { return t.audio && t.title.empty(); });
}

std::uintptr_t slotOf(const KnownDrive& known) {
  return reinterpret_cast<std::uintptr_t>(known.drive.get());
}

}  // namespace

TitleLookups::TitleLookups() = default;
TitleLookups::~TitleLookups() = default;

void TitleLookups::addDescriptors(std::vector<pollfd>& fds) const {
  if (worker_) fds.push_back({worker_->readyFd(), POLLIN, 0});
}

void TitleLookups::look(DriveRoster& roster) {
  for (KnownDrive& known : roster.all()) {
    const drive::DriveStatus status = known.drive->status();
    const drive::Toc* toc = known.tocFor(status);
    const std::uint64_t disc = toc == nullptr ? 0 : known.tocGeneration + 1;
    if (known.titlesFor == disc) continue;
    // A new disc, or none: what was found belongs to the one before.
    known.titlesFor = disc;
    known.titlesTicket = 0;
    if (known.found) ++known.titlesSerial;
    known.found.reset();
    known.cover.clear();
    if (toc == nullptr || !missesTitles(*toc)) continue;
    if (os::readBoolSetting("titles", "online") != true) continue;
    const auto identity = titles::discIdentity(*toc);
    if (!identity) continue;
    if (!worker_) {
      worker_ = std::make_unique<titles::LookupWorker>(
          titles::LookupOptions::fromEnvironment(),
          std::make_unique<titles::CurlFetcher>(titles::defaultUserAgent()));
    }
    known.titlesTicket = worker_->ask(slotOf(known), *identity);
  }
}

bool TitleLookups::collect(DriveRoster& roster) {
  if (!worker_) return false;
  bool changed = false;
  for (titles::LookupResult& result : worker_->take()) {
    for (KnownDrive& known : roster.all()) {
      // A result for a disc taken out since is stale; its ticket is no drive's now.
      if (result.ticket == 0 || known.titlesTicket != result.ticket) continue;
      known.found = std::move(result.titles);
      if (!result.cover.empty()) known.cover = result.cover;
      ++known.titlesSerial;
      changed = true;
    }
  }
  return changed;
}

}  // namespace tavrelo::service
