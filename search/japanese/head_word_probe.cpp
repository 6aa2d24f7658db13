// Each word is encoded as the prefix walk encodes its needle (BOCU-1 or the head words' code
// page), its index range looked up, and the range's blocks noted. Then every noted block is read
// and walked once, and an entry whose head word equals one of its words has its record decoded.
// Conjugations of one verb share a stem and so, mostly, their block: a dozen words cost a few
// block reads.
#include "search/japanese/head_word_probe.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "core/block_cursor.h"
#include "core/record_decoder.h"
#include "core/string_bridge.h"
#include "core/walked_blocks.h"
#include "platform/code_page.h"
#include "search/japanese/deinflect_rules.h"

namespace lexor {
namespace {

// Entries of one head word read at most: enough for any real dictionary, and a bound for one
// that repeats a word without end.
constexpr size_t kMaxEntriesOfWord = 64;
// lookupIndex's location when the word sorts before the dictionary's first index word.
constexpr uint32_t kBeforeFirstIndexEntry = 0xFFFFFFFF;

struct ClassPhrase {
  std::u16string_view phrase;
  uint16_t wordClass;
};

constexpr ClassPhrase kClassPhrases[] = {
    {u"Ichidan verb", kIchidanVerb},
    {u"Godan verb", kGodanVerb},
    {u"Kuru verb", kKuruVerb},
    {u"suru verb", kSuruVerb},
    {u"adjective (keiyoushi)", kIAdjective},
    {u"takes the aux. verb suru", kSuruNoun},
};

// The word as the dictionary stores head words; std::nullopt when it cannot be a head word there
// (not encodable, or longer than a head word may be).
std::optional<std::string> encodeHeadWord(const Lexor& dic, const UString& word) {
  if (dic.isBOCU()) {
    std::array<uint8_t, kNeedleSize> bytes{};
    if (!CreateBOCU1StringWithNSString(word, bytes.data(), static_cast<int32_t>(bytes.size())))
      return std::nullopt;
    std::string encoded(reinterpret_cast<const char*>(bytes.data()));
    // A cut word would only find longer ones.
    if (encoded.size() >= kNeedleSize - 1) return std::nullopt;
    return encoded;
  }
  std::optional<std::string> encoded =
      encodeCodePage(getEWordEncodingFromSignature(dic.getDicSignature()), word);
  if (!encoded || encoded->size() >= kNeedleSize - 1 || encoded->find('\0') != std::string::npos)
    return std::nullopt;
  return encoded;
}

// The index entries whose blocks may hold head words that begin with the encoded word, as the
// prefix walk finds them: [first, end).
std::pair<int64_t, int64_t> blockRange(Lexor& dic, const std::string& encoded) {
  std::array<uint8_t, kNeedleSize> needle{};
  std::memcpy(needle.data(), encoded.data(), encoded.size());
  std::array<uint8_t, kNeedleSize> upper = needle;
  upper[encoded.size() - 1] = static_cast<uint8_t>(needle[encoded.size() - 1] + 1);
  const IndexRange range = dic.lookupIndex(needle.data(), upper.data());
  int64_t first = range.location;
  int64_t end = first + static_cast<int64_t>(range.length);
  if (range.location == kBeforeFirstIndexEntry) {
    first = 0;
    end = static_cast<int64_t>(range.length) - 1;
  }
  if (end > 0 && !dic.hasIndexEntry(static_cast<uint32_t>(end - 1)))
    end = std::min<int64_t>(end, dic.usableIndexEntries());
  return {std::min(first, std::max<int64_t>(end, 0)), end};
}

struct Wanted {
  const UString* word;
  int64_t end;  // one past the last index entry of its range
};

}  // namespace

std::optional<HeadWordProbe::Found> HeadWordProbe::find(const UString& word) const {
  std::unordered_map<UString, Found> found = findAll({word});
  if (found.empty()) return std::nullopt;
  return std::move(found.begin()->second);
}

std::unordered_map<UString, HeadWordProbe::Found> HeadWordProbe::findAll(
    const std::vector<UString>& words) const {
  std::unordered_map<UString, Found> found;
  for (size_t d = 0; d < _dics.size(); ++d) {
    Lexor* dic = _dics[d].get();
    if (!dic) continue;
    // Each block to read, with the words (encoded) that may stand in it and the end of each
    // word's range. A word sorts before every longer word it begins, so it stands in the first
    // block of its range, or in the next when that block ends before it.
    std::map<int64_t, std::unordered_map<std::string, Wanted>> blocks;
    for (const UString& word : words) {
      if (word.empty() || found.count(word)) continue;
      std::optional<std::string> encoded = encodeHeadWord(*dic, word);
      if (!encoded || encoded->empty()) continue;
      const auto [first, end] = blockRange(*dic, *encoded);
      if (first < end) blocks[first].emplace(std::move(*encoded), Wanted{&word, end});
    }
    std::unordered_map<const UString*, Found> here;
    BlockCursor cursor;
    std::string last;  // the block's last head word
    // The map grows behind the walk only: a word moves on to the block after the one walked.
    for (auto& [n, wanted] : blocks) {
      WalkedBlocks walked;
      last.clear();
      if (cursor.load(*dic, static_cast<int32_t>(n), walked) == BlockLoad::kLoaded) {
        while (cursor.nextEntry()) {
          last.assign(reinterpret_cast<const char*>(cursor.headWord()), cursor.headWordLength());
          const auto match = wanted.find(last);
          if (match == wanted.end()) continue;
          Found& entries = here[match->second.word];
          entries.dictionary = d;
          const std::optional<EntryBody> body = cursor.entryBody();
          if (!body || entries.translations.size() >= kMaxEntriesOfWord) continue;
          const Record record =
              decodeRecord(DictionaryTexts::of(dic->isBOCU(), dic->getDicSignature()),
                           cursor.headWord(), cursor.headWordLength(), cursor.attribute(), *body);
          entries.translations.push_back(record.jword.value_or(UString()));
        }
        cursor.release();
      }
      for (const auto& [encoded, w] : wanted) {
        // Its entries may go on, or begin, in the next block of its range.
        if (last <= encoded && n + 1 < w.end) blocks[n + 1].emplace(encoded, w);
      }
    }
    for (auto& [word, entries] : here) found.emplace(*word, std::move(entries));
  }
  return found;
}

uint16_t namedWordClasses(UStringView translation) {
  uint16_t classes = 0;
  for (const ClassPhrase& c : kClassPhrases) {
    if (translation.find(c.phrase) != UStringView::npos) classes |= c.wordClass;
  }
  return classes;
}

}  // namespace lexor
