// make-demo-disc OUT.cue: writes a disc image of synthesized music, OUT.cue
// and OUT.bin beside it.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "tools/demo-disc/DiscImage.h"
#include "tools/demo-disc/Synth.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-demo-disc OUT.cue\n");
    return 2;
  }
  const std::filesystem::path cue(argv[1]);
  try {
    if (cue.has_parent_path()) std::filesystem::create_directories(cue.parent_path());
    std::vector<std::vector<std::int16_t>> tracks;
    for (const auto& song : tavrelo::demodisc::demoSongs()) {
      tracks.push_back(tavrelo::demodisc::renderSong(song));
    }
    const auto toc = tavrelo::demodisc::writeCueBin(cue, tracks);
    const auto songs = tavrelo::demodisc::demoSongs();
    for (std::size_t i = 0; i < songs.size(); ++i) {
      std::printf("%2zu  %5.1f s  %s\n", i + 1,
                  tracks[i].size() / 2.0 / tavrelo::demodisc::kSampleRate, songs[i].title.c_str());
    }
    std::printf("%s: %d tracks\n", cue.string().c_str(), toc.lastTrack());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make-demo-disc: %s\n", error.what());
    return 1;
  }
  return 0;
}
