// A 64-bit digest of bytes, to tell whether two byte strings are the same (a dictionary's header
// and index against what a cache was built from, a cache file's header against its checksum) and
// to name files after paths. Fast enough to run over a megabyte of index at every open; not meant
// to withstand a forger, who could as well write the cache itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lexor {

uint64_t digestBytes(const void* data, size_t size, uint64_t seed = 0);
inline uint64_t digestBytes(std::string_view text, uint64_t seed = 0) {
  return digestBytes(text.data(), text.size(), seed);
}
// 16 lower-case hexadecimal digits.
std::string digestHex(uint64_t digest);

}  // namespace lexor
