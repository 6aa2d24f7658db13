// BOCU-1 codec.
//
// Each character is coded as its difference from a reference code point `prev`, which follows
// the text so that runs of one script stay short:
//
//   byte(s)                      meaning
//   00..20                       that C0 control or space; resets prev to 0x40 (space keeps it)
//   50..CF                       difference -64..63, byte = 0x90 + difference
//   D0..FA t                     difference 64..10512                      (43 leads)
//   FB..FD t t                   difference 10513..187659                  (3 leads)
//   FE t t t                     difference from 187660 up
//   25..4F t                     difference -10513..-65                    (43 leads)
//   22..24 t t                   difference -187660..-10514                (3 leads)
//   21 t t t                     difference below -187660
//   FF                           reset: prev becomes 0x40, no character
//
// A trail byte t carries one base-243 digit, most significant first: the digits 0..19 use the
// 20 C0 bytes that text rarely needs, the digits 20..242 the bytes 21..FF. The bytes 00, 07..0F,
// 1A, 1B and 20 never appear as trail bytes, so NUL, line ends and space always stand for
// themselves. The first 0x00 byte ends a string, even inside a sequence.
//
// After a character c, prev is the middle of c's 128-code-point block, except that Hiragana,
// the CJK ideographs and Hangul syllables use one fixed reference each, because their texts
// jump around a larger range.
#include "core/bocu1.h"

#include "platform/log.h"

namespace lexor {

namespace {

constexpr int32_t kAsciiPrev = 0x40;  // the reference at the start and after a control
constexpr int32_t kMiddle = 0x90;     // the single byte for a difference of 0
constexpr int32_t kReset = 0xFF;
constexpr int32_t kMinLead = 0x21;
constexpr int32_t kMaxLead = 0xFE;
constexpr int32_t kTrailControls = 20;
constexpr int32_t kTrailByteOffset = kMinLead - kTrailControls;  // trail values 20..242
constexpr int32_t kTrailCount = 243;
constexpr int32_t kTrailCount2 = kTrailCount * kTrailCount;
constexpr int32_t kTrailCount3 = kTrailCount2 * kTrailCount;
constexpr int32_t kMaxCodePoint = 0x10FFFF;

// How many lead bytes each sequence length gets on either side of the middle.
constexpr int32_t kSingle = 64;
constexpr int32_t kLead2 = 43;
constexpr int32_t kLead3 = 3;

// The largest difference each length reaches.
constexpr int32_t kReachPos1 = kSingle - 1;
constexpr int32_t kReachNeg1 = -kSingle;
constexpr int32_t kReachPos2 = kReachPos1 + kLead2 * kTrailCount;
constexpr int32_t kReachNeg2 = kReachNeg1 - kLead2 * kTrailCount;
constexpr int32_t kReachPos3 = kReachPos2 + kLead3 * kTrailCount2;
constexpr int32_t kReachNeg3 = kReachNeg2 - kLead3 * kTrailCount2;

// The first lead byte of each length.
constexpr int32_t kStartPos2 = kMiddle + kReachPos1 + 1;
constexpr int32_t kStartPos3 = kStartPos2 + kLead2;
constexpr int32_t kStartPos4 = kStartPos3 + kLead3;
constexpr int32_t kStartNeg2 = kMiddle + kReachNeg1;
constexpr int32_t kStartNeg3 = kStartNeg2 - kLead2;
constexpr int32_t kStartNeg4 = kStartNeg3 - kLead3;
static_assert(kStartPos4 == kMaxLead && kStartNeg4 - 1 == kMinLead);

// What a lead byte contributes: the number of trail bytes that follow and the part of the
// difference that the lead byte itself stands for.
struct LeadInfo {
  int8_t trails = 0;  // 0: not a lead byte of a longer sequence
  int32_t diff = 0;
};

constexpr LeadInfo leadInfoOf(int32_t b) {
  if (b >= kStartPos2 && b < kStartPos3)
    return {1, (b - kStartPos2) * kTrailCount + kReachPos1 + 1};
  if (b >= kStartPos3 && b < kStartPos4)
    return {2, (b - kStartPos3) * kTrailCount2 + kReachPos2 + 1};
  if (b == kStartPos4) return {3, kReachPos3 + 1};
  if (b >= kStartNeg3 && b < kStartNeg2) return {1, (b - kStartNeg2) * kTrailCount + kReachNeg1};
  if (b > kMinLead && b < kStartNeg3) return {2, (b - kStartNeg3) * kTrailCount2 + kReachNeg2};
  if (b == kMinLead) return {3, -kTrailCount3 + kReachNeg3};
  return {};
}

}  // namespace

// The note's tables for the C0 bytes that double as trail bytes. Defined constexpr (the header's
// declaration keeps them external) so the byte tables below can be built from them.
constexpr int8_t bocu1ByteToTrail[33] = {
    //  0     1     2     3     4     5     6     7
    -1, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, -1,
    //  8     9     a     b     c     d     e     f
    -1, -1, -1, -1, -1, -1, -1, -1,
    //  10    11    12    13    14    15    16    17
    0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d,
    //  18    19    1a    1b    1c    1d    1e    1f
    0x0e, 0x0f, -1, -1, 0x10, 0x11, 0x12, 0x13,
    //  20
    -1};

constexpr int8_t bocu1TrailToByte[20] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x10,
                                         0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                                         0x18, 0x19, 0x1c, 0x1d, 0x1e, 0x1f};

