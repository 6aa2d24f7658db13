#include "hosts/cli/query_word.h"

#include "search/japanese/romaji.h"

namespace lexor::cli {

const char* const kRomajiHelp =
    R"(  --romaji         WORD is romaji (Hepburn, Kunrei or as typed on a keyboard: taberu,
                   tabemasita, kon'nichiha); it is converted to kana first, lower case
                   to hiragana, upper case to katakana
)";

std::string queryWord(const ParsedArgs& args) {
  const std::string& word = args.positionals.front();
  return args.has("--romaji") ? toUtf8(romajiToKana(fromUtf8(word))) : word;
}

}  // namespace lexor::cli
