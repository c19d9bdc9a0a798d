#pragma once

// A disc image as CD tools write one: a CUE sheet over one BIN file, with
// addresses as "mm:ss:ff" and samples little-endian, interleaved stereo.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/disc/Toc.h"

namespace tavrelo::demodisc {

// "mm:ss:ff" for a count of sectors.
std::string msf(std::int64_t sectors);

// Writes `bytes` to `path` as they are; throws std::runtime_error.
void saveFile(const std::filesystem::path& path, const std::string& bytes);

// Each track's samples (interleaved stereo, left first) padded with silence
// to whole sectors, written to `cuePath` and a BIN file of the same stem
// beside it. Returns the TOC a reader reports.
disc::Toc writeCueBin(const std::filesystem::path& cuePath,
                      const std::vector<std::vector<std::int16_t>>& trackPcm);

}  // namespace tavrelo::demodisc
