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

Request decodedRequest(const Bytes& bytes) {
  auto decoded = decodeRequest(bytes);
  EXPECT_TRUE(std::holds_alternative<Request>(decoded)) << std::get<ProtocolError>(decoded).message;
  return std::holds_alternative<Request>(decoded) ? std::get<Request>(decoded) : Request{};
}

Reply decodedReply(const Bytes& bytes) {
  auto decoded = decodeReply(bytes);
  EXPECT_TRUE(std::holds_alternative<Reply>(decoded)) << std::get<ProtocolError>(decoded).message;
  return std::holds_alternative<Reply>(decoded) ? std::get<Reply>(decoded) : Reply{};
}

Failure requestFailure(const Bytes& bytes) {
  auto decoded = decodeRequest(bytes);
  if (!std::holds_alternative<ProtocolError>(decoded)) return Failure{};
  return std::get<ProtocolError>(decoded).failure;
}

Failure replyFailure(const Bytes& bytes) {
  auto decoded = decodeReply(bytes);
  if (!std::holds_alternative<ProtocolError>(decoded)) return Failure{};
  return std::get<ProtocolError>(decoded).failure;
}

std::vector<Request> everyRequest() {
  std::vector<Request> all;
  Request hello = request(Op::Hello);
  hello.version = kProtocolVersion;
  all.push_back(hello);
  Request open = request(Op::Open);
  open.source = {DriveSource::Kind::CueImage, "/home/ana/cds/album été.cue"};
  all.push_back(open);
  open.source = {DriveSource::Kind::Device, "/dev/sr0"};
  open.label = "D:\\";
  all.push_back(open);
  Request play = request(Op::Play);
  play.from = 150;
  play.to = -2;  // signed on the wire
  all.push_back(play);
  Request seek = request(Op::Seek);
  seek.to = 0x7fffffff;
  all.push_back(seek);
  for (Op op :
       {Op::Status, Op::ReadToc, Op::Pause, Op::Resume, Op::Stop, Op::OpenTray, Op::CloseTray}) {
    all.push_back(request(op));
  }
  return all;
}

std::vector<Reply> everyReply() {
  drive::DriveStatus status;
  status.trayOpen = false;
  status.mediaPresent = true;
  status.mediaGeneration = 0x0123456789abcdefULL;
  status.audio = drive::AudioStatus::Paused;
  status.track = 12;
  status.position = 98765;
  drive::Toc toc;
  for (int n = 1; n <= kMaxTracks; ++n) toc.tracks.push_back({n, 150 + n * 1000, n != 99});
  toc.leadOut = 150 + 100 * 1000;
  return {Reply::hello(kProtocolVersion),
          Reply::done(drive::DriveError::None),
          Reply::done(drive::DriveError::Unavailable),
          Reply::ofStatus(status),
          Reply::ofToc(drive::DriveError::None, toc),
          Reply::ofToc(drive::DriveError::NoMedia, toc),
          Reply::refused(Failure::OpenFailed, "track 3: INDEX 01 lies past the end of a.wav")};
}

void expectSameReply(const Reply& a, const Reply& b) {
  EXPECT_EQ(a.kind, b.kind);
  EXPECT_EQ(a.version, b.version);
  EXPECT_EQ(a.error, b.error);
  EXPECT_TRUE(sameStatus(a.status, b.status));
  EXPECT_EQ(a.toc, b.toc);
  EXPECT_EQ(a.failure, b.failure);
}

TEST(ServiceProtocol, EveryRequestSurvivesTheRoundTrip) {
  for (const Request& r : everyRequest()) {
    const Bytes bytes = encode(r);
    EXPECT_LE(bytes.size(), kMaxMessageBytes);
    EXPECT_EQ(decodedRequest(bytes), r) << "op " << static_cast<int>(r.op);
  }
}

TEST(ServiceProtocol, EveryReplySurvivesTheRoundTrip) {
  for (const Reply& r : everyReply()) {
    const Bytes bytes = encode(r);
    EXPECT_LE(bytes.size(), kMaxMessageBytes);
    expectSameReply(decodedReply(bytes), r);
  }
}

TEST(ServiceProtocol, AFailedTocReplyCarriesNoTracks) {
  drive::Toc toc;
  toc.tracks.push_back({1, 150, true});
  const Reply decoded = decodedReply(encode(Reply::ofToc(drive::DriveError::NoMedia, toc)));
  EXPECT_EQ(decoded.error, drive::DriveError::NoMedia);
  EXPECT_TRUE(decoded.toc.empty());
}

