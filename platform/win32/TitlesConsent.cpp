#include "platform/win32/TitlesConsent.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>

#include "platform/os/Log.h"
#include "platform/os/Settings.h"
#include "platform/win32/Desktop.h"
#include "platform/win32/VbRuntime.h"

namespace tavrelo::win32 {
namespace {

bool asked = false;  // once per process

void ask() {
  if (os::readSetting("titles", "online")) return;  // answered meanwhile, maybe by another window
  const bool yes = desktop().askYesNo(kTitlesQuestion, App.Title);
  std::string error;
  if (!os::writeSetting("titles", "online", yes ? "true" : "false", error)) os::log(error);
}

void noteToc(const drive::Toc& toc) {
  const bool missing = toc.album.empty() ||
                       std::any_of(toc.tracks.begin(), toc.tracks.end(),
                                   [](const disc::Track& t) { return t.audio && t.title.empty(); });
  if (asked || !missing || toc.empty() || QCoreApplication::instance() == nullptr ||
      os::readSetting("titles", "online")) {
    return;
  }
  asked = true;
  // Not inside the MCI call: the handler that sent it finishes first.
  QTimer::singleShot(0, QCoreApplication::instance(), ask);
}

class WatchingDrive final : public drive::CdDrive {
 public:
  explicit WatchingDrive(std::shared_ptr<drive::CdDrive> inner) : inner_(std::move(inner)) {}

  drive::DriveStatus status() override { return inner_->status(); }
  drive::DriveError readToc(drive::Toc& out) override {
    const drive::DriveError error = inner_->readToc(out);
    if (error == drive::DriveError::None) noteToc(out);
    return error;
  }
  drive::DriveError play(drive::Lba from, drive::Lba to) override { return inner_->play(from, to); }
  drive::DriveError pause() override { return inner_->pause(); }
  drive::DriveError resume() override { return inner_->resume(); }
  drive::DriveError stop() override { return inner_->stop(); }
  drive::DriveError seek(drive::Lba to) override { return inner_->seek(to); }
  drive::DriveError openTray() override { return inner_->openTray(); }
  drive::DriveError closeTray() override { return inner_->closeTray(); }
  void setVolume(double level) override { inner_->setVolume(level); }
  double volume() override { return inner_->volume(); }

 private:
  std::shared_ptr<drive::CdDrive> inner_;
};

}  // namespace

std::shared_ptr<drive::CdDrive> TitlesConsentDirectory::cdDrive(char letter) {
  std::shared_ptr<drive::CdDrive> inner = inner_->cdDrive(letter);
  if (!inner) return nullptr;
  auto& watching = watched_[inner.get()];
  if (!watching) watching = std::make_shared<WatchingDrive>(inner);
  return watching;
}

}  // namespace tavrelo::win32
