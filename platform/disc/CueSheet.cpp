// Our own sheet reader, written for what real sheets hold: a UTF-8 BOM,
// keywords in any case, backslashes and bytes past ASCII in names, PREGAP and
// INDEX 00 apart, a track whose INDEX 00 and INDEX 01 lie in different files.
// Nothing here is shared between threads.
#include "platform/disc/CueSheet.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <optional>

#include "platform/disc/DiscSource.h"
#include "platform/disc/TextEncoding.h"

namespace tavrelo::disc {
namespace {

// Refuses the sheet, naming the line at fault.
[[noreturn]] void refuseLine(int line, const std::string& message) {
  throw DiscError("line " + std::to_string(line) + ": " + message);
}

// Shows a piece of the sheet in a message: printable ASCII, at most 24 characters.
std::string shown(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 24)) {
    const auto u = static_cast<unsigned char>(c);
    out += (u >= 0x20 && u < 0x7f) ? c : '?';
  }
  if (text.size() > 24) out += "...";
  return out;
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Splits off the first blank-separated word.
std::string_view nextWord(std::string_view& rest) {
  rest = trim(rest);
  std::size_t end = 0;
  while (end < rest.size() && !isBlank(rest[end])) ++end;
  const std::string_view word = rest.substr(0, end);
  rest = trim(rest.substr(end));
  return word;
}

std::optional<int> smallNumber(std::string_view text, int maxDigits) {
  if (text.empty() || static_cast<int>(text.size()) > maxDigits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "mm:ss:ff" to sectors; minutes up to 99, seconds below 60, frames below 75.
std::int64_t msfSectors(std::string_view text, int line, const char* what) {
  auto bad = [&] {
    refuseLine(line, std::string(what) + " \"" + shown(text) + "\" is not a time mm:ss:ff");
  };
  const std::size_t a = text.find(':');
  const std::size_t b = a == std::string_view::npos ? a : text.find(':', a + 1);
  if (b == std::string_view::npos) bad();
  const auto m = smallNumber(text.substr(0, a), 3);
  const auto s = smallNumber(text.substr(a + 1, b - a - 1), 2);
  const auto f = smallNumber(text.substr(b + 1), 2);
  if (!m || !s || !f || *s >= 60 || *f >= 75) bad();
  return (static_cast<std::int64_t>(*m) * 60 + *s) * 75 + *f;
}

struct ModeInfo {
  const char* name;
  int blockBytes;
  bool audio;
};
// Data tracks read as silence; their sector size places the next file's tracks.
constexpr std::array<ModeInfo, 9> kModes{{{"AUDIO", 2352, true},
                                          {"MODE1/2352", 2352, false},
                                          {"MODE1/2048", 2048, false},
                                          {"MODE2/2352", 2352, false},
                                          {"MODE2/2336", 2336, false},
                                          {"MODE2/2324", 2324, false},
                                          {"MODE2/2048", 2048, false},
                                          {"CDI/2352", 2352, false},
                                          {"CDI/2336", 2336, false}}};
// A track mode no table entry names (CDG and the like).
constexpr int kUnknownMode = 0;

bool ignoredKeyword(const std::string& keyword) {
  static constexpr std::array<std::string_view, 16> kIgnored{
      "REM",      "CATALOG",   "CDTEXTFILE", "TITLE",    "PERFORMER", "SONGWRITER",
      "COMPOSER", "ARRANGER",  "MESSAGE",    "ISRC",     "DISC_ID",   "GENRE",
      "UPC_EAN",  "SIZE_INFO", "TOC_INFO1",  "TOC_INFO2"};
  return std::find(kIgnored.begin(), kIgnored.end(), keyword) != kIgnored.end();
}

std::string msfText(std::int64_t sectors) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld",
                static_cast<long long>(sectors / 4500), static_cast<long long>(sectors / 75 % 60),
                static_cast<long long>(sectors % 75));
  return buffer;
}

class Parser {
 public:
  CueSheet sheet;

