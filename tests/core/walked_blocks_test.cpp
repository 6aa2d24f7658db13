// The guard that passes blocks already walked: ranges noted in ascending order and before an
// earlier one, and ranges that touch without overlapping.
#include "core/walked_blocks.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace lexor {
namespace {

using Range = std::pair<uint64_t, uint64_t>;

TEST(WalkedBlocks, OverlapsExactlyTheUnitsNoted) {
  struct Case {
    std::vector<Range> noted;
    Range asked;
    bool overlaps;
  };
  const Case cases[] = {
      {{}, {0, 1}, false},
      {{{2, 4}, {4, 6}}, {4, 5}, true},   // the same start
      {{{2, 4}, {4, 6}}, {3, 4}, true},   // begins inside an earlier block
      {{{2, 4}, {4, 6}}, {0, 3}, true},   // ends inside one
      {{{2, 4}, {4, 6}}, {0, 2}, false},  // touches
      {{{2, 4}, {4, 6}}, {6, 9}, false},
      {{{2, 4}, {4, 6}}, {1, 9}, true},    // holds both
      {{{10, 12}, {0, 2}}, {1, 2}, true},  // the second came out of order
      {{{10, 12}, {0, 2}}, {1, 3}, true},
      {{{10, 12}, {0, 2}}, {2, 10}, false},  // between the two
      {{{10, 12}, {0, 2}, {5, 7}}, {6, 8}, true},
  };
  for (const Case& c : cases) {
    WalkedBlocks walked;
    for (const auto& [first, end] : c.noted) walked.note(first, end);
    EXPECT_EQ(walked.overlaps(c.asked.first, c.asked.second), c.overlaps)
        << c.noted.size() << " noted, asked " << c.asked.first << ".." << c.asked.second;
  }
}

TEST(WalkedBlocks, OnlyABlockBeforeTheFurthestCanOverlapAndClearForgetsAll) {
  WalkedBlocks walked;
  EXPECT_FALSE(walked.liesBefore(0));
  walked.note(4, 6);
  walked.note(0, 2);  // out of order: the furthest stays 6
  EXPECT_TRUE(walked.liesBefore(5));
  EXPECT_FALSE(walked.liesBefore(6));
  walked.clear();
  EXPECT_FALSE(walked.liesBefore(0));
  EXPECT_FALSE(walked.overlaps(0, 9));
  walked.note(1, 3);  // noted in order again after the clear
  EXPECT_FALSE(walked.liesBefore(3));
}

}  // namespace
}  // namespace lexor
