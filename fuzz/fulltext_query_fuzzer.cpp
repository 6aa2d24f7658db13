// Full-text queries: a query (UTF-8, up to the first NUL) parsed and run against the index of a
// small dictionary, and its hits marked in the markup after the NUL. Marking only ever adds
// <mark> and </mark> around text: taking them out gives the markup back.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_scratch.h"
#include "platform/log.h"
#include "search/fulltext_index.h"
#include "tools/writer/lexor_writer.h"

namespace {

constexpr size_t kMaxResults = 50;

std::unique_ptr<lexor::search::FulltextIndex>& index() {
  static std::unique_ptr<lexor::search::FulltextIndex> opened;
  return opened;
}

lexor::UString withoutMarks(lexor::UString text) {
  for (const std::u16string_view mark :
       {std::u16string_view(u"<mark>"), std::u16string_view(u"</mark>")}) {
    for (size_t at = text.find(mark); at != lexor::UString::npos; at = text.find(mark, at))
      text.erase(at, mark.size());
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  const std::filesystem::path folder = lexor::fuzz::scratch().path();
  setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
  std::vector<lexor::writer::Entry> entries;
  const char* const kTexts[][2] = {{"neko", "a cat; <i>Felis</i> catus"},
                                   {"strasse",
                                    "Stra\xc3\x9f"
                                    "e &amp; caf&#233;"},
                                   {"kuro", "black cat<br>\xe9\xbb\x92\xe3\x81\x84\xe7\x8c\xab"},
                                   {"t", "T\xe3\x82\xb7\xe3\x83\xa3\xe3\x83\x84"}};
  for (const auto& [head, translation] : kTexts) {
    entries.push_back(
        {lexor::fromUtf8(head), lexor::fromUtf8(translation), std::nullopt, std::nullopt, 0});
  }
  lexor::writer::Options options;
  options.bocu = true;
  const std::string path = (folder / "fulltext.dic").string();
  lexor::writer::writeDictionary(path, entries, options);
  std::string error;
  index() = lexor::search::FulltextIndex::open(lexor::fromUtf8(path), nullptr, &error);
  if (!index()) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  const lexor::UString text = lexor::fromUtf8(input.substr(0, nul));
  const lexor::UString markup =
      nul == std::string_view::npos ? lexor::UString() : lexor::fromUtf8(input.substr(nul + 1));

  std::string error;
  const std::optional<lexor::search::FulltextQuery> query = lexor::search::parseQuery(text, &error);
  if (!query) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  const std::vector<int64_t> found = index()->search(*query, kMaxResults);
  if (found.size() > kMaxResults) __builtin_trap();
  for (int64_t entry : found) {
    const std::optional<lexor::Record> record = index()->record(entry);
    if (!record || !record->jword) __builtin_trap();
    if (!lexor::search::matchesText(lexor::search::searchableText(*record), *query))
      __builtin_trap();
  }
  if (withoutMarks(lexor::search::markHits(markup, *query)) != withoutMarks(markup))
    __builtin_trap();
  return 0;
}
