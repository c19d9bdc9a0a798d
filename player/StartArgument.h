#pragma once

#include <string>
#include <string_view>

// What the desktop started the program with: an inserted disc or a CUE sheet
// the user opened.
struct StartArgument {
  enum class Kind { Device, CueSheet, Invalid };
  Kind kind = Kind::Invalid;
  // The device ("/dev/sr0") or the sheet's absolute path; for Invalid, why
  // the argument was not understood.
  std::string path;
};

// Reads one argument as a file manager or a desktop hands it over: a cdda
// address ("cdda:///dev/sr0", or GVfs's "cdda://sr0/" with a track name
// after it), a device path ("/dev/sr0"), or a CUE sheet as a path or a
// file:// address. A relative sheet path counts from `currentDirectory`.
// Nothing is looked up on disk here.
StartArgument parseStartArgument(std::string_view argument, std::string_view currentDirectory);
