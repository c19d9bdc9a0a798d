#pragma once

#include <filesystem>
#include <memory>

#include "platform/disc/SectorFile.h"

namespace tavrelo::disc {

// A lossless file FFmpeg decodes, read in CD sectors (see SectorFile); throws
// DiscError naming the file and what it holds when it is no CD audio.
std::unique_ptr<SectorFile> openFfmpegFile(const std::filesystem::path& path, CodedFormat format);

}  // namespace tavrelo::disc
