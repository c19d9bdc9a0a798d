#pragma once

// A small synthesizer for the demo disc: a few songs written as chord
// progressions, played by an electric piano or a pad, a bass, a lead voice
// and light drums, mixed in stereo with an echo. Everything is computed from
// the song's description and fixed seeds: the same song gives the same
// samples on every machine.

#include <cstdint>
#include <string>
#include <vector>

namespace tavrelo::demodisc {

inline constexpr int kSampleRate = 44100;

enum class Mode { Major, Minor };
enum class Accompaniment { Arpeggio, Pad, Waltz };

struct Song {
  std::string title;
  int tonic = 60;  // MIDI note number of the key's tonic (60 is middle C)
  Mode mode = Mode::Major;
  double tempo = 100;  // beats per minute
  int beatsPerBar = 4;
  // Scale degrees of the chords, one per bar, 1 to 7, repeated to fill `bars`.
  std::vector<int> progression;
  int bars = 12;
  Accompaniment accompaniment = Accompaniment::Arpeggio;
  bool drums = true;
  unsigned seed = 1;  // picks the melody
};

// The demo disc's songs: four of them, each in its own key and tempo.
std::vector<Song> demoSongs();

// Whether the song can be played: a progression, at least one bar of at
// least one beat, and a finite tempo above zero.
bool playable(const Song& song);

// Seconds the rendered song lasts: its bars plus a two-second ring-out (the
// ring-out alone for a song that is not playable).
double songSeconds(const Song& song);

// Interleaved stereo 16-bit samples (left first) at 44.1 kHz, peaking at
// about -3 dBFS, without DC, fading in and out so that the track starts and
// ends in silence. A song that is not playable gives silence.
std::vector<std::int16_t> renderSong(const Song& song);

}  // namespace tavrelo::demodisc
