// The entry point of the decoder module: the disc reader loads this module
// (and FFmpeg's libraries with it) only when a sheet names a file it decodes.
#include <string>

#include "platform/disc/DecoderModule.h"
#include "platform/disc/DiscSource.h"
#include "platform/disc/decoders/FfmpegFile.h"

extern "C" __attribute__((visibility("default"))) void tavrelo2OpenCodedFile(
    const char* path, int format, std::unique_ptr<tavrelo::disc::SectorFile>* file,
    std::string* error) noexcept {
  try {
    *file = tavrelo::disc::openFfmpegFile(path, static_cast<tavrelo::disc::CodedFormat>(format));
  } catch (const std::exception& e) {
    *error = e.what();
  }
}

static_assert(std::is_same_v<decltype(&tavrelo2OpenCodedFile), tavrelo::disc::OpenCodedFile>);
