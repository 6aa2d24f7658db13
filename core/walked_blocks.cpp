#include "core/walked_blocks.h"

#include <algorithm>
#include <iterator>

namespace lexor {
namespace {

// Whether [first, end) meets one of the disjoint ranges, given the first range that begins at or
// after `first` (`next`) in their sorted order.
template <typename Iterator>
bool meets(Iterator begin, Iterator next, Iterator finish, uint64_t first, uint64_t end) {
  if (next != finish && next->first < end) return true;
  return next != begin && std::prev(next)->second > first;
}

}  // namespace

bool WalkedBlocks::overlaps(uint64_t first, uint64_t end) const {
  const UnitRange key(first, 0);
  if (meets(_in_order.begin(), std::lower_bound(_in_order.begin(), _in_order.end(), key),
            _in_order.end(), first, end))
    return true;
  return meets(_out_of_order.begin(), _out_of_order.lower_bound(key), _out_of_order.end(), first,
               end);
}

void WalkedBlocks::note(uint64_t first, uint64_t end) {
  if (first >= _walked_until) {
    _in_order.emplace_back(first, end);
    _walked_until = end;
  } else {
    _out_of_order.emplace(first, end);
  }
}

void WalkedBlocks::clear() {
  _walked_until = 0;
  _in_order.clear();
  _out_of_order.clear();
}

}  // namespace lexor
