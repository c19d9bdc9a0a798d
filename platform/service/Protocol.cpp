#include "platform/service/Protocol.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tavrelo::service {
namespace {

class Writer {
 public:
  void u8(std::uint8_t v) { bytes_.push_back(v); }
  void u16(std::uint16_t v) { unsignedLe(v, 2); }
  void u32(std::uint32_t v) { unsignedLe(v, 4); }
  void u64(std::uint64_t v) { unsignedLe(v, 8); }
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void flag(bool v) { u8(v ? 1 : 0); }
  void text(const std::string& s, std::size_t limit) {
    const std::size_t n = std::min(s.size(), limit);
    u16(static_cast<std::uint16_t>(n));
    bytes_.insert(bytes_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  }
  std::size_t size() const { return bytes_.size(); }
  Bytes take() { return std::move(bytes_); }

 private:
  void unsignedLe(std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  Bytes bytes_;
};

// Reads fields in order; the first field that does not fit marks the reader
// as failed and every later read yields 0, so a decoder checks once at the end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t u8() { return static_cast<std::uint8_t>(unsignedLe(1)); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(unsignedLe(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(unsignedLe(4)); }
  std::uint64_t u64() { return unsignedLe(8); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  bool flag() {
    const std::uint8_t v = u8();
    if (v > 1) invalid("a flag is neither 0 nor 1");
    return v == 1;
  }
  std::string text(std::size_t limit) {
    const std::size_t n = u16();
    if (!ok()) return {};
    if (n > limit) {
      invalid("a string is longer than " + std::to_string(limit) + " bytes");
      return {};
    }
    if (bytes_.size() - pos_ < n) {
      truncated();
      return {};
    }
    std::string s(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
    pos_ += n;
    if (s.find('\0') != std::string::npos) {
      invalid("a string holds a NUL byte");
      return {};
    }
    return s;
  }

  void invalid(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }
  bool ok() const { return error_.empty(); }
  // The verdict once every field is read: the first fault, or bytes left over.
  std::string finish(const char* what) {
    if (error_.empty() && pos_ != bytes_.size()) {
      error_ = std::to_string(bytes_.size() - pos_) + " bytes after the end of " + what;
    } else if (!error_.empty()) {
      error_ = std::string(what) + ": " + error_;
    }
    return error_;
  }

 private:
  void truncated() { invalid("the message is truncated"); }
  std::uint64_t unsignedLe(int width) {
    if (!ok()) return 0;
    if (bytes_.size() - pos_ < static_cast<std::size_t>(width)) {
      truncated();
      return 0;
    }
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i) v |= std::uint64_t{bytes_[pos_ + i]} << (8 * i);
    pos_ += static_cast<std::size_t>(width);
    return v;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  std::string error_;
};

constexpr std::size_t kMaxMessageText = 1000;

const char* opName(Op op) {
  switch (op) {
    case Op::Hello:
      return "a Hello request";
    case Op::Open:
      return "an Open request";
    case Op::Play:
      return "a Play request";
    case Op::Seek:
      return "a Seek request";
    default:
      return "a drive request";
  }
}

drive::DriveError readDriveError(Reader& in) {
  const std::uint8_t v = in.u8();
  if (v > static_cast<std::uint8_t>(drive::DriveError::Unavailable))
    in.invalid("unknown drive error");
  return static_cast<drive::DriveError>(v);
}

// A TOC's texts in order: album, performer, then each track's title and performer.
template <typename TocType, typename Text>
std::vector<Text*> titlesOf(TocType& toc) {
  std::vector<Text*> texts{&toc.album, &toc.performer};
  for (auto& track : toc.tracks) {
    texts.push_back(&track.title);
    texts.push_back(&track.performer);
  }
  return texts;
}

// Titles go last, as a counted list: they are what gives way when a long TOC
// would not fit one message. Each is cut to whole UTF-8 characters; the list
// ends at its last text that is not empty, so one TOC has one encoding.
void writeTitles(Writer& out, const disc::Toc& toc) {
  std::vector<std::string> fitted;
  std::size_t used = out.size() + 1;
  for (const std::string* text : titlesOf<const disc::Toc, const std::string>(toc)) {
    if (used + 2 > kMaxMessageBytes) break;
    std::size_t n = std::min({text->size(), kMaxTitleBytes, kMaxMessageBytes - used - 2});
    while (n > 0 && n < text->size() && (static_cast<unsigned char>((*text)[n]) & 0xC0) == 0x80) {
      --n;
    }
    fitted.push_back(text->substr(0, n));
    used += 2 + n;
  }
  while (!fitted.empty() && fitted.back().empty()) fitted.pop_back();
  out.u8(static_cast<std::uint8_t>(fitted.size()));
  for (const std::string& text : fitted) out.text(text, kMaxTitleBytes);
}

void readTitles(Reader& in, disc::Toc& toc) {
  const std::vector<std::string*> texts = titlesOf<disc::Toc, std::string>(toc);
  const std::size_t count = in.u8();
  if (count > texts.size()) in.invalid("more titles than tracks");
  for (std::size_t i = 0; i < count && in.ok(); ++i) *texts[i] = in.text(kMaxTitleBytes);
  if (in.ok() && count > 0 && texts[count - 1]->empty())
    in.invalid("the titles end in an empty one");
}

// Why a message cannot be decoded at all, or "" when its size is fine.
std::string precheck(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxMessageBytes) {
    return "a message of " + std::to_string(bytes.size()) + " bytes (the limit is " +
           std::to_string(kMaxMessageBytes) + ")";
  }
  if (bytes.empty()) return "an empty message";
  return {};
}

}  // namespace

Reply Reply::hello(std::uint32_t version) {
  Reply r;
  r.kind = ReplyKind::Hello;
  r.version = version;
  return r;
}

Reply Reply::done(drive::DriveError error) {
  Reply r;
  r.kind = ReplyKind::Done;
  r.error = error;
  return r;
}

Reply Reply::ofStatus(const drive::DriveStatus& status) {
  Reply r;
  r.kind = ReplyKind::Status;
  r.status = status;
  return r;
}

Reply Reply::ofToc(drive::DriveError error, const drive::Toc& toc) {
  Reply r;
  r.kind = ReplyKind::Toc;
  r.error = error;
  if (error == drive::DriveError::None) r.toc = toc;
  return r;
}

Reply Reply::refused(Failure failure, std::string message) {
  Reply r;
  r.kind = ReplyKind::Failure;
  r.failure = {failure, std::move(message)};
  return r;
}

Bytes encode(const Request& request) {
  Writer out;
  out.u8(static_cast<std::uint8_t>(request.op));
  switch (request.op) {
    case Op::Hello:
      out.u32(request.version);
      break;
    case Op::Open:
      out.u8(static_cast<std::uint8_t>(request.source.kind));
      out.text(request.source.path, kMaxPathBytes);
      out.text(request.label, kMaxLabelBytes);
      break;
    case Op::Play:
      out.i32(request.from);
      out.i32(request.to);
      break;
    case Op::Seek:
      out.i32(request.to);
      break;
    default:
      break;
  }
  return out.take();
}

Bytes encode(const Reply& reply) {
  Writer out;
  out.u8(static_cast<std::uint8_t>(reply.kind));
  switch (reply.kind) {
    case ReplyKind::Hello:
      out.u32(reply.version);
      break;
    case ReplyKind::Done:
      out.u8(static_cast<std::uint8_t>(reply.error));
      break;
    case ReplyKind::Status: {
      const drive::DriveStatus& s = reply.status;
      out.flag(s.trayOpen);
      out.flag(s.mediaPresent);
      out.u64(s.mediaGeneration);
      out.u8(static_cast<std::uint8_t>(s.audio));
      out.i32(s.track);
      out.i32(s.position);
      break;
    }
    case ReplyKind::Toc: {
      if (reply.toc.tracks.size() > static_cast<std::size_t>(kMaxTracks)) {
        throw std::length_error("a TOC of more than 99 tracks");
      }
      out.u8(static_cast<std::uint8_t>(reply.error));
      out.i32(reply.toc.leadOut);
      out.u8(static_cast<std::uint8_t>(reply.toc.tracks.size()));
      for (const disc::Track& t : reply.toc.tracks) {
        out.u8(static_cast<std::uint8_t>(t.number));
        out.i32(t.start);
        out.flag(t.audio);
        out.u8(static_cast<std::uint8_t>(std::clamp(t.session, 1, 99)));
      }
      writeTitles(out, reply.toc);
      break;
    }
    case ReplyKind::Failure:
      out.u8(static_cast<std::uint8_t>(reply.failure.failure));
      out.text(reply.failure.message, kMaxMessageText);
      break;
  }
  return out.take();
}

std::variant<Request, ProtocolError> decodeRequest(std::span<const std::uint8_t> bytes) {
  if (std::string why = precheck(bytes); !why.empty()) {
    const bool big = bytes.size() > kMaxMessageBytes;
    return ProtocolError{big ? Failure::Oversized : Failure::Malformed, "refused " + why};
  }
  const std::uint8_t type = bytes[0];
  if (type < static_cast<std::uint8_t>(Op::Hello) ||
      type > static_cast<std::uint8_t>(Op::CloseTray)) {
    return ProtocolError{Failure::UnknownType, "unknown request type " + std::to_string(type)};
  }
  Request request;
  request.op = static_cast<Op>(type);
  Reader in(bytes.subspan(1));
  switch (request.op) {
    case Op::Hello:
      request.version = in.u32();
      break;
    case Op::Open: {
      const std::uint8_t kind = in.u8();
      if (in.ok() && kind != static_cast<std::uint8_t>(DriveSource::Kind::CueImage) &&
          kind != static_cast<std::uint8_t>(DriveSource::Kind::Device)) {
        in.invalid("unknown source kind " + std::to_string(kind));
      }
      request.source.kind = static_cast<DriveSource::Kind>(kind);
      request.source.path = in.text(kMaxPathBytes);
      if (in.ok() && request.source.path.empty()) in.invalid("the source path is empty");
      request.label = in.text(kMaxLabelBytes);
      break;
    }
    case Op::Play:
      request.from = in.i32();
      request.to = in.i32();
      break;
    case Op::Seek:
      request.to = in.i32();
      break;
    default:
      break;
  }
  if (std::string why = in.finish(opName(request.op)); !why.empty()) {
    return ProtocolError{Failure::Malformed, why};
  }
  if (request.op == Op::Hello && request.version != kProtocolVersion) {
    return ProtocolError{Failure::WrongVersion, "the drive service speaks protocol version " +
                                                    std::to_string(kProtocolVersion) +
                                                    ", the client version " +
                                                    std::to_string(request.version)};
  }
  return request;
}

std::variant<Reply, ProtocolError> decodeReply(std::span<const std::uint8_t> bytes) {
  if (std::string why = precheck(bytes); !why.empty()) {
    const bool big = bytes.size() > kMaxMessageBytes;
    return ProtocolError{big ? Failure::Oversized : Failure::Malformed, "refused " + why};
  }
  const std::uint8_t type = bytes[0];
  if (type < static_cast<std::uint8_t>(ReplyKind::Hello) ||
      type > static_cast<std::uint8_t>(ReplyKind::Failure)) {
    return ProtocolError{Failure::UnknownType, "unknown reply type " + std::to_string(type)};
  }
  Reply reply;
  reply.kind = static_cast<ReplyKind>(type);
  Reader in(bytes.subspan(1));
  switch (reply.kind) {
    case ReplyKind::Hello:
      reply.version = in.u32();
      break;
    case ReplyKind::Done:
      reply.error = readDriveError(in);
      break;
    case ReplyKind::Status: {
      drive::DriveStatus& s = reply.status;
      s.trayOpen = in.flag();
      s.mediaPresent = in.flag();
      s.mediaGeneration = in.u64();
      const std::uint8_t audio = in.u8();
      if (audio > static_cast<std::uint8_t>(drive::AudioStatus::Error))
        in.invalid("unknown audio status");
      s.audio = static_cast<drive::AudioStatus>(audio);
      s.track = in.i32();
      s.position = in.i32();
      if (s.track < 0 || s.track > kMaxTracks) in.invalid("a track number out of range");
      break;
    }
    case ReplyKind::Toc: {
      reply.error = readDriveError(in);
      reply.toc.leadOut = in.i32();
      const int count = in.u8();
      if (count > kMaxTracks) in.invalid("more than 99 tracks");
      for (int i = 0; i < count && in.ok(); ++i) {
        disc::Track t;
        t.number = in.u8();
        t.start = in.i32();
        t.audio = in.flag();
        t.session = in.u8();
        if (t.number < 1 || t.number > kMaxTracks) in.invalid("a track number out of range");
        if (t.session < 1 || t.session > kMaxTracks) in.invalid("a session number out of range");
        reply.toc.tracks.push_back(t);
      }
      readTitles(in, reply.toc);
      break;
    }
    case ReplyKind::Failure: {
      const std::uint8_t failure = in.u8();
      if (in.ok() && (failure < static_cast<std::uint8_t>(Failure::Malformed) ||
                      failure > static_cast<std::uint8_t>(Failure::Refused))) {
        in.invalid("unknown failure " + std::to_string(failure));
      }
      reply.failure.failure = static_cast<Failure>(failure);
      reply.failure.message = in.text(kMaxMessageText);
      break;
    }
  }
  if (std::string why = in.finish("a reply"); !why.empty()) {
    return ProtocolError{Failure::Malformed, why};
  }
  return reply;
}

bool sameStatus(const drive::DriveStatus& a, const drive::DriveStatus& b) {
  return a.trayOpen == b.trayOpen && a.mediaPresent == b.mediaPresent &&
         a.mediaGeneration == b.mediaGeneration && a.audio == b.audio && a.track == b.track &&
         a.position == b.position;
}

const char* failureName(Failure failure) {
  switch (failure) {
    case Failure::Malformed:
      return "malformed message";
    case Failure::Oversized:
      return "oversized message";
    case Failure::UnknownType:
      return "unknown message type";
    case Failure::WrongVersion:
      return "wrong protocol version";
    case Failure::HelloFirst:
      return "no hello";
    case Failure::NotOpen:
      return "no drive open";
    case Failure::AlreadyOpen:
      return "a drive is open already";
    case Failure::OpenFailed:
      return "cannot open the drive";
    case Failure::Refused:
      return "refused";
  }
  return "unknown failure";
}

}  // namespace tavrelo::service
