// A home folder for one test, so that a LexorPeek built in it finds (or misses) its Library/Lexor
// there; and a page's session over the Ambora suite and ordinary dictionaries, by script calls.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/path.h"
#include "plugin/lexor_peek.h"
#include "plugin/script_dispatcher.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::testing {

// Sets an environment variable for the object's lifetime; then the old value comes back, or none.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : _name(name) {
    if (const char* previous = getenv(name)) _previous = previous;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { _previous ? setenv(_name, _previous->c_str(), 1) : unsetenv(_name); }

 private:
  const char* _name;
  std::optional<std::string> _previous;
};

class PeekTestHome {
 public:
  std::string home() const { return _dir.path().string(); }
  std::string folder() const { return home() + "/Library/Lexor"; }
  const TempDir& dir() const { return _dir; }
  std::shared_ptr<LexorPeek> construct() const { return LexorPeek::initWithWebView(nullptr); }

  // An empty file (not a dictionary) at the path relative to the dictionary folder.
  void touch(const std::string& relative) const { _dir.write("Library/Lexor/" + relative, ""); }
  void writeDictionary(const std::string& relative, const std::vector<writer::Entry>& entries,
                       writer::Options options = {}) const {
    const std::string path = folder() + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EXPECT_TRUE(writer::writeDictionary(path, entries, options)) << relative;
  }

 private:
  TempDir _dir;
  ScopedEnv _home{"HOME", home()};
  // The full-text index cache goes into the scratch folder too, whatever the environment says.
  ScopedEnv _cache{"XDG_CACHE_HOME", home() + "/.cache"};
};

class PeekSessionTest : public ::testing::Test {
 protected:
  using json = nlohmann::json;
  using Files = std::vector<std::string>;
  using Results = std::vector<json>;

  void SetUp() override {
    _home.writeDictionary(
        "ambora52.dic", {entry("go", "行く", {.pronunciation = "gou"}), entry("going", "行くこと"),
                         entry("gone", "行った"), entry("good", "よい"), entry("apple", "りんご")});
    _home.writeDictionary("revora48.dic", {entry("行く", "go"), entry("行った", "went")});
    _home.writeDictionary("abbora1.dic", {entry("gov", "政府")});
    _home.writeDictionary("exora1.dic", {entry("go ahead", "どうぞ")});
    _home.writeDictionary("uni2.dic",
                          {writer::Entry{u"apple", u"Apfel", u"ˈæpl", u"an apple a day", 3},
                           entry("apricot", "Aprikose"), entry("banana", "<b>Banane</b>")},
                          {.bocu = true});
    _peek = _home.construct();
  }

  json call(const std::string& op, json args = json::array()) {
    const json answer =
        json::parse(handleScriptRequest(*_peek, json{{"op", op}, {"args", args}}.dump()));
    EXPECT_FALSE(answer.contains("error")) << op << ": " << answer;
    return answer["result"];
  }

  // The page's loop: while not at the end, fetch in one form, then step.
  Results fetchAll(const std::string& fetch) {
    Results results;
    for (int guard = 0; guard < 100 && !call("isEOF").get<bool>(); ++guard, call("moveNext"))
      results.push_back(call(fetch));
    return results;
  }

  Files dictionaryFiles(int rs) {
    Files names;
    for (size_t i = 0; i < _peek->recordset(rs).dicCount(); ++i)
      names.push_back(toUtf8(lastPathComponent(_peek->recordset(rs).dicAt(i)->path())));
    return names;
  }

  PeekTestHome _home;
  CapturingLogSink _log;
  std::shared_ptr<LexorPeek> _peek;
};

}  // namespace lexor::testing
