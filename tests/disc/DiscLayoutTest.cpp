// Where each sector of a sheet lands on the disc, with no files involved.
#include <gtest/gtest.h>

#include "platform/disc/DiscLayout.h"
#include "platform/disc/DiscSource.h"

namespace tavrelo::disc {
namespace {

// The message a sheet over files of `sectors` sectors is refused with.
std::string refusal(const char* sheet, std::vector<std::int64_t> sectors) {
  try {
    fileBlockBytes(parseCueSheet(sheet));
    layOutDisc(parseCueSheet(sheet), sectors);
  } catch (const DiscError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(DiscLayout, GapsOccupyAddressesButNoFileSectors) {
  const CueSheet sheet = parseCueSheet(
      "TITLE \"Album\"\nPERFORMER \"Band\"\nFILE a.bin BINARY\n"
      "TRACK 01 AUDIO\nINDEX 01 00:00:10\n"  // 10 sectors before track 1
      "TRACK 02 AUDIO\nPREGAP 00:00:20\nINDEX 00 00:01:00\nINDEX 01 00:01:05\n"
      "POSTGAP 00:00:30\n"
      "FILE b.bin BINARY\n"
      "TRACK 03 AUDIO\nTITLE \"Fin\"\nPREGAP 00:00:40\nINDEX 01 00:00:00\nPOSTGAP 00:00:02\n");
  const std::vector<std::int64_t> sectors{200, 100};
  const DiscLayout layout = layOutDisc(sheet, sectors);
  ASSERT_EQ(layout.toc.tracks.size(), 3u);
  EXPECT_EQ(layout.toc.tracks[0].start, 160);
  EXPECT_EQ(layout.toc.album, "Album");
  EXPECT_EQ(layout.toc.performer, "Band");
  EXPECT_EQ(layout.toc.tracks[2].title, "Fin");
  EXPECT_EQ(layout.toc.tracks[1].start, 150 + 75 + 20 + 5);
  // File a ends at 150 + 200 + 20; track 2's POSTGAP (30) and track 3's
  // PREGAP (40) follow, in that order.
  EXPECT_EQ(layout.toc.tracks[2].start, 150 + 200 + 20 + 30 + 40);
  EXPECT_EQ(layout.toc.leadOut, 150 + 200 + 20 + 30 + 40 + 100 + 2);
  // Contiguous pieces, silence marked as file -1.
  Lba at = 150;
  for (const Piece& piece : layout.pieces) {
    EXPECT_EQ(piece.start, at);
    EXPECT_LT(piece.start, piece.end);
    at = piece.end;
  }
  EXPECT_EQ(at, layout.toc.leadOut);
  ASSERT_NE(layout.pieceAt(150 + 75), nullptr);
  EXPECT_EQ(layout.pieceAt(150 + 75)->file, -1);
  const Piece* second = layout.pieceAt(150 + 75 + 20);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->file, 0);
  EXPECT_EQ(second->fileSector, 75);
  EXPECT_EQ(layout.pieceAt(layout.toc.leadOut), nullptr);
  EXPECT_EQ(layout.pieceAt(149), nullptr);
}

TEST(DiscLayout, RefusesIndexesPastTheFileImpossibleDiscsAndMixedSectorSizes) {
  const char* twoTracks =
      "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n";
  EXPECT_NE(refusal(twoTracks, {150})
                .find("line 5: INDEX 1 of track 2 lies past the end of \"a.bin\" (2.0 s long)"),
            std::string::npos)
      << refusal(twoTracks, {150});
  EXPECT_EQ(refusal(twoTracks, {151}), "(accepted)");
  EXPECT_NE(refusal(twoTracks, {100 * 60 * 75}).find("more than 99 minutes"), std::string::npos);
  EXPECT_EQ(
      refusal("FILE a.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
              "TRACK 02 AUDIO\nINDEX 01 00:10:00\n",
              {1000}),
      "line 4: track 2 has sectors of 2352 bytes but \"a.bin\" already holds sectors of 2048");
  EXPECT_NE(refusal("FILE a.wav WAVE\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", {10}),
            "(accepted)");
  EXPECT_EQ(
      fileBlockBytes(parseCueSheet("FILE a.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
                                   "FILE b.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n")),
      (std::vector<int>{2048, 2352}));
}

}  // namespace
}  // namespace tavrelo::disc
