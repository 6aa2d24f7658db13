#include "core/data_util.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace lexor {

std::unique_ptr<uint8_t[]> getStringAt(const uint8_t* p, size_t n) {
  if (n == SIZE_MAX) return nullptr;  // n + 1 would wrap to an empty buffer
  std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[n + 1]);
  if (!copy) return nullptr;
  if (n > 0) std::memcpy(copy.get(), p, n);
  copy[n] = 0;
  return copy;
}

}  // namespace lexor
