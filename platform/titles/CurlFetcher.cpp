#include "platform/titles/CurlFetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace tavrelo::titles {
namespace {

constexpr long kConnectTimeoutMs = 5000;
constexpr long kTotalTimeoutMs = 15000;
constexpr long kMaxRedirects = 3;

struct Transfer {
  HttpReply* reply;
  const std::atomic<bool>* stop;
  bool oversized = false;
};

std::size_t onBody(char* data, std::size_t, std::size_t size, void* self) {
  auto& transfer = *static_cast<Transfer*>(self);
  if (transfer.reply->body.size() + size > kMaxBodyBytes) {
    transfer.oversized = true;
    return 0;  // curl ends the transfer with CURLE_WRITE_ERROR
  }
  transfer.reply->body.append(data, size);
  return size;
}

// curl calls this at least once a second while a transfer waits, so a stop
// is seen within that second, even on a server that never answers.
int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(self)->stop->load() ? 1 : 0;
}

}  // namespace

std::string defaultUserAgent() {
  return std::string("Tavrelo2/") + TAVRELO_VERSION + " ( " + TAVRELO_CONTACT + " )";
}

CurlFetcher::CurlFetcher(std::string userAgent) : userAgent_(std::move(userAgent)) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpReply CurlFetcher::get(const std::string& url, const std::atomic<bool>& stop) {
  HttpReply reply;
  const std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    reply.failure = "libcurl could not start a request";
    return reply;
  }
  Transfer transfer{&reply, &stop};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // a worker thread must not get SIGALRM
  curl_easy_setopt(c, CURLOPT_USERAGENT, userAgent_.c_str());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
  const CURLcode result = curl_easy_perform(c);
  if (result != CURLE_OK) {
    reply.failure = transfer.oversized                    ? "the reply is larger than 4 MB"
                    : result == CURLE_ABORTED_BY_CALLBACK ? "cancelled"
                                                          : curl_easy_strerror(result);
    reply.body.clear();
    return reply;
  }
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
  char* type = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
    reply.contentType = type;
  }
  curl_off_t retry = 0;
  if (curl_easy_getinfo(c, CURLINFO_RETRY_AFTER, &retry) == CURLE_OK && retry > 0) {
    reply.retryAfterSeconds = static_cast<int>(std::min<curl_off_t>(retry, 3600));
  }
  return reply;
}

}  // namespace tavrelo::titles
