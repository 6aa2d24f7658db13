// Turns entries as text into stored entries (head word, attribute, body) in the dictionary's
// encodings, orders them and hands them to the file layout.
//
// Body    := simple entry:   translation                        (attribute = level)
//            extended entry: translation 00 { tag text 00 } 80  (attribute = level | 0x10)
// Tags    := 0x01 example (head-word code page), 0x02 pronunciation (phonetic byte table)
//
// In a BOCU-1 dictionary every text is BOCU-1. Texts are stored as given: line breaks are the
// caller's business (the readers of sources store them as CR LF).
#include <algorithm>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "core/bocu1.h"
#include "core/str_util.h"
#include "platform/code_page.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

constexpr uint8_t kTagExample = kTextFieldKind | kExampleType;
constexpr uint8_t kTagPronunciation = kTextFieldKind | kPronunciationType;
constexpr size_t kMaxBocu1BytesPerUnit = 3;  // a surrogate pair (2 units) takes at most 4 bytes

bool holdsNul(UStringView text) { return text.find(u'\0') != UStringView::npos; }

// BOCU-1 bytes of the text, cut after the last whole character within maxBytes.
std::optional<std::string> toBocu1(UStringView text, size_t maxBytes) {
  if (holdsNul(text)) return std::nullopt;
  UString source(text);
  size_t size = std::min(text.size() * kMaxBocu1BytesPerUnit, maxBytes) + 1;
  std::string out(size, '\0');
  int32_t n = bocu1_encode_from16(source.c_str(), reinterpret_cast<uint8_t*>(out.data()),
                                  static_cast<int32_t>(size));
  if (n < 0) return std::nullopt;
  out.resize(static_cast<size_t>(n));
  return out;
}

std::optional<std::string> toCodePage(CodePage page, UStringView text) {
  if (holdsNul(text)) return std::nullopt;
  return encodeCodePage(page, text);
}

// The phonetic table read backwards: the lowest byte that shows each character.
const std::unordered_map<char16_t, uint8_t>& phoneticBytes() {
  static const auto* table = [] {
    auto* map = new std::unordered_map<char16_t, uint8_t>();
    for (int b = 0x20; b <= 0xFF; ++b) {
      char16_t unit = sil_unicode_table[b];
      if (unit != 0) map->emplace(unit, static_cast<uint8_t>(b));
    }
    return map;
  }();
  return *table;
}

std::optional<std::string> toPhoneticBytes(UStringView text) {
  std::string out;
  out.reserve(text.size());
  const auto& table = phoneticBytes();
  for (char16_t unit : text) {
    auto found = table.find(unit);
    if (found == table.end()) return std::nullopt;
    out.push_back(static_cast<char>(found->second));
  }
  return out;
}

class EntryEncoder {
 public:
  EntryEncoder(const Options& options, Report* report)
      : _bocu(options.bocu),
        _headPage(getEWordEncodingFromSignature(options.signature)),
        _translationPage(getJWordEncodingFromSignature(options.signature)),
        _report(report) {}

  bool usable() const {
    return _bocu || (_headPage != kCodePageNone && _translationPage != kCodePageNone);
  }

  std::optional<RawEntry> encode(const Entry& entry) {
    if (entry.headWord.empty()) return std::nullopt;
    std::optional<std::string> headWord = encodeHeadWord(entry.headWord);
    std::optional<std::string> translation = _bocu
                                                 ? toBocu1(entry.translation, SIZE_MAX)
                                                 : toCodePage(_translationPage, entry.translation);
    if (!headWord || headWord->empty() || !translation) return std::nullopt;

    std::optional<std::string> example;
    if (entry.example) {
      example = _bocu ? toBocu1(*entry.example, SIZE_MAX) : toCodePage(_headPage, *entry.example);
      if (!example) return std::nullopt;
    }
    std::optional<std::string> pronunciation;
    if (entry.pronunciation) {
      pronunciation =
          _bocu ? toBocu1(*entry.pronunciation, SIZE_MAX) : toPhoneticBytes(*entry.pronunciation);
      if (!pronunciation) ++_report->pronunciationsDropped;
    }

    RawEntry raw;
    raw.headWord = std::move(*headWord);
    raw.attribute = static_cast<uint8_t>(std::clamp<int>(entry.level, 0, kLevelMask)) & kLevelMask;
    raw.body = std::move(*translation);
    if (example || pronunciation) {
      raw.attribute |= kExtendedEntryFlag;
      raw.body.push_back('\0');
      appendTextField(raw.body, kTagExample, example);
      appendTextField(raw.body, kTagPronunciation, pronunciation);
      raw.body.push_back(static_cast<char>(kEndOfFieldsTag));
    }
    return raw;
  }

