// Request lines through the script-call protocol, against a folder of small dictionaries (the
// suite's four files, a code-page and a BOCU-1 dictionary). Every request answers one line of
// JSON holding a result or an error, and no sequence of requests breaks the object.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_scratch.h"
#include "fuzz/seed_dictionaries.h"
#include "platform/log.h"
#include "plugin/lexor_peek.h"
#include "plugin/script_dispatcher.h"

namespace {

constexpr size_t kMaxRequestsPerInput = 64;

void checkResponse(const std::string& response) {
  if (response.find('\n') != std::string::npos) __builtin_trap();
  const nlohmann::json answer = nlohmann::json::parse(response, nullptr, false);
  if (!answer.is_object() || answer.size() != 1) __builtin_trap();
  if (!answer.contains("result") && !(answer.contains("error") && answer["error"].is_string()))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  lexor::fuzz::useSeedHome(lexor::fuzz::scratch().path().string());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A fresh object for every input, so that a failing input replays on its own.
  std::shared_ptr<lexor::LexorPeek> peek = lexor::LexorPeek::initWithWebView(nullptr);
  std::string_view lines(reinterpret_cast<const char*>(data), size);
  for (size_t n = 0; n < kMaxRequestsPerInput && !lines.empty(); ++n) {
    const size_t end = lines.find('\n');
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    checkResponse(lexor::handleScriptRequest(*peek, line));
  }
  return 0;
}
