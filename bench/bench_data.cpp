#include "bench/bench_data.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/code_page.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::bench {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSeed = 20260601;
constexpr size_t kSampledWords = 5'000;

using Rng = std::mt19937;

size_t pick(Rng& rng, size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }
bool chance(Rng& rng, double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }

template <size_t N>
const char* pickOf(Rng& rng, const char* const (&items)[N]) {
  return items[pick(rng, N)];
}

// English-like words from syllables: lengths from 2 to about 16 letters, most of 5 to 10.
std::string englishWord(Rng& rng) {
  static const char* const onsets[] = {
      "b",  "c",  "d",  "f",  "g",  "h",  "j",  "k",  "l",  "m",  "n",  "p",  "qu", "r",
      "s",  "t",  "v",  "w",  "y",  "z",  "bl", "br", "ch", "cl", "cr", "dr", "fl", "fr",
      "gr", "pl", "pr", "sh", "sp", "st", "th", "tr", "",   "",   "s",  "c",  "m",  "p"};
  static const char* const vowels[] = {"a", "e",  "i",  "o",  "u",  "a",  "e",  "i",
                                       "o", "ai", "ea", "ee", "io", "ou", "oo", "y"};
  static const char* const codas[] = {"",   "",   "",   "n",  "r",  "s",  "t",  "l", "m",
                                      "nd", "nt", "st", "ck", "ng", "rd", "ss", "x"};
  static const char* const suffixes[] = {"",     "",   "",   "",   "ing",  "tion",
                                         "ness", "ly", "er", "ed", "able", "ment"};
  const size_t syllables = 1 + pick(rng, 3);
  std::string w;
  for (size_t i = 0; i < syllables; ++i) {
    w += pickOf(rng, onsets);
    w += pickOf(rng, vowels);
    w += pickOf(rng, codas);
  }
  w += pickOf(rng, suffixes);
  return w;
}

std::string englishHeadWord(Rng& rng) {
  std::string w = englishWord(rng);
  for (const double p : {0.15, 0.04}) {
    if (!chance(rng, p)) continue;
    w += ' ';
    w += englishWord(rng);
  }
  if (chance(rng, 0.05)) w[0] = static_cast<char>(w[0] - 'a' + 'A');
  return w;
}

std::string englishPhrase(Rng& rng, size_t words) {
  std::string s;
  for (size_t i = 0; i < words; ++i) {
    if (i) s += ' ';
    s += englishWord(rng);
  }
  return s;
}

// The kanji of the first level of JIS X 0208, as Shift_JIS holds them.
const std::vector<char16_t>& kanjiPool() {
  static const std::vector<char16_t> pool = [] {
    std::vector<char16_t> kanji;
    for (int lead = 0x88; lead <= 0x98; ++lead) {
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        const uint8_t bytes[2] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)};
        auto text = decodeCodePage(kCodePageShiftJIS, bytes, 2);
        if (text && text->size() == 1 && (*text)[0] >= 0x4E00 && (*text)[0] <= 0x9FFF) {
          kanji.push_back((*text)[0]);
        }
      }
    }
    return kanji;
  }();
  return pool;
}

char16_t hiragana(Rng& rng) { return static_cast<char16_t>(0x3041 + pick(rng, 0x53)); }
char16_t katakana(Rng& rng) { return static_cast<char16_t>(0x30A1 + pick(rng, 0x53)); }
char16_t kanji(Rng& rng) { return kanjiPool()[pick(rng, kanjiPool().size())]; }

// A Japanese word: kanji compounds with kana endings, or katakana loan words.
UString japaneseWord(Rng& rng) {
  UString w;
  if (chance(rng, 0.1)) {
    const size_t n = 3 + pick(rng, 5);
    for (size_t i = 0; i < n; ++i) w += katakana(rng);
    return w;
  }
  const size_t k = 1 + pick(rng, 3);
  for (size_t i = 0; i < k; ++i) w += kanji(rng);
  const size_t h = pick(rng, 4);
  for (size_t i = 0; i < h; ++i) w += hiragana(rng);
  return w;
}

