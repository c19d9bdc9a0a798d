#include "tools/demo-disc/Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavrelo::demodisc {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kRingOutSeconds = 2.0;
constexpr double kPeak = 0.708;  // -3 dBFS

enum class Voice { Piano, Pad, Bass, Lead, HiHat, Kick };

struct Note {
  double start;     // seconds
  double length;    // seconds the key is held
  double pitch;     // MIDI note number
  double velocity;  // 0..1
  double pan;       // -1 left .. +1 right
  Voice voice;
};

double frequency(double midi) {
  return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

// A little linear congruential generator: the same numbers everywhere.
class Random {
 public:
  explicit Random(unsigned seed) : state_(seed * 2654435761u + 1) {}
  unsigned next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<unsigned>(n)); }
  double unit() { return (next() & 0xffff) / 65535.0; }

 private:
  unsigned state_;
};

int scaleStep(Mode mode, int degree) {
  static constexpr int kMajor[] = {0, 2, 4, 5, 7, 9, 11};
  static constexpr int kMinor[] = {0, 2, 3, 5, 7, 8, 10};
  const int octave = degree >= 0 ? degree / 7 : (degree - 6) / 7;
  const int index = degree - octave * 7;
  return 12 * octave + (mode == Mode::Major ? kMajor[index] : kMinor[index]);
}

// The three chord tones of a scale degree (1..7), as offsets from the tonic.
std::vector<int> triad(const Song& song, int degree) {
  const int root = degree - 1;
  return {scaleStep(song.mode, root), scaleStep(song.mode, root + 2),
          scaleStep(song.mode, root + 4)};
}

double releaseOf(Voice voice) {
  switch (voice) {
    case Voice::Pad:
      return 0.9;
    case Voice::Piano:
      return 0.35;
    case Voice::Kick:
      return 0.3;
    case Voice::HiHat:
      return 0.06;
    default:
      return 0.15;
  }
}

// Attack, then a decay towards the sustain level while the key is held, then
// a straight release once it is let go; advanced one sample at a time.
class Envelope {
 public:
  Envelope(double attack, double decayRate, double sustain, double held, double release)
      : attackSamples_(attack * kSampleRate),
        decayStep_(std::exp(-decayRate / kSampleRate)),
        sustain_(sustain),
        heldSamples_(held * kSampleRate),
        releaseSamples_(release * kSampleRate) {}

  double next() {
    const double n = count_++;
    double level;
    if (n < attackSamples_) {
      level = n / attackSamples_;
    } else {
      level = sustain_ + (1 - sustain_) * decay_;
      decay_ *= decayStep_;
    }
    if (n > heldSamples_) level *= std::max(0.0, 1 - (n - heldSamples_) / releaseSamples_);
    return level;
  }

 private:
  double attackSamples_;
  double decayStep_;
  double sustain_;
  double heldSamples_;
  double releaseSamples_;
  double decay_ = 1;
  std::int64_t count_ = 0;
};

// A sine partial that decays exponentially, advanced by rotating a phasor:
// no sin() or exp() per sample.
class Partial {
 public:
  Partial(double hertz, double amplitude, double decayRate)
      : stepCos_(std::cos(kTwoPi * hertz / kSampleRate)),
        stepSin_(std::sin(kTwoPi * hertz / kSampleRate)),
        level_(hertz < kSampleRate / 2.0 ? amplitude : 0.0),
        decayStep_(std::exp(-decayRate / kSampleRate)) {}

  double next() {
    const double out = level_ * im_;
    const double re = re_ * stepCos_ - im_ * stepSin_;
    im_ = re_ * stepSin_ + im_ * stepCos_;
    re_ = re;
    level_ *= decayStep_;
    return out;
  }

 private:
  double stepCos_;
  double stepSin_;
  double level_;
  double decayStep_;
  double re_ = 1;
  double im_ = 0;
};

