// The DICT databases: one per dictionary of the folder listing, named after its file, and the
// suite's own database that picks a side by the word.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/lexor.h"
#include "platform/ustring.h"

namespace lexor {
class LexorPeek;
}

namespace lexor::dict {

// The name under which the suite's database is served.
inline constexpr std::string_view kSuiteDatabase = "ambora";

struct DictDatabase {
  std::string name;         // as clients name it
  std::string description;  // the dictionary's display name
  UString path;             // absolute path of its file
  std::shared_ptr<Lexor> dic;
};

class DictLibrary {
 public:
  // The dictionaries the peek lists (it scans its folder); a file that does not open is left out.
  static DictLibrary fromPeek(LexorPeek& peek);
  // Databases from (path, display name) pairs in listing order; tests and tools build their own.
  // `englishSide` and `japaneseSide` are positions in `listed` of the suite's two main files.
  static DictLibrary fromFiles(const std::vector<std::pair<UString, std::string>>& listed,
                               std::optional<size_t> englishSide = std::nullopt,
                               std::optional<size_t> japaneseSide = std::nullopt);

  const std::vector<DictDatabase>& databases() const { return _databases; }
  bool hasSuite() const { return _english && _japanese; }
  // The suite's two sides, positions in databases(); std::nullopt without the suite.
  std::optional<size_t> englishSide() const { return _english; }
  std::optional<size_t> japaneseSide() const { return _japanese; }

  // The position of the database named `name`, std::nullopt for none. The suite's name
  // resolves to its side for `word`: the Japanese-English side when the word holds a Japanese
  // character, else the English-Japanese side.
  std::optional<size_t> find(std::string_view name, const UString& word) const;
  bool isSuiteName(std::string_view name) const { return hasSuite() && name == kSuiteDatabase; }

 private:
  std::vector<DictDatabase> _databases;
  std::optional<size_t> _english;
  std::optional<size_t> _japanese;
};

// A database name made from a dictionary file's path: its file name without ".dic", each
// character but ASCII letters, digits, '-', '_' and '.' replaced by '_'.
std::string databaseNameForPath(UStringView path);

// `name`, or name-2, name-3, ... the first not in `taken` nor one of "*", "!" and "ambora".
std::string uniqueDatabaseName(const std::string& name, const std::vector<std::string>& taken);

}  // namespace lexor::dict
