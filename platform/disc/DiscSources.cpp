#include "platform/disc/DiscSources.h"

#include "platform/disc/CueImage.h"

namespace tavrelo::disc {

std::unique_ptr<DiscSource> openCueImage(const std::filesystem::path& sheet) {
  return CueImage::open(sheet);
}

std::unique_ptr<DiscSource> openCueImageDrive(const std::filesystem::path& sheet) {
  return CueImage::openAsDrive(sheet);
}

}  // namespace tavrelo::disc
