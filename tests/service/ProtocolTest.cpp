#include <gtest/gtest.h>

#include <variant>

#include "platform/service/Protocol.h"

namespace tavrelo::service {
namespace {

Request request(Op op) {
  Request r;
  r.op = op;
  return r;
}

template <typename Message>
Message decoded(const std::variant<Message, ProtocolError>& result) {
  EXPECT_TRUE(std::holds_alternative<Message>(result)) << std::get<ProtocolError>(result).message;
  return std::holds_alternative<Message>(result) ? std::get<Message>(result) : Message{};
}

template <typename Message>
Failure failureOf(const std::variant<Message, ProtocolError>& result) {
  return std::holds_alternative<ProtocolError>(result) ? std::get<ProtocolError>(result).failure
                                                       : Failure{};
}

Failure requestFailure(const Bytes& bytes) {
  return failureOf(decodeRequest(bytes));
}
Failure replyFailure(const Bytes& bytes) {
  return failureOf(decodeReply(bytes));
}

std::vector<Request> everyRequest() {
  std::vector<Request> all{request(Op::Hello), request(Op::Open), request(Op::Open),
                           request(Op::Play), request(Op::Seek)};
  all[0].version = kProtocolVersion;
  all[1].source = {DriveSource::Kind::CueImage, "/home/ana/cds/album été.cue"};
  all[2].source = {DriveSource::Kind::Device, "/dev/sr0"};
  all[2].label = "D:\\";
  all[3].from = 150;
  all[3].to = -2;  // signed on the wire
  all[4].to = 0x7fffffff;
  for (Op op :
       {Op::Status, Op::ReadToc, Op::Pause, Op::Resume, Op::Stop, Op::OpenTray, Op::CloseTray}) {
    all.push_back(request(op));
  }
  return all;
}

drive::Toc fullToc() {
  drive::Toc toc;
  for (int n = 1; n <= kMaxTracks; ++n) toc.tracks.push_back({n, 150 + n * 1000, n != 99});
  toc.leadOut = 150 + 100 * 1000;
  return toc;
}

std::vector<Reply> everyReply() {
  drive::DriveStatus status;
  status.mediaPresent = true;
  status.mediaGeneration = 0x0123456789abcdefULL;
  status.audio = drive::AudioStatus::Paused;
  status.track = 12;
  status.position = 98765;
  return {Reply::hello(kProtocolVersion),
          Reply::done(drive::DriveError::None),
          Reply::done(drive::DriveError::Unavailable),
          Reply::ofStatus(status),
          Reply::ofToc(drive::DriveError::None, fullToc()),
          Reply::refused(Failure::OpenFailed, "track 3: INDEX 01 lies past the end of a.wav")};
}

// What `message` decodes back to, once no cut of it and no copy with a byte
// more has decoded.
template <typename Message>
Message roundTrip(const Message& message,
                  std::variant<Message, ProtocolError> (*decode)(std::span<const std::uint8_t>)) {
  Bytes bytes = encode(message);
  EXPECT_LE(bytes.size(), kMaxMessageBytes);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_EQ(failureOf(decode(Bytes(bytes.begin(), bytes.begin() + n))), Failure::Malformed)
        << "type " << int{bytes[0]} << " cut to " << n;
  }
  bytes.push_back(0);
  EXPECT_EQ(failureOf(decode(bytes)), Failure::Malformed) << "type " << int{bytes[0]};
  bytes.pop_back();
  return decoded(decode(bytes));
}

TEST(ServiceProtocol, EveryMessageSurvivesTheRoundTripAndNoCutOrLongerCopyOfItDecodes) {
  for (const Request& r : everyRequest()) EXPECT_EQ(roundTrip(r, decodeRequest), r);
  for (const Reply& r : everyReply()) {
    const Reply back = roundTrip(r, decodeReply);
    EXPECT_EQ(back.kind, r.kind);
    EXPECT_EQ(back.version, r.version);
    EXPECT_EQ(back.error, r.error);
    EXPECT_TRUE(sameStatus(back.status, r.status));
    EXPECT_EQ(back.toc, r.toc);
    EXPECT_EQ(back.failure, r.failure);
  }
  // A failed TOC reply carries no tracks.
  EXPECT_TRUE(
      roundTrip(Reply::ofToc(drive::DriveError::NoMedia, fullToc()), decodeReply).toc.empty());
}

TEST(ServiceProtocol, OversizedUnknownAndOutOfRangeMessagesAreRefusedByName) {
  Bytes big(kMaxMessageBytes + 1, 0);
  big[0] = static_cast<std::uint8_t>(Op::Status);
  EXPECT_EQ(requestFailure(big), Failure::Oversized);
  EXPECT_EQ(replyFailure(big), Failure::Oversized);
  for (std::uint8_t type : {0, 12, 255}) EXPECT_EQ(requestFailure({type}), Failure::UnknownType);
  for (std::uint8_t type : {0, 6, 255}) EXPECT_EQ(replyFailure({type}), Failure::UnknownType);

  // A path longer than its bound, though the packet is within its own.
  const std::size_t n = kMaxPathBytes + 1;
  Bytes longPath{2, 1, static_cast<std::uint8_t>(n & 0xff), static_cast<std::uint8_t>(n >> 8)};
  longPath.insert(longPath.end(), n, 'a');
  longPath.insert(longPath.end(), {0, 0});
  for (const Bytes& bytes : {Bytes{2, 3, 1, 0, 'a', 0, 0},  // source kind 3
                             Bytes{2, 1, 0, 0, 0, 0},       // an empty path
                             Bytes{2, 1, 3, 0, '/', 0, 'a', 0, 0}, longPath}) {
    EXPECT_EQ(requestFailure(bytes), Failure::Malformed) << bytes.size() << " bytes";
  }
  Bytes tray = encode(Reply::ofStatus({})), audio = tray;
  tray[1] = 2;    // a flag is 0 or 1
  audio[11] = 4;  // no such audio status
  for (const Bytes& bytes :
       {tray, audio, Bytes{2, 6} /* no such drive error */,
        Bytes{4, 0, 0, 0, 0, 0, 100} /* 100 tracks */, Bytes{5, 0, 0, 0} /* failure 0 */}) {
    EXPECT_EQ(replyFailure(bytes), Failure::Malformed) << int{bytes[0]};
  }
}

TEST(ServiceProtocol, TooLongTextsAreCutAndTooManyTracksRefusedWhenEncoding) {
  Request open = request(Op::Open);
  open.source.path = "/" + std::string(kMaxPathBytes + 500, 'x');
  EXPECT_EQ(decoded(decodeRequest(encode(open))).source.path.size(), kMaxPathBytes);

  drive::Toc toc = fullToc();
  toc.tracks.push_back({kMaxTracks + 1, toc.leadOut, true});
  EXPECT_THROW(encode(Reply::ofToc(drive::DriveError::None, toc)), std::length_error);
}

}  // namespace
}  // namespace tavrelo::service
