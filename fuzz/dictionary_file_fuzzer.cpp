// Whole dictionary files: open, look up the input's words, walk every match and fetch every
// record in the page's three forms. Every byte of a dictionary file is untrusted.
#include <cstddef>
#include <cstdint>

#include "core/lexor.h"
#include "core/lexor_index.h"
#include "core/lexor_recordset.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_scratch.h"
#include "platform/log.h"
#include "plugin/lexor_peek.h"

namespace {

// A walk visits each entry of each block once; this is far above what a 64 KiB input can hold,
// and reaching it would mean the walk repeats itself.
constexpr size_t kMaxMatchesPerWord = 1 << 20;

void walk(lexor::LexorRecordset& recordset, const lexor::UString& word) {
  size_t matches = 0;
  for (bool found = recordset.queryWithWord(word); found; found = recordset.moveNext()) {
    if (++matches > kMaxMatchesPerWord) __builtin_trap();
    if (std::optional<lexor::Record> record = recordset.getRecordAsDictionary()) {
      lexor::recordAsList(*record);
      lexor::recordAsText(*record);
      lexor::recordAsHTML(*record);
    }
  }
  if (!recordset.isEOF()) __builtin_trap();
  if (recordset.moveNext()) __builtin_trap();  // an ended walk stays ended
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const lexor::fuzz::DictionaryInput input = lexor::fuzz::readDictionaryInput(data, size);
  const std::string path = lexor::fuzz::scratch().write(input.fileName, input.file);
  // Each input is a new file at an old path; a shared index must not outlive it.
  lexor::clearLexorIndexCache();

  std::shared_ptr<lexor::Lexor> dic = lexor::Lexor::initWithFilePath(lexor::fromUtf8(path));
  if (!dic) return 0;
  auto recordset = lexor::LexorRecordset::initWithDic(dic);
  walk(*recordset, u"a");
  for (const lexor::UString& word : input.words) walk(*recordset, word);
  // The same dictionary twice: the walk crosses from one to the next.
  recordset->addDic(lexor::Lexor::initWithFilePath(lexor::fromUtf8(path)));
  if (!input.words.empty()) walk(*recordset, input.words.front());
  return 0;
}
