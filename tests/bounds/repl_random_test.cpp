// Ten thousand random requests through `lexorpeek repl`: well-formed calls with random
// arguments, calls with the wrong arguments, broken JSON, deep nesting and random bytes. Every
// line gets one JSON answer and the process is alive (and exits cleanly) at the end.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "plugin/script_dispatcher.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr size_t kRequests = 10000;

std::string binary() {
  const char* dir = std::getenv("LEXOR_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/bin/lexorpeek";
}

class RequestMaker {
 public:
  explicit RequestMaker(std::string folder) : folder_(std::move(folder)) {}

  std::string next() {
    switch (pick(8)) {
      case 0:
      case 1:
      case 2: return wellFormed();
      case 3: return wrongArguments();
      case 4: return brokenJson();
      case 5: return randomBytes(pick(200));
      case 6: return std::string(1 + pick(20000), "[{\""[pick(3)]);  // deep nesting
      default: return session();
    }
  }

 private:
  size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

  json word() {
    static const std::vector<std::string> kWords = {"a", "ap", "apple", "go", "りんご", "行",
                                                    "", " ", "\u00df", "😀", "a\u0000b"};
    if (pick(10) == 0) return randomUtf8(pick(300));
    return kWords[pick(kWords.size())];
  }

  json path() {
    switch (pick(4)) {
      case 0: return nullptr;
      case 1: return folder_ + "/ambora52.dic";
      case 2: return "/nonexistent/" + randomUtf8(5);
      default: return folder_;
    }
  }

  json argumentFor(const std::string& op) {
    if (op == "useNthDic") return static_cast<int>(pick(12)) - 3;
    if (op == "addDictionary") return path();
    return word();
  }

  std::string wellFormed() {
    const std::string& op = scriptNames()[pick(scriptNames().size())];
    json request = {{"op", op}};
    if (op == "useNthDic" || op == "addDictionary" || op == "consult" || op == "queryWithWord") {
      request["args"] = json::array({argumentFor(op)});
    }
    return request.dump();
  }

  std::string wrongArguments() {
    const std::string& op = scriptNames()[pick(scriptNames().size())];
    static const std::vector<json> kOdd = {1.5, json::array(), json::object(), true,
                                           4294967296LL, -2147483649LL, "7", nullptr};
    json args = json::array();
    for (size_t i = pick(4); i > 0; --i) args.push_back(kOdd[pick(kOdd.size())]);
    return json{{"op", op}, {"args", args}}.dump();
  }

  std::string brokenJson() {
    std::string line = wellFormed();
    line.resize(pick(line.size() + 1));
    if (pick(2)) line += "\"\\u";
    return line;
  }

  std::string randomBytes(size_t n) {
    std::string bytes;
    for (size_t i = 0; i < n; ++i) {
      char c = static_cast<char>(pick(256));
      bytes.push_back(c == '\n' ? ' ' : c);
    }
    return bytes;
  }

  std::string randomUtf8(size_t units) {
    std::u16string text;
    for (size_t i = 0; i < units; ++i) text.push_back(static_cast<char16_t>(1 + pick(0xFFFE)));
    return toUtf8(text);
  }

  std::string session() {
    return pick(2) ? R"({"op":"useAmbora"})" : R"({"op":"useNthDic","args":[0]})";
  }

  std::string folder_;
  std::mt19937 random_{20240601};
};

TEST(ReplBounds, TenThousandRandomRequests) {
  ASSERT_TRUE(fs::exists(binary())) << binary() << " is not built";
  testing::TempDir dir;
  const std::string folder = dir.path().string() + "/Library/Lexor";
  fs::create_directories(folder);
  const std::vector<writer::Entry> english = {{u"apple", u"りんご", std::nullopt, std::nullopt, 0},
                                              {u"go", u"行く", std::nullopt, std::nullopt, 0}};
  const std::vector<writer::Entry> japanese = {{u"りんご", u"apple", std::nullopt, std::nullopt, 0},
                                               {u"行く", u"go", std::nullopt, std::nullopt, 0}};
  ASSERT_TRUE(writer::writeDictionary(folder + "/ambora52.dic", english, {}).error.empty());
  ASSERT_TRUE(writer::writeDictionary(folder + "/revora48.dic", japanese, {}).error.empty());
  writer::Options bocu;
  bocu.bocu = true;
  ASSERT_TRUE(writer::writeDictionary(folder + "/words1.dic", english, bocu).error.empty());

  RequestMaker maker(folder);
  {
    std::ofstream in(dir.file("requests"), std::ios::binary);
    for (size_t i = 0; i < kRequests; ++i) in << maker.next() << '\n';
  }
  const std::string command = "HOME='" + dir.path().string() + "' '" + binary() + "' repl <'" +
                              dir.file("requests") + "' >'" + dir.file("responses") + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << "the repl did not exit by itself";
  EXPECT_EQ(WEXITSTATUS(status), 0);

  std::ifstream out(dir.file("responses"), std::ios::binary);
  std::string line;
  size_t answers = 0;
  while (std::getline(out, line)) {
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