 private:
  static void appendTextField(std::string& body, uint8_t tag,
                              const std::optional<std::string>& text) {
    if (!text) return;
    body.push_back(static_cast<char>(tag));
    body += *text;
    body.push_back('\0');
  }

  std::optional<std::string> encodeHeadWord(UStringView text) {
    std::optional<std::string> bytes =
        _bocu ? toBocu1(text, SIZE_MAX) : toCodePage(_headPage, text);
    if (!bytes || bytes->size() <= kMaxHeadWordBytes) return bytes;
    ++_report->headWordsCut;
    if (_bocu) return toBocu1(text, kMaxHeadWordBytes);
    bytes->resize(wholeCharacterPrefix(_headPage, reinterpret_cast<const uint8_t*>(bytes->data()),
                                       bytes->size(), kMaxHeadWordBytes));
    return bytes;
  }

  bool _bocu;
  CodePage _headPage;
  CodePage _translationPage;
  Report* _report;
};

bool headWordBefore(const RawEntry& a, const RawEntry& b) {
  size_t n = std::min(a.headWord.size(), b.headWord.size());
  int order = std::memcmp(a.headWord.data(), b.headWord.data(), n);  // unsigned bytes
  return order != 0 ? order < 0 : a.headWord.size() < b.headWord.size();
}

bool sameEntry(const RawEntry& a, const RawEntry& b) {
  return a.headWord == b.headWord && a.attribute == b.attribute && a.body == b.body;
}

// Keeps the first of entries that are equal in every byte; entries that only share their head
// word all stay, in input order.
size_t dropExactDuplicates(std::vector<RawEntry>& sorted) {
  std::vector<RawEntry> kept;
  kept.reserve(sorted.size());
  size_t runStart = 0;
  for (RawEntry& entry : sorted) {
    if (!kept.empty() && kept.back().headWord != entry.headWord) runStart = kept.size();
    bool seen = std::any_of(kept.begin() + static_cast<std::ptrdiff_t>(runStart), kept.end(),
                            [&](const RawEntry& k) { return sameEntry(k, entry); });
    if (!seen) kept.push_back(std::move(entry));
  }
  size_t dropped = sorted.size() - kept.size();
  sorted = std::move(kept);
  return dropped;
}

}  // namespace

std::optional<std::vector<uint8_t>> buildDictionary(const std::vector<Entry>& entries,
                                                    const Options& options, Report* report,
                                                    std::string* error) {
  Report ignoredReport;
  if (!report) report = &ignoredReport;
  *report = Report{};
  std::string ignoredError;
  if (!error) error = &ignoredError;
  if (options.bocu && options.version == 2) {
    *error = "version 2 has no os byte, so it cannot mark a dictionary as BOCU-1";
    return std::nullopt;
  }
  EntryEncoder encoder(options, report);
  if (!encoder.usable()) {
    *error = "the signature names a BOCU-1 dictionary; build it with BOCU-1 texts";
    return std::nullopt;
  }
  std::vector<RawEntry> raw;
  raw.reserve(entries.size());
  for (const Entry& entry : entries) {
    if (std::optional<RawEntry> encoded = encoder.encode(entry)) {
      raw.push_back(std::move(*encoded));
    } else {
      ++report->skipped;
    }
  }
  std::stable_sort(raw.begin(), raw.end(), headWordBefore);
  report->duplicates = dropExactDuplicates(raw);
  if (raw.empty()) {
    *error = "no entries to write";
    return std::nullopt;
  }
  std::optional<std::vector<uint8_t>> file = buildDictionaryFromRaw(raw, options, error);
  if (file) report->written = raw.size();
  return file;
}

std::optional<Report> writeDictionary(const std::string& path, const std::vector<Entry>& entries,
                                      Options options, std::string* error) {
  if (options.signature == 0) {
    UString widePath = fromUtf8(path);
    options.signature = getDicSignatureFromPath(UStringView(widePath));
  }
  Report report;
  const std::optional<std::vector<uint8_t>> file =
      buildDictionary(entries, options, &report, error);
  if (!file) return std::nullopt;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file->data()),
            static_cast<std::streamsize>(file->size()));
  out.close();
  if (!out) {
    if (error) *error = "cannot write " + path;
    return std::nullopt;
  }
  return report;
}

}  // namespace lexor::writer
