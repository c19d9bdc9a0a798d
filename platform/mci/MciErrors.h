#pragma once

#include <cstdint>

namespace tavrelo::mci {

// MCI result codes as mciSendStringA returns them (MCIERR_BASE = 256).
namespace err {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kInvalidDeviceId = 257;
inline constexpr std::uint32_t kUnrecognizedKeyword = 259;
inline constexpr std::uint32_t kUnrecognizedCommand = 261;
inline constexpr std::uint32_t kHardware = 262;
inline constexpr std::uint32_t kInvalidDeviceName = 263;
inline constexpr std::uint32_t kOutOfMemory = 264;
inline constexpr std::uint32_t kDeviceOpen = 265;
inline constexpr std::uint32_t kCannotLoadDriver = 266;
inline constexpr std::uint32_t kMissingCommandString = 267;
inline constexpr std::uint32_t kParamOverflow = 268;
inline constexpr std::uint32_t kMissingStringArgument = 269;
inline constexpr std::uint32_t kBadInteger = 270;
inline constexpr std::uint32_t kDriverInternal = 272;
inline constexpr std::uint32_t kMissingParameter = 273;
inline constexpr std::uint32_t kUnsupportedFunction = 274;
inline constexpr std::uint32_t kDeviceNotReady = 276;
inline constexpr std::uint32_t kCannotUseAll = 279;
inline constexpr std::uint32_t kExtensionNotFound = 281;
inline constexpr std::uint32_t kOutOfRange = 282;
inline constexpr std::uint32_t kFlagsNotCompatible = 284;
inline constexpr std::uint32_t kDuplicateAlias = 289;
inline constexpr std::uint32_t kBadConstant = 290;
inline constexpr std::uint32_t kMustUseShareable = 291;
inline constexpr std::uint32_t kMissingDeviceName = 292;
inline constexpr std::uint32_t kBadTimeFormat = 293;
inline constexpr std::uint32_t kNoClosingQuote = 294;
inline constexpr std::uint32_t kDuplicateFlags = 295;
inline constexpr std::uint32_t kInvalidFile = 296;
inline constexpr std::uint32_t kNotifyOnAutoOpen = 300;
inline constexpr std::uint32_t kNonapplicableFunction = 302;
inline constexpr std::uint32_t kExtraCharacters = 305;
inline constexpr std::uint32_t kDeviceNotInstalled = 306;
}  // namespace err

// The English text mciGetErrorStringA gives for `code`, or nullptr when the
// code is not an MCI result (mciGetErrorStringA then returns FALSE).
const char* errorText(std::uint32_t code);

// mciGetErrorStringA: copies the text, cut to fit, NUL-terminated. False for
// an unknown code or a buffer of length 0; the buffer is then left as it was.
bool getErrorString(std::uint32_t code, char* buffer, unsigned length);

}  // namespace tavrelo::mci
