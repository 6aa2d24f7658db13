// The framing that the fuzz targets and their seed generator share: a fuzz input is a few
// choices (a file name, query words) followed by the bytes under test, so that the fuzzer can
// mutate both and the seeds can be written from real dictionaries.
//
//   dictionary input := name-choice u8, word-count u8, word*, file bytes
//   word             := unit-count u8, unit-count x u16 (little-endian UTF-16)
//   block input      := flags u8, block bytes (head word included)
//     flags: bit 0 BOCU-1 layout, bit 1 4-byte field lengths, bits 2-4 the dictionary texts
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/dic_identity.h"
#include "platform/ustring.h"

namespace lexor::fuzz {

inline constexpr size_t kMaxQueryWords = 4;
inline constexpr uint8_t kBlockBocuFlag = 0x01;
inline constexpr uint8_t kBlockWideFlag = 0x02;
inline constexpr int kBlockTextsShift = 2;

// File names whose signatures cover the kinds of texts: Shift_JIS, the syllable dictionary,
// single-byte code pages, Korean and Chinese ones, and an unknown name.
inline const std::vector<std::string>& dictionaryFileNames() {
  static const std::vector<std::string> kNames = {
      "ambora52.dic",    "revora48.dic",        "cj1.dic",         "german1.dic", "fr1.dic",
      "ellinika1.dic",   "english-korean1.dic", "chinese_gb1.dic", "unknown.dic", "irreg1.dic",
      "espana1-uni.dic", "arabic1.dic",
  };
  return kNames;
}

// Reads a fuzz input front to back; past its end every read gives zeros or nothing.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : _data(data), _size(size) {}

  uint8_t byte() { return _pos < _size ? _data[_pos++] : 0; }

  UString utf16(size_t units) {
    UString text;
    for (size_t i = 0; i < units && _size - _pos >= 2; ++i, _pos += 2) {
      text.push_back(static_cast<char16_t>(_data[_pos] | (_data[_pos + 1] << 8)));
    }
    return text;
  }

  std::span<const uint8_t> rest() {
    std::span<const uint8_t> tail(_data + _pos, _size - _pos);
    _pos = _size;
    return tail;
  }

 private:
  const uint8_t* _data;
  size_t _size;
  size_t _pos = 0;
};

struct DictionaryInput {
  std::string fileName;
  std::vector<UString> words;
  std::span<const uint8_t> file;
};

inline DictionaryInput readDictionaryInput(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  DictionaryInput input;
  const auto& names = dictionaryFileNames();
  input.fileName = names[in.byte() % names.size()];
  const size_t count = in.byte() % (kMaxQueryWords + 1);
  for (size_t i = 0; i < count; ++i) input.words.push_back(in.utf16(in.byte()));
  input.file = in.rest();
  return input;
}

inline std::vector<uint8_t> writeDictionaryInput(uint8_t nameChoice,
                                                 const std::vector<UString>& words,
                                                 const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out{nameChoice, static_cast<uint8_t>(words.size())};
  for (const UString& word : words) {
    const size_t units = std::min<size_t>(word.size(), 255);
    out.push_back(static_cast<uint8_t>(units));
    for (size_t i = 0; i < units; ++i) {
      out.push_back(static_cast<uint8_t>(word[i] & 0xFF));
      out.push_back(static_cast<uint8_t>(word[i] >> 8));
    }
  }
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

}  // namespace lexor::fuzz
