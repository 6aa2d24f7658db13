#include "platform/digest.h"

#include <cstring>

namespace lexor {
namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;

uint64_t rotateLeft(uint64_t value, int bits) { return (value << bits) | (value >> (64 - bits)); }

// Spreads every input bit over the whole word.
uint64_t finish(uint64_t hash) {
  hash ^= hash >> 33;
  hash *= 0xFF51AFD7ED558CCDULL;
  hash ^= hash >> 33;
  hash *= 0xC4CEB9FE1A85EC53ULL;
  hash ^= hash >> 33;
  return hash;
}

}  // namespace

uint64_t digestBytes(const void* data, size_t size, uint64_t seed) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  // Four independent lanes, so that the multiplications of one word need not wait for the last.
  uint64_t lanes[4] = {seed + kPrime1, seed ^ kPrime2, seed - kPrime1, rotateLeft(seed, 17)};
  size_t i = 0;
  for (; i + 32 <= size; i += 32) {
    for (int lane = 0; lane < 4; ++lane) {
      uint64_t word;
      std::memcpy(&word, bytes + i + 8 * lane, 8);
      lanes[lane] = rotateLeft(lanes[lane] + word * kPrime2, 31) * kPrime1;
    }
  }
  uint64_t hash = rotateLeft(lanes[0], 1) + rotateLeft(lanes[1], 7) + rotateLeft(lanes[2], 12) +
                  rotateLeft(lanes[3], 18) + size * kPrime1;
  for (; i < size; ++i) hash = rotateLeft(hash ^ (bytes[i] * kPrime2), 23) * kPrime1;
  return finish(hash);
}

std::string digestHex(uint64_t digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, digest >>= 4) out[static_cast<size_t>(i)] = kHex[digest & 0xF];
  return out;
}

}  // namespace lexor
