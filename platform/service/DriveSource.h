#pragma once

#include <string>

namespace tavrelo::service {

// What a drive plays: a CUE sheet standing for a disc, or a CD device.
struct DriveSource {
  enum class Kind : unsigned char { CueImage = 1, Device = 2 };
  Kind kind = Kind::CueImage;
  std::string path;

  // A drive-letter table's source string: a path ending in ".cue" (any case)
  // is an image, anything else a device ("/dev/sr0"). The path is made
  // absolute here, once, against this process's working folder, so the
  // service (with another working folder) finds it; the disk is not touched.
  static DriveSource fromPath(const std::string& path);

  bool operator==(const DriveSource&) const = default;
};

// "image /home/ana/a.cue", "device /dev/sr0": for logs and messages.
std::string describe(const DriveSource& source);

}  // namespace tavrelo::service
