#include "platform/win32/End.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tavrelo::win32 {
namespace {

std::function<void()>& testEnding() {
  static std::function<void()> ending;
  return ending;
}

}  // namespace

void setEndForTesting(std::function<void()> ending) {
  testEnding() = std::move(ending);
}

}  // namespace tavrelo::win32

void End() {
  if (auto& ending = tavrelo::win32::testEnding()) {
    ending();
    return;
  }
  std::fflush(nullptr);
  std::_Exit(0);
}