// Renders one note into the mix, `frames` samples from its start.
void renderNote(const Note& note, double* left, double* right, std::size_t frames) {
  const double pi = std::numbers::pi;
  const double gainLeft = note.velocity * std::cos((note.pan + 1) * pi / 4);
  const double gainRight = note.velocity * std::sin((note.pan + 1) * pi / 4);
  const double f = frequency(note.pitch);
  const double release = releaseOf(note.voice);
  auto mix = [&](std::size_t i, double s) {
    left[i] += gainLeft * s;
    right[i] += gainRight * s;
  };
  switch (note.voice) {
    case Voice::Piano: {
      std::vector<Partial> partials;
      const double amplitudes[] = {1.0, 0.42, 0.16, 0.07};
      for (int h = 0; h < 4; ++h) partials.emplace_back(f * (h + 1), amplitudes[h], 0.9 + 1.1 * h);
      Envelope envelope(0.006, 0.0, 1.0, note.length, release);
      for (std::size_t i = 0; i < frames; ++i) {
        double s = 0;
        for (Partial& partial : partials) s += partial.next();
        mix(i, s * envelope.next());
      }
      break;
    }
    case Voice::Pad: {
      // Two slightly detuned copies of a soft, dark tone: a slow chorus.
      std::vector<Partial> partials;
      for (int h = 1; h <= 5; ++h) {
        const double a = 0.45 / std::pow(h, 1.6);
        partials.emplace_back(f * h * 1.0025, a, 0.0);
        partials.emplace_back(f * h * 0.9975, a, 0.0);
      }
      Envelope envelope(0.35, 0.6, 0.7, note.length, release);
      for (std::size_t i = 0; i < frames; ++i) {
        double s = 0;
        for (Partial& partial : partials) s += partial.next();
        mix(i, s * envelope.next());
      }
      break;
    }
    case Voice::Bass: {
      Partial first(f, 1.0, 0.0), second(2 * f, 0.45, 0.0), third(3 * f, 0.15, 0.0);
      Envelope envelope(0.008, 2.2, 0.45, note.length, release);
      for (std::size_t i = 0; i < frames; ++i) {
        mix(i, (first.next() + second.next() + third.next()) * envelope.next());
      }
      break;
    }
    case Voice::Lead: {
      // Vibrato bends the phase, so this voice computes sin and cos of it
      // and builds the harmonics from them.
      Envelope envelope(0.025, 1.2, 0.65, note.length, release);
      for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double vibrato = t > 0.18 ? 0.004 * std::sin(kTwoPi * 5.2 * t) : 0.0;
        const double phase = kTwoPi * f * t + vibrato * f / 5.2;
        const double s1 = std::sin(phase);
        const double c1 = std::cos(phase);
        const double s2 = 2 * s1 * c1;
        const double s3 = s1 * (3 - 4 * s1 * s1);
        mix(i, (s1 + 0.2 * s2 + 0.14 * s3) * envelope.next());
      }
      break;
    }
    case Voice::HiHat: {
      unsigned seed = 0x2545f491u ^ static_cast<unsigned>(note.start * 1000);
      double previous = 0;
      double decay = 1;
      const double step = std::exp(-55.0 / kSampleRate);
      Envelope envelope(0.001, 0.0, 1.0, note.length, release);
      for (std::size_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double white = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        // The first difference of white noise: a simple high-pass.
        mix(i, 0.5 * (white - previous) * decay * envelope.next());
        previous = white;
        decay *= step;
      }
      break;
    }
    case Voice::Kick: {
      // A sine whose pitch falls from about 120 Hz to 45 Hz.
      Envelope envelope(0.002, 9.0, 0.0, note.length, release);
      for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double phase =
            kTwoPi * (45.0 * t + (120.0 - 45.0) / 30.0 * (1 - std::exp(-30.0 * t)));
        mix(i, std::sin(phase) * envelope.next());
      }
      break;
    }
  }
}

