#include "platform/mci/DriveErrors.h"

#include "platform/mci/MciErrors.h"

namespace tavrelo::mci {

std::uint32_t toMciError(drive::DriveError error) {
  switch (error) {
    case drive::DriveError::None:
      return err::kNone;
    case drive::DriveError::NoMedia:
      return err::kDeviceNotReady;  // tray open or no disc
    case drive::DriveError::OutOfRange:
      return err::kOutOfRange;
    case drive::DriveError::NotPaused:
      return err::kHardware;  // native NT answers 262 here
    case drive::DriveError::Hardware:
      return err::kHardware;
    case drive::DriveError::Unavailable:
      return err::kHardware;
  }
  return err::kDriverInternal;
}

}  // namespace tavrelo::mci
