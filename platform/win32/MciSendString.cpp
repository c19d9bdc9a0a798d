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

// As winmm: the reply starts out empty, so a failed query never leaves an
// earlier reply in the caller's buffer; nothing thrown below crosses this call.
MCIERROR mciSendStringA(LPCSTR lpstrCommand, LPSTR lpstrReturnString, UINT uReturnLength,
                        HWND hwndCallback) {
  using namespace tavrelo::win32;
  if (lpstrReturnString == nullptr) uReturnLength = 0;
  if (uReturnLength > 0) lpstrReturnString[0] = '\0';
  if (lpstrCommand == nullptr || *lpstrCommand == '\0') return kMciErrMissingCommandString;
  try {
    MciChannel& channel = replacementChannel != nullptr ? *replacementChannel : processMciChannel();
    const MCIERROR code = channel.send(
        lpstrCommand, uReturnLength > 0 ? lpstrReturnString : nullptr, uReturnLength, hwndCallback);
    if (uReturnLength > 0) lpstrReturnString[uReturnLength - 1] = '\0';
    return code;
  } catch (const std::exception&) {
    if (uReturnLength > 0) lpstrReturnString[0] = '\0';
    return kMciErrInternal;
  }
}
