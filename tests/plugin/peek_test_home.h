// A home folder for one test: HOME points at a scratch folder, so that a LexorPeek built in the
// test finds (or misses) its Library/Lexor there.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plugin/lexor_peek.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::testing {

class PeekTestHome {
 public:
  // The full-text index cache goes into the scratch folder too, whatever the environment says.
  PeekTestHome()
      : _previous(getenv("HOME") ? getenv("HOME") : ""),
        _previousCache(getenv("XDG_CACHE_HOME") ? getenv("XDG_CACHE_HOME") : "") {
    setenv("HOME", home().c_str(), 1);
    setenv("XDG_CACHE_HOME", (home() + "/.cache").c_str(), 1);
  }
  ~PeekTestHome() {
    setenv("HOME", _previous.c_str(), 1);
    if (_previousCache.empty()) {
      unsetenv("XDG_CACHE_HOME");
    } else {
      setenv("XDG_CACHE_HOME", _previousCache.c_str(), 1);
    }
  }
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
  std::string _previous;
  std::string _previousCache;
};

inline std::vector<std::string> utf8(const std::vector<UString>& texts) {
  std::vector<std::string> out;
  for (const UString& text : texts) out.push_back(toUtf8(text));
  return out;
}

}  // namespace lexor::testing
