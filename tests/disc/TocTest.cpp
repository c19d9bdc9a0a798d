#include <gtest/gtest.h>

#include <climits>

#include "platform/disc/Toc.h"

namespace tavrelo::disc {
namespace {

// Three tracks, the second a data track; numbering starts at 2 as on some
// enhanced CDs, so nothing may assume track 1 comes first.
const Toc kToc{{{2, 150, true}, {3, 1000, false}, {4, 5000, true}}, 9000};

TEST(Toc, FindsTracksTheirEndsAndTheirAddressesByNumberNotIndex) {
  ASSERT_NE(kToc.find(3), nullptr);
  EXPECT_EQ(kToc.find(3)->start, 1000);
  for (const int absent : {1, 5, INT_MIN, INT_MAX}) EXPECT_EQ(kToc.find(absent), nullptr);
  EXPECT_EQ(kToc.firstTrack(), 2);
  EXPECT_EQ(kToc.lastTrack(), 4);
  // A track ends where the next starts, the last at the lead-out.
  EXPECT_EQ(kToc.trackEnd(2), 1000);
  EXPECT_EQ(kToc.trackEnd(4), 9000);
  EXPECT_EQ(kToc.trackEnd(7), 0);
  EXPECT_EQ(kToc.trackEnd(INT_MAX), 0);
  // Every address belongs to one track at most.
  const std::pair<Lba, int> cases[] = {{149, 0},  {150, 2},  {999, 2},
                                       {1000, 3}, {8999, 4}, {9000, 0}};
  for (const auto& [lba, track] : cases) EXPECT_EQ(kToc.trackAt(lba), track) << lba;
  EXPECT_EQ(Toc{}.trackAt(0), 0);
}

}  // namespace
}  // namespace tavrelo::disc
