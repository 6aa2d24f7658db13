// The strategy engine (search/) behind the DICT host's WordMatcher.
#pragma once

#include <memory>

#include "hosts/dict/dict_library.h"
#include "hosts/dict/word_matcher.h"

namespace lexor::dict {

// A matcher over the library's databases; the library outlives it.
std::unique_ptr<WordMatcher> makeEngineMatcher(const DictLibrary& library);

}  // namespace lexor::dict
