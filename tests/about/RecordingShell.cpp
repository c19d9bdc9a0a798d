#include "tests/about/RecordingShell.h"

#include "cd/ModuleAudioPlayer.h"

namespace tavrelo::testing {

std::vector<ShellCall>& shellCalls() {
  static std::vector<ShellCall> calls;
  return calls;
}

HINSTANCE& shellAnswer() {
  static HINSTANCE answer = 42;
  return answer;
}

}  // namespace tavrelo::testing

namespace {
std::string text(LPCSTR s) {
  return s != nullptr ? s : "<null>";
}
}  // namespace

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, int nShowCmd) {
  tavrelo::testing::shellCalls().push_back(
      {hwnd, text(lpOperation), text(lpFile), text(lpParameters), text(lpDirectory), nShowCmd});
  return tavrelo::testing::shellAnswer();
}
