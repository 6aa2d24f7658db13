// The blocks already walked in one dictionary, so that a walk passes a block that overlaps one of
// them. A sound index names each block once; a crafted one may name a block again, or blocks that
// overlap: walking those would repeat entries and make the work of one walk grow with the square
// of the file's size.
#pragma once

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace lexor {

class WalkedBlocks {
 public:
  // Whether a block that begins at data-area unit `first` lies before the end of the furthest
  // block walked: only such a block can overlap one, so only it needs overlaps().
  bool liesBefore(uint64_t first) const { return first < _walked_until; }
  // Whether the units [first, end) meet a block walked.
  bool overlaps(uint64_t first, uint64_t end) const;
  // Notes the units [first, end), which overlap no block walked, as walked.
  void note(uint64_t first, uint64_t end);
  // Forgets every block; the storage is kept for the next dictionary.
  void clear();

 private:
  using UnitRange = std::pair<uint64_t, uint64_t>;  // [first unit, end unit)

  uint64_t _walked_until = 0;  // one past the furthest unit walked
  // Disjoint: the blocks that came in ascending order (sorted as they came), and the rare ones
  // that lay before an earlier block.
  std::vector<UnitRange> _in_order;
  std::set<UnitRange> _out_of_order;
};

}  // namespace lexor
