#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/disc/SectorFile.h"

namespace tavrelo::disc {

// The decoder module's entry point: fills `file`, or `error` with the reason.
using OpenCodedFile = void (*)(const char* path, int format, std::unique_ptr<SectorFile>* file,
                               std::string* error) noexcept;

// Opens a WavPack, Monkey's Audio, TAK or ALAC file through the decoder
// module, which is loaded (with FFmpeg's libraries) the first time a sheet
// needs it and stays loaded. Throws DiscError when the module cannot be
// loaded or the file is no CD audio.
std::unique_ptr<SectorFile> openCodedFile(const std::filesystem::path& path, CodedFormat format);

}  // namespace tavrelo::disc