TEST(ServiceProtocol, EveryTruncationAndEveryTrailingByteIsMalformed) {
  for (const Request& r : everyRequest()) {
    const Bytes bytes = encode(r);
    for (std::size_t n = 1; n < bytes.size(); ++n) {
      EXPECT_EQ(requestFailure(Bytes(bytes.begin(), bytes.begin() + n)), Failure::Malformed)
          << "op " << static_cast<int>(r.op) << " cut to " << n;
    }
    Bytes longer = bytes;
    longer.push_back(0);
    EXPECT_EQ(requestFailure(longer), Failure::Malformed);
  }
  for (const Reply& r : everyReply()) {
    const Bytes bytes = encode(r);
    for (std::size_t n = 1; n < bytes.size(); ++n) {
      EXPECT_EQ(replyFailure(Bytes(bytes.begin(), bytes.begin() + n)), Failure::Malformed)
          << "reply " << static_cast<int>(r.kind) << " cut to " << n;
    }
    Bytes longer = bytes;
    longer.push_back(7);
    EXPECT_EQ(replyFailure(longer), Failure::Malformed);
  }
  EXPECT_EQ(requestFailure({}), Failure::Malformed);
  EXPECT_EQ(replyFailure({}), Failure::Malformed);
}

TEST(ServiceProtocol, OversizedUnknownAndWrongVersionAreRefusedByName) {
  Bytes big(kMaxMessageBytes + 1, 0);
  big[0] = static_cast<std::uint8_t>(Op::Status);
  EXPECT_EQ(requestFailure(big), Failure::Oversized);
  EXPECT_EQ(replyFailure(big), Failure::Oversized);

  for (std::uint8_t type : {0, 12, 200, 255}) {
    EXPECT_EQ(requestFailure({type}), Failure::UnknownType) << int{type};
  }
  for (std::uint8_t type : {0, 6, 255}) EXPECT_EQ(replyFailure({type}), Failure::UnknownType);

  Request hello = request(Op::Hello);
  hello.version = kProtocolVersion + 1;
  auto decoded = decodeRequest(encode(hello));
  ASSERT_TRUE(std::holds_alternative<ProtocolError>(decoded));
  EXPECT_EQ(std::get<ProtocolError>(decoded).failure, Failure::WrongVersion);
  EXPECT_NE(std::get<ProtocolError>(decoded).message.find("version 3"), std::string::npos);
}

TEST(ServiceProtocol, ValuesOutOfTheirRangeAreMalformed) {
  // Source kind 3, an empty path, a NUL inside the path.
  EXPECT_EQ(requestFailure({2, 3, 1, 0, 'a'}), Failure::Malformed);
  EXPECT_EQ(requestFailure({2, 1, 0, 0}), Failure::Malformed);
  EXPECT_EQ(requestFailure({2, 1, 3, 0, '/', 0, 'a'}), Failure::Malformed);
  // A path longer than its bound, though the packet is within its own.
  Bytes longPath{2, 1};
  const std::size_t n = kMaxPathBytes + 1;
  longPath.push_back(static_cast<std::uint8_t>(n & 0xff));
  longPath.push_back(static_cast<std::uint8_t>(n >> 8));
  longPath.insert(longPath.end(), n, 'a');
  EXPECT_EQ(requestFailure(longPath), Failure::Malformed);

  Bytes status = encode(Reply::ofStatus({}));
  status[1] = 2;  // trayOpen must be 0 or 1
  EXPECT_EQ(replyFailure(status), Failure::Malformed);
  status = encode(Reply::ofStatus({}));
  status[11] = 4;  // no such audio status
  EXPECT_EQ(replyFailure(status), Failure::Malformed);
  EXPECT_EQ(replyFailure({2, 6}), Failure::Malformed);                   // no such drive error
  EXPECT_EQ(replyFailure({4, 0, 0, 0, 0, 0, 100}), Failure::Malformed);  // 100 tracks
  EXPECT_EQ(replyFailure({5, 0, 0, 0}), Failure::Malformed);             // failure 0
}

TEST(ServiceProtocol, TooLongTextsAreCutAndTooManyTracksRefusedWhenEncoding) {
  Request open = request(Op::Open);
  open.source.path = "/" + std::string(kMaxPathBytes + 500, 'x');
  EXPECT_EQ(decodedRequest(encode(open)).source.path.size(), kMaxPathBytes);

  drive::Toc toc;
  for (int n = 1; n <= kMaxTracks + 1; ++n) toc.tracks.push_back({n, 150 * n, true});
  EXPECT_THROW(encode(Reply::ofToc(drive::DriveError::None, toc)), std::length_error);
}

}  // namespace
}  // namespace tavrelo::service
