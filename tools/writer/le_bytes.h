// Little-endian appends and patches for the writer: the one place where it splits numbers into
// bytes, mirroring the reader's accessors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lexor::writer {

inline void appendUInt(std::vector<uint8_t>& out, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void putUInt(std::vector<uint8_t>& out, size_t offset, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace lexor::writer
