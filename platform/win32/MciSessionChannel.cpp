// Threads: the session is used from the UI thread only. A drive made in this
// process (when the drive service can't be had) runs its own reader and sound
// threads behind the CdDrive interface; nothing here shares state with them.
#include "platform/win32/MciSessionChannel.h"

#include <cctype>
#include <iostream>
#include <map>
#include <memory>

#include "platform/audio/PulseSink.h"
#include "platform/disc/DiscSources.h"
#include "platform/drive/DigitalCdDrive.h"
#include "platform/mci/MciSession.h"
#include "platform/service/RemoteCdDrive.h"
#include "platform/win32/DriveLetters.h"

namespace tavrelo::win32 {
namespace {

void logLine(const std::string& message) { std::cerr << "tavrelo2: " << message << '\n'; }

// A drive in this process, playing to the sound server; it stops with the
// process.
std::shared_ptr<drive::CdDrive> localDrive(const service::DriveSource& source) {
  try {
    std::unique_ptr<disc::DiscSource> disc =
        source.kind == service::DriveSource::Kind::CueImage
            ? disc::openCueImageDrive(source.path)
            : disc::openPhysicalDrive(source.path);
    audio::PulseOptions sound;
    sound.log = logLine;
    drive::EngineOptions engine;
    engine.log = logLine;
    return std::make_shared<drive::DigitalCdDrive>(
        std::move(disc), std::make_unique<audio::PulseSink>(sound), engine);
  } catch (const std::exception& error) {
    logLine(service::describe(source) + ": " + error.what());
    return nullptr;
  }
}

// The drive letters of GetLogicalDriveStringsA as the cdaudio device sees
// them. Each CD drive is made on first open and kept: in the user's drive
// service when it can be reached (so a disc plays on after the program
// ends, as a hardware drive does), else in this process.
class LetterDrives final : public mci::DriveDirectory {
 public:
  std::shared_ptr<drive::CdDrive> cdDrive(char letter) override {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const LogicalDrive* entry = findLogicalDrive(std::string{upper, ':', '\\'});
    if (entry == nullptr || entry->type != kDriveCdrom) return nullptr;
    auto& local = localDrives_[upper];
    if (local != nullptr) return local;
    const auto source = service::DriveSource::fromPath(entry->source).absolute();
    auto remote = serviceDrives_.drive(source);  // the same object for the same source
    if (remote->connected()) return remote;
    logLine("drive service unavailable (" + remote->lastError() + "); " + entry->root +
            " plays in this process");
    local = localDrive(source);
    return local;
  }

  std::vector<char> cdDriveLetters() override {
    std::vector<char> letters;
    for (const LogicalDrive& entry : logicalDrives()) {
      if (entry.type == kDriveCdrom && !entry.root.empty()) {
        letters.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(entry.root[0]))));
      }
    }
    return letters;
  }

 private:
  service::ServiceDrives serviceDrives_;
  std::map<char, std::shared_ptr<drive::CdDrive>> localDrives_;
};

class SessionChannel final : public MciChannel {
 public:
  SessionChannel() : session_(std::make_shared<LetterDrives>()) {}
  MCIERROR send(const std::string& command, char* reply, UINT replyLength,
                HWND callback) override {
    return session_.sendString(command, reply, replyLength, callback);
  }

 private:
  mci::MciSession session_;
};

}  // namespace

MciChannel& processMciChannel() {
  static SessionChannel channel;
  return channel;
}

}  // namespace tavrelo::win32
