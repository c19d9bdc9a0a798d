#include "platform/win32/MciSessionChannel.h"

#include "platform/mci/MciSession.h"
#include "platform/win32/ServiceDriveDirectory.h"
#include "platform/win32/TitlesConsent.h"

namespace tavrelo::win32 {
namespace {

class SessionChannel final : public MciChannel {
 public:
  SessionChannel()
      : session_(
            std::make_shared<TitlesConsentDirectory>(std::make_shared<ServiceDriveDirectory>())) {}
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
