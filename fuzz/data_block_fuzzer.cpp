// One data block, walked entry by entry as the recordset walks it and decoded into records, with
// either entry layout and either field-length width whatever the block's head word says.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/entry_layout.h"
#include "core/lexor_recordset.h"
#include "core/record_decoder.h"
#include "fuzz/fuzz_input.h"
#include "platform/log.h"
#include "plugin/lexor_peek.h"

namespace {

using lexor::fuzz::kBlockBocuFlag;
using lexor::fuzz::kBlockTextsShift;
using lexor::fuzz::kBlockWideFlag;

lexor::DictionaryTexts textsOf(uint8_t flags) {
  const auto& names = lexor::fuzz::dictionaryFileNames();
  const std::string& name = names[(flags >> kBlockTextsShift) % names.size()];
  const lexor::Signature signature =
      lexor::getDicSignatureFromPath(lexor::UStringView(lexor::fromUtf8(name)));
  return lexor::DictionaryTexts::of((flags & kBlockBocuFlag) != 0, signature);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lexor::fuzz::ByteReader in(data, size);
  const uint8_t flags = in.byte();
  const std::span<const uint8_t> bytes = in.rest();
  // Exactly the bytes given, so that any read past them is caught.
  std::vector<uint8_t> block(bytes.begin(), bytes.end());

  lexor::EntryLayout layout;
  layout.bocu = (flags & kBlockBocuFlag) != 0;
  layout.fieldWidth = (flags & kBlockWideFlag) ? 4 : 2;
  const lexor::DictionaryTexts texts = textsOf(flags);
  const size_t limit = lexor::usableBlockSize(block);

  uint8_t word[lexor::kEwordSize] = {};
  size_t wordLength = 0;
  size_t position = lexor::kBlockEntriesOffset;
  size_t entries = 0;
  for (;;) {
    lexor::EntryHead head;
    if (lexor::readEntryHead(block.data(), limit, position, layout, &head) !=
        lexor::EntryStatus::kEntry)
      break;
    // Every entry moves on by at least its head: a walk cannot stand still.
    if (head.end <= position || head.end > limit || ++entries > limit) __builtin_trap();
    if (!lexor::decompressHeadWord(block.data() + head.tail, head.tailLength, head.prefixCount,
                                   word, &wordLength))
      break;
    if (wordLength > lexor::kMaxHeadWordBytes || word[wordLength] != 0) __builtin_trap();
    const lexor::EntryBody body =
        lexor::readEntryBody(block.data() + head.body, head.end - head.body,
                             (head.attribute & lexor::kExtendedEntryFlag) != 0, layout.fieldWidth);
    const lexor::Record record = lexor::decodeRecord(texts, word, wordLength, head.attribute, body);
    // A code-page translation is rewritten in place; decoding it again must give the same text.
    const lexor::Record again = lexor::decodeRecord(texts, word, wordLength, head.attribute, body);
    if (again.jword != record.jword) __builtin_trap();
    lexor::recordAsHTML(record);
    position = head.end;
  }
  return 0;
}
