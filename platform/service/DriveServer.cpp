// Threads: one thread (the caller of runDriveService) accepts clients and
// answers their requests in turn. A request that may wait on a disc (opening
// a physical drive spins it up, a tray takes seconds to move) runs on a
// thread of its own for that client, which waits for its reply while the
// others are answered: status comes from state the drives keep, so a slow
// drive holds up nobody else. Such a thread touches only its client's
// Session and the DriveTable (which has its own lock); it hands the reply
// back through an eventfd. The drives run their own reader and sound threads
// behind CdDrive. A signal handler may set the stop flag, an atomic read
// once per poll.

#include "platform/service/DriveServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <optional>
#include <thread>
#include <vector>

#include "platform/os/LockFile.h"
#include "platform/os/Log.h"
#include "platform/os/UnixSocket.h"
#include "platform/service/Desktop.h"
#include "platform/service/Packets.h"
#include "platform/service/ServiceLauncher.h"
#include "platform/service/Session.h"

namespace tavrelo::service {
namespace {

std::atomic<bool> stopRequested{false};

constexpr int kPollMs = 250;
// With nothing to wait for, the loop still looks at the stop flag and the
// idle clock this often (a stop signal may land on another thread).
constexpr int kRestMs = 1000;

std::int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Client {
  Client(Fd connection, DriveTable& drives) : fd(std::move(connection)), session(drives) {}

  Fd fd;
  Session session;
  // The request that may wait on a drive, while it runs; its reply is sent
  // once `finished` says it is ready.
  std::jthread slowRequest;
  std::atomic<bool> finished{false};
  Reply reply;
  bool hangUp = false;

  bool busy() const { return slowRequest.joinable(); }
};

// The lock that makes one service per user, holding its pid. Taken: true;
// held by another service: false and `failed` false.
bool takeLock(const std::filesystem::path& file, Fd& lock, bool& failed) {
  std::string error;
  const os::LockOutcome outcome = os::lockFile(file, lock, error);
  failed = outcome == os::LockOutcome::Failed;
  if (failed) os::log(error);
  if (outcome != os::LockOutcome::Taken) return false;
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(lock.get(), 0) != 0 || ::write(lock.get(), pid.data(), pid.size()) < 0) {
    os::log("cannot write the pid into " + file.string());
  }
  return true;
}

Fd listenOn(const std::filesystem::path& path) {
  std::string error;
  const auto address = os::unixSocketAddress(path, error);
  if (!address) {
    os::log(error);
    return {};
  }
  const std::string text = path.string();
  // The lock is ours, so a socket file left here is a dead service's.
  ::unlink(text.c_str());
  Fd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid() ||
      ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
      ::chmod(text.c_str(), 0600) != 0 || ::listen(fd.get(), 16) != 0) {
    os::log("cannot listen on " + text + ": " + std::strerror(errno));
    return {};
  }
  return fd;
}

class Server {
 public:
  Server(const ServerOptions& options, Fd listener)
      : options_(options),
        listener_(std::move(listener)),
        wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        drives_(options.factory) {
    if (options.desktop) {
      std::error_code ignored;
      desktop_.emplace(
          DesktopOptions{std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path(),
                         options.folder, [](const std::string& line) { os::log(line); }});
    }
  }

  bool ready() const { return wake_.valid(); }

  void run() {
    std::int64_t lastBusy = nowMs();
    const std::int64_t idleMs = std::int64_t{options_.idleExitSeconds} * 1000;
    std::int64_t lastLook = lastBusy;
    std::vector<pollfd> waiting;
    while (!stopRequested.load()) {
      // While accepting fails (out of descriptors), the listener stays
      // readable; leave it out for a while rather than spin on it.
      const bool listen = nowMs() >= acceptPausedUntil_;
      waiting.assign({{listen ? listener_.get() : -1, POLLIN, 0}, {wake_.get(), POLLIN, 0}});
      for (const Client& c : clients_) waiting.push_back({c.busy() ? -1 : c.fd.get(), POLLIN, 0});
      int timeout = listen ? kRestMs : kPollMs;
      if (desktop_) {
        desktop_->addDescriptors(waiting);
        const int due = desktop_->timeoutMs();
        if (due >= 0 && due < timeout) timeout = due;
      }
      const int ready = ::poll(waiting.data(), waiting.size(), timeout);
      if (ready < 0 && errno != EINTR) {
        os::log(std::string("poll: ") + std::strerror(errno));
        return;
      }
      if (ready > 0) {
        std::size_t i = 2;
        for (auto c = clients_.begin(); c != clients_.end(); ++i) {
          const bool keep = waiting[i].revents == 0 || serve(*c);
          c = keep ? std::next(c) : clients_.erase(c);
        }
        if ((waiting[1].revents & POLLIN) != 0) answerSlowRequests();
        if ((waiting[0].revents & POLLIN) != 0) acceptAll();
      }
      if (desktop_) desktop_->dispatch();
      // Asking the drives costs a status each, so not on every request.
      const std::int64_t now = nowMs();
      if (!clients_.empty()) {
        lastBusy = now;
      } else if (now - lastLook >= kPollMs) {
        lastLook = now;
        if (drives_.anyInUse()) lastBusy = now;
      }
      if (now - lastBusy >= idleMs) {
        os::log("idle for " + std::to_string(options_.idleExitSeconds) + " s; ending");
        return;
      }
    }
    os::log("asked to stop; ending");
  }

