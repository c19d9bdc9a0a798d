// WavPack, Monkey's Audio, TAK and ALAC files decoded through FFmpeg's
// libraries, sample-exactly: sectors count from the file's first decoded
// sample, the length is the one the container states (these four state the
// exact sample count), and a seek lands on the sample by the decoded frame's
// time stamp. Only the demuxer and decoder of the format the file's first
// bytes name are used, on "file:" URLs only.
// Threading: no thread is started (one decoding thread per file); a file is
// read by one thread at a time, as every SectorFile.
#include "platform/disc/decoders/FfmpegFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/disc/DiscSource.h"

namespace tavrelo::disc {
namespace {

constexpr AVRational kSampleTime{1, 44100};
// Longer than any CD; bounds what a damaged header may claim.
constexpr std::int64_t kMaxFrames = std::int64_t{100} * 60 * 44100;

std::string quoted(const std::filesystem::path& path) {
  return "\"" + path.filename().string() + "\"";
}

std::string errorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

struct Demuxing {
  const char* demuxer;
  AVCodecID codec;
};

Demuxing demuxingOf(CodedFormat format) {
  switch (format) {
    case CodedFormat::WavPack:
      return {"wv", AV_CODEC_ID_WAVPACK};
    case CodedFormat::MonkeysAudio:
      return {"ape", AV_CODEC_ID_APE};
    case CodedFormat::Tak:
      return {"tak", AV_CODEC_ID_TAK};
    case CodedFormat::Mp4:
      return {"mp4", AV_CODEC_ID_ALAC};
  }
  return {"", AV_CODEC_ID_NONE};
}

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecCloser {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

class FfmpegFile final : public SectorFile {
 public:
  FfmpegFile(const std::filesystem::path& path, CodedFormat format) : path_(path) {
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    const Demuxing demuxing = demuxingOf(format);
    const std::string what = quoted(path) + " (" + formatName(format) + ")";
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* context = nullptr;
    const int opened = avformat_open_input(&context, ("file:" + path.string()).c_str(),
                                           av_find_input_format(demuxing.demuxer), &options);
    av_dict_free(&options);
    if (opened < 0) throw DiscError(what + " cannot be read: " + errorText(opened));
    format_.reset(context);
    stream_ = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream_ < 0) throw DiscError(what + " holds no sound");
    const AVStream& stream = *context->streams[stream_];
    const AVCodecParameters& par = *stream.codecpar;
    if (par.codec_id != demuxing.codec) {
      throw DiscError(what + " holds " + avcodec_get_name(par.codec_id) + " sound, not " +
                      formatName(format) + "; convert it to FLAC");
    }
    const int bits =
        par.bits_per_raw_sample > 0 ? par.bits_per_raw_sample : par.bits_per_coded_sample;
    if (par.sample_rate != 44100 || par.ch_layout.nb_channels != 2 || bits != 16) {
      throw DiscError(notCdAudio(path, par.sample_rate, bits, par.ch_layout.nb_channels));
    }
    std::int64_t frames = 0;
    if (stream.duration > 0) {
      frames = av_rescale_q(stream.duration, stream.time_base, kSampleTime);
    } else if (context->duration > 0) {
      frames = av_rescale(context->duration, 44100, AV_TIME_BASE);
    }
    if (frames <= 0) throw DiscError(what + " does not state its length, or holds no sound");
    frames_ = std::min(frames, kMaxFrames);
    sectors_ = (frames_ + kStereoFramesPerSector - 1) / kStereoFramesPerSector;

    const AVCodec* codec = avcodec_find_decoder(par.codec_id);
    codec_.reset(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    if (!codec_) throw DiscError(what + ": this FFmpeg has no decoder for it");
    codec_->thread_count = 1;
    int status = avcodec_parameters_to_context(codec_.get(), &par);
    if (status >= 0) status = avcodec_open2(codec_.get(), codec, nullptr);
    if (status < 0) throw DiscError(what + " cannot be decoded: " + errorText(status));
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_) throw DiscError(what + ": out of memory");
  }

  std::int64_t sectors() const override { return sectors_; }

  void read(std::int64_t first, int count, std::span<std::uint8_t> out) override {
    const std::int64_t from = first * kStereoFramesPerSector;
    const std::int64_t to = from + std::int64_t{count} * kStereoFramesPerSector;
    const std::int64_t end = std::min(frames_, decodedEnd_);
    // Forward within a few seconds decodes on; anything else seeks.
    if (from < end && (from < pendingFrom_ || from > pendingEnd() + 5 * 44100)) seekTo(from);
    std::int64_t at = from;
    while (at < to && at < end) {
      if (at >= pendingEnd()) {
        if (!decodeNext()) {
          decodedEnd_ = pendingEnd();  // the file ends early: silence from there
          break;
        }
        continue;
      }
      const std::int64_t n = std::min(to, pendingEnd()) - at;
      const auto offset = static_cast<std::size_t>(at - pendingFrom_) * 2;
      auto* bytes = out.data() + (at - from) * 4;
      for (std::size_t i = 0; i < static_cast<std::size_t>(n) * 2; ++i) {
        const auto value = static_cast<std::uint16_t>(pending_[offset + i]);
        bytes[2 * i] = static_cast<std::uint8_t>(value & 0xff);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
      }
      at += n;
    }
    std::fill(out.begin() + (at - from) * 4, out.begin() + (to - from) * 4, std::uint8_t{0});
  }

 private:
  std::int64_t pendingEnd() const {
    return pendingFrom_ + static_cast<std::int64_t>(pending_.size() / 2);
  }

  // Replaces `pending_` with the next decoded frame, which follows it;
  // false at the end of the file (or where it is cut short).
  bool decodeNext() {
    const std::int64_t next = pendingEnd();
    for (;;) {
      const int received = avcodec_receive_frame(codec_.get(), frame_.get());
      if (received == 0) {
        takeFrame(next);
        return true;
      }
      if (received == AVERROR_EOF) return false;
      if (received != AVERROR(EAGAIN)) {
        throw DiscError("cannot decode " + quoted(path_) + ": " + errorText(received));
      }
      if (drained_) return false;
      const int got = av_read_frame(format_.get(), packet_.get());
      if (got < 0) {
        // The end, or bytes that are no packet: what was decoded is the file.
        drained_ = true;
        avcodec_send_packet(codec_.get(), nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) {
        const int sent = avcodec_send_packet(codec_.get(), packet_.get());
        av_packet_unref(packet_.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
          throw DiscError("cannot decode " + quoted(path_) + ": " + errorText(sent));
        }
      } else {
        av_packet_unref(packet_.get());
      }
    }
  }

  void takeFrame(std::int64_t start) {
    const AVFrame& f = *frame_;
    if (f.ch_layout.nb_channels != 2) {
      throw DiscError("cannot decode " + quoted(path_) + ": a frame of " +
                      std::to_string(f.ch_layout.nb_channels) + " channels");
    }
    const auto n = static_cast<std::size_t>(std::max(0, f.nb_samples));
    pending_.resize(n * 2);
    if (f.format == AV_SAMPLE_FMT_S16) {
      const auto* samples = reinterpret_cast<const std::int16_t*>(f.data[0]);
      std::copy(samples, samples + n * 2, pending_.begin());
    } else if (f.format == AV_SAMPLE_FMT_S16P) {
      const auto* left = reinterpret_cast<const std::int16_t*>(f.data[0]);
      const auto* right = reinterpret_cast<const std::int16_t*>(f.data[1]);
      for (std::size_t i = 0; i < n; ++i) {
        pending_[2 * i] = left[i];
        pending_[2 * i + 1] = right[i];
      }
    } else {
      const char* name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(f.format));
      throw DiscError(quoted(path_) + " decodes to " + (name != nullptr ? name : "?") +
                      " samples; a CD holds 16-bit samples");
    }
    pendingFrom_ = start;
    const std::int64_t stamp = f.best_effort_timestamp;
    lastStamp_ = stamp == AV_NOPTS_VALUE
                     ? AV_NOPTS_VALUE
                     : av_rescale_q(stamp, format_->streams[stream_]->time_base, kSampleTime);
  }

  // Positions the decoder so that `pending_` holds `target`, or is empty past the end.
  void seekTo(std::int64_t target) {
    const AVRational base = format_->streams[stream_]->time_base;
    const bool sought =
        target > 0 && av_seek_frame(format_.get(), stream_, av_rescale_q(target, kSampleTime, base),
                                    AVSEEK_FLAG_BACKWARD) >= 0;
    restart(sought);
    if (sought) {
      // The frame the seek found says where it lies; without a time stamp,
      // or past the target, decode from the start instead.
      const bool landed =
          decodeNext() && lastStamp_ != AV_NOPTS_VALUE && lastStamp_ >= 0 && lastStamp_ <= target;
      if (landed) {
        pendingFrom_ = lastStamp_;
      } else {
        restart(false);
      }
    }
    while (pendingEnd() <= target) {
      if (!decodeNext()) {
        decodedEnd_ = pendingEnd();
        return;
      }
    }
  }

  // Back to the start of the file, or (`sought`) to where av_seek_frame went.
  void restart(bool sought) {
    if (!sought && av_seek_frame(format_.get(), stream_, 0, AVSEEK_FLAG_BACKWARD) < 0) {
      throw DiscError("cannot go back to the start of " + quoted(path_));
    }
    avcodec_flush_buffers(codec_.get());
    drained_ = false;
    pending_.clear();
    pendingFrom_ = 0;
  }

  std::filesystem::path path_;
  std::unique_ptr<AVFormatContext, FormatCloser> format_;
  std::unique_ptr<AVCodecContext, CodecCloser> codec_;
  std::unique_ptr<AVPacket, PacketFree> packet_;
  std::unique_ptr<AVFrame, FrameFree> frame_;
  int stream_ = -1;
  std::int64_t frames_ = 0;
  std::int64_t sectors_ = 0;
  std::vector<std::int16_t> pending_;  // one decoded frame, interleaved
  std::int64_t pendingFrom_ = 0;       // the file's frame at pending_[0]
  std::int64_t lastStamp_ = AV_NOPTS_VALUE;
  bool drained_ = false;  // the demuxer has no more packets
  // Where decoding ended before the stated length: a file cut short.
  std::int64_t decodedEnd_ = std::numeric_limits<std::int64_t>::max();
};

}  // namespace

std::unique_ptr<SectorFile> openFfmpegFile(const std::filesystem::path& path, CodedFormat format) {
  return std::make_unique<FfmpegFile>(path, format);
}

}  // namespace tavrelo::disc
