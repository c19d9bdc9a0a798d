#include "platform/service/Session.h"

#include <exception>
#include <string>
#include <variant>

namespace tavrelo::service {

Reply Session::oversized(std::size_t bytes) const {
  return Reply::refused(Failure::Oversized, "refused a message of " + std::to_string(bytes) +
                                                " bytes or more (the limit is " +
                                                std::to_string(kMaxMessageBytes) + ")");
}

bool Session::mayWaitOnDrive(std::span<const std::uint8_t> packet) {
  if (packet.empty()) return false;
  const auto op = static_cast<Op>(packet[0]);
  return op == Op::Open || op == Op::OpenTray || op == Op::CloseTray;
}

Reply Session::handle(std::span<const std::uint8_t> packet, bool& hangUp) {
  hangUp = false;
  auto decoded = decodeRequest(packet);
  if (auto* error = std::get_if<ProtocolError>(&decoded)) {
    // A client of another version must learn it and go; other faults leave
    // the connection usable.
    hangUp = error->failure == Failure::WrongVersion;
    return Reply::refused(error->failure, error->message);
  }
  try {
    return apply(std::get<Request>(decoded));
  } catch (const std::exception&) {
    // A drive that throws has failed as hardware fails; the service goes on.
    return Reply::done(drive::DriveError::Hardware);
  }
}

Reply Session::apply(const Request& request) {
  if (request.op == Op::Hello) {
    greeted_ = true;
    return Reply::hello(kProtocolVersion);
  }
  if (!greeted_) return Reply::refused(Failure::HelloFirst, "a connection starts with Hello");
  if (request.op == Op::Open) {
    if (drive_) return Reply::refused(Failure::AlreadyOpen, "this connection has its drive");
    try {
      drive_ = drives_.open(request.source);
    } catch (const std::exception& e) {
      return Reply::refused(Failure::OpenFailed, e.what());
    }
    label_ = request.label;
    return Reply::done(drive::DriveError::None);
  }
  if (!drive_) return Reply::refused(Failure::NotOpen, "no drive is open on this connection");
  drive::CdDrive& d = *drive_;
  switch (request.op) {
    case Op::Status:
      return Reply::ofStatus(d.status());
    case Op::ReadToc: {
      drive::Toc toc;
      const drive::DriveError error = d.readToc(toc);
      if (toc.tracks.size() > static_cast<std::size_t>(kMaxTracks)) {
        return Reply::ofToc(drive::DriveError::Hardware, {});
      }
      return Reply::ofToc(error, toc);
    }
    case Op::Play:
      return Reply::done(d.play(request.from, request.to));
    case Op::Pause:
      return Reply::done(d.pause());
    case Op::Resume:
      return Reply::done(d.resume());
    case Op::Stop:
      return Reply::done(d.stop());
    case Op::Seek:
      return Reply::done(d.seek(request.to));
    case Op::OpenTray:
      return Reply::done(d.openTray());
    case Op::CloseTray:
      return Reply::done(d.closeTray());
    case Op::Hello:
    case Op::Open:
      break;
  }
  return Reply::refused(Failure::UnknownType, "unhandled request");
}

}  // namespace tavrelo::service
