// The largest single allocation made through operator new while a probe is active. The test
// program that includes this defines the replacement operators (ALLOCATION_PROBE_DEFINE), so the
// probe sees every std::vector, std::string and make_shared of the code under test.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace lexor::testing {

inline std::atomic<size_t> largestAllocation{0};
inline std::atomic<bool> probing{false};

inline void noteAllocation(size_t size) {
  if (!probing.load(std::memory_order_relaxed)) return;
  size_t seen = largestAllocation.load(std::memory_order_relaxed);
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
  }
}

class AllocationProbe {
 public:
  AllocationProbe() { largestAllocation = 0, probing = true; }
  ~AllocationProbe() { probing = false; }
  size_t largest() const { return largestAllocation.load(); }
};

}  // namespace lexor::testing

// The replacements pair malloc with free; GCC cannot see that they replace new and delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#define ALLOCATION_PROBE_DEFINE                                                \
  void* operator new(std::size_t size) {                                       \
    lexor::testing::noteAllocation(size);                                      \
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;                 \
    throw std::bad_alloc();                                                    \
  }                                                                            \
  void* operator new[](std::size_t size) { return operator new(size); }        \
  void* operator new(std::size_t size, const std::nothrow_t&) noexcept {       \
    lexor::testing::noteAllocation(size);                                      \
    return std::malloc(size == 0 ? 1 : size);                                  \
  }                                                                            \
  void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { \
    return operator new(size, tag);                                            \
  }                                                                            \
  void operator delete(void* p) noexcept { std::free(p); }                     \
  void operator delete[](void* p) noexcept { std::free(p); }                   \
  void operator delete(void* p, std::size_t) noexcept { std::free(p); }        \
  void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
