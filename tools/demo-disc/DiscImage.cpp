#include "tools/demo-disc/DiscImage.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace tavrelo::demodisc {

std::string msf(std::int64_t sectors) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld",
                static_cast<long long>(sectors / (75 * 60)),
                static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
  return buffer;
}

void saveFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

disc::Toc writeCueBin(const std::filesystem::path& cuePath,
                      const std::vector<std::vector<std::int16_t>>& trackPcm) {
  if (trackPcm.empty() || trackPcm.size() > 99) {
    throw std::invalid_argument("make-demo-disc: a disc has 1 to 99 tracks");
  }
  std::filesystem::path binPath = cuePath;
  binPath.replace_extension(".bin");
  std::string sheet = "FILE \"" + binPath.filename().string() + "\" BINARY\n";
  std::string bin;
  disc::Toc toc;
  for (std::size_t i = 0; i < trackPcm.size(); ++i) {
    const auto& pcm = trackPcm[i];
    if (pcm.empty() || pcm.size() % 2 != 0) {
      throw std::invalid_argument("make-demo-disc: track " + std::to_string(i + 1) +
                                  " needs whole stereo frames");
    }
    const auto sectorsBefore = static_cast<std::int64_t>(bin.size() / disc::kSectorBytes);
    char text[64];
    std::snprintf(text, sizeof text, "  TRACK %02zu AUDIO\n    INDEX 01 ", i + 1);
    sheet += text + msf(sectorsBefore) + "\n";
    toc.tracks.push_back({static_cast<int>(i) + 1,
                          static_cast<disc::Lba>(disc::kLeadInFrames + sectorsBefore), true});
    for (const std::int16_t sample : pcm) {
      bin += static_cast<char>(static_cast<std::uint16_t>(sample) & 0xff);
      bin += static_cast<char>(static_cast<std::uint16_t>(sample) >> 8);
    }
    bin.resize((bin.size() + disc::kSectorBytes - 1) / disc::kSectorBytes * disc::kSectorBytes,
               '\0');
  }
  toc.leadOut = static_cast<disc::Lba>(disc::kLeadInFrames + bin.size() / disc::kSectorBytes);
  saveFile(binPath, bin);
  saveFile(cuePath, sheet);
  return toc;
}

}  // namespace tavrelo::demodisc