// One to four senses, as a translation of this kind of dictionary lists them.
UString japaneseTranslation(Rng& rng) {
  UString t;
  const size_t senses = 1 + pick(rng, 4);
  for (size_t i = 0; i < senses; ++i) {
    if (i) t += chance(rng, 0.7) ? u"、" : u"；";
    t += japaneseWord(rng);
    if (chance(rng, 0.3)) t += u"する";
    if (chance(rng, 0.15)) t += u"（" + japaneseWord(rng) + u"）";
  }
  return t;
}

UString greekWord(Rng& rng) {
  UString w;
  const size_t n = 3 + pick(rng, 8);
  for (size_t i = 0; i < n; ++i) w += static_cast<char16_t>(0x03B1 + pick(rng, 25));
  return w;
}

UString cyrillicWord(Rng& rng) {
  UString w;
  const size_t n = 3 + pick(rng, 9);
  for (size_t i = 0; i < n; ++i) w += static_cast<char16_t>(0x0430 + pick(rng, 32));
  return w;
}

std::vector<writer::Entry> englishJapaneseEntries(size_t count, Rng& rng) {
  std::vector<writer::Entry> entries(count);
  for (auto& e : entries) {
    const std::string head = englishHeadWord(rng);
    e.headWord = fromUtf8(head);
    e.translation = japaneseTranslation(rng);
    if (chance(rng, 0.2)) e.pronunciation = fromUtf8(head.substr(0, head.find(' ')));
    if (chance(rng, 0.1)) e.example = fromUtf8("the " + head + " " + englishPhrase(rng, 4) + ".");
    if (chance(rng, 0.05)) e.level = 1 + static_cast<int>(pick(rng, 5));
  }
  return entries;
}

std::vector<writer::Entry> japaneseEnglishEntries(size_t count, Rng& rng) {
  std::vector<writer::Entry> entries(count);
  for (auto& e : entries) {
    e.headWord = japaneseWord(rng);
    e.translation = fromUtf8(englishPhrase(rng, 1 + pick(rng, 3)) + "; " + englishPhrase(rng, 2));
  }
  return entries;
}

std::vector<writer::Entry> mixedScriptEntries(size_t count, Rng& rng) {
  std::vector<writer::Entry> entries(count);
  for (auto& e : entries) {
    const size_t script = pick(rng, 10);
    if (script < 7) {
      e.headWord = fromUtf8(englishHeadWord(rng));
    } else if (script == 7) {
      e.headWord = greekWord(rng);
    } else if (script == 8) {
      e.headWord = cyrillicWord(rng);
    } else {
      e.headWord = japaneseWord(rng);
    }
    e.translation = chance(rng, 0.6) ? japaneseTranslation(rng)
                                     : fromUtf8(englishPhrase(rng, 2 + pick(rng, 5)));
    if (chance(rng, 0.1)) e.example = fromUtf8(englishPhrase(rng, 6));
    if (chance(rng, 0.05)) e.level = 1 + static_cast<int>(pick(rng, 5));
  }
  return entries;
}

void writeWords(const std::string& path, const std::vector<writer::Entry>& entries) {
  std::ofstream out(path + ".tmp");
  for (size_t i = 0; i < entries.size() && i < kSampledWords; ++i) {
    out << toUtf8(entries[i].headWord) << '\n';
  }
  out.close();
  fs::rename(path + ".tmp", path);
}

std::vector<UString> readWords(const std::string& path) {
  std::vector<UString> words;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) words.push_back(fromUtf8(line));
  if (words.empty()) throw std::runtime_error("no words in " + path);
  return words;
}