 private:
  // False when the client is gone or must go.
  bool serve(Client& client) {
    Bytes packet;
    switch (receivePacket(client.fd.get(), packet, 0)) {
      case Received::Packet: {
        if (Session::mayWaitOnDrive(packet)) {
          startSlowRequest(client, std::move(packet));
          return true;
        }
        bool hangUp = false;
        const Reply reply = client.session.handle(packet, hangUp);
        const bool sent = sendReply(client.fd.get(), reply) && !hangUp;
        if (desktop_) desktop_->noteRequest(client.session.drive(), client.session.label(), packet);
        return sent;
      }
      case Received::Oversized:
        return sendReply(client.fd.get(), client.session.oversized(packet.size() + 1));
      case Received::TimedOut:
        return true;
      case Received::Closed:
      case Received::Failed:
        return false;
    }
    return false;
  }

  void startSlowRequest(Client& client, Bytes packet) {
    client.finished = false;
    client.slowRequest = std::jthread([this, &client, packet = std::move(packet)] {
      client.reply = client.session.handle(packet, client.hangUp);
      client.finished = true;
      const std::uint64_t one = 1;
      if (::write(wake_.get(), &one, sizeof one) < 0) {
        // The counter is full only if nobody reads it; the loop will.
      }
    });
  }

  void answerSlowRequests() {
    std::uint64_t count = 0;
    while (::read(wake_.get(), &count, sizeof count) > 0) {
    }
    for (auto c = clients_.begin(); c != clients_.end();) {
      bool keep = true;
      if (c->busy() && c->finished.load()) {
        c->slowRequest.join();
        keep = sendReply(c->fd.get(), c->reply) && !c->hangUp;
        if (desktop_) desktop_->noteRequest(c->session.drive(), c->session.label(), {});
      }
      c = keep ? std::next(c) : clients_.erase(c);
    }
  }

  void acceptAll() {
    for (;;) {
      Fd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
      if (!fd.valid()) {
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
          os::log(std::string("accept: ") + std::strerror(errno));
          acceptPausedUntil_ = nowMs() + kPollMs;
        }
        return;
      }
      ucred peer{};
      socklen_t size = sizeof peer;
      if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
          peer.uid != ::geteuid()) {
        os::log("refused a client of uid " + std::to_string(peer.uid));
        refuse(fd, "the drive service serves its own user only");
        continue;
      }
      if (clients_.size() >= static_cast<std::size_t>(options_.maxClients)) {
        os::log("refused a client: too many clients");
        refuse(fd, "the drive service has too many clients");
        continue;
      }
      clients_.emplace_back(std::move(fd), drives_);
    }
  }

  // Says why and hangs up. What the peer sent is read first: closing over
  // unread packets would reset the connection ahead of the reason.
  static void refuse(Fd& fd, const std::string& why) {
    sendReply(fd.get(), Reply::refused(Failure::Refused, why));
    Bytes ignored;
    for (int i = 0; i < 8 && receivePacket(fd.get(), ignored, 0) == Received::Packet; ++i) {
    }
  }

  const ServerOptions& options_;
  Fd listener_;
  Fd wake_;  // counts finished slow requests
  DriveTable drives_;
  // Before drives_ goes: a slow request's thread still uses the table.
  std::list<Client> clients_;
  std::int64_t acceptPausedUntil_ = 0;
  // After drives_: it holds drives of the table.
  std::optional<Desktop> desktop_;
};

}  // namespace

void requestServiceStop() {
  stopRequested.store(true);
}

int runDriveService(const ServerOptions& options) {
  Fd lock;
  bool failed = false;
  if (!takeLock(options.folder / kLockName, lock, failed)) return failed ? 1 : 0;
  const std::filesystem::path socketPath = options.folder / kSocketName;
  Fd listener = listenOn(socketPath);
  if (!listener.valid()) return 1;
  os::log("serving " + socketPath.string() + " (pid " + std::to_string(::getpid()) + ")");
  {
    Server server(options, std::move(listener));
    if (!server.ready()) {
      os::log(std::string("eventfd: ") + std::strerror(errno));
      return 1;
    }
    server.run();
  }
  // Still under the lock: no newer service can own this path yet.
  ::unlink(socketPath.c_str());
  return 0;
}

}  // namespace tavrelo::service
