#include "platform/disc/SectorFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/disc/DecoderModule.h"
#include "platform/disc/DiscSource.h"
#include "platform/os/Fd.h"

namespace tavrelo::disc {
namespace {

std::string quoted(const std::filesystem::path& path) {
  return "\"" + path.filename().string() + "\"";
}

// BINARY and MOTOROLA files: raw sectors read with pread. Sectors of data
// tracks (2048 or 2336 bytes) are never read as audio; they read as silence.
class RawFile final : public SectorFile {
 public:
  RawFile(const std::filesystem::path& path, bool bigEndian, int blockBytes)
      : path_(path),
        fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)),
        bigEndian_(bigEndian),
        blockBytes_(blockBytes) {
    if (fd_.get() < 0) {
      throw DiscError("cannot open " + quoted(path) + ": " + std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
      throw DiscError(quoted(path) + " is not a regular file");
    }
    if (info.st_size == 0) throw DiscError(quoted(path) + " is empty");
    bytes_ = info.st_size;
    sectors_ = (bytes_ + blockBytes - 1) / blockBytes;
  }

  std::int64_t sectors() const override { return sectors_; }

  void read(std::int64_t first, int count, std::span<std::uint8_t> out) override {
    const std::size_t want = static_cast<std::size_t>(count) * kSectorBytes;
    if (blockBytes_ != kSectorBytes) {
      std::fill_n(out.begin(), want, std::uint8_t{0});
      return;
    }
    const std::int64_t offset = first * kSectorBytes;
    const auto available = static_cast<std::size_t>(std::max<std::int64_t>(0, bytes_ - offset));
    std::size_t done = 0;
    const std::size_t toRead = std::min(want, available);
    while (done < toRead) {
      const ssize_t n = ::pread(fd_.get(), out.data() + done, toRead - done,
                                static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw DiscError("cannot read " + quoted(path_) + ": " + std::strerror(errno));
      if (n == 0) throw DiscError("cannot read " + quoted(path_) + ": the file ends early");
      done += static_cast<std::size_t>(n);
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(done),
              out.begin() + static_cast<std::ptrdiff_t>(want), std::uint8_t{0});
    if (bigEndian_) {
      for (std::size_t i = 0; i + 1 < want; i += 2) std::swap(out[i], out[i + 1]);
    }
  }

 private:
  std::filesystem::path path_;
  os::Fd fd_;
  bool bigEndian_;
  int blockBytes_;
  std::int64_t bytes_ = 0;
  std::int64_t sectors_ = 0;
};

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

int bitsOf(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return 8;
    case SF_FORMAT_PCM_16:
      return 16;
    case SF_FORMAT_PCM_24:
      return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
      return 32;
    case SF_FORMAT_DOUBLE:
      return 64;
    default:
      return 0;
  }
}

// MP3, Ogg Vorbis, Opus: libsndfile decodes them to 16 bits, the encoder's
// delay and padding taken off where the file states them (LAME header, Opus
// pre-skip), so tracks split into files join without a gap.
bool lossy(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
      return true;
    default:
      return false;
  }
}

// WAVE, AIFF, FLAC...: decoded through libsndfile, sector by sector.
class SoundFile final : public SectorFile {
 public:
  explicit SoundFile(const std::filesystem::path& path) : path_(path) {
    SF_INFO info{};
    file_.reset(sf_open(path.c_str(), SFM_READ, &info));
    if (!file_) {
      std::error_code ec;
      if (!std::filesystem::exists(path, ec)) throw DiscError(quoted(path) + " does not exist");
      throw DiscError(quoted(path) +
                      " is not a sound file in a format read here (WAV, AIFF, FLAC, Ogg, Opus, "
                      "MP3, WavPack, Monkey's Audio, TAK, ALAC): " +
                      sf_strerror(nullptr));
    }
    const int bits = bitsOf(info.format);
    const bool pcm16 = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    if (info.samplerate != 44100 || info.channels != 2 || !(pcm16 || lossy(info.format))) {
      throw DiscError(notCdAudio(path, info.samplerate, bits, info.channels));
    }
    if (info.frames <= 0) throw DiscError(quoted(path) + " holds no sound");
    frames_ = info.frames;
    sectors_ = (frames_ + kStereoFramesPerSector - 1) / kStereoFramesPerSector;
  }

  std::int64_t sectors() const override { return sectors_; }

  void read(std::int64_t first, int count, std::span<std::uint8_t> out) override {
    const std::int64_t frame = first * kStereoFramesPerSector;
    const std::int64_t want = static_cast<std::int64_t>(count) * kStereoFramesPerSector;
    const std::int64_t toRead = std::clamp<std::int64_t>(frames_ - frame, 0, want);
    std::int64_t done = 0;
    if (toRead > 0) {
      if (position_ != frame && sf_seek(file_.get(), frame, SEEK_SET) != frame) {
        position_ = -1;
        throw DiscError("cannot seek in " + quoted(path_) + ": " + sf_strerror(file_.get()));
      }
      samples_.resize(static_cast<std::size_t>(toRead) * 2);
      done = sf_readf_short(file_.get(), samples_.data(), toRead);
      position_ = frame + done;
      if (done < toRead) {
        position_ = -1;
        throw DiscError(
            "cannot read " + quoted(path_) + ": " +
            (sf_error(file_.get()) != 0 ? sf_strerror(file_.get()) : "the file ends early"));
      }
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(done) * 2; ++i) {
      const auto value = static_cast<std::uint16_t>(samples_[i]);
      out[2 * i] = static_cast<std::uint8_t>(value & 0xff);
      out[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(done * 4),
              out.begin() + static_cast<std::ptrdiff_t>(want * 4), std::uint8_t{0});
  }

 private:
  std::filesystem::path path_;
  std::unique_ptr<SNDFILE, SndfileCloser> file_;
  std::int64_t frames_ = 0;
  std::int64_t sectors_ = 0;
  std::int64_t position_ = 0;  // the decoder's frame; -1 after a failure
  std::vector<std::int16_t> samples_;
};

// The format FFmpeg reads for us, from the file's first bytes; none for the
// formats libsndfile reads.
std::optional<CodedFormat> codedFormatOf(const std::filesystem::path& path) {
  char head[12] = {};
  const os::Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0 || ::pread(fd.get(), head, sizeof head, 0) != ssize_t{sizeof head}) {
    return std::nullopt;  // libsndfile says what is wrong
  }
  const std::string_view magic(head, 4);
  if (magic == "wvpk") return CodedFormat::WavPack;
  if (magic == "MAC ") return CodedFormat::MonkeysAudio;
  if (magic == "tBaK") return CodedFormat::Tak;
  if (std::string_view(head + 4, 4) == "ftyp") return CodedFormat::Mp4;
  return std::nullopt;
}

}  // namespace

std::unique_ptr<SectorFile> openSectorFile(const std::filesystem::path& path, SheetFileType type,
                                           int blockBytes) {
  // Checked before opening: opening a FIFO for reading would wait for a writer.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    throw DiscError("cannot open " + quoted(path) + ": " + std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) throw DiscError(quoted(path) + " is not a regular file");
  switch (type) {
    case SheetFileType::Binary:
      return std::make_unique<RawFile>(path, false, blockBytes);
    case SheetFileType::Motorola:
      return std::make_unique<RawFile>(path, true, blockBytes);
    case SheetFileType::Audio:
      if (const auto coded = codedFormatOf(path)) return openCodedFile(path, *coded);
      return std::make_unique<SoundFile>(path);
  }
  throw DiscError("unknown file type");
}

}  // namespace tavrelo::disc
