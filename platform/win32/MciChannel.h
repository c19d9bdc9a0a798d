#pragma once

#include <string>

#include "platform/win32/Win32Types.h"

namespace tavrelo::win32 {

// Where mciSendStringA sends its commands: the process's MCI session, or a
// test's recording channel. Calls come from the UI thread only.
class MciChannel {
 public:
  virtual ~MciChannel() = default;
  // `reply` is null when `replyLength` is 0; otherwise the channel writes at
  // most `replyLength` characters, NUL included. Returns 0 or an MCI error code.
  virtual MCIERROR send(const std::string& command, char* reply, UINT replyLength,
                        HWND callback) = 0;
};

// Puts `replacement` in place of the process's session; nullptr puts the
// session back. The caller keeps ownership.
void setMciChannel(MciChannel* replacement);

// Codes the stand-in itself answers with (winmm's values).
inline constexpr MCIERROR kMciErrMissingCommandString = 267;  // MCIERR_MISSING_COMMAND_STRING
inline constexpr MCIERROR kMciErrInternal = 277;              // MCIERR_INTERNAL

}  // namespace tavrelo::win32
