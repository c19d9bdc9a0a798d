#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace tavrelo::titles {

struct HttpReply {
  long status = 0;  // 0 when no answer came (see `failure`)
  std::string body;
  std::string contentType;
  int retryAfterSeconds = -1;  // the Retry-After header, -1 when absent
  std::string failure;         // why the request failed; empty when an answer came
};

// One GET at a time, from one thread. The real one is libcurl's (CurlFetcher).
class HttpFetcher {
 public:
  virtual ~HttpFetcher() = default;
  // Follows up to 3 redirects. Gives up on a connection not made within 5 s,
  // a request not done within 15 s, a body over 4 MB (not read to its end)
  // and as soon as `stop` turns true; each of these is a `failure`.
  virtual HttpReply get(const std::string& url, const std::atomic<bool>& stop) = 0;
};

inline constexpr std::size_t kMaxBodyBytes = 4u << 20;

}  // namespace tavrelo::titles
