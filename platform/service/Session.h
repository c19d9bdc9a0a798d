#pragma once

#include <memory>
#include <span>
#include <string>

#include "platform/drive/CdDrive.h"
#include "platform/service/DriveTable.h"
#include "platform/service/Protocol.h"

namespace tavrelo::service {

// One client connection as the service sees it: Hello, then one Open, then
// drive operations. Pure request-to-reply logic; the socket loop feeds it.
// Nothing a client sends makes it throw.
class Session {
 public:
  explicit Session(DriveTable& drives) : drives_(drives) {}

  // The reply to one packet. `hangUp` is set when the connection must end
  // after the reply is sent (a client of another protocol version).
  Reply handle(std::span<const std::uint8_t> packet, bool& hangUp);
  // Whether the request in `packet` may wait on a disc (opening a drive,
  // moving a tray), so that the service answers it apart from the others.
  static bool mayWaitOnDrive(std::span<const std::uint8_t> packet);
  // The reply to a packet longer than kMaxMessageBytes.
  Reply oversized(std::size_t bytes) const;

  bool hasDrive() const { return drive_ != nullptr; }
  const std::shared_ptr<drive::CdDrive>& drive() const { return drive_; }
  // What the client calls its drive ("D:\\"); empty when it did not say.
  const std::string& label() const { return label_; }

 private:
  Reply apply(const Request& request);

  DriveTable& drives_;
  bool greeted_ = false;
  std::shared_ptr<drive::CdDrive> drive_;
  std::string label_;
};

}  // namespace tavrelo::service
