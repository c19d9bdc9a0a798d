#include "platform/win32/MciSessionChannel.h"

namespace tavrelo::win32 {
namespace {

// Until the MCI session is linked in, every command fails as winmm fails when
// the cdaudio driver cannot be loaded.
class NoDriverChannel final : public MciChannel {
 public:
  MCIERROR send(const std::string&, char*, UINT, HWND) override {
    constexpr MCIERROR kCannotLoadDriver = 266;  // MCIERR_CANNOT_LOAD_DRIVER
    return kCannotLoadDriver;
  }
};

}  // namespace

MciChannel& processMciChannel() {
  static NoDriverChannel channel;
  return channel;
}

}  // namespace tavrelo::win32
