// The plug-in object that a host creates and a page's script calls: the dictionary folder and its
// listing, the choice of dictionaries (one, several by path, or the Ambora suite), queries and
// the rendering of entries for the page.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/lexor_recordset.h"
#include "platform/script_value.h"
#include "platform/ustring.h"

namespace lexor {

class LexorPeek : public ScriptObject {
 public:
  // Construction as a host does it: finds ~/Library/Lexor and scans it once.
  static std::shared_ptr<LexorPeek> initWithWebView(WebView* webView);
  ~LexorPeek() override;

  // Registers the object on the page's window under the key "LexorPeek".
  void windowScriptObjectAvailable(WindowScriptObject* windowScriptObject);

  // The class-side questions of the script bridge. Selectors are written as in the script-name
  // table ("_useNthDic:", "_removeDics", "initWithWebView:").
  static std::optional<std::string> webScriptNameForSelector(std::string_view selector);
  static bool isSelectorExcludedFromWebScript(std::string_view selector);
  static bool isKeyExcludedFromWebScript(const char* name);

  // Folder and listing.
  std::optional<UString> _getDicDir() const;
  std::vector<UString> _dicPathsInDir();
  std::vector<UString> _dicNamesInDir() const;
  int32_t _dicCount();

  // Selection.
  void _addDictionary(const std::optional<UString>& path);
  void _removeDics();
  void _useNthDic(int32_t position);
  void _useAmbora();
  int32_t _isAmboraAvailable() const;

  // Query and rendering.
  bool _queryWithWord(const UString& word);
  bool _moveNext();
  bool _isEOF();
  std::optional<ScriptList> _getRecord();
  std::optional<UString> _getRecordAsText();
  std::optional<UString> _getRecordAsHTML();
  std::optional<std::vector<UString>> _consult(const UString& word);
  // The same, given up once the fragments pass `maxBytes` bytes of UTF-8: then *tooLarge is set
  // and what was built is dropped, so that a host with a bound on answers never holds more.
  std::optional<std::vector<UString>> _consult(const UString& word, size_t maxBytes,
                                               bool* tooLarge);

  // The dictionaries a match of the word searches, in order: those of the current choice, or in
  // suite mode the side that a query of the word would search. Changes no state.
  LexorList matchDictionaries(const UString& word);

  // Full-text search of the current choice (in suite mode, the side whose translations are in
  // the query's script): the matches as "getRecordAsHTML" renders them, each hit in <mark>. An
  // index still missing starts building in the background and the answer is `building`, with no
  // fragments. std::nullopt, with the reason in *error, for a bad query or limit.
  struct TextSearchAnswer {
    bool building = false;
    std::vector<UString> fragments;
  };
  static constexpr int32_t kMaxTextSearchLimit = 10000;
  std::optional<TextSearchAnswer> _searchText(const UString& query, int32_t limit,
                                              std::string* error);
  // [entries indexed, entries in all] while an index is being built, else std::nullopt.
  std::optional<std::pair<uint64_t, uint64_t>> _searchProgress();

  // For tests and hosts.
  LexorRecordset& recordset(int i) { return *_rs[i]; }
  // The listing of the last scan, relative to the folder, without scanning again.
  const std::vector<UString>& listedPaths() const { return _dicFiles; }
  int32_t currentRecordsetIndex() const { return _currRs; }
  bool amboraMode() const { return _amboraMode; }
  int32_t amboraDicID() const { return _amboraDicID; }
  int32_t revoraDicID() const { return _revoraDicID; }
  int32_t abboraDicID() const { return _abboraDicID; }
  int32_t exoraDicID() const { return _exoraDicID; }
  int32_t amboraVer() const { return _amboraVer; }
  int32_t revoraVer() const { return _revoraVer; }

  // For hosts beyond the page (the command line, the DICT server): the folder's listing gives,
  // after the page's places (unchanged), every other dictionary the page's limit leaves out. Takes
  // effect at the next scan (_dicCount, _dicPathsInDir).
  void setListsEveryDictionary(bool every) { _listsEvery = every; }

 private:
  LexorPeek() = default;
  void findDictionaryFolder();
  bool isListedPosition(int32_t position) const;
  UString listedPath(int32_t position) const;
  void openAndAdd(LexorRecordset& rs, const UString& path);
  void addListed(LexorRecordset& rs, int32_t position);
  LexorRecordset& currentRecordset() { return *_rs[_currRs]; }
  std::shared_ptr<Lexor> openListed(int32_t position);
  // The record under the current cursor for the text and HTML forms, which test the end first.
  std::optional<Record> recordUnlessAtEnd();

  WebView* _webView = nullptr;
  std::optional<UString> _dicDir;
  std::vector<UString> _dicFiles;
  std::vector<UString> _dicNames;
  bool _listsEvery = false;
  std::array<std::shared_ptr<LexorRecordset>, 2> _rs;
  int32_t _currRs = 0;
  bool _amboraMode = false;
  int32_t _amboraVer = 0;
  int32_t _revoraVer = 0;
  int32_t _amboraDicID = -1;
  int32_t _revoraDicID = -1;
  int32_t _abboraDicID = -1;
  int32_t _exoraDicID = -1;
};

// The three forms in which the page fetches a record: five values with a null marker for each
// absent one, the text form ("<br>" between its parts) and the HTML fragment. Values go in as
// the record holds them, unescaped; a record without a head word shows an empty one.
ScriptList recordAsList(const Record& record);
UString recordAsText(const Record& record);
UString recordAsHTML(const Record& record);

// Whether the suite searches its Japanese side for the word: it has a character above the
// ideographic space (kana, kanji, Japanese punctuation, full-width forms).
bool isJapaneseWord(UStringView word);

// The target of an alias (a symbolic link on this platform), or the path itself; logs
// "resolveAlias(%@)" and ": resolvedPath = %@". std::nullopt for none.
std::optional<UString> resolveAlias(const std::optional<UString>& path);

}  // namespace lexor