void writeDictionary(const std::string& path, const std::vector<writer::Entry>& entries,
                     bool bocu) {
  writer::Options options;
  options.version = 5;
  options.bocu = bocu;
  options.blockNumberWidth = 0;  // 4 bytes once the data outgrows 2-byte block numbers
  fs::create_directories(fs::path(path).parent_path());
  // The signature comes from the final name, not the temporary one.
  const UString finalName = fromUtf8(path);
  options.signature = getDicSignatureFromPath(UStringView(finalName));
  std::string error;
  const std::optional<writer::Report> report =
      writer::writeDictionary(path + ".tmp", entries, options, &error);
  if (!report) throw std::runtime_error(path + ": " + error);
  fs::rename(path + ".tmp", path);
  std::fprintf(stderr, "bench data: %s, %zu entries written\n", path.c_str(), report->written);
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
}

// The same head words and translations in an indexed table, for the range-query comparison.
void writeSqlite(const std::string& path, const std::vector<writer::Entry>& entries) {
  const std::string tmp = path + ".tmp";
  fs::remove(tmp);
  sqlite3* db = nullptr;
  check(sqlite3_open(tmp.c_str(), &db), db, "open");
  check(sqlite3_exec(db,
                     "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                     "CREATE TABLE entries(head_word TEXT NOT NULL, translation TEXT NOT NULL);"
                     "BEGIN;",
                     nullptr, nullptr, nullptr),
        db, "create");
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db, "INSERT INTO entries VALUES(?1, ?2)", -1, &insert, nullptr), db,
        "prepare");
  for (const auto& e : entries) {
    const std::string head = toUtf8(e.headWord);
    const std::string translation = toUtf8(e.translation);
    sqlite3_bind_text(insert, 1, head.data(), static_cast<int>(head.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, translation.data(), static_cast<int>(translation.size()),
                      SQLITE_TRANSIENT);
    check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  check(sqlite3_exec(db, "COMMIT; CREATE INDEX by_head_word ON entries(head_word);", nullptr,
                     nullptr, nullptr),
        db, "index");
  sqlite3_close(db);
  fs::rename(tmp, path);
  std::fprintf(stderr, "bench data: %s written\n", path.c_str());
}

// Folder names and file names of the tree: the suite's, known keys and unknown ones.
void writeTree(const std::string& folder) {
  static const char* const names[] = {"ambora52", "revora52",    "abbora3", "exora2",    "sample",
                                      "jaes2",    "espana3-uni", "gdig1w",  "uni2",      "dsample",
                                      "notes",    "Wordlist",    "irreg_f", "nl_en-ge1", "misc"};
  const std::string tmp = folder + ".tmp";
  fs::remove_all(tmp);
  std::vector<writer::Entry> entries(3);
  entries[0].headWord = u"apple";
  entries[0].translation = u"りんご";
  entries[1].headWord = u"pear";
  entries[1].translation = u"なし";
  entries[2].headWord = u"plum";
  entries[2].translation = u"すもも";
  writer::Options options;
  options.signature = fourCharCode("EJam");
  std::string error;
  const std::optional<std::vector<uint8_t>> file =
      writer::buildDictionary(entries, options, nullptr, &error);
  if (!file) throw std::runtime_error("tree dictionary: " + error);
  size_t n = 0;
  for (int a = 0; a < 10; ++a) {
    for (int b = 0; b < 10; ++b) {
      const fs::path dir =
          fs::path(tmp) / ("set" + std::to_string(a)) / ("part" + std::to_string(b));
      fs::create_directories(dir);
      for (int c = 0; c < 10; ++c, ++n) {
        const std::string name =
            std::string(names[n % std::size(names)]) + "-" + std::to_string(n) + ".dic";
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file->data()),
                  static_cast<std::streamsize>(file->size()));
      }
    }
  }
  fs::rename(tmp, folder);
  std::fprintf(stderr, "bench data: %s, %zu files written\n", folder.c_str(), n);
}

std::string dataRoot() {
  if (const char* env = std::getenv("LEXOR_BENCH_DATA"); env && *env) return env;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "bench-data";
  return (exe.parent_path().parent_path() / "bench-data").string();
}

