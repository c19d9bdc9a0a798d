#pragma once

// The drive service's wire protocol. One message is one SOCK_SEQPACKET
// packet of at most kMaxMessageBytes; integers are little-endian and of fixed
// width; a string is a 16-bit length and its bytes (no NUL inside).
//
// A connection starts with Hello (the client's protocol version); the service
// answers Hello with its own version, or Failure{WrongVersion} and hangs up.
// Then the client opens one drive by its source and sends drive operations;
// each request gets exactly one reply, in order.
//
//   client                         service
//   Hello{1}                   ->
//                              <-  Hello{1}
//   Open{image /a/b.cue, D:\} ->
//                              <-  Done{None}        (or Failure{OpenFailed, "why"})
//   Play{150, 33000}           ->
//                              <-  Done{None}
//   Status                     ->
//                              <-  Status{...}
//
// Encoding and decoding live here and nowhere else. The decoders are pure
// functions from bytes to a typed message or a ProtocolError; they accept
// any bytes at all.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/drive/CdDrive.h"
#include "platform/service/DriveSource.h"

namespace tavrelo::service {

inline constexpr std::uint32_t kProtocolVersion = 3;
inline constexpr std::size_t kMaxMessageBytes = 4096;
inline constexpr std::size_t kMaxPathBytes = 3000;
inline constexpr int kMaxTracks = 99;
// An Open's label: what the user calls the drive ("D:\\"), shown by the desktop.
inline constexpr std::size_t kMaxLabelBytes = 64;
// A title or performer travels cut to this many bytes (whole UTF-8 characters),
// and titles are left out where the TOC would not fit one message.
inline constexpr std::size_t kMaxTitleBytes = 255;

enum class Op : std::uint8_t {
  Hello = 1,
  Open = 2,
  Status = 3,
  ReadToc = 4,
  Play = 5,
  Pause = 6,
  Resume = 7,
  Stop = 8,
  Seek = 9,
  OpenTray = 10,
  CloseTray = 11,
};

struct Request {
  Op op = Op::Status;
  std::uint32_t version = 0;  // Hello
  DriveSource source;         // Open
  std::string label;          // Open; may be empty
  drive::Lba from = 0;        // Play
  drive::Lba to = 0;          // Play, Seek

  bool operator==(const Request&) const = default;
};

// Why a request was refused as a whole (as opposed to a drive operation that
// ran and failed, which is a DriveError in a Done or Toc reply).
enum class Failure : std::uint8_t {
  Malformed = 1,    // truncated, trailing bytes, a value out of its range
  Oversized = 2,    // longer than kMaxMessageBytes
  UnknownType = 3,  // a message type this side does not know
  WrongVersion = 4,
  HelloFirst = 5,   // anything but Hello on a new connection
  NotOpen = 6,      // a drive operation before Open
  AlreadyOpen = 7,  // a second Open on one connection
  OpenFailed = 8,   // the source cannot be played (missing file, broken sheet)
  Refused = 9,      // a peer of another user, or too many clients
};

struct ProtocolError {
  Failure failure = Failure::Malformed;
  std::string message;

  bool operator==(const ProtocolError&) const = default;
};

enum class ReplyKind : std::uint8_t {
  Hello = 1,
  Done = 2,  // the operation's DriveError (None on success)
  Status = 3,
  Toc = 4,      // readToc's DriveError and, on success, the TOC
  Failure = 5,  // the request was refused; see ProtocolError
};

struct Reply {
  ReplyKind kind = ReplyKind::Done;
  std::uint32_t version = 0;                          // Hello
  drive::DriveError error = drive::DriveError::None;  // Done, Toc
  drive::DriveStatus status;                          // Status
  drive::Toc toc;                                     // Toc
  ProtocolError failure;                              // Failure

  static Reply hello(std::uint32_t version);
  static Reply done(drive::DriveError error);
  static Reply ofStatus(const drive::DriveStatus& status);
  static Reply ofToc(drive::DriveError error, const drive::Toc& toc);
  static Reply refused(Failure failure, std::string message);
};

using Bytes = std::vector<std::uint8_t>;

// Encoders never fail for what the decoders accept; a path or message longer
// than its bound is cut to it, a TOC of more than kMaxTracks tracks throws
// std::length_error (no disc has one).
Bytes encode(const Request& request);
Bytes encode(const Reply& reply);

std::variant<Request, ProtocolError> decodeRequest(std::span<const std::uint8_t> bytes);
std::variant<Reply, ProtocolError> decodeReply(std::span<const std::uint8_t> bytes);

// Equality for DriveStatus, which the drive layer does not define.
bool sameStatus(const drive::DriveStatus& a, const drive::DriveStatus& b);

const char* failureName(Failure failure);

}  // namespace tavrelo::service
