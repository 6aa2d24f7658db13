#include "hosts/dict/dict_library.h"

#include <algorithm>

#include "platform/log.h"
#include "platform/path.h"
#include "plugin/lexor_peek.h"

namespace lexor::dict {
namespace {

bool keepsItsName(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

bool isReserved(std::string_view name, const std::vector<std::string>& taken) {
  return name == "*" || name == "!" || name == kSuiteDatabase ||
         std::find(taken.begin(), taken.end(), name) != taken.end();
}

}  // namespace

std::string databaseNameForPath(UStringView path) {
  UString file = lastPathComponent(path);
  if (lowercase(pathExtension(file)) == u"dic") file.resize(file.size() - 4);
  std::string name;
  for (size_t i = 0; i < file.size(); ++i) {
    char32_t c = file[i];
    // A surrogate pair is one character and gets one '_'.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < file.size() && file[i + 1] >= 0xDC00 &&
        file[i + 1] <= 0xDFFF)
      ++i;
    name += keepsItsName(c) ? static_cast<char>(c) : '_';
  }
  return name;
}

std::string uniqueDatabaseName(const std::string& name, const std::vector<std::string>& taken) {
  if (!isReserved(name, taken)) return name;
  for (size_t n = 2;; ++n) {
    std::string numbered = name + "-" + std::to_string(n);
    if (!isReserved(numbered, taken)) return numbered;
  }
}

DictLibrary DictLibrary::fromFiles(const std::vector<std::pair<UString, std::string>>& listed,
                                   std::optional<size_t> englishSide,
                                   std::optional<size_t> japaneseSide) {
  DictLibrary library;
  std::vector<std::string> taken;
  for (size_t i = 0; i < listed.size(); ++i) {
    const auto& [path, displayName] = listed[i];
    std::shared_ptr<Lexor> dic = Lexor::initWithFilePath(path);
    if (!dic) {
      logFormat("dict: cannot open %s; it is not served", toUtf8(path).c_str());
      continue;
    }
    std::string name = uniqueDatabaseName(databaseNameForPath(path), taken);
    taken.push_back(name);
    if (englishSide == i) library._english = library._databases.size();
    if (japaneseSide == i) library._japanese = library._databases.size();
    library._databases.push_back(DictDatabase{std::move(name), displayName, path, std::move(dic)});
  }
  return library;
}

DictLibrary DictLibrary::fromPeek(LexorPeek& peek) {
  peek.setListsEveryDictionary(true);  // clients have no page's limit of five
  const std::vector<UString> files = peek._dicPathsInDir();
  const std::vector<UString> names = peek._dicNamesInDir();
  const std::optional<UString> folder = peek._getDicDir();
  std::vector<std::pair<UString, std::string>> listed;
  for (size_t i = 0; folder && i < files.size() && i < names.size(); ++i) {
    listed.emplace_back(*folder + u"/" + files[i], toUtf8(names[i]));
  }
  std::optional<size_t> english;
  std::optional<size_t> japanese;
  if (peek._isAmboraAvailable() > 0 && peek.amboraDicID() >= 0 && peek.revoraDicID() >= 0) {
    english = static_cast<size_t>(peek.amboraDicID());
    japanese = static_cast<size_t>(peek.revoraDicID());
  }
  return fromFiles(listed, english, japanese);
}

std::optional<size_t> DictLibrary::find(std::string_view name, const UString& word) const {
  if (isSuiteName(name)) return isJapaneseWord(word) ? _japanese : _english;
  for (size_t i = 0; i < _databases.size(); ++i) {
    if (_databases[i].name == name) return i;
  }
  return std::nullopt;
}

}  // namespace lexor::dict
