// File names, as any folder may hold them: signature, display name, the code pages of the
// signature, and the name itself through its head-word code page and back.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/dic_identity.h"
#include "fuzz/fuzz_input.h"
#include "platform/code_page.h"
#include "platform/log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lexor::fuzz::ByteReader in(data, size);
  const lexor::UString name = in.utf16(size / 2);
  const lexor::Signature signature = lexor::getDicSignatureFromPath(lexor::UStringView(name));
  // The same name in a folder gives the same signature: only the last component counts.
  const lexor::UString inFolder = u"/home/user/Library/Lexor/sub/" + name;
  if (name.find(u'/') == lexor::UString::npos &&
      lexor::getDicSignatureFromPath(lexor::UStringView(inFolder)) != signature)
    __builtin_trap();
  lexor::getDicNameFromSignature(signature);

  const lexor::CodePage pages[] = {lexor::getEWordEncodingFromSignature(signature),
                                   lexor::getJWordEncodingFromSignature(signature)};
  for (const lexor::CodePage page : pages) {
    const std::optional<std::string> bytes = lexor::encodeCodePage(page, name);
    if (!bytes) continue;
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes->data());
    if (lexor::wholeCharacterPrefix(page, raw, bytes->size(), 255) > bytes->size())
      __builtin_trap();
    lexor::decodeCodePage(page, raw, bytes->size());
  }
  // Raw bytes decoded in every code page a name can choose.
  for (const lexor::CodePage page : pages) {
    lexor::decodeCodePage(page, data, size);
    if (lexor::wholeCharacterPrefix(page, data, size, size / 2) > size / 2) __builtin_trap();
  }
  return 0;
}
