#include "platform/service/Packets.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/os/UnixSocket.h"

namespace tavrelo::service {

Fd connectPacketSocket(const std::filesystem::path& path, int& errnoOut, std::string& error) {
  const auto address = os::unixSocketAddress(path, error);
  if (!address) {
    errnoOut = ENAMETOOLONG;
    return {};
  }
  const std::string text = path.string();
  // Non-blocking, so that a service whose backlog is full (or which stopped
  // accepting) answers EAGAIN instead of holding the caller for ever.
  Fd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) {
    errnoOut = errno;
    error = std::string("socket: ") + std::strerror(errno);
    return {};
  }
  int result = 0;
  do {
    result = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    errnoOut = errno;
    error = "cannot connect to " + text + ": " + std::strerror(errno);
    return {};
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    errnoOut = errno;
    error = std::string("fcntl: ") + std::strerror(errno);
    return {};
  }
  errnoOut = 0;
  return fd;
}

bool sendPacket(int fd, std::span<const std::uint8_t> bytes) {
  ssize_t sent = 0;
  do {
    sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(bytes.size());
}

bool sendReply(int fd, const Reply& reply) {
  return sendPacket(fd, encode(reply));
}

Received receivePacket(int fd, Bytes& out, int timeoutMs) {
  // With no time to wait, the read below answers alone (EAGAIN: nothing yet).
  if (timeoutMs != 0) {
    pollfd waiting{fd, POLLIN, 0};
    int ready = 0;
    do {
      ready = ::poll(&waiting, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return Received::Failed;
    if (ready == 0) return Received::TimedOut;
  }

  out.resize(kMaxMessageBytes);
  iovec part{out.data(), out.size()};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  ssize_t got = 0;
  do {
    got = ::recvmsg(fd, &message, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && errno == ECONNRESET) {
    // The peer closed with our packet unread in its queue. Linux reports that
    // once, ahead of the packets still queued here (such as the peer's reason
    // for hanging up), and clears it: read again.
    message.msg_flags = 0;
    got = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (got < 0 && errno == EAGAIN) errno = ECONNRESET;
  }
  if (got < 0) {
    out.clear();
    return errno == EAGAIN       ? Received::TimedOut
           : errno == ECONNRESET ? Received::Closed
                                 : Received::Failed;
  }
  // A zero-length read on SOCK_SEQPACKET is the peer's end of stream; nobody
  // sends empty packets in this protocol.
  if (got == 0) {
    out.clear();
    return Received::Closed;
  }
  out.resize(static_cast<std::size_t>(got));
  return (message.msg_flags & MSG_TRUNC) != 0 ? Received::Oversized : Received::Packet;
}

}  // namespace tavrelo::service
