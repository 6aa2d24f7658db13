// The scanners of the raw index bytes: NULs found many bytes at a time, the leading keys that order
// words by their first 8 bytes, the run of entries before a word (by four chains at once, or 64
// bytes at a time where the processor has the masks for it), and the single pass over an entry
// table. The index table, its cache and the look-ups of Lexor are in core/lexor_index.cpp; what
// they call once per entry is inline here, so that their hot loops make no call for it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/lexor.h"

namespace lexor {

// Words compare as the stored bytes in unsigned order, as strcmp defines it.
inline int compareWords(const uint8_t* a, const uint8_t* b) {
  return std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

// Offset of the first NUL at or after `from` in data[0, limit), or `limit` when there is none.
// Index words are short (nearly all under 32 bytes), so one test of 32 bytes at once usually
// settles it, without a branch on the word's length that the processor would mispredict.
#if defined(__SSE2__)
inline constexpr size_t kNulSpan = 32;

// Bit i set where at[i] is NUL, for the 32 bytes from `at`.
inline uint32_t nulMask32(const uint8_t* at) {
  const __m128i zero = _mm_setzero_si128();
  const auto* words = reinterpret_cast<const __m128i*>(at);
  const auto low =
      static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(words), zero)));
  const auto high =
      static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(words + 1), zero)));
  return low | high << 16;
}
#endif

inline size_t findNul(const uint8_t* data, size_t from, size_t limit) {
#if defined(__SSE2__)
  while (limit - from >= kNulSpan) {
    const uint32_t mask = nulMask32(data + from);
    if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(mask));
    from += kNulSpan;
  }
#endif
  const void* nul = std::memchr(data + from, 0, limit - from);
  return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : limit;
}

// Finds NULs in bytes [0, limit) for a walk that moves forward through them: one test of 64
// bytes at once gives a mask that usually serves the next few words too, where findNul would
// test each word's bytes on their own.
class NulScanner {
 public:
  NulScanner(const uint8_t* data, size_t limit) : _data(data), _limit(limit) { load(0); }

  // Offset of the first NUL at or after `from` (>= every earlier `from`), or `limit` if none.
  size_t next(size_t from) {
    for (;;) {
      if (from >= _limit) return _limit;
      if (from - _chunk >= kSpan) load(from - from % kSpan);
      // No bit is set at or past `limit`.
      const uint64_t m = _mask >> (from - _chunk);
      if (m != 0) return from + static_cast<size_t>(__builtin_ctzll(m));
      from = _chunk + kSpan;
    }
  }

 private:
  static constexpr size_t kSpan = 64;

  void load(size_t chunk) {
    _chunk = chunk;
    _mask = 0;
    if (chunk >= _limit) return;
#if defined(__SSE2__)
    if (_limit - chunk >= kSpan) {
      const __m128i zero = _mm_setzero_si128();
      const auto* at = reinterpret_cast<const __m128i*>(_data + chunk);
      for (int i = 0; i < 4; ++i) {
        const auto bits =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(at + i), zero)));
        _mask |= uint64_t{bits} << (16 * i);
      }
      return;
    }
#endif
    const size_t n = std::min(kSpan, _limit - chunk);
    for (size_t i = 0; i < n; ++i) _mask |= uint64_t{_data[chunk + i] == 0} << i;
  }

  const uint8_t* _data;
  size_t _limit;
  size_t _chunk = 0;
  uint64_t _mask = 0;
};

// The first 8 bytes of a word of `length` bytes, zero-padded past its end, as a big-endian
// number: two such keys that differ order their words as strcmp does. Without a loop whose length
// varies from word to word, so that the index walks mispredict no branch on it; `word` must have
// 8 readable bytes when `readable` is true.
inline uint64_t leadingKey(const uint8_t* word, size_t length, bool readable) {
  uint64_t key = 0;
  if (readable) {
    uint8_t raw[8];
    std::memcpy(raw, word, sizeof raw);
    for (size_t i = 0; i < sizeof raw; ++i) key = key << 8 | raw[i];
    if (length < 8) key &= ~(~uint64_t{0} >> (8 * length));
    return key;
  }
  const size_t n = std::min<size_t>(length, 8);
  for (size_t i = 0; i < n; ++i) key |= uint64_t{word[i]} << (56 - 8 * i);
  return key;
}

// Where a run of entries before a word ends (at the latest where the single pass first meets an
// entry whose word does not begin with a byte below the word's first byte, or stops): the state
// of the pass there.
struct LeadingRun {
  size_t position = 0;      // start of the entry the pass meets then
  size_t entries = 0;       // entries before it
  uint32_t lastOffset = 0;  // word offset of the entry before it (when entries > 0)
};

// The leading run of entries that begin below `word` (whose first byte is not NUL) in
// base[0, limit), at most `maxEntries` of them, by the widest means this processor has.
LeadingRun leadingRun(const uint8_t* base, size_t limit, size_t width, const uint8_t* word,
                      size_t maxEntries);

// The look-up as a single pass over the entries; kept for an index whose words are out of order,
// where a search would not find what this pass finds.
IndexRange scanIndex(const LexorIndex& index, const uint8_t* word, const uint8_t* until);

}  // namespace lexor
