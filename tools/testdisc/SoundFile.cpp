#include "tools/testdisc/SoundFile.h"

#include <stdexcept>
#include <string>

namespace tavrelo::testdisc {

SoundFile SoundFile::create(const std::filesystem::path& path, int format, int rate, int channels) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) {
    throw std::runtime_error("testdisc: cannot write " + path.string() + ": " +
                             sf_strerror(nullptr));
  }
  return SoundFile(file, channels);
}

SoundFile::~SoundFile() {
  if (file_ != nullptr) sf_close(file_);
}

void SoundFile::writeFrames(std::span<const std::int16_t> samples) {
  const auto frames = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(channels_));
  if (sf_writef_short(file_, samples.data(), frames) != frames) {
    throw std::runtime_error(std::string("testdisc: sound file write failed: ") +
                             sf_strerror(file_));
  }
}

}  // namespace tavrelo::testdisc
