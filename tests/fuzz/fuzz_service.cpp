// The drive service's decoders take whatever a peer sends. Invariants: no
// crash; whatever decodes, encodes back to the very same bytes (one meaning
// per packet); nothing oversized decodes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>

#include "platform/service/Protocol.h"

using namespace tavrelo::service;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);

  const auto request = decodeRequest(bytes);
  if (const auto* decoded = std::get_if<Request>(&request)) {
    if (size > kMaxMessageBytes) std::abort();
    if (encode(*decoded) != Bytes(bytes.begin(), bytes.end())) std::abort();
  }

  const auto reply = decodeReply(bytes);
  if (const auto* decoded = std::get_if<Reply>(&reply)) {
    if (size > kMaxMessageBytes) std::abort();
    if (encode(*decoded) != Bytes(bytes.begin(), bytes.end())) std::abort();
  }
  return 0;
}
