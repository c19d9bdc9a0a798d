#include "platform/service/ServiceLauncher.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <variant>

#include "platform/os/RuntimeFolder.h"
#include "platform/os/Spawn.h"

namespace tavrelo::service {
namespace {

bool executable(const std::filesystem::path& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored) && ::access(path.c_str(), X_OK) == 0;
}

enum class Hello { Done, NoService, Refused };

// Sends Hello and reads the answer. A connection that drops first is taken as
// a service that was just ending: the caller tries again.
Hello greet(int fd, int timeoutMs, std::string& error) {
  Request hello;
  hello.op = Op::Hello;
  hello.version = kProtocolVersion;
  if (!sendPacket(fd, encode(hello))) {
    error = "the drive service hung up";
    return Hello::NoService;
  }
  Bytes packet;
  if (receivePacket(fd, packet, timeoutMs) != Received::Packet) {
    error = "the drive service did not answer";
    return Hello::NoService;
  }
  auto decoded = decodeReply(packet);
  if (auto* bad = std::get_if<ProtocolError>(&decoded)) {
    error = "the drive service answered nonsense: " + bad->message;
    return Hello::Refused;
  }
  const Reply& reply = std::get<Reply>(decoded);
  if (reply.kind == ReplyKind::Failure) {
    error = "the drive service refused this client: " + reply.failure.message;
    return Hello::Refused;
  }
  if (reply.kind != ReplyKind::Hello || reply.version != kProtocolVersion) {
    error = "the drive service speaks protocol version " + std::to_string(reply.version) +
            ", this client version " + std::to_string(kProtocolVersion);
    return Hello::Refused;
  }
  return Hello::Done;
}

}  // namespace

std::optional<std::filesystem::path> findServiceExecutable(std::string& error) {
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  if (!self.empty()) {
    const auto beside = self.parent_path() / kServiceExecutable;
    if (executable(beside)) return beside;
  }
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    if (folder.empty()) continue;
    const auto candidate = std::filesystem::path(folder) / kServiceExecutable;
    if (executable(candidate)) return candidate;
  }
  error = std::string(kServiceExecutable) + " is neither next to " +
          (self.empty() ? std::string("this program") : self.string()) + " nor on PATH";
  return std::nullopt;
}

Fd connectToService(const ConnectOptions& options, std::string& error) {
  const auto folder = os::runtimeFolder(error);
  if (!folder) return {};
  const auto socketPath = *folder / kSocketName;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(options.startTimeoutMs);
  int starts = 0;
  auto nextStart = std::chrono::steady_clock::now();
  for (;;) {
    int code = 0;
    Fd fd = connectPacketSocket(socketPath, code, error);
    if (fd.valid()) {
      switch (greet(fd.get(), options.replyTimeoutMs, error)) {
        case Hello::Done:
          return fd;
        case Hello::Refused:
          return {};
        case Hello::NoService:
          break;
      }
    } else if (code != ENOENT && code != ECONNREFUSED && code != EAGAIN) {
      return {};
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      if (starts > 0) error = "the drive service did not start in time (" + error + ")";
      return {};
    }
    // Nobody listens: start a service; once more later, in case the first one
    // met a service that was just ending and gave way to it. A busy service
    // (EAGAIN) or one that hung up is only given time.
    const bool nobody = !fd.valid() && (code == ENOENT || code == ECONNREFUSED);
    if (nobody && starts < 2 && now >= nextStart) {
      const auto program = findServiceExecutable(error);
      if (!program) return {};
      if (os::spawnDetached(*program, {}, {"/", *folder / kLogName}, error) == 0) return {};
      ++starts;
      nextStart = now + std::chrono::milliseconds(options.startTimeoutMs / 2);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace tavrelo::service
