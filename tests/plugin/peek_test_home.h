// A home folder for one test: HOME points at a scratch folder, so that a LexorPeek built in the
// test finds (or misses) its Library/Lexor there.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plugin/lexor_peek.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::testing {

class PeekTestHome {
 public:
  PeekTestHome() {
    const char* previous = getenv("HOME");
    if (previous != nullptr) previousHome_ = previous;
    hadHome_ = previous != nullptr;
    setenv("HOME", home().c_str(), 1);
  }
  ~PeekTestHome() { hadHome_ ? setenv("HOME", previousHome_.c_str(), 1) : unsetenv("HOME"); }
  std::string home() const { return dir_.path().string(); }
  std::string folder() const { return home() + "/Library/Lexor"; }
  std::string inFolder(const std::string& relative) const { return folder() + "/" + relative; }

  // An empty file (not a dictionary) at the path relative to the dictionary folder.
  std::string touch(const std::string& relative) const {
    return dir_.write("Library/Lexor/" + relative, std::string_view());
  }
  std::string writeDictionary(const std::string& relative,
                              const std::vector<writer::Entry>& entries,
                              writer::Options options = {}) const {
    const std::string path = inFolder(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const writer::Report report = writer::writeDictionary(path, entries, options);
    EXPECT_TRUE(report.error.empty()) << relative << ": " << report.error;
    return path;
  }
  const TempDir& dir() const { return dir_; }

  std::shared_ptr<LexorPeek> construct() const { return LexorPeek::initWithWebView(nullptr); }

 private:
  TempDir dir_;
  std::string previousHome_;
  bool hadHome_ = false;
};

inline writer::Entry entry(const char* head, const char* translation) {
  return writer::Entry{fromUtf8(head), fromUtf8(translation), std::nullopt, std::nullopt, 0};
}

inline std::vector<std::string> utf8(const std::vector<UString>& texts) {
  std::vector<std::string> out;
  for (const UString& text : texts) out.push_back(toUtf8(text));
  return out;
}

}  // namespace lexor::testing
