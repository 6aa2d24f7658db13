#include "core/index_scan.h"

#include <atomic>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "core/lexor_index.h"

namespace lexor {
namespace {

// Offset of the first NUL at or after `from` in data[0, limit), or `limit` when there is none; one
// test of 32 bytes settles nearly every index word, with no branch that depends on its length.
inline size_t nulFrom(const uint8_t* data, size_t from, size_t limit) {
#if defined(__SSE2__)
  if (limit - from >= kNulSpan) {
    const uint32_t mask = nulMask32(data + from);
    if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  return findNul(data, from, limit);
}

// The leading run of entries that begin below `below`, found by several chains at once: the
// first from the index's start, the others from guessed entry starts further on (just after
// some NUL). A chain is one dependent load after another; running four side by side keeps the
// processor busy while each waits. A guessed chain counts only where the true chain, coming from
// before, lands on one of its entry starts: from there on both are the same walk. Where it does
// not, the true chain's state is returned and the caller's pass walks on from it.
LeadingRun walkLeadingRun(const uint8_t* base, size_t limit, size_t width, uint8_t below,
                          size_t maxEntries) {
  constexpr size_t kWalkers = 4;
  constexpr size_t kRecorded = 8;
  constexpr size_t kSplitMinBytes = 1024;
  // Where the run probably ends, if the words are in order: a byte search on guessed entries.
  size_t lo = 0, hi = limit;
  while (hi - lo > 256) {
    const size_t mid = lo + (hi - lo) / 2;
    // A NUL found at random may be a block number's; two steps from it nearly always land on
    // the chain of true entries.
    size_t nul = findNul(base, mid, limit);
    for (int n = 0; n < 2 && nul < limit && limit - nul > width + 1; ++n)
      nul = nulFrom(base, nul + 1 + width + 1, limit);
    const size_t w = nul + 1 + width;
    if (nul < limit && w < limit && base[w] != 0 && base[w] < below) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  // Chain k starts at start[k] and walks until it reaches end[k] (the next chain's start).
  size_t start[kWalkers + 1] = {};
  size_t walkers = 1;
  if (lo >= kSplitMinBytes) {
    for (size_t k = 1; k < kWalkers; ++k) {
      const size_t nul = findNul(base, lo / kWalkers * k, limit);
      if (nul >= limit || nul + 1 <= start[walkers - 1]) break;
      start[walkers++] = nul + 1;
    }
  }
  size_t pos[kWalkers], end[kWalkers], entries[kWalkers] = {}, recorded[kWalkers] = {};
  uint32_t last[kWalkers] = {};
  bool stopped[kWalkers] = {}, reachedEnd[kWalkers] = {};
  size_t starts[kWalkers][kRecorded];
  for (size_t k = 0; k < kWalkers; ++k) {
    pos[k] = start[k];
    end[k] = k + 1 < walkers ? start[k + 1] : limit + 1;  // the last runs until its run ends
    stopped[k] = k >= walkers;
  }
  // One entry of chain k; false once the chain has stopped.
  const auto step = [&](size_t k) {
    const size_t p = pos[k];
    if (recorded[k] < kRecorded) starts[k][recorded[k]++] = p;
    if (entries[k] >= maxEntries || limit - p < width + 1) return false;
    const size_t w = p + width;
    const uint8_t c = base[w];
    if (c == 0 || c >= below) return false;
    const size_t nul = nulFrom(base, w + 1, limit);
    if (nul == limit) return false;
    ++entries[k];
    last[k] = static_cast<uint32_t>(w);
    pos[k] = nul + 1;
    if (nul + 1 >= end[k]) {
      reachedEnd[k] = true;
      return false;
    }
    return true;
  };
  if (walkers == kWalkers) {
    // All four in step while none has stopped: no per-chain test of whether it still walks.
    for (;;) {
      const bool a = step(0), b = step(1), c = step(2), d = step(3);
      if (!(a && b && c && d)) {
        stopped[0] = !a, stopped[1] = !b, stopped[2] = !c, stopped[3] = !d;
        break;
      }
    }
  }
  for (bool any = true; any;) {
    any = false;
    for (size_t k = 0; k < kWalkers; ++k) {
      if (stopped[k]) continue;
      stopped[k] = !step(k);
      any = true;
    }
  }

  LeadingRun run{pos[0], entries[0], last[0]};
  for (size_t k = 1; k < walkers; ++k) {
    if (!reachedEnd[k - 1]) break;  // the true chain ended before this one's guess
    size_t j = 0;
    while (j < recorded[k] && starts[k][j] != run.position) ++j;
    if (j == recorded[k]) break;  // never met: the caller walks on from here
    const size_t more = entries[k] - j;
    if (run.entries + more > maxEntries) break;
    run.entries += more;
    run.position = pos[k];
    if (more > 0) run.lastOffset = last[k];
    if (!reachedEnd[k]) break;
  }
  return run;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define LEXOR_WIDE_MASKS 1
// The entries before a word, found without walking them one by one, 64 bytes at a time: those
// whose first two bytes (a NUL standing for the word's end) sort below the word's first two, a
// run that reaches past the one of the single pass above, which the first byte alone decides.
// Within the run a NUL ends an entry exactly when no entry ended in the `width` bytes before it
// (the NULs there are block-number bytes), and a NUL with no NUL at all in the `width` bytes before
// it certainly ends one. Those certain ends nearly always settle a window: every other NUL of the
// window lies in the block number after one of them, or after the last end of the window before. A
// window where that does not hold is settled by going through its NULs one by one. A window is
// taken only whole: the word starts in it all begin with a byte in [1, below), every entry lies
// within the bytes, and the count stays within `maxEntries`; otherwise the state before it is
// returned and the caller's pass walks on from there, as it would from the end of the shorter run.
// Bits: bit i of a window's mask is its byte i; `word` has at least two readable bytes.
template <size_t W>
__attribute__((target("avx512f,avx512bw,bmi,bmi2,popcnt,lzcnt"))) LeadingRun settleLeadingRunWide(
    const uint8_t* base, size_t limit, const uint8_t* word, size_t maxEntries) {
  // The bits of `now` moved up by `k` places, the top bits of `before` filling in below.
  const auto up = [](uint64_t now, uint64_t before, unsigned k) {
    return now << k | before >> (64 - k);
  };
  // Positions with a set bit among the `W` places before them.
  const auto spread = [](uint64_t now, uint64_t before) {
    uint64_t m = now | now << 1;
    if constexpr (W == 4) m |= m << 2;
    // Bit j below W is set when `before` has a bit at 64 - W + j or higher.
    uint64_t carry = before >> (64 - W);
    carry |= carry >> 1;
    if constexpr (W == 4) carry |= carry >> 2;
    return m << 1 | carry;
  };
  // The position of the highest set bit of a window's mask.
  const auto top = [](int64_t at, uint64_t mask) {
    return at + 63 - static_cast<int64_t>(__builtin_clzll(mask));
  };
  const __m512i zero = _mm512_setzero_si512();
  const __m512i one = _mm512_set1_epi8(1);
  const __m512i span = _mm512_set1_epi8(static_cast<char>(word[0] - 1));
  const __m512i lead = _mm512_set1_epi8(static_cast<char>(word[0]));
  const __m512i second = _mm512_set1_epi8(static_cast<char>(word[1]));
  // A virtual end just before the first entry: byte -1.
  uint64_t zPrev = uint64_t{1} << 63, tPrev = uint64_t{1} << 63;
  // The last two windows taken that hold entry ends, and their ends.
  int64_t newestAt = -64, olderAt = -64;
  uint64_t newest = tPrev, older = tPrev;
  size_t entries = 0;
  for (size_t at = 0; limit - at > 64; at += 64) {
    const __m512i bytes = _mm512_loadu_si512(base + at);
    const uint64_t z = _mm512_cmpeq_epi8_mask(bytes, zero);
    // A word start is fine where its byte is in [1, word[0]) (byte - 1 wraps 0 to 255), or is
    // word[0] with a byte below word[1] after it.
    const uint64_t fine = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(bytes, one), span) |
                          (_mm512_cmpeq_epi8_mask(bytes, lead) &
                           _mm512_cmplt_epu8_mask(_mm512_loadu_si512(base + at + 1), second));
    const uint64_t certain = z & ~spread(z, zPrev);
    uint64_t t = certain;
    if ((z & ~certain & ~spread(certain, tPrev)) != 0) {
      t = 0;
      int64_t last = top(newestAt, newest);
      for (uint64_t m = z; m != 0; m &= m - 1) {
        const auto n = static_cast<int64_t>(at) + __builtin_ctzll(m);
        if (n - last > static_cast<int64_t>(W)) {
          t |= m & -m;
          last = n;
        }
      }
    }
    const uint64_t starts = up(t, tPrev, W + 1);
    const auto count = static_cast<size_t>(__builtin_popcountll(t));
    if ((starts & ~fine) != 0 || entries + count > maxEntries) break;
    entries += count;
    if (t != 0) {
      older = newest, olderAt = newestAt;
      newest = t, newestAt = static_cast<int64_t>(at);
    }
    zPrev = z;
    tPrev = t;
  }
  LeadingRun run;
  run.position = static_cast<size_t>(top(newestAt, newest) + 1);
  run.entries = entries;
  if (entries > 0) {
    const uint64_t rest = newest & ~(uint64_t{1} << (top(0, newest)));
    const int64_t before = rest != 0 ? top(newestAt, rest) : top(olderAt, older);
    run.lastOffset = static_cast<uint32_t>(before + 1 + static_cast<int64_t>(W));
  }
  return run;
}

std::atomic<bool> wideMasksAllowed{true};

bool hasWideMasks() {
  static const bool has = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("bmi2") &&
                          __builtin_cpu_supports("popcnt");
  return has && wideMasksAllowed.load(std::memory_order_relaxed);
}
#endif

}  // namespace

LeadingRun leadingRun(const uint8_t* base, size_t limit, size_t width, const uint8_t* word,
                      size_t maxEntries) {
#if defined(LEXOR_WIDE_MASKS)
  if (hasWideMasks()) {
    return width == 4 ? settleLeadingRunWide<4>(base, limit, word, maxEntries)
                      : settleLeadingRunWide<2>(base, limit, word, maxEntries);
  }
#endif
  return walkLeadingRun(base, limit, width, word[0], maxEntries);
}

IndexRange scanIndex(const LexorIndex& index, const uint8_t* word, const uint8_t* until) {
  const uint8_t* base = index.bytes.data();
  int64_t first = -1, last = -1;
  bool firstFound = false, lastFound = false;
  for (size_t i = 0; i < index.wordOffsets.size(); ++i) {
    const uint8_t* entry = base + index.wordOffsets[i];
    if (!firstFound) {
      if (compareWords(entry, word) <= 0) {
        first = static_cast<int64_t>(i);
        continue;
      }
      firstFound = true;
    }
    if (!lastFound) {
      if (compareWords(entry, until) < 0) {
        last = static_cast<int64_t>(i);
      } else {
        lastFound = true;
      }
    }
  }
  if (last == -1) last = first;
  return {static_cast<uint32_t>(first), static_cast<uint32_t>(last - first + 1)};
}

void allowWideIndexMasks([[maybe_unused]] bool allowed) {
#if defined(LEXOR_WIDE_MASKS)
  wideMasksAllowed.store(allowed, std::memory_order_relaxed);
#endif
}

}  // namespace lexor