std::vector<Note> compose(const Song& song) {
  std::vector<Note> notes;
  Random random(song.seed);
  const double beat = 60.0 / song.tempo;
  const double bar = beat * song.beatsPerBar;
  int melody = song.tonic + 12 + scaleStep(song.mode, 2);  // start on the third
  for (int b = 0; b < song.bars; ++b) {
    const int degree = song.progression[static_cast<std::size_t>(b) % song.progression.size()];
    const std::vector<int> chord = triad(song, degree);
    const double t0 = b * bar;
    const bool last = b == song.bars - 1;

    // Chords in the middle register, a little spread across the stereo field.
    const double pans[] = {-0.45, 0.1, 0.5};
    switch (song.accompaniment) {
      case Accompaniment::Arpeggio:
        for (int step = 0; step < song.beatsPerBar * 2 && !(last && step > 0); ++step) {
          const int tone = chord[static_cast<std::size_t>((step % 4 == 3) ? 1 : step % 3)];
          const int octave = step % 4 == 3 ? 12 : 0;
          notes.push_back({t0 + step * beat / 2, last ? bar * 1.5 : beat * 0.9,
                           static_cast<double>(song.tonic + tone + octave), 0.5, pans[step % 3],
                           Voice::Piano});
        }
        break;
      case Accompaniment::Pad:
        for (int i = 0; i < 3; ++i) {
          notes.push_back({t0, bar * (last ? 1.5 : 1.0),
                           static_cast<double>(song.tonic + chord[static_cast<std::size_t>(i)]),
                           0.32, pans[i], Voice::Pad});
        }
        break;
      case Accompaniment::Waltz:
        // Oom-pah-pah: the bass takes the first beat, the chord the other two.
        for (int beatIndex = 1; beatIndex < song.beatsPerBar && !last; ++beatIndex) {
          for (int i = 0; i < 3; ++i) {
            notes.push_back({t0 + beatIndex * beat, beat * 0.6,
                             static_cast<double>(song.tonic + chord[static_cast<std::size_t>(i)]),
                             0.32, pans[i], Voice::Piano});
          }
        }
        if (last) {
          for (int i = 0; i < 3; ++i) {
            notes.push_back({t0, bar * 1.5,
                             static_cast<double>(song.tonic + chord[static_cast<std::size_t>(i)]),
                             0.4, pans[i], Voice::Piano});
          }
        }
        break;
    }

    // Bass: the root an octave and more below, on the first beat and the middle of the bar.
    const double bassRoot = song.tonic - 24 + chord[0];
    notes.push_back({t0, last ? bar * 1.2 : beat * 1.6, bassRoot, 0.8, 0.0, Voice::Bass});
    if (!last && song.beatsPerBar == 4) {
      notes.push_back(
          {t0 + 2 * beat, beat * 0.8, bassRoot + (b % 2 ? 7 : 0), 0.65, 0.0, Voice::Bass});
      notes.push_back({t0 + 3.5 * beat, beat * 0.4, bassRoot + 12, 0.45, 0.0, Voice::Bass});
    }

    // Drums: a soft kick on the downbeats, hi-hats on the off-beats.
    if (song.drums && !last) {
      notes.push_back({t0, 0.3, 0, 0.7, 0.0, Voice::Kick});
      if (song.beatsPerBar == 4) notes.push_back({t0 + 2 * beat, 0.3, 0, 0.55, 0.0, Voice::Kick});
      for (int i = 0; i < song.beatsPerBar; ++i) {
        notes.push_back({t0 + (i + 0.5) * beat, 0.05, 0, i % 2 ? 0.35 : 0.25, -0.35, Voice::HiHat});
      }
    }

    // Melody: after the first two bars, a walk over the scale that leans on
    // chord tones; the last bar rests on the tonic.
    if (b < 2) continue;
    if (last) {
      notes.push_back(
          {t0, bar * 1.2, static_cast<double>(song.tonic + 12), 0.55, 0.25, Voice::Lead});
      continue;
    }
    static const std::vector<std::vector<double>> kRhythms = {
        {1, 1, 1, 1}, {1.5, 0.5, 1, 1}, {2, 1, 1}, {1, 0.5, 0.5, 2}, {0.5, 0.5, 1, 0.5, 0.5, 1}};
    static const std::vector<std::vector<double>> kWaltzRhythms = {
        {1, 1, 1}, {2, 1}, {1.5, 0.5, 1}};
    const auto& choices = song.beatsPerBar == 3 ? kWaltzRhythms : kRhythms;
    const auto& rhythm =
        choices[static_cast<std::size_t>(random.below(static_cast<int>(choices.size())))];
    double at = 0;
    for (std::size_t i = 0; i < rhythm.size(); ++i) {
      const bool strong = at == 0 || at == 2;
      // Candidate pitches: the chord tones near the current note on strong
      // beats, a scale step up or down otherwise.
      int next = melody;
      if (strong) {
        int best = melody;
        int bestDistance = 100;
        for (int octave = 0; octave <= 24; octave += 12) {
          for (int tone : chord) {
            const int candidate = song.tonic + octave + tone;
            const int distance = std::abs(candidate - melody) + random.below(4);
            if (distance < bestDistance && candidate != melody) {
              best = candidate;
              bestDistance = distance;
            }
          }
        }
        next = best;
      } else {
        int degree0 = 0;
        for (int d = -7; d < 21; ++d) {
          if (song.tonic + scaleStep(song.mode, d) <= melody) degree0 = d;
        }
        const int move = random.below(5) - 2;
        next = song.tonic + scaleStep(song.mode, degree0 + (move == 0 ? 1 : move));
      }
      melody = std::clamp(next, song.tonic + 5, song.tonic + 21);
      notes.push_back({t0 + at * beat, rhythm[i] * beat * 0.92, static_cast<double>(melody),
                       0.42 + 0.1 * random.unit(), 0.3, Voice::Lead});
      at += rhythm[i];
    }
  }
  return notes;
}

}  // namespace

