#pragma once

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <span>

namespace tavrelo::testdisc {

// A sound file open for writing through libsndfile; closed (and its header
// finished) when destroyed.
class SoundFile {
 public:
  // `format` is a libsndfile format, e.g. SF_FORMAT_WAV | SF_FORMAT_PCM_16.
  static SoundFile create(const std::filesystem::path& path, int format, int rate, int channels);
  SoundFile(SoundFile&& other) noexcept : file_(other.file_), channels_(other.channels_) {
    other.file_ = nullptr;
  }
  SoundFile& operator=(SoundFile&&) = delete;
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;
  ~SoundFile();

  // Interleaved samples, a whole number of frames.
  void writeFrames(std::span<const std::int16_t> samples);

 private:
  SoundFile(SNDFILE* file, int channels) : file_(file), channels_(channels) {}
  SNDFILE* file_;
  int channels_;
};

}  // namespace tavrelo::testdisc
