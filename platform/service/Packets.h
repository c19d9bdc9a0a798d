#pragma once

// Whole-packet I/O on SOCK_SEQPACKET Unix sockets.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "platform/os/Fd.h"
#include "platform/service/Protocol.h"

namespace tavrelo::service {

using os::Fd;

// Connects to the socket at `path`. An invalid Fd and errno's text in `error`
// on failure; `errnoOut` holds the code (ENOENT, ECONNREFUSED: nobody listens;
// EAGAIN: the listener's backlog is full). Never waits for the listener.
Fd connectPacketSocket(const std::filesystem::path& path, int& errnoOut, std::string& error);

// Sends one packet; never raises SIGPIPE. False when the peer is gone.
bool sendPacket(int fd, std::span<const std::uint8_t> bytes);
bool sendReply(int fd, const Reply& reply);

enum class Received {
  Packet,     // `out` holds the packet
  Oversized,  // longer than kMaxMessageBytes; `out` holds its first bytes
  Closed,     // the peer hung up
  TimedOut,
  Failed,
};

// Waits up to `timeoutMs` (negative: for ever) for one packet.
Received receivePacket(int fd, Bytes& out, int timeoutMs);

}  // namespace tavrelo::service
