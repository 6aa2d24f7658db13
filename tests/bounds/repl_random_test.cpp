// Ten thousand random requests through `lexorpeek repl`: well-formed calls with random
// arguments, calls with the wrong arguments, broken JSON, deep nesting and random bytes. Every
// line gets one JSON answer and the process is alive (and exits cleanly) at the end.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "plugin/script_dispatcher.h"
#include "tests/support/built_program.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor {
namespace {

using nlohmann::json;
using testing::entry;

class RequestMaker {
 public:
  explicit RequestMaker(std::string folder) : _folder(std::move(folder)) {}

  std::string next() {
    const size_t kind = pick(7);
    if (kind == 0) return wrongArguments();
    if (kind == 2) {  // random bytes
      std::string bytes;
      for (size_t i = pick(200); i > 0; --i) bytes.push_back(static_cast<char>(pick(256)));
      std::replace(bytes.begin(), bytes.end(), '\n', ' ');
      return bytes;
    }
    if (kind == 3) return std::string(1 + pick(20000), "[{\""[pick(3)]);  // deep nesting
    std::string line = wellFormed();
    if (kind == 1) {  // cut short
      line.resize(pick(line.size() + 1));
      if (pick(2)) line += "\"\\u";
    }
    return line;
  }

 private:
  size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(_random); }

  const std::string& op() { return scriptNames()[pick(scriptNames().size())]; }

  json argumentFor(const std::string& op) {
    static const std::vector<std::string> kWords = {"a", "ap", "apple",  "go", "りんご",  "行",
                                                    "",  " ",  "\u00df", "😀",  "a\u0000b"};
    if (op == "useNthDic") return static_cast<int>(pick(12)) - 3;
    if (op != "addDictionary")
      return pick(10) == 0 ? randomUtf8(pick(300)) : kWords[pick(kWords.size())];
    const json paths[] = {nullptr, _folder + "/ambora52.dic", "/nonexistent/" + randomUtf8(5),
                          _folder};
    return paths[pick(4)];
  }

  std::string wellFormed() {
    const std::string& name = op();
    json request = {{"op", name}};
    for (const char* taking : {"useNthDic", "addDictionary", "consult", "queryWithWord"})
      if (name == taking) request["args"] = json::array({argumentFor(name)});
    return request.dump();
  }

  std::string wrongArguments() {
    static const json kOdd[] = {1.5,           json::array(), json::object(), true, 4294967296LL,
                                -2147483649LL, "7",           nullptr};
    json args = json::array();
    for (size_t i = pick(4); i > 0; --i) args.push_back(kOdd[pick(std::size(kOdd))]);
    return json{{"op", op()}, {"args", args}}.dump();
  }

  std::string randomUtf8(size_t units) {
    std::u16string text;
    for (size_t i = 0; i < units; ++i) text.push_back(static_cast<char16_t>(1 + pick(0xFFFE)));
    return toUtf8(text);
  }

  std::string _folder;
  std::mt19937 _random{20240601};
};

TEST(ReplBounds, TenThousandRandomRequests) {
  constexpr size_t kRequests = 10000;
  const std::string binary = testing::builtProgram("lexorpeek");
  ASSERT_TRUE(std::filesystem::exists(binary)) << binary << " is not built";
  testing::TempDir dir;
  const std::string folder = dir.path().string() + "/Library/Lexor";
  std::filesystem::create_directories(folder);
  const std::vector<writer::Entry> english = {entry("apple", "りんご"), entry("go", "行く")};
  ASSERT_TRUE(writer::writeDictionary(folder + "/ambora52.dic", english, {}));
  ASSERT_TRUE(writer::writeDictionary(folder + "/revora48.dic", {entry("りんご", "apple")}, {}));
  ASSERT_TRUE(writer::writeDictionary(folder + "/words1.dic", english, {.bocu = true}));

  RequestMaker maker(folder);
  std::string requests;
  for (size_t i = 0; i < kRequests; ++i) requests += maker.next() + '\n';
  const std::string command = "HOME='" + dir.path().string() + "' '" + binary + "' repl <'" +
                              dir.write("requests", requests) + "' >'" + dir.file("responses") +
                              "' 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << "the repl did not exit by itself";
  EXPECT_EQ(WEXITSTATUS(status), 0);

  std::ifstream out(dir.file("responses"), std::ios::binary);
  size_t answers = 0;
  for (std::string line; std::getline(out, line);) {
    ++answers;
    const json answer = json::parse(line, nullptr, false);
    ASSERT_TRUE(answer.is_object() && answer.size() == 1 &&
                (answer.contains("result") || answer.contains("error")))
        << "answer " << answers << ": " << line.substr(0, 200);
  }
  EXPECT_EQ(answers, kRequests);
}

}  // namespace
}  // namespace lexor
