#include "core/string_bridge.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/bocu1.h"
#include "platform/log.h"

namespace lexor {

namespace {

// Most dictionary texts are short; these decode and copy on the stack.
constexpr size_t kStackUnits = 1024;
constexpr size_t kStackBytes = 512;

// A buffer of `n` elements, on the stack when `n` fits, else on the heap; data() is null when
// the heap allocation fails.
template <typename T, size_t kInline>
class WorkBuffer {
 public:
  explicit WorkBuffer(size_t n) {
    if (n <= kInline) {
      _data = _inline;
    } else {
      _heap.reset(new (std::nothrow) T[n]);
      _data = _heap.get();
    }
  }
  T* data() { return _data; }

 private:
  T _inline[kInline];
  std::unique_ptr<T[]> _heap;
  T* _data = nullptr;
};

std::optional<UString> makeString(const char16_t* units, size_t count) {
  try {
    return UString(units, count);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<UString> CreateNSStringWithBOCU1(const uint8_t* bytes, int32_t length) {
  if (bytes == nullptr) return std::nullopt;
  // Decoding runs to the NUL whatever `length` says, and one byte can yield two units (a
  // supplementary character next to the previous one), so the buffer is sized from the measured
  // byte count: a caller's short count cannot make the decoder run past it.
  (void)length;
  size_t n = std::strlen(reinterpret_cast<const char*>(bytes));
  if (n > (SIZE_MAX - 1) / (2 * sizeof(char16_t))) return std::nullopt;
  WorkBuffer<char16_t, kStackUnits> work(2 * n + 1);
  if (work.data() == nullptr) return std::nullopt;
  int32_t k = bocu1_decode_to16(work.data(), bytes);
  if (k < 0) return std::nullopt;  // already logged by the decoder
  return makeString(work.data(), static_cast<size_t>(k));
}

std::optional<UString> CreateNSStringWithBOCU1_omit0A(const uint8_t* bytes, uint32_t length) {
  if (bytes == nullptr) return std::nullopt;
  size_t n = length != 0 ? length : std::strlen(reinterpret_cast<const char*>(bytes));
  // The bytes need not end in a NUL of their own; a terminated copy bounds the decoder, and a
  // sequence cut at n bytes adds nothing.
  WorkBuffer<uint8_t, kStackBytes> copy(n + 1);
  if (copy.data() == nullptr) return std::nullopt;
  std::memcpy(copy.data(), bytes, n);
  copy.data()[n] = 0;
  std::optional<UString> text = CreateNSStringWithBOCU1(copy.data(), 0);
  if (!text) logFormat("erroneus bocu string (len = %d)", static_cast<int>(n));
  return text;
}

namespace {

int encodeInto(UStringView text, uint8_t* out, int32_t size, bool lineFeedAfterCr) {
  if (out == nullptr || size < 1) return 0;
  // An empty view may carry a null pointer; the encoder wants a real one.
  const char16_t* units = text.empty() ? u"" : text.data();
  bocu1EncodeUnits(units, text.size(), out, size, lineFeedAfterCr);
  return 1;
}

}  // namespace

int CreateBOCU1StringWithNSString(UStringView text, uint8_t* out, int32_t size) {
  return encodeInto(text, out, size, false);
}

int CreateBOCU1StringWithNSString_insert0A(UStringView text, uint8_t* out, int32_t size) {
  if (encodeInto(text, out, size, true) == 0) return 0;
  out[size - 1] = 0;
  return 1;
}

}  // namespace lexor
