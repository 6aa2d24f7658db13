// Bytes from a DICT client, against a folder of small dictionaries (the suite's files, a
// code-page and a BOCU-1 dictionary) served by the real strategy engine. Whatever comes, every
// answer is made of CR LF lines that each begin with a status code or belong to a text that a
// lone "." closes, and the session holds no more than one line of input.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_scratch.h"
#include "fuzz/seed_dictionaries.h"
#include "hosts/dict/command_line.h"
#include "hosts/dict/dict_session.h"
#include "hosts/dict/engine_matcher.h"
#include "platform/log.h"
#include "plugin/lexor_peek.h"

namespace {

std::unique_ptr<lexor::dict::DictLibrary> library;
std::unique_ptr<lexor::dict::WordMatcher> matcher;

bool isStatusLine(std::string_view line) {
  return line.size() >= 3 && line[0] >= '1' && line[0] <= '5' && line[1] >= '0' && line[1] <= '9' &&
         line[2] >= '0' && line[2] <= '9';
}

// Walks the answer line by line: status lines, and the texts that 11x, 151 and 152 open.
void checkAnswer(std::string_view answer) {
  bool inText = false;
  while (!answer.empty()) {
    const size_t end = answer.find("\r\n");
    if (end == std::string_view::npos) __builtin_trap();
    const std::string_view line = answer.substr(0, end);
    answer.remove_prefix(end + 2);
    if (line.find('\n') != std::string_view::npos || line.find('\r') != std::string_view::npos)
      __builtin_trap();
    if (inText) {
      if (line == ".") inText = false;
      continue;
    }
    if (!isStatusLine(line)) __builtin_trap();
    inText = line.starts_with("11") || line.starts_with("151") || line.starts_with("152");
  }
  if (inText) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  lexor::fuzz::useSeedHome(lexor::fuzz::scratch().path().string());
  std::shared_ptr<lexor::LexorPeek> peek = lexor::LexorPeek::initWithWebView(nullptr);
  library = std::make_unique<lexor::dict::DictLibrary>(lexor::dict::DictLibrary::fromPeek(*peek));
  matcher = lexor::dict::makeEngineMatcher(*library);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lexor::dict::DictSession session(*library, *matcher, lexor::dict::SessionOptions{100, "fuzz\n"},
                                   "<1@fuzz>");
  std::string answer;
  // Fed in two pieces cut where the first byte says, so that framing across reads is exercised.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  session.receive(bytes.substr(0, cut), &answer);
  session.receive(bytes.substr(cut), &answer);
  if (session.pending() > lexor::dict::kMaxCommandLine) __builtin_trap();
  checkAnswer(answer);
  return 0;
}