  void parseLine(std::string_view text, int line) {
    std::string_view rest = trim(text);
    if (rest.empty()) return;
    const std::string keyword = upper(nextWord(rest));
    if (keyword == "FILE") {
      parseFile(rest, line);
    } else if (keyword == "TRACK") {
      parseTrack(rest, line);
    } else if (keyword == "INDEX") {
      parseIndex(rest, line);
    } else if (keyword == "PREGAP" || keyword == "POSTGAP") {
      parseGap(keyword, rest, line);
    } else if (keyword == "TITLE" || keyword == "PERFORMER") {
      parseTitle(keyword, rest);
    } else if (keyword == "FLAGS") {
      parseFlags(rest, line);
    } else if (!ignoredKeyword(keyword)) {
      refuseLine(line, "\"" + shown(keyword) + "\" is not a CUE sheet command");
    }
  }

  void finish(int lastLine) {
    if (sheet.tracks.empty()) {
      refuseLine(lastLine, sheet.files.empty()
                               ? "the sheet has no FILE and no TRACK; is it a CUE sheet?"
                               : "the sheet has no TRACK");
    }
    checkTrackComplete(true);
    dropTrailingDataTrack();
    noteRenumbering();
    for (std::size_t f = 0; f < sheet.files.size(); ++f) {
      bool used = false;
      for (const SheetTrack& track : sheet.tracks) {
        for (const SheetIndex& index : track.indexes)
          used = used || index.file == static_cast<int>(f);
      }
      if (!used) {
        refuseLine(sheet.files[f].line,
                   "FILE \"" + shown(sheet.files[f].name) + "\" holds no INDEX");
      }
    }
  }

 private:
  void parseFile(std::string_view rest, int line) {
    SheetFile file;
    file.line = line;
    std::string_view typeWord;
    if (!rest.empty() && rest.front() == '"') {
      const std::size_t close = rest.find('"', 1);
      if (close == std::string_view::npos) refuseLine(line, "the file name has no closing quote");
      file.name = std::string(rest.substr(1, close - 1));
      rest = trim(rest.substr(close + 1));
      typeWord = nextWord(rest);
    } else {
      const std::size_t lastBlank = rest.find_last_of(" \t");
      if (lastBlank == std::string_view::npos) refuseLine(line, "FILE needs a name and a type");
      file.name = std::string(trim(rest.substr(0, lastBlank)));
      typeWord = trim(rest.substr(lastBlank + 1));
      rest = {};
    }
    if (file.name.empty()) refuseLine(line, "FILE has an empty name");
    if (file.name.find('"') != std::string::npos) refuseLine(line, "the file name holds a quote");
    if (typeWord.empty()) refuseLine(line, "FILE \"" + shown(file.name) + "\" has no type");
    if (!rest.empty()) refuseLine(line, "unexpected \"" + shown(rest) + "\" after the FILE type");
    const std::string type = upper(typeWord);
    if (type == "BINARY") {
      file.type = SheetFileType::Binary;
    } else if (type == "MOTOROLA") {
      file.type = SheetFileType::Motorola;
    } else if (type == "WAVE" || type == "AIFF" || type == "MP3" || type == "FLAC") {
      file.type = SheetFileType::Audio;
    } else {
      refuseLine(line, "file type \"" + shown(typeWord) +
                           "\" is not BINARY, MOTOROLA, WAVE, AIFF, FLAC or MP3; WAVE serves "
                           "for every sound file");
    }
    sheet.files.push_back(std::move(file));
  }

  // A title applies to the disc before the first TRACK, to its track after.
  void parseTitle(const std::string& keyword, std::string_view rest) {
    if (rest.size() >= 2 && rest.front() == '"') {
      const std::size_t close = rest.find('"', 1);
      rest = rest.substr(1, close == std::string_view::npos ? rest.size() - 1 : close - 1);
    }
    std::string text = utf8FromUtf8OrLatin1(rest);
    std::string& title = sheet.tracks.empty() ? sheet.title : sheet.tracks.back().title;
    std::string& performer = sheet.tracks.empty() ? sheet.performer : sheet.tracks.back().performer;
    (keyword == "TITLE" ? title : performer) = std::move(text);
  }

  // "FLAGS PRE", "FLAGS DCP 4CH SCMS", "FLAGS" (none): the track's, in any order.
  void parseFlags(std::string_view rest, int line) {
    if (sheet.tracks.empty()) refuseLine(line, "FLAGS comes before any TRACK");
    TrackFlags& flags = sheet.tracks.back().flags;
    while (!rest.empty()) {
      const std::string_view word = nextWord(rest);
      const std::string flag = upper(word);
      if (flag == "PRE") {
        flags.preemphasis = true;
      } else if (flag == "DCP") {
        flags.copyPermitted = true;
      } else if (flag == "4CH") {
        flags.fourChannel = true;
      } else if (flag == "SCMS") {
        flags.serialCopy = true;
      } else {
        refuseLine(line, "flag \"" + shown(word) + "\" is not PRE, DCP, 4CH or SCMS");
      }
    }
  }

