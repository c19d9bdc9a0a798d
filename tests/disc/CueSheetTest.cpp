// The sheet reader on its own: text in, structure or a message naming the line out.
#include <gtest/gtest.h>

#include "platform/disc/CueSheet.h"
#include "platform/disc/DiscSource.h"

namespace tavrelo::disc {
namespace {

std::string refusal(std::string_view text) {
  try {
    parseCueSheet(text);
  } catch (const DiscError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(CueSheet, ReadsFilesTracksIndexesAndGaps) {
  const CueSheet sheet = parseCueSheet(
      "REM GENRE Rock\n"
      "CATALOG 0000000000000\n"
      "PERFORMER \"Les \xC9toiles\"\n"  // Latin-1, as older tools write it
      "FILE \"one two.wav\" WAVE\n"
      "  TRACK 01 AUDIO\n"
      "    TITLE \"Été\"\n"
      "    FLAGS DCP PRE\n"
      "    ISRC ZZ0000000000\n"
      "    INDEX 01 00:00:00\n"
      "  TRACK 02 AUDIO\n"
      "    PREGAP 00:02:00\n"
      "    INDEX 00 03:59:70\n"
      "FILE \"b.wav\" WAVE\n"
      "    INDEX 01 00:00:00\n"
      "    INDEX 02 00:30:00\n"
      "    POSTGAP 00:00:10\n"
      "FILE data.bin MOTOROLA\n"
      "  TRACK 03 MODE1/2048\n"
      "    INDEX 01 00:00:00\n"
      // Names as Windows tools and other code pages write them are kept as written.
      "FILE \"C:\\Music\\caf\xe9 \x85\\\" WAVE\n"
      "  TRACK 04 AUDIO\n"
      "    FLAGS 4ch  scms\n"
      "    INDEX 01 00:00:00\n");
  ASSERT_EQ(sheet.files.size(), 4u);
  EXPECT_EQ(sheet.files[3].name, "C:\\Music\\caf\xe9 \x85\\");
  EXPECT_EQ(sheet.files[0].name, "one two.wav");
  EXPECT_EQ(sheet.files[0].type, SheetFileType::Audio);
  EXPECT_EQ(sheet.files[2].name, "data.bin");
  EXPECT_EQ(sheet.files[2].type, SheetFileType::Motorola);
  EXPECT_EQ(sheet.files[2].line, 17);
  ASSERT_EQ(sheet.tracks.size(), 4u);
  const SheetTrack& second = sheet.tracks[1];
  EXPECT_EQ(second.pregap, 150);
  EXPECT_EQ(second.postgap, 10);
  ASSERT_EQ(second.indexes.size(), 3u);
  // INDEX 00 lies in the first file, INDEX 01 and 02 in the second: the
  // file is the one named last before each INDEX line.
  EXPECT_EQ(second.indexes[0].file, 0);
  EXPECT_EQ(second.indexes[0].sector, (3 * 60 + 59) * 75 + 70);
  EXPECT_EQ(second.indexes[1].file, 1);
  EXPECT_EQ(second.indexOne().line, 14);
  EXPECT_EQ(second.indexes[2].sector, 30 * 75);
  EXPECT_FALSE(sheet.tracks[2].audio);
  EXPECT_EQ(sheet.tracks[2].blockBytes, 2048);
  EXPECT_EQ(sheet.performer, "Les Étoiles");
  EXPECT_EQ(sheet.tracks[0].title, "Été");
  EXPECT_EQ(sheet.tracks[0].flags, (TrackFlags{.preemphasis = true, .copyPermitted = true}));
  EXPECT_EQ(sheet.tracks[1].flags, TrackFlags{});
  EXPECT_EQ(sheet.tracks[3].flags, (TrackFlags{.fourChannel = true, .serialCopy = true}));
}

TEST(CueSheet, AcceptsBomCrlfLoneCrAnyCaseAndIndexesCountedPerFile) {
  const char* body =
      "file \"x.bin\" binary%track 1 audio%index 1 00:00:00%track 2 audio%"
      "Index 01 00:01:00%";
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    std::string text = std::string("\xEF\xBB\xBF") + body;
    for (std::size_t at; (at = text.find('%')) != std::string::npos;) text.replace(at, 1, end);
    const CueSheet sheet = parseCueSheet(text);
    ASSERT_EQ(sheet.tracks.size(), 2u);
    EXPECT_EQ(sheet.tracks[1].indexOne().sector, 75);
    EXPECT_EQ(sheet.tracks[1].indexOne().line, 5);
  }
  // A new FILE starts counting again at 00:00:00.
  EXPECT_NO_THROW(
      parseCueSheet("FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:10:00\n"
                    "FILE b.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"));
}

// `text` in UTF-16 with its byte-order mark.
std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xff);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

// Sheets as rippers write them: "Unicode" sheets, an Enhanced CD's data
// session as a last track with no INDEX 01, a partial rip from track 4.
TEST(CueSheet, ReadsUtf16EnhancedCdAndPartialRips) {
  const std::u16string body =
      u"PERFORMER \"Été 🎵\"\r\nFILE \"Ça.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n"
      u"    INDEX 01 00:00:00\r\n";
  for (const bool big : {false, true}) {
    const CueSheet sheet = parseCueSheet(utf16(body, big));
    EXPECT_EQ(sheet.performer, "Été 🎵");
    ASSERT_EQ(sheet.files.size(), 1u);
    EXPECT_EQ(sheet.files[0].name, "Ça.wav");
    EXPECT_EQ(sheet.tracks.size(), 1u);
    EXPECT_TRUE(sheet.notes.empty());
  }
  const std::string audio =
      "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
      "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n    INDEX 01 00:02:00\n";
  struct Case {
    std::string text;
    std::size_t tracks;
    std::size_t files;
    std::string note;
  } cases[] = {
      {audio + "  TRACK 03 MODE1/2352\n    TITLE \"Data\"\n", 2, 1,
       "line 7: track 3 (MODE1/2352) has no INDEX 01: the data session of an Enhanced CD, left "
       "out"},
      {audio + "FILE \"x.bin\" BINARY\n  TRACK 03 MODE2/2336\n    INDEX 00 00:00:00\n", 2, 1,
       "line 8: track 3 (MODE2/2336)"},
      {audio + "  TRACK 03 MODEX/2XXX\n", 2, 1, "line 7: track 3 (MODEX/2XXX)"},
      {audio + "  TRACK 03 MODE2/2352\n    INDEX 01 00:09:00\n", 2, 1,
       "line 7: track 3 (MODE2/2352) has no data file: the data session"},
      {"FILE a.bin BINARY\n  TRACK 04 AUDIO\n    INDEX 01 00:00:00\n  TRACK 05 AUDIO\n"
       "    INDEX 01 00:01:00\n",
       2, 1, "the sheet's tracks are numbered 4 to 5; they play as tracks 1 to 2"},
  };
  for (const Case& c : cases) {
    const CueSheet sheet = parseCueSheet(c.text);
    EXPECT_EQ(sheet.tracks.size(), c.tracks) << c.text;
    EXPECT_EQ(sheet.files.size(), c.files) << c.text;
    ASSERT_EQ(sheet.notes.size(), 1u) << c.text;
    EXPECT_NE(sheet.notes[0].find(c.note), std::string::npos) << sheet.notes[0];
  }
}

TEST(CueSheet, RefusesStructureFaultsNamingTheLine) {
  const std::string file = "FILE \"a.bin\" BINARY\n";
  const std::string one = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "line 1: the sheet has no FILE and no TRACK"},
      {"\n\n", "line 2: the sheet has no FILE and no TRACK"},
      {"  TRACK 01 AUDIO\n", "line 1: TRACK comes before any FILE"},
      {file + "    INDEX 01 00:00:00\n", "line 2: INDEX comes before any TRACK"},
      {file + "  TRACK 00 AUDIO\n", "line 2: track number \"00\" is not from 1 to 99"},
      {file + "  TRACK 100 AUDIO\n", "line 2: track number \"100\""},
      {file + one + "  TRACK 01 AUDIO\n", "line 4: track 1 follows track 1"},
      {file + one + "  TRACK 03 AUDIO\n", "line 4: track 3 follows track 1"},
      {file + "  TRACK 01 VIDEO\n", "line 2: track mode \"VIDEO\" is not supported"},
      {file + "  TRACK 01 AUDIO\n  TRACK 02 AUDIO\n", "line 2: track 1 has no INDEX 01"},
      {file + one + "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n", "line 4: track 2 has no INDEX 01"},
      // Only a data track that ends the sheet may lack INDEX 01, and only after audio.
      {file + one + "  TRACK 02 MODE1/2352\n  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n",
       "line 4: track 2 has no INDEX 01; only a data track that ends the sheet"},
      {file + "  TRACK 01 MODE1/2352\n", "line 2: track 1 has no INDEX 01"},
      {file + one + "  TRACK 02 CDG\n    INDEX 01 00:01:00\n",
       "line 4: track mode \"CDG\" is not supported"},
      {file + "  TRACK 01 AUDIO\n    INDEX 02 00:00:00\n",
       "line 3: INDEX 2 of track 1 comes before INDEX 01"},
      {file + one + "    INDEX 03 00:00:10\n",
       "line 4: INDEX 3 of track 1 does not follow INDEX 1"},
      {file + "  TRACK 01 AUDIO\n    INDEX 01 00:60:00\n", "line 3: INDEX time \"00:60:00\""},
      {file + "  TRACK 01 AUDIO\n    INDEX 01 00:00:75\n", "INDEX time \"00:00:75\" is not"},
      {file + "  TRACK 01 AUDIO\n    INDEX 01 0000\n", "is not a time mm:ss:ff"},
      {file + "  TRACK 01 AUDIO\n    INDEX 01 -1:00:00\n", "is not a time mm:ss:ff"},
      {file + "  TRACK 01 AUDIO\n    INDEX 01 00:00:00 extra\n", "line 3: unexpected \"extra\""},
      {file + one + "    PREGAP 00:01:00\n", "line 4: PREGAP comes after the track's INDEX lines"},
      {file + "  TRACK 01 AUDIO\n    POSTGAP 00:01:00\n", "line 3: POSTGAP comes before"},
      {file + one + "    POSTGAP 00:01:00\n    INDEX 02 00:00:10\n",
       "line 5: INDEX comes after the track's POSTGAP"},
      {"FILE \"a.bin BINARY\n", "line 1: the file name has no closing quote"},
      {"FILE \"a.bin\" OGG\n", "line 1: file type \"OGG\" is not"},
      {"FILE \"a.bin\"\n", "line 1: FILE \"a.bin\" has no type"},
      {"FILE \"\" BINARY\n", "line 1: FILE has an empty name"},
      {file + one + "FILE \"b.bin\" BINARY\n", "line 4: FILE \"b.bin\" holds no INDEX"},
      {file + "    FLAGS PRE\n", "line 2: FLAGS comes before any TRACK"},
      {file + one + "    FLAGS PRE DATA\n", "line 4: flag \"DATA\" is not PRE, DCP, 4CH or SCMS"},
      {file + one + "PLAY LOUD\n", "line 4: \"PLAY\" is not a CUE sheet command"},
      {std::string("FILE \"a\0.bin\" BINARY\n", 22), "NUL bytes"},
      {std::string(kMaxSheetBytes + 1, ' '), "a CUE sheet is a small text file"},
      {"\x01\x02\xff\xfe garbage", "line 1: \"????\" is not a CUE sheet command"},
      {std::string("F\0I\0L\0E\0", 8), "UTF-16 without a byte-order mark; save it again as UTF-8"},
      {"\xFF\xFE" + std::string("F\0I\0L", 5), "UTF-16 LE but has an odd number of bytes (7)"},
      {"\xFE\xFF" + std::string("\0F\xD8\x3D\0I", 6), "UTF-16 BE but holds an unpaired surrogate"},
      {"\xFF\xFE" + std::string("F\0\x00\xDC", 4), "unpaired surrogate at byte 4"},
      {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:10:00\nTRACK 02 AUDIO\nINDEX 00 "
       "00:09:00\nINDEX 01 00:11:00\n",
       "line 5: INDEX 0 of track 2 at 00:09:00 does not come after the previous index at 00:10:00"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(refusal(c.text).find(c.message), std::string::npos)
        << "sheet:\n"
        << c.text.substr(0, 200) << "\ngave: " << refusal(c.text);
  }
}

}  // namespace
}  // namespace tavrelo::disc
