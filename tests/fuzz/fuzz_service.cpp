// The drive service's decoders take whatever a peer sends. Invariants: no
// crash; whatever decodes, encodes back to something that decodes to the same
// message (requests) or the same bytes (replies); nothing oversized decodes.
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
    const Bytes again = encode(*decoded);
    const auto round = decodeRequest(again);
    const auto* back = std::get_if<Request>(&round);
    if (back == nullptr || !(*back == *decoded)) std::abort();
  }

  const auto reply = decodeReply(bytes);
  if (const auto* decoded = std::get_if<Reply>(&reply)) {
    if (size > kMaxMessageBytes) std::abort();
    const Bytes again = encode(*decoded);
    const auto round = decodeReply(again);
    const auto* back = std::get_if<Reply>(&round);
    if (back == nullptr || encode(*back) != again) std::abort();
  }
  return 0;
}
