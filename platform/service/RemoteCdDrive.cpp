#include "platform/service/RemoteCdDrive.h"

#include <utility>
#include <variant>

namespace tavrelo::service {
namespace {

std::string failureText(const ProtocolError& failure) {
  return std::string(failureName(failure.failure)) + ": " + failure.message;
}

}  // namespace

RemoteCdDrive::RemoteCdDrive(Fd connection, int replyTimeoutMs, std::string error)
    : connection_(std::move(connection)),
      replyTimeoutMs_(replyTimeoutMs),
      error_(std::move(error)) {}

std::shared_ptr<RemoteCdDrive> RemoteCdDrive::open(const DriveSource& source,
                                                   const ConnectOptions& options,
                                                   const std::string& label) {
  std::string error;
  Fd fd = connectToService(options, error);
  if (!fd.valid()) return std::make_shared<RemoteCdDrive>(Fd(), options.replyTimeoutMs, error);
  auto made = std::make_shared<RemoteCdDrive>(std::move(fd), options.replyTimeoutMs, "");
  Request request;
  request.op = Op::Open;
  request.source = source;
  request.label = label;
  std::lock_guard lock(made->mutex_);
  if (auto reply = made->call(request)) {
    if (reply->kind == ReplyKind::Failure) {
      made->lose("cannot open " + describe(request.source) + ": " + reply->failure.message);
    } else if (reply->kind != ReplyKind::Done || reply->error != drive::DriveError::None) {
      made->lose("cannot open " + describe(request.source) + ": unexpected reply");
    }
  }
  return made;
}

void RemoteCdDrive::lose(std::string why) {
  connection_.reset();
  status_.reset();
  if (error_.empty()) error_ = std::move(why);
}

std::optional<Reply> RemoteCdDrive::call(const Request& request) {
  if (!connection_.valid()) return std::nullopt;
  if (!sendPacket(connection_.get(), encode(request))) {
    lose("the drive service is gone");
    return std::nullopt;
  }
  Bytes packet;
  switch (receivePacket(connection_.get(), packet, replyTimeoutMs_)) {
    case Received::Packet:
      break;
    case Received::TimedOut:
      lose("the drive service did not answer in time");
      return std::nullopt;
    default:
      lose("the drive service is gone");
      return std::nullopt;
  }
  auto decoded = decodeReply(packet);
  if (auto* bad = std::get_if<ProtocolError>(&decoded)) {
    lose("the drive service answered nonsense: " + failureText(*bad));
    return std::nullopt;
  }
  return std::get<Reply>(std::move(decoded));
}

drive::DriveError RemoteCdDrive::command(Op op, drive::Lba from, drive::Lba to) {
  Request request;
  request.op = op;
  request.from = from;
  request.to = to;
  std::lock_guard lock(mutex_);
  status_.reset();
  const auto reply = call(request);
  if (!reply) return drive::DriveError::Unavailable;
  if (reply->kind == ReplyKind::Done) return reply->error;
  lose(reply->kind == ReplyKind::Failure ? failureText(reply->failure)
                                         : "the drive service answered out of turn");
  return drive::DriveError::Unavailable;
}

drive::DriveStatus RemoteCdDrive::status() {
  Request request;
  request.op = Op::Status;
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (status_ && now - statusAt_ < std::chrono::milliseconds(kStatusReuseMs)) return *status_;
  const auto reply = call(request);
  if (reply && reply->kind == ReplyKind::Status) {
    status_ = reply->status;
    statusAt_ = now;
    return reply->status;
  }
  if (reply) lose("the drive service answered out of turn");
  return {};
}

drive::DriveError RemoteCdDrive::readToc(drive::Toc& out) {
  Request request;
  request.op = Op::ReadToc;
  std::lock_guard lock(mutex_);
  const auto reply = call(request);
  if (!reply) return drive::DriveError::Unavailable;
  if (reply->kind != ReplyKind::Toc) {
    lose("the drive service answered out of turn");
    return drive::DriveError::Unavailable;
  }
  if (reply->error == drive::DriveError::None) out = reply->toc;
  return reply->error;
}

drive::DriveError RemoteCdDrive::play(drive::Lba from, drive::Lba to) {
  return command(Op::Play, from, to);
}
drive::DriveError RemoteCdDrive::pause() {
  return command(Op::Pause);
}
drive::DriveError RemoteCdDrive::resume() {
  return command(Op::Resume);
}
drive::DriveError RemoteCdDrive::stop() {
  return command(Op::Stop);
}
drive::DriveError RemoteCdDrive::seek(drive::Lba to) {
  return command(Op::Seek, 0, to);
}
drive::DriveError RemoteCdDrive::openTray() {
  return command(Op::OpenTray);
}
drive::DriveError RemoteCdDrive::closeTray() {
  return command(Op::CloseTray);
}

bool RemoteCdDrive::connected() {
  std::lock_guard lock(mutex_);
  return connection_.valid();
}

std::string RemoteCdDrive::lastError() {
  std::lock_guard lock(mutex_);
  return error_;
}

std::shared_ptr<RemoteCdDrive> ServiceDrives::drive(const DriveSource& source,
                                                    const std::string& label) {
  const std::string key = describe(source);
  std::lock_guard lock(mutex_);
  auto& slot = drives_[key];
  if (!slot || !slot->connected()) slot = RemoteCdDrive::open(source, options_, label);
  return slot;
}

}  // namespace tavrelo::service