std::vector<Song> demoSongs() {
  return {
      {"Matin clair", 60, Mode::Major, 96, 4, {1, 5, 6, 4}, 12, Accompaniment::Arpeggio, true, 3},
      {"Balade d'hiver", 57, Mode::Minor, 76, 4, {1, 6, 3, 7}, 9, Accompaniment::Pad, false, 11},
      {"Petite valse", 65, Mode::Major, 150, 3, {1, 6, 2, 5}, 20, Accompaniment::Waltz, false, 5},
      {"Retour du soir",
       62,
       Mode::Major,
       112,
       4,
       {1, 3, 4, 5, 6, 4, 2, 5},
       14,
       Accompaniment::Arpeggio,
       true,
       29},
  };
}

bool playable(const Song& song) {
  return !song.progression.empty() && song.bars >= 1 && song.beatsPerBar >= 1 && song.tempo > 0 &&
         std::isfinite(song.tempo);
}

double songSeconds(const Song& song) {
  if (!playable(song)) return kRingOutSeconds;
  return song.bars * song.beatsPerBar * 60.0 / song.tempo + kRingOutSeconds;
}

std::vector<std::int16_t> renderSong(const Song& song) {
  const auto frames = static_cast<std::size_t>(std::ceil(songSeconds(song) * kSampleRate));
  std::vector<double> left(frames, 0.0);
  std::vector<double> right(frames, 0.0);
  if (!playable(song)) return std::vector<std::int16_t>(2 * frames, 0);

  for (const Note& note : compose(song)) {
    const auto first = static_cast<std::size_t>(note.start * kSampleRate);
    if (first >= frames) continue;
    const auto length =
        static_cast<std::size_t>((note.length + releaseOf(note.voice)) * kSampleRate) + 1;
    renderNote(note, left.data() + first, right.data() + first, std::min(length, frames - first));
  }

  // A ping-pong echo three quarters of a beat long gives the room some depth.
  const auto delay = static_cast<std::size_t>(0.75 * 60.0 / song.tempo * kSampleRate);
  std::vector<double> echoLeft(frames, 0.0);
  std::vector<double> echoRight(frames, 0.0);
  for (std::size_t i = delay; i < frames; ++i) {
    echoLeft[i] = 0.3 * (right[i - delay] + echoRight[i - delay]);
    echoRight[i] = 0.3 * (left[i - delay] + echoLeft[i - delay]);
  }

  // Fades: 20 ms in, the last 1.5 s out, so the track starts and ends at rest.
  const auto fadeIn = static_cast<std::size_t>(0.02 * kSampleRate);
  const auto fadeOut = static_cast<std::size_t>(1.5 * kSampleRate);
  double meanLeft = 0;
  double meanRight = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    left[i] += 0.6 * echoLeft[i];
    right[i] += 0.6 * echoRight[i];
    meanLeft += left[i];
    meanRight += right[i];
  }
  meanLeft /= static_cast<double>(frames);
  meanRight /= static_cast<double>(frames);
  double peak = 1e-9;
  for (std::size_t i = 0; i < frames; ++i) {
    double gain = 1.0;
    if (i < fadeIn) gain = static_cast<double>(i) / fadeIn;
    if (i + fadeOut > frames) gain = std::min(gain, static_cast<double>(frames - i) / fadeOut);
    left[i] = (left[i] - meanLeft) * gain;
    right[i] = (right[i] - meanRight) * gain;
    peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
  }

  const double scale = kPeak * 32767.0 / peak;
  std::vector<std::int16_t> pcm(2 * frames);
  for (std::size_t i = 0; i < frames; ++i) {
    pcm[2 * i] = static_cast<std::int16_t>(std::lround(left[i] * scale));
    pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(right[i] * scale));
  }
  return pcm;
}

}  // namespace tavrelo::demodisc