namespace {

// Per-byte tables for the string decoder, so that each byte costs one look-up.
struct Tables {
  LeadInfo lead[256];
  int16_t trail[256];              // trail value of each byte, -1 where it can never be one
  uint8_t trailByte[kTrailCount];  // the byte for each trail value
};

constexpr Tables makeTables() {
  Tables t{};
  for (int32_t b = 0; b < 256; ++b) {
    t.lead[b] = leadInfoOf(b);
    t.trail[b] = static_cast<int16_t>(b < kMinLead ? bocu1ByteToTrail[b] : b - kTrailByteOffset);
  }
  for (int32_t v = 0; v < kTrailCount; ++v) {
    t.trailByte[v] =
        static_cast<uint8_t>(v < kTrailControls ? bocu1TrailToByte[v] : v + kTrailByteOffset);
  }
  return t;
}

constexpr Tables kTables = makeTables();

inline int32_t nextPrev(int32_t c) {
  if (c < 0x3040) return (c & ~0x7F) + kAsciiPrev;               // the common case: a small script
  if (c <= 0x309F) return 0x3070;                                // Hiragana, not 128-aligned
  if (c >= 0x4E00 && c <= 0x9FA5) return 0x4E00 - kReachNeg2;    // CJK ideographs: 0x7711
  if (c >= 0xAC00 && c <= 0xD7A3) return (0xD7A3 + 0xAC00) / 2;  // Hangul: 0xC1D1
  return (c & ~0x7F) + kAsciiPrev;
}

inline uint8_t trailByte(int32_t digit) { return kTables.trailByte[digit]; }

// Floor division with a non-negative remainder, so negative differences get digits 0..242.
inline int32_t floorDivMod(int32_t* n, int32_t d) {
  int32_t m = *n % d;
  *n /= d;
  if (m < 0) {
    --*n;
    m += d;
  }
  return m;
}

inline int32_t packDiffImpl(int32_t diff) {
  if (diff >= kReachNeg1 && diff <= kReachPos1) {
    return 0x01000000 | (kMiddle + diff);
  }
  int32_t lead;
  int trails;
  if (diff > kReachPos1) {
    if (diff <= kReachPos2) {
      diff -= kReachPos1 + 1;
      lead = kStartPos2;
      trails = 1;
    } else if (diff <= kReachPos3) {
      diff -= kReachPos2 + 1;
      lead = kStartPos3;
      trails = 2;
    } else {
      diff -= kReachPos3 + 1;
      lead = kStartPos4;
      trails = 3;
    }
  } else if (diff >= kReachNeg2) {
    diff -= kReachNeg1;
    lead = kStartNeg2;
    trails = 1;
  } else if (diff >= kReachNeg3) {
    diff -= kReachNeg2;
    lead = kStartNeg3;
    trails = 2;
  } else {
    diff -= kReachNeg3;
    lead = kStartNeg4;
    trails = 3;
  }
  // Three-byte and shorter sequences carry their length in the top byte; four fill all 32 bits.
  uint32_t packed = trails < 3 ? static_cast<uint32_t>(trails + 1) << 24 : 0;
  int shift = 0;
  for (int k = 0; k < trails; ++k) {
    packed |= static_cast<uint32_t>(trailByte(floorDivMod(&diff, kTrailCount))) << shift;
    shift += 8;
  }
  // What is left of diff is the lead byte's offset from its first lead.
  packed |= static_cast<uint32_t>(lead + diff) << shift;
  return static_cast<int32_t>(packed);
}

// Writes the code point c as UTF-16, dropping surrogate code points, which have no place in
// well-formed text, and U+0000, which only a crafted sequence yields (the encoder writes it as
// the terminating byte): a NUL inside a string would end it for every later reader, so the text
// would not survive encoding and decoding again.
inline char16_t* putCodePoint(char16_t* q, int32_t c) {
  if (c < 0xD800) {
    if (c != 0) *q++ = static_cast<char16_t>(c);
  } else if (c <= 0xFFFF) {
    if (c > 0xDFFF) *q++ = static_cast<char16_t>(c);
  } else {
    *q++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    *q++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
  return q;
}

void logIllegalSequence(const uint8_t* src, const uint8_t* at) {
  logFormat("error: illegal BOCU-1 sequence at file byte index %d {c=%d}\n",
            static_cast<int>(at - src), -99);
}

// Writes the packed sequence's bytes, lead byte first.
inline uint8_t* putPacked(uint8_t* q, int32_t packed, int length) {
  auto v = static_cast<uint32_t>(packed);
  for (int shift = 8 * (length - 1); shift >= 0; shift -= 8)
    *q++ = static_cast<uint8_t>(v >> shift);
  return q;
}

// Writes the sequence for diff if it fits before end; null when it does not. One- and two-byte
// sequences, which nearly all text uses, are formed directly.
inline uint8_t* putDiff(uint8_t* q, uint8_t* end, int32_t diff) {
  if (static_cast<uint32_t>(diff - kReachNeg1) <= static_cast<uint32_t>(kReachPos1 - kReachNeg1)) {
    if (q == end) return nullptr;
    *q = static_cast<uint8_t>(kMiddle + diff);
    return q + 1;
  }
  // The two-byte leads of both signs, 0x25..0x4F and 0xD0..0xFA, sit on either side of the
  // 128 single bytes; closing that gap numbers all two-byte differences 0..2*43*243-1 without
  // a branch on the sign, which ideographic text would mispredict half the time.
  const uint32_t positive = diff > 0 ? 0x80 : 0;
  const uint32_t d = static_cast<uint32_t>(diff - kReachNeg2) - positive;
  if (d < static_cast<uint32_t>(2 * kLead2 * kTrailCount)) {
    if (end - q < 2) return nullptr;
    q[0] = static_cast<uint8_t>(kStartNeg3 + positive + d / kTrailCount);
    q[1] = trailByte(static_cast<int32_t>(d % kTrailCount));
    return q + 2;
  }
  int32_t packed = packDiffImpl(diff);
  int length = bocu1PackedLength(packed);
  if (end - q < length) return nullptr;
  return putPacked(q, packed, length);
}

// The string encoder. Stops at the first 0 unit, after `count` units when kCounted, and at the
// last whole sequence that fits in size - 1 bytes. With kLineFeedAfterCr a 0x0A follows every
// 0x0D for as long as there is room.
template <bool kCounted, bool kLineFeedAfterCr>
int32_t encodeUnits(const char16_t* src, size_t count, uint8_t* dst, int32_t size) {
  if (src == nullptr || dst == nullptr || size < 1) return -1;
  const char16_t* s = src;
  const char16_t* const send = kCounted ? src + count : nullptr;
  uint8_t* q = dst;
  uint8_t* const end = dst + (size - 1);  // the terminating NUL goes here at the latest
  int32_t prev = kAsciiPrev;
  while (!kCounted || s != send) {
    // Hot path: while the reference is the ASCII one, every unit from 0x01 to 0x7F is one byte
    // (itself up to the space, else 0x50 above it) and leaves the reference where it is, so a
    // run of Latin text needs no branch on spaces or on the length of a sequence.
    if (prev == kAsciiPrev) {
      while ((!kCounted || s != send) && q != end) {
        const uint32_t u = *s;
        if (u - 1 >= 0x7F || (kLineFeedAfterCr && u == 0x0D)) break;
        *q++ = static_cast<uint8_t>(u <= 0x20 ? u : u + (kMiddle - kAsciiPrev));
        ++s;
      }
      if (kCounted && s == send) break;
    }
    int32_t c = *s;
    if (c <= 0x20) {
      if (c == 0 || q == end) break;
      *q++ = static_cast<uint8_t>(c);
      ++s;
      if (c != 0x20) prev = kAsciiPrev;
      if (kLineFeedAfterCr && c == 0x0D) {
        if (q == end) break;
        *q++ = 0x0A;
      }
      continue;
    }
    ++s;
    if ((c & 0xF800) == 0xD800) {
      // Without kCounted the unit after a high surrogate is at worst the terminating 0.
      if (c <= 0xDBFF && (!kCounted || s != send) && (*s & 0xFC00) == 0xDC00) {
        c = (c << 10) + *s - 0x35FDC00;
        ++s;
      }
      // An unpaired surrogate is coded as its own value.
    }
    uint8_t* next = putDiff(q, end, c - prev);
    if (next == nullptr) break;
    q = next;
    prev = nextPrev(c);
  }
  *q = 0;
  return static_cast<int32_t>(q - dst);
}

}  // namespace

int32_t bocu1Prev(int32_t c) { return nextPrev(c); }

int32_t packDiff(int32_t diff) { return packDiffImpl(diff); }

int32_t encodeBocu1(int32_t* pPrev, int32_t c) {
  if (pPrev == nullptr || c < 0 || c > kMaxCodePoint) return 0;
  int32_t prev = *pPrev == 0 ? kAsciiPrev : *pPrev;
  if (c <= 0x20) {
    *pPrev = c == 0x20 ? prev : kAsciiPrev;
    return 0x01000000 | c;
  }
  *pPrev = nextPrev(c);
  return packDiffImpl(c - prev);
}

int32_t decodeBocu1(Bocu1DecodeState* state, int32_t b) {
  if (state == nullptr || b < 0 || b > 0xFF) return -99;
  if (state->prev == 0) {
    state->prev = kAsciiPrev;
    state->count = 0;
  }
  if (state->count == 0) {
    if (b <= 0x20) {
      if (b != 0x20) state->prev = kAsciiPrev;
      return b;
    }
    if (b >= kStartNeg2 && b < kStartPos2) {
      int32_t c = state->prev + b - kMiddle;
      state->prev = nextPrev(c);
      return c;
    }
    if (b == kReset) {
      state->prev = kAsciiPrev;
      return -1;
    }
    const LeadInfo& lead = kTables.lead[b];
    state->count = lead.trails;
    state->diff = lead.diff;
    return -1;
  }
  int32_t t = kTables.trail[b];
  if (t < 0) {
    state->prev = kAsciiPrev;
    state->count = 0;
    return -99;
  }
  switch (state->count) {
    case 3:
      state->diff += t * kTrailCount2;
      state->count = 2;
      return -1;
    case 2:
      state->diff += t * kTrailCount;
      state->count = 1;
      return -1;
    default: {
      int32_t c = state->prev + state->diff + t;
      state->count = 0;
      if (c < 0 || c > kMaxCodePoint) {
        state->prev = kAsciiPrev;
        return -99;
      }
      state->prev = nextPrev(c);
      return c;
    }
  }
}

// The decoder keeps its state in locals and reads the trail bytes of a sequence in an inner
// step; it produces exactly what feeding decodeBocu1 byte by byte would.
int32_t bocu1_decode_to16(char16_t* dst, const uint8_t* src) {
  if (dst == nullptr || src == nullptr) return -1;
  const uint8_t* p = src;
  char16_t* q = dst;
  int32_t prev = kAsciiPrev;
  for (;;) {
    // Hot path, the mirror of the encoder's: under the ASCII reference the bytes 01..20 stand
    // for themselves and 71..CF for 21..7F, and none of them moves the reference.
    if (prev == kAsciiPrev) {
      for (;;) {
        const uint32_t a = *p;
        if (a - 1 >= 0x20 && a - 0x71 >= 0x5F) break;
        *q++ = static_cast<char16_t>(a <= 0x20 ? a : a - (kMiddle - kAsciiPrev));
        ++p;
      }
    }
    uint32_t b = *p;
    if (b - kStartNeg2 < static_cast<uint32_t>(kStartPos2 - kStartNeg2)) {
      // A single-byte difference: the bulk of alphabetic text.
      int32_t c = prev + static_cast<int32_t>(b) - kMiddle;
      ++p;
      if (c < 0x3040) {
        *q = static_cast<char16_t>(c);
        q += c != 0;  // U+0000 is dropped, as putCodePoint does, without a branch
        prev = (c & ~0x7F) + kAsciiPrev;
      } else {
        q = putCodePoint(q, c);
        prev = nextPrev(c);
      }
      continue;
    }
    if (b <= 0x20) {
      if (b == 0) break;
      *q++ = static_cast<char16_t>(b);
      ++p;
      if (b != 0x20) prev = kAsciiPrev;
      continue;
    }
    ++p;
    if (b == static_cast<uint32_t>(kReset)) {
      prev = kAsciiPrev;
      continue;
    }
    const LeadInfo lead = kTables.lead[b];
    int32_t diff = lead.diff;
    int32_t t;
    if (lead.trails == 1) {
      // Two-byte sequences carry most ideographic and syllabic text. A NUL, like any byte that
      // is never a trail byte, has the trail value -1.
      if ((t = kTables.trail[*p]) < 0) {
        if (*p == 0) goto cut;
        goto illegal;
      }
      int32_t c = prev + diff + t;
      if (static_cast<uint32_t>(c) > static_cast<uint32_t>(kMaxCodePoint)) goto illegal;
      ++p;
      if (c < 0xD800) {
        *q = static_cast<char16_t>(c);
        q += c != 0;
      } else {
        q = putCodePoint(q, c);
      }
      prev = nextPrev(c);
      continue;
    }
    switch (lead.trails) {
      case 3:
        if (*p == 0) goto cut;
        if ((t = kTables.trail[*p]) < 0) goto illegal;
        diff += t * kTrailCount2;
        ++p;
        [[fallthrough]];
      case 2:
        if (*p == 0) goto cut;
        if ((t = kTables.trail[*p]) < 0) goto illegal;
        diff += t * kTrailCount;
        ++p;
        [[fallthrough]];
      default:
        if (*p == 0) goto cut;
        if ((t = kTables.trail[*p]) < 0) goto illegal;
        break;
    }
    {
      int32_t c = prev + diff + t;
      if (static_cast<uint32_t>(c) > static_cast<uint32_t>(kMaxCodePoint)) goto illegal;
      ++p;
      q = putCodePoint(q, c);
      prev = nextPrev(c);
    }
  }
cut:  // a sequence cut short by the NUL adds nothing
  *q = 0;
  return static_cast<int32_t>(q - dst);
illegal:
  logIllegalSequence(src, p);
  return -1;
}

int32_t bocu1_encode_from16(const char16_t* src, uint8_t* dst, int32_t size) {
  return encodeUnits<false, false>(src, 0, dst, size);
}

int32_t bocu1EncodeUnits(const char16_t* src, size_t count, uint8_t* dst, int32_t size,
                         bool lineFeedAfterCr) {
  return lineFeedAfterCr ? encodeUnits<true, true>(src, count, dst, size)
                         : encodeUnits<true, false>(src, count, dst, size);
}

}  // namespace lexor