  void parseTrack(std::string_view rest, int line) {
    if (sheet.files.empty()) refuseLine(line, "TRACK comes before any FILE");
    checkTrackComplete(false);
    const std::string_view numberWord = nextWord(rest);
    const auto number = smallNumber(numberWord, 2);
    if (!number || *number < 1 || *number > 99) {
      refuseLine(line, "track number \"" + shown(numberWord) + "\" is not from 1 to 99");
    }
    // A partial rip may start at any number; the rest follow it in order.
    const int expected = sheet.tracks.empty() ? *number : sheet.tracks.back().number + 1;
    if (*number != expected) {
      refuseLine(line, "track " + std::to_string(*number) + " follows track " +
                           std::to_string(expected - 1) +
                           "; tracks are numbered in order, each one more than the last");
    }
    const std::string mode = upper(nextWord(rest));
    if (!rest.empty()) refuseLine(line, "unexpected \"" + shown(rest) + "\" after the track mode");
    const auto info = std::find_if(kModes.begin(), kModes.end(),
                                   [&](const ModeInfo& m) { return mode == m.name; });
    SheetTrack track;
    track.number = *number;
    track.mode = mode;
    // An unknown mode is refused once the track is complete, unless it is
    // the sheet's last track without INDEX 01, which is left out.
    track.blockBytes = info == kModes.end() ? kUnknownMode : info->blockBytes;
    track.audio = info != kModes.end() && info->audio;
    track.line = line;
    sheet.tracks.push_back(std::move(track));
  }

  void parseIndex(std::string_view rest, int line) {
    if (sheet.tracks.empty()) refuseLine(line, "INDEX comes before any TRACK");
    SheetTrack& track = sheet.tracks.back();
    const std::string_view numberWord = nextWord(rest);
    const auto number = smallNumber(numberWord, 2);
    if (!number) refuseLine(line, "index number \"" + shown(numberWord) + "\" is not from 0 to 99");
    const std::string_view timeWord = nextWord(rest);
    const std::int64_t sector = msfSectors(timeWord, line, "INDEX time");
    if (!rest.empty()) refuseLine(line, "unexpected \"" + shown(rest) + "\" after the INDEX time");
    if (track.indexes.empty() ? *number > 1 : *number != track.indexes.back().number + 1) {
      refuseLine(line,
                 "INDEX " + std::to_string(*number) + " of track " + std::to_string(track.number) +
                     (track.indexes.empty() ? " comes before INDEX 01"
                                            : " does not follow INDEX " +
                                                  std::to_string(track.indexes.back().number)));
    }
    const int file = static_cast<int>(sheet.files.size()) - 1;
    if (lastIndexFile_ == file && sector <= lastIndexSector_) {
      refuseLine(line, "INDEX " + std::to_string(*number) + " of track " +
                           std::to_string(track.number) + " at " + msfText(sector) +
                           " does not come after the previous index at " +
                           msfText(lastIndexSector_) + " of the same file");
    }
    if (track.postgap > 0) refuseLine(line, "INDEX comes after the track's POSTGAP");
    lastIndexFile_ = file;
    lastIndexSector_ = sector;
    track.indexes.push_back({*number, sector, file, line});
  }

  void parseGap(const std::string& keyword, std::string_view rest, int line) {
    if (sheet.tracks.empty()) refuseLine(line, keyword + " comes before any TRACK");
    SheetTrack& track = sheet.tracks.back();
    const std::int64_t sectors = msfSectors(nextWord(rest), line, keyword.c_str());
    if (!rest.empty())
      refuseLine(line, "unexpected \"" + shown(rest) + "\" after the " + keyword + " time");
    if (keyword == "PREGAP") {
      if (!track.indexes.empty()) refuseLine(line, "PREGAP comes after the track's INDEX lines");
      if (track.pregap > 0) refuseLine(line, "the track has a second PREGAP");
      track.pregap = sectors;
    } else {
      if (track.indexes.empty()) refuseLine(line, "POSTGAP comes before the track's INDEX lines");
      if (track.postgap > 0) refuseLine(line, "the track has a second POSTGAP");
      track.postgap = sectors;
    }
  }

