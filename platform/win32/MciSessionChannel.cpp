#include "platform/win32/MciSessionChannel.h"

#include <cctype>
#include <iostream>
#include <set>

#include "platform/mci/MciSession.h"
#include "platform/service/RemoteCdDrive.h"
#include "platform/win32/DriveLetters.h"

namespace tavrelo::win32 {
namespace {

// The drive letters of GetLogicalDriveStringsA as the cdaudio device sees
// them. Each CD drive lives in the user's drive service, so a disc plays on
// after the program ends, as on a hardware drive; the same source gives the
// same drive, so shareable opens share it. Without a service the drive is
// unavailable and every command to it fails, as with a dead drive.
class LetterDrives final : public mci::DriveDirectory {
 public:
  std::shared_ptr<drive::CdDrive> cdDrive(char letter) override {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const LogicalDrive* entry = findLogicalDrive(std::string{upper, ':', '\\'});
    if (entry == nullptr || entry->type != kDriveCdrom) return nullptr;
    auto drive = drives_.drive(service::DriveSource::fromPath(entry->source).absolute());
    if (!drive->connected() && told_.insert(upper).second) {
      std::cerr << "tavrelo2: " << entry->root << " is unavailable: " << drive->lastError() << '\n';
    }
    return drive;
  }

  std::vector<char> cdDriveLetters() override {
    std::vector<char> letters;
    for (const LogicalDrive& entry : logicalDrives()) {
      if (entry.type == kDriveCdrom && !entry.root.empty()) {
        letters.push_back(
            static_cast<char>(std::toupper(static_cast<unsigned char>(entry.root[0]))));
      }
    }
    return letters;
  }

 private:
  service::ServiceDrives drives_;
  std::set<char> told_;  // letters whose failure was reported once
};

class SessionChannel final : public MciChannel {
 public:
  SessionChannel() : session_(std::make_shared<LetterDrives>()) {}
  MCIERROR send(const std::string& command, char* reply, UINT replyLength, HWND callback) override {
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