BenchData makeBenchData() {
  BenchData d;
  d.root = dataRoot();
  d.home = d.root + "/home";
  d.sjisPath = d.home + "/Library/Lexor/ambora52.dic";
  d.japanesePath = d.home + "/Library/Lexor/revora52.dic";
  d.bocuPath = d.root + "/bocu/large-uni.dic";
  d.sqlitePath = d.root + "/ambora52.sqlite";
  d.treeHome = d.root + "/tree/home";
  fs::create_directories(d.root);
  const std::string sjisWords = d.root + "/ambora52.words";
  const std::string japaneseWords = d.root + "/revora52.words";
  const std::string bocuWords = d.root + "/large-uni.words";

  // Each data set has a seed of its own, so that one can be regenerated alone.
  if (!fs::exists(d.sjisPath) || !fs::exists(d.sqlitePath) || !fs::exists(sjisWords)) {
    Rng rng(kSeed);
    const auto entries = englishJapaneseEntries(kLargeEntries, rng);
    writeDictionary(d.sjisPath, entries, false);
    writeSqlite(d.sqlitePath, entries);
    writeWords(sjisWords, entries);
  }
  if (!fs::exists(d.japanesePath) || !fs::exists(japaneseWords)) {
    Rng rng(kSeed + 1);
    const auto entries = japaneseEnglishEntries(kJapaneseEntries, rng);
    writeDictionary(d.japanesePath, entries, false);
    writeWords(japaneseWords, entries);
  }
  if (!fs::exists(d.bocuPath) || !fs::exists(bocuWords)) {
    Rng rng(kSeed + 2);
    const auto entries = mixedScriptEntries(kLargeEntries, rng);
    writeDictionary(d.bocuPath, entries, true);
    writeWords(bocuWords, entries);
  }
  if (!fs::exists(d.root + "/tree")) {
    fs::create_directories(d.root + "/tree");
    writeTree(d.treeHome + "/Library/Lexor");
  } else if (!fs::exists(d.treeHome + "/Library/Lexor")) {
    fs::create_directories(d.treeHome + "/Library");
    writeTree(d.treeHome + "/Library/Lexor");
  }
  d.sjisWords = readWords(sjisWords);
  d.japaneseWords = readWords(japaneseWords);
  d.bocuWords = readWords(bocuWords);
  return d;
}

}  // namespace

const BenchData& benchData() {
  static const BenchData data = makeBenchData();
  return data;
}

UString mixedScriptText(size_t units) {
  // Sentences of one script at a time, as real documents mix them.
  Rng rng(kSeed + 3);
  UString text;
  while (text.size() < units) {
    switch (pick(rng, 8)) {
      case 0:
      case 1:
        text += fromUtf8(englishPhrase(rng, 12)) + u". ";
        break;
      case 2:
        text += japaneseTranslation(rng) + japaneseTranslation(rng) + u"。";
        break;
      case 3:
        text += greekWord(rng) + u" " + greekWord(rng) + u" " + greekWord(rng) + u". ";
        break;
      case 4:
        text += cyrillicWord(rng) + u" " + cyrillicWord(rng) + u" " + cyrillicWord(rng) + u".\n";
        break;
      case 5:
        for (int i = 0; i < 12; ++i) text += static_cast<char16_t>(0xAC00 + pick(rng, 11172));
        text += u" ";
        break;
      case 6:
        for (int i = 0; i < 8; ++i) text += static_cast<char16_t>(0x0627 + pick(rng, 20));
        text += u" ";
        break;
      case 7:
        // Characters beyond the Basic Multilingual Plane, as surrogate pairs.
        for (int i = 0; i < 4; ++i) {
          const char32_t c = 0x1F600 + static_cast<char32_t>(pick(rng, 64));
          text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
          text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        text += u" ";
        break;
    }
  }
  text.resize(units);
  // Never end in half a surrogate pair.
  if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u'.';
  return text;
}

std::vector<std::string> shiftJisTranslations(size_t count) {
  Rng rng(kSeed + 4);
  std::vector<std::string> out;
  out.reserve(count);
  while (out.size() < count) {
    if (auto bytes = encodeCodePage(kCodePageShiftJIS, japaneseTranslation(rng))) {
      out.push_back(std::move(*bytes));
    }
  }
  return out;
}

}  // namespace lexor::bench
