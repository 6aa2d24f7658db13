// Texts: the BOCU-1 codec beside ICU's "BOCU-1" converter on one large mixed-script text, and
// the decoding of Shift_JIS translations.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "core/bocu1.h"
#include "platform/code_page.h"

namespace lexor::bench {
namespace {

constexpr size_t kTextUnits = 1 << 20;

struct CodecText {
  UString text;      // terminated by its 0 unit (c_str)
  std::string bocu;  // its BOCU-1 form, as our encoder and ICU's agree on it
};

const CodecText& codecText() {
  static const CodecText t = [] {
    CodecText t;
    t.text = mixedScriptText(kTextUnits);
    std::string out(t.text.size() * 3 + 1, '\0');
    const int32_t n = bocu1_encode_from16(t.text.c_str(), reinterpret_cast<uint8_t*>(out.data()),
                                          static_cast<int32_t>(out.size()));
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    t.bocu = std::move(out);
    return t;
  }();
  return t;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

std::unique_ptr<UConverter, ConverterCloser> icuBocu1() {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> c(ucnv_open("BOCU-1", &status));
  if (U_FAILURE(status)) c.reset();
  return c;
}

// Timings only compare like with like: ICU must write exactly our bytes for the text.
bool icuAgrees() {
  const CodecText& t = codecText();
  auto converter = icuBocu1();
  if (!converter) return false;
  std::string out(t.text.size() * 4 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                                    reinterpret_cast<const UChar*>(t.text.data()),
                                    static_cast<int32_t>(t.text.size()), &status);
  return U_SUCCESS(status) && out.substr(0, static_cast<size_t>(n)) == t.bocu;
}

void BM_Bocu1Decode(benchmark::State& state) {
  const CodecText& t = codecText();
  if (!icuAgrees()) {
    state.SkipWithError("ICU's BOCU-1 bytes differ from ours");
    return;
  }
  std::vector<char16_t> out(2 * t.bocu.size() + 1);
  const auto* src = reinterpret_cast<const uint8_t*>(t.bocu.c_str());
  for (auto _ : state) {
    const int32_t n = bocu1_decode_to16(out.data(), src);
    if (n != static_cast<int32_t>(t.text.size())) state.SkipWithError("decoding lost units");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.bocu.size()));
}
BENCHMARK(BM_Bocu1Decode)->Unit(benchmark::kMicrosecond);

void BM_Bocu1DecodeIcu(benchmark::State& state) {
  const CodecText& t = codecText();
  auto converter = icuBocu1();
  std::vector<UChar> out(2 * t.bocu.size() + 1);
  for (auto _ : state) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                                    t.bocu.data(), static_cast<int32_t>(t.bocu.size()), &status);
    if (U_FAILURE(status) || n != static_cast<int32_t>(t.text.size())) {
      state.SkipWithError("ICU disagrees with our encoder");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.bocu.size()));
}
BENCHMARK(BM_Bocu1DecodeIcu)->Unit(benchmark::kMicrosecond);

void BM_Bocu1Encode(benchmark::State& state) {
  const CodecText& t = codecText();
  std::vector<uint8_t> out(t.text.size() * 3 + 1);
  for (auto _ : state) {
    const int32_t n =
        bocu1_encode_from16(t.text.c_str(), out.data(), static_cast<int32_t>(out.size()));
    if (n != static_cast<int32_t>(t.bocu.size())) state.SkipWithError("encoding lost bytes");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.text.size() * 2));
}
BENCHMARK(BM_Bocu1Encode)->Unit(benchmark::kMicrosecond);

void BM_Bocu1EncodeIcu(benchmark::State& state) {
  const CodecText& t = codecText();
  auto converter = icuBocu1();
  std::vector<char> out(t.text.size() * 3 + 1);
  for (auto _ : state) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                                      reinterpret_cast<const UChar*>(t.text.data()),
                                      static_cast<int32_t>(t.text.size()), &status);
    if (U_FAILURE(status) || n != static_cast<int32_t>(t.bocu.size())) {
      state.SkipWithError("ICU disagrees with our encoder");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.text.size() * 2));
}
BENCHMARK(BM_Bocu1EncodeIcu)->Unit(benchmark::kMicrosecond);

// One translation at a time, as records are decoded.
void BM_ShiftJisDecode(benchmark::State& state) {
  const std::vector<std::string> translations = shiftJisTranslations(1000);
  size_t i = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    const std::string& t = translations[i++ % translations.size()];
    auto text =
        decodeCodePage(kCodePageShiftJIS, reinterpret_cast<const uint8_t*>(t.data()), t.size());
    benchmark::DoNotOptimize(text);
    bytes += static_cast<int64_t>(t.size());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ShiftJisDecode);

}  // namespace
}  // namespace lexor::bench
