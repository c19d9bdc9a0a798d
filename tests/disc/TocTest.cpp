#include <gtest/gtest.h>

#include <climits>

#include "platform/disc/Toc.h"

namespace tavrelo::disc {
namespace {

// Three tracks, the second a data track; numbering starts at 2 as on some
// enhanced CDs, so nothing may assume track 1 comes first.
Toc threeTracks() {
  return Toc{{{2, 150, true}, {3, 1000, false}, {4, 5000, true}}, 9000};
}

TEST(Toc, FindsTracksByNumberNotIndex) {
  const Toc toc = threeTracks();
  ASSERT_NE(toc.find(3), nullptr);
  EXPECT_EQ(toc.find(3)->start, 1000);
  EXPECT_FALSE(toc.find(3)->audio);
  EXPECT_EQ(toc.find(1), nullptr);
  EXPECT_EQ(toc.find(5), nullptr);
  EXPECT_EQ(toc.find(INT_MIN), nullptr);
  EXPECT_EQ(toc.find(INT_MAX), nullptr);
  EXPECT_EQ(toc.firstTrack(), 2);
  EXPECT_EQ(toc.lastTrack(), 4);
}

TEST(Toc, TrackEndIsNextStartOrLeadOut) {
  const Toc toc = threeTracks();
  EXPECT_EQ(toc.trackEnd(2), 1000);
  EXPECT_EQ(toc.trackEnd(4), 9000);
  EXPECT_EQ(toc.trackEnd(7), 0);
  EXPECT_EQ(toc.trackEnd(INT_MAX), 0);
}

TEST(Toc, TrackAtCoversEveryAddressOnce) {
  const Toc toc = threeTracks();
  EXPECT_EQ(toc.trackAt(149), 0);
  EXPECT_EQ(toc.trackAt(150), 2);
  EXPECT_EQ(toc.trackAt(999), 2);
  EXPECT_EQ(toc.trackAt(1000), 3);
  EXPECT_EQ(toc.trackAt(8999), 4);
  EXPECT_EQ(toc.trackAt(9000), 0);
  EXPECT_EQ(Toc{}.trackAt(0), 0);
}

}  // namespace
}  // namespace tavrelo::disc
