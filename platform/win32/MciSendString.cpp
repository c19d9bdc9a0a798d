#include <exception>
#include <string>

#include "platform/win32/MciChannel.h"
#include "platform/win32/MciSessionChannel.h"
#include "platform/win32/Win32Api.h"

namespace tavrelo::win32 {
namespace {

MciChannel* replacementChannel = nullptr;

}  // namespace

void setMciChannel(MciChannel* replacement) {
  replacementChannel = replacement;
}

}  // namespace tavrelo::win32

// The session under the call owns the reply's rules (empty after an error;
// 268 leaves a buffer that is too small untouched, as Windows NT does); this
// edge only keeps C++ exceptions from crossing into the caller.
MCIERROR mciSendStringA(LPCSTR lpstrCommand, LPSTR lpstrReturnString, UINT uReturnLength,
                        HWND hwndCallback) {
  using namespace tavrelo::win32;
  if (lpstrReturnString == nullptr) uReturnLength = 0;
  if (lpstrCommand == nullptr || *lpstrCommand == '\0') {
    if (uReturnLength > 0) lpstrReturnString[0] = '\0';
    return kMciErrMissingCommandString;
  }
  try {
    MciChannel& channel = replacementChannel != nullptr ? *replacementChannel : processMciChannel();
    return channel.send(lpstrCommand, uReturnLength > 0 ? lpstrReturnString : nullptr,
                        uReturnLength, hwndCallback);
  } catch (const std::exception&) {
    if (uReturnLength > 0) lpstrReturnString[0] = '\0';
    return kMciErrInternal;
  }
}