  static bool hasIndexOne(const SheetTrack& track) {
    return std::any_of(track.indexes.begin(), track.indexes.end(),
                       [](const SheetIndex& i) { return i.number == 1; });
  }

  // A data track with no INDEX 01, or whose indexes lie in sound files only.
  bool withoutData(const SheetTrack& track) const {
    return !hasIndexOne(track) ||
           std::all_of(track.indexes.begin(), track.indexes.end(), [&](const SheetIndex& i) {
             return sheet.files[static_cast<std::size_t>(i.file)].type == SheetFileType::Audio;
           });
  }

  // `last`: no TRACK follows; a data track without data may end the sheet.
  void checkTrackComplete(bool last) const {
    if (sheet.tracks.empty()) return;
    const SheetTrack& track = sheet.tracks.back();
    const bool hasOne = hasIndexOne(track);
    if (last && !track.audio && sheet.tracks.size() > 1 && withoutData(track)) return;
    if (track.blockBytes == kUnknownMode) {
      refuseLine(track.line, "track mode \"" + shown(track.mode) + "\" is not supported");
    }
    if (!hasOne) {
      refuseLine(track.line, "track " + std::to_string(track.number) + " has no INDEX 01" +
                                 (track.audio ? std::string()
                                              : "; only a data track that ends the sheet may "
                                                "have none (it is then left out)"));
    }
  }

  // Rippers write an Enhanced CD's data session as a last track with no file
  // and no INDEX 01 (or an index in the sound file). The audio before it
  // plays; the disc ends with the last audio track.
  void dropTrailingDataTrack() {
    const SheetTrack& track = sheet.tracks.back();
    if (track.audio || sheet.tracks.size() < 2 || !withoutData(track)) return;
    sheet.notes.push_back("line " + std::to_string(track.line) + ": track " +
                          std::to_string(track.number) + " (" + shown(track.mode) + ") has " +
                          (hasIndexOne(track) ? "no data file" : "no INDEX 01") +
                          ": the data session of an Enhanced CD, left out");
    sheet.tracks.pop_back();
    // A FILE named only for it holds nothing now.
    int lastUsed = 0;
    for (const SheetTrack& kept : sheet.tracks)
      lastUsed = std::max(lastUsed, kept.indexes.back().file);
    sheet.files.resize(static_cast<std::size_t>(lastUsed) + 1);
  }

  // The disc counts its tracks from 1 (see layOutDisc); messages about the
  // sheet keep its own numbers.
  void noteRenumbering() {
    const int first = sheet.tracks.front().number;
    if (first == 1) return;
    const int last = sheet.tracks.back().number;
    sheet.notes.push_back("the sheet's tracks are numbered " + std::to_string(first) + " to " +
                          std::to_string(last) + "; they play as tracks 1 to " +
                          std::to_string(last - first + 1));
  }

  int lastIndexFile_ = -1;
  std::int64_t lastIndexSector_ = 0;
};

}  // namespace

const SheetIndex& SheetTrack::indexOne() const {
  for (const SheetIndex& index : indexes) {
    if (index.number == 1) return index;
  }
  throw DiscError("track " + std::to_string(number) + " has no INDEX 01");
}

CueSheet parseCueSheet(std::string_view text) {
  if (text.size() > kMaxSheetBytes) {
    throw DiscError("the sheet is " + std::to_string(text.size()) +
                    " bytes long; a CUE sheet is a small text file");
  }
  const std::string decoded = sheetText(text);
  text = decoded;
  if (text.find('\0') != std::string_view::npos) {
    throw DiscError("the sheet holds NUL bytes; it is not a text file");
  }
  Parser parser;
  int line = 0;
  while (!text.empty()) {
    ++line;
    std::size_t end = text.find_first_of("\r\n");
    const std::string_view current = text.substr(0, end);
    if (end == std::string_view::npos) {
      text = {};
    } else {
      // CRLF counts as one line end, as do a lone CR and a lone LF.
      if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
      text.remove_prefix(end + 1);
    }
    parser.parseLine(current, line);
  }
  parser.finish(std::max(line, 1));
  return std::move(parser.sheet);
}

}  // namespace tavrelo::disc
