// Writes the seed corpus of every fuzz target, one folder per target:
//   make_seeds OUTPUT_FOLDER
// The seeds are made fresh by the dictionary writer, so none are kept in the source tree.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/string_bridge.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/seed_dictionaries.h"

namespace {

namespace fs = std::filesystem;

void writeSeed(const fs::path& folder, size_t n, const std::vector<uint8_t>& bytes) {
  fs::create_directories(folder);
  std::ofstream out(folder / ("seed-" + std::to_string(n)), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> utf16Bytes(const lexor::UString& text) {
  std::vector<uint8_t> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

uint8_t nameChoice(const std::string& fileName) {
  const auto& names = lexor::fuzz::dictionaryFileNames();
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == fileName) return static_cast<uint8_t>(i);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_seeds OUTPUT_FOLDER\n", stderr);
    return 2;
  }
  const fs::path out = argv[1];
  using namespace lexor::fuzz;
  const std::vector<lexor::UString> words = seedQueryWords();

  size_t n = 0;
  for (const SeedDictionary& seed : seedDictionaries()) {
    // Two words each, taken in turn, so that every word meets every layout somewhere.
    const std::vector<lexor::UString> pair = {words[n % words.size()],
                                              words[(n + 3) % words.size()]};
    writeSeed(out / "dictionary_file", n++,
              writeDictionaryInput(nameChoice(seed.fileName), pair, seed.bytes));
  }
  n = 0;
  for (const std::vector<uint8_t>& block : seedBlocks()) writeSeed(out / "data_block", n++, block);

  n = 0;
  for (const lexor::UString& word : words) {
    writeSeed(out / "bocu1", n++, utf16Bytes(word));
    // The encoded form too, so that the byte-first half starts from valid BOCU-1.
    std::vector<uint8_t> encoded(word.size() * 4 + 1);
    lexor::CreateBOCU1StringWithNSString(word, encoded.data(),
                                         static_cast<int32_t>(encoded.size()));
    encoded.resize(std::strlen(reinterpret_cast<const char*>(encoded.data())));
    writeSeed(out / "bocu1", n++, encoded);
  }

  n = 0;
  for (const std::string& name : dictionaryFileNames()) {
    writeSeed(out / "file_name", n++, utf16Bytes(lexor::fromUtf8(name)));
  }
  writeSeed(out / "file_name", n++, utf16Bytes(u"jaes2.dic"));
  writeSeed(out / "file_name", n++, utf16Bytes(u"gdig1w.dic"));
  writeSeed(out / "file_name", n++, utf16Bytes(u"ambora\uff15\uff12.dic"));

  n = 0;
  std::vector<std::string> sessions = seedSessions();
  sessions.push_back(
      "{\"op\":\"useAmbora\"}\n{\"op\":\"matchWords\",\"args\":[\"lev\",\"go\",10]}\n"
      "{\"op\":\"matchWords\",\"args\":[\"re\",\"^g(o|a)\",5]}\n{\"op\":\"matchStrategies\"}\n");
  for (const std::string& session : sessions) {
    writeSeed(out / "script_request", n++, std::vector<uint8_t>(session.begin(), session.end()));
  }

  // HTTP requests after a byte that chooses how they are cut: a page load, pipelined calls, and
  // the framings that are refused.
  n = 0;
  for (const std::string& request : {
           std::string(
               "\xffGET / HTTP/1.1\r\nHost: 127.0.0.1:8737\r\nSec-Fetch-Site: none\r\n\r\n"),
           std::string("\x07POST /LexorPeek HTTP/1.1\r\nHost: h\r\nContent-Length: "
                       "17\r\n\r\n{\"op\":\"dicCount\"}"
                       "POST /LexorPeek HTTP/1.1\r\nHost: h\r\nContent-Length: 2\r\n\r\n[]GET /a "
                       "HTTP/1.0\r\n\r\n"),
           std::string(
               "\x01POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n\r\n"),
           std::string("\x20POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx"),
       }) {
    writeSeed(out / "http_request", n++, std::vector<uint8_t>(request.begin(), request.end()));
  }

  // match_strategies: strategy choice, dictionary choice, then the word or pattern as UTF-8.
  n = 0;
  std::vector<std::string> queries;
  for (const lexor::UString& word : words) queries.push_back(lexor::toUtf8(word));
  for (const char* pattern : {"^a.*e$", "\\(ab\\)\\{1,2\\}", "[[:alpha:]]+ [^x]", "(a|b)?c{2}"})
    queries.push_back(pattern);
  for (uint8_t strategy = 0; strategy < 10; ++strategy) {
    for (size_t q = strategy % 3; q < queries.size(); q += 3) {
      std::vector<uint8_t> input = {strategy, static_cast<uint8_t>(n)};
      input.insert(input.end(), queries[q].begin(), queries[q].end());
      writeSeed(out / "match_strategies", n++, input);
    }
  }

  n = 0;
  for (const char* commands : {
           "DEFINE * cat\r\nDEFINE ! \"\xe7\x8c\xab\"\r\nDEFINE ambora dog\r\n",
           "MATCH * . cta\r\nMATCH * re '^c.t$'\r\nMATCH * regexp \"a\\\\(b\"\r\nMATCH ambora lev "
           "cat\r\n",
           "MATCH * prefix c\r\nMATCH * substring a\r\nMATCH * suffix t\r\nMATCH * word cat\r\n",
           "SHOW DB\r\nSHOW STRAT\r\nSHOW INFO ambora\r\nSHOW SERVER\r\nOPTION "
           "MIME\r\nHELP\r\nSTATUS\r\n",
           "CLIENT x\nAUTH a b\nQUIT\nDEFINE * cat\n",
       }) {
    writeSeed(out / "dict_command", n++,
              std::vector<uint8_t>(commands, commands + std::strlen(commands)));
  }

  // A full-text query, a NUL, then markup to mark its hits in.
  using namespace std::string_view_literals;
  n = 0;
  for (const std::string_view seed :
       {"cat\0a <b>Cat</b>s cat"sv, "\"black cat\" dog*\0black cat<br>dog"sv,
        "stra\xc3\x9f"
        "e\0STRASSE &amp; caf&#233;"sv,
        "\xe7\x8c\xab\0\xe9\xbb\x92<br>\xe7\x8c\xab"sv, "\"unclosed"sv}) {
    writeSeed(out / "fulltext_query", n++, std::vector<uint8_t>(seed.begin(), seed.end()));
  }

  // japanese: dictionary choice, then a conjugated word or romaji.
  n = 0;
  for (const std::string_view word :
       {"\x01\xe9\xa3\x9f\xe3\x81\xb9\xe3\x81\x95\xe3\x81\x9b\xe3\x82\x89\xe3\x82\x8c\xe3\x81\xaa"
        "\xe3\x81\x8b\xe3\x81\xa3\xe3\x81\x9f"sv,      // 食べさせられなかった
        "\x01\xe3\x81\x8b\xe3\x81\xa3\xe3\x81\x9f"sv,  // かった
        "\x00tabemasita"sv, "\x01kon'nichiha TOUKYOU matcha xtsu ra-men t\xc5\x8dky\xc5\x8d"sv}) {
    writeSeed(out / "japanese", n++, std::vector<uint8_t>(word.begin(), word.end()));
  }
  return 0;
}
