#include "core/record_decoder.h"

#include <cstring>
#include <string>

#include "core/str_util.h"
#include "core/string_bridge.h"
#include "platform/ustring.h"

namespace lexor {

namespace {

// BOCU-1 text that the block itself ends with a NUL at bytes[length]; the decoder reads to the NUL.
std::optional<UString> decodeTerminatedBocu(const uint8_t* bytes, size_t length) {
  return CreateNSStringWithBOCU1(bytes, static_cast<int32_t>(length));
}

// BOCU-1 text with no NUL after it (a simple entry's translation): decoded from a terminated copy,
// so that an embedded NUL ends it as it would end a stored string.
std::optional<UString> decodeUnterminatedBocu(std::span<const uint8_t> bytes) {
  const void* nul = std::memchr(bytes.data(), 0, bytes.size());
  const size_t length =
      nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes.data()) : bytes.size();
  std::string copy(reinterpret_cast<const char*>(bytes.data()), length);
  return CreateNSStringWithBOCU1(reinterpret_cast<const uint8_t*>(copy.c_str()),
                                 static_cast<int32_t>(length));
}

// Syllables with tone digits lead the translation of Chinese syllable dictionaries; they end at
// the first character of `separators`, which is dropped.
void splitSyllables(UString* translation, CharacterSet separators,
                    std::optional<UString>* pronunciation) {
  const size_t k = findFirstOf(*translation, separators);
  if (k == UString::npos) return;
  *pronunciation = buildPinyinStr(translation->data(), static_cast<int32_t>(k));
  translation->erase(0, k + 1);
}

}  // namespace

DictionaryTexts DictionaryTexts::of(bool bocu, Signature signature) {
  DictionaryTexts texts;
  texts.bocu = bocu;
  if (bocu) {
    texts.syllableMode = signature == kChineseSyllableSignature;
  } else {
    texts.headWordPage = getEWordEncodingFromSignature(signature);
    texts.translationPage = getJWordEncodingFromSignature(signature);
  }
  return texts;
}

Record decodeRecord(const DictionaryTexts& texts, const uint8_t* headWord, size_t headWordLength,
                    uint8_t attribute, const EntryBody& body) {
  Record record;
  const bool extended = (attribute & kExtendedEntryFlag) != 0;

  record.eword = texts.bocu ? decodeTerminatedBocu(headWord, headWordLength)
                            : decodeCodePage(texts.headWordPage, headWord, headWordLength);

  std::optional<UString> pronunciation;
  if (body.translation) {
    std::span<uint8_t> bytes = *body.translation;
    if (texts.bocu) {
      record.jword = extended ? decodeTerminatedBocu(bytes.data(), bytes.size())
                              : decodeUnterminatedBocu(bytes);
      if (record.jword && texts.syllableMode) {
        // A simple entry's syllables may end at a line break; an extended entry's only at a space.
        splitSyllables(&*record.jword,
                       extended ? CharacterSet::kWhitespace : CharacterSet::kWhitespaceAndNewline,
                       &pronunciation);
      }
    } else {
      escape0A(bytes.data(), static_cast<int32_t>(bytes.size()));
      record.jword = decodeCodePage(texts.translationPage, bytes.data(), bytes.size());
    }
  }

  if (body.pronunciation) {
    const std::span<const uint8_t> bytes = *body.pronunciation;
    std::optional<UString> field = texts.bocu ? decodeTerminatedBocu(bytes.data(), bytes.size())
                                              : sil2NSString(bytes.data(), bytes.size());
    // A field that does not decode leaves the syllables' pronunciation in place.
    if (field) pronunciation = std::move(field);
  }
  record.pron = std::move(pronunciation);

  const int32_t level = attribute & kLevelMask;
  if (level != 0) record.level = level;

  if (body.example) {
    const std::span<const uint8_t> bytes = *body.example;
    record.example = texts.bocu ? decodeTerminatedBocu(bytes.data(), bytes.size())
                                : decodeCodePage(texts.headWordPage, bytes.data(), bytes.size());
  }
  return record;
}

}  // namespace lexor
