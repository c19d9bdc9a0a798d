#pragma once

#include <string>

#include "platform/titles/HttpFetcher.h"

namespace tavrelo::titles {

// HttpFetcher through libcurl, http and https only.
class CurlFetcher : public HttpFetcher {
 public:
  // `userAgent` is sent with every request.
  explicit CurlFetcher(std::string userAgent);
  HttpReply get(const std::string& url, const std::atomic<bool>& stop) override;

 private:
  std::string userAgent_;
};

// "Tavrelo2/<version> ( <contact> )", as MusicBrainz asks clients to say.
std::string defaultUserAgent();

}  // namespace tavrelo::titles
