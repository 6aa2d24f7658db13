#include "fuzz/seed_dictionaries.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/bocu1.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_scratch.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::fuzz {
namespace {

using writer::Entry;
using writer::FieldWidths;
using writer::Options;
using writer::RawEntry;

std::vector<Entry> englishEntries() {
  std::vector<Entry> entries = {
      {u"a", u"ひとつの", std::nullopt, std::nullopt, 1},
      {u"apple", u"りんご\r\n果物", u"\u00e6pl", u"an apple a day", 2},
      {u"apply", u"適用する", std::nullopt, u"apply the rule", 3},
      {u"go", u"行く", u"gou", std::nullopt, 1},
      {u"going", u"行くこと", std::nullopt, std::nullopt, 0},
      {u"gone", u"行ってしまった", std::nullopt, std::nullopt, 4},
      {u"good", u"良い", std::nullopt, u"good morning", 1},
      {u"zoo", u"動物園", std::nullopt, std::nullopt, 15},
  };
  // Enough words that small blocks split and the index has many entries.
  for (int i = 0; i < 60; ++i) {
    entries.push_back({u"go" + fromUtf8(std::to_string(100 + i)),
                       u"語" + fromUtf8(std::to_string(i)), std::nullopt, std::nullopt, i % 16});
  }
  return entries;
}

std::vector<Entry> japaneseEntries() {
  return {
      {u"りんご", u"apple", std::nullopt, std::nullopt, 1},
      {u"行く", u"go", std::nullopt, u"学校へ行く", 2},
      {u"良い", u"good", std::nullopt, std::nullopt, 0},
  };
}

std::vector<uint8_t> build(const std::vector<Entry>& entries, const std::string& fileName,
                           Options options) {
  options.signature = getDicSignatureFromPath(UStringView(fromUtf8(fileName)));
  std::string error;
  std::optional<std::vector<uint8_t>> bytes =
      writer::buildDictionary(entries, options, nullptr, &error);
  if (!bytes) {  // the seeds are fixed; a failure is a fault of the writer
    std::fprintf(stderr, "cannot build the seed %s: %s\n", fileName.c_str(), error.c_str());
    std::abort();
  }
  return std::move(*bytes);
}

std::string bocu1(UStringView text) {
  std::string out(text.size() * 4 + 1, '\0');
  UString source(text);
  const int32_t n = bocu1_encode_from16(source.c_str(), reinterpret_cast<uint8_t*>(out.data()),
                                        static_cast<int32_t>(out.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

// A simple entry, an extended one with every kind of field, and one with a shared prefix.
std::vector<RawEntry> rawEntries(bool bocu) {
  auto text = [&](std::u16string_view t, std::string ascii) { return bocu ? bocu1(t) : ascii; };
  std::string extended = text(u"translation", "translation") + '\0';
  extended += '\x01' + text(u"example", "example") + '\0';
  extended += '\x02' + std::string("pron") + '\0';
  extended += std::string("\x10\x02\x00\xAB\xCD", 5);  // a binary field of 2 bytes
  extended += '\x30';                                  // a tag alone
  extended += '\x80';
  return {
      {text(u"apple", "apple"), 0x01, text(u"simple", "simple\r\nline")},
      {text(u"apply", "apply"), 0x12, extended},
      {text(u"go", "go"), 0x00, text(u"go", "go")},
  };
}

}  // namespace

std::vector<SeedDictionary> seedDictionaries() {
  std::vector<SeedDictionary> seeds;
  const std::vector<Entry> english = englishEntries();
  for (int version = 2; version <= 5; ++version) {
    for (const FieldWidths widths : {FieldWidths::kTwo, FieldWidths::kFour, FieldWidths::kMixed}) {
      Options options;
      options.version = version;
      options.fieldWidths = widths;
      options.blockBytes = version % 2 ? 256 : 1024;
      options.blockNumberWidth = version >= 4 && widths == FieldWidths::kFour ? 4 : 2;
      seeds.push_back({"ambora52.dic", build(english, "ambora52.dic", options)});
      if (version >= 3) {
        options.bocu = true;
        seeds.push_back({"unknown.dic", build(english, "unknown.dic", options)});
        seeds.push_back({"revora48.dic", build(japaneseEntries(), "revora48.dic", options)});
      }
    }
  }
  Options plain;
  seeds.push_back({"german1.dic", build({{u"Stra\u00dfe", u"通り", std::nullopt, std::nullopt, 0},
                                         {u"\u00dcber", u"上", std::nullopt, std::nullopt, 0}},
                                        "german1.dic", plain)});
  Options bocu;
  bocu.bocu = true;
  seeds.push_back({"cj1.dic", build({{u"妈", u"ma1 mother", std::nullopt, std::nullopt, 0},
                                     {u"你", u"ni3 you", std::nullopt, std::nullopt, 0}},
                                    "cj1.dic", bocu)});
  return seeds;
}

std::vector<UString> seedQueryWords() {
  return {u"a", u"ap", u"apple", u"go", u"go1", u"zz", u"りんご", u"行", u"Stra", u"\U0001F600"};
}

std::vector<std::vector<uint8_t>> seedBlocks() {
  std::vector<std::vector<uint8_t>> blocks;
  for (const bool bocu : {false, true}) {
    for (const int width : {2, 4}) {
      std::vector<uint8_t> input{
          static_cast<uint8_t>((bocu ? kBlockBocuFlag : 0) | (width == 4 ? kBlockWideFlag : 0))};
      const std::vector<uint8_t> block =
          writer::buildDataBlock(rawEntries(bocu), bocu, width).value();
      input.insert(input.end(), block.begin(), block.end());
      blocks.push_back(std::move(input));
    }
  }
  return blocks;
}

void writeSeedFolder(const std::string& folder) {
  std::filesystem::create_directories(folder);
  auto write = [&](const std::string& name, const std::vector<Entry>& entries, Options options) {
    options.signature = 0;
    const std::filesystem::path path = std::filesystem::path(folder) / name;
    std::filesystem::create_directories(path.parent_path());
    std::string error;
    if (!writer::writeDictionary(path.string(), entries, options, &error)) {
      std::fprintf(stderr, "cannot write the dictionary %s: %s\n", name.c_str(), error.c_str());
      std::abort();
    }
  };
  Options codePage;
  Options bocu;
  bocu.bocu = true;
  write("ambora52.dic", englishEntries(), codePage);
  write("revora48.dic", japaneseEntries(), codePage);
  write("abbora1.dic", {{u"abbr.", u"略語", std::nullopt, std::nullopt, 0}}, codePage);
  write("exora1.dic", {{u"apple", u"例文", std::nullopt, u"I ate an apple.", 0}}, codePage);
  write("german1.dic", {{u"Stra\u00dfe", u"通り", std::nullopt, std::nullopt, 0}}, codePage);
  write("sub/unknown1.dic", englishEntries(), bocu);
}

std::vector<std::string> seedSessions() {
  return {
      R"({"op":"dicCount"}
{"op":"dicNamesInDir"}
{"op":"dicPathsInDir"}
{"op":"getDicDir"}
{"op":"isAmboraAvailable"})",
      R"({"op":"useNthDic","args":[0]}
{"op":"queryWithWord","args":["go"]}
{"op":"getRecord"}
{"op":"getRecordAsText"}
{"op":"moveNext"}
{"op":"getRecordAsHTML"}
{"op":"isEOF"})",
      R"({"op":"useAmbora"}
{"op":"queryWithWord","args":["りんご"]}
{"op":"getRecordAsHTML"}
{"op":"queryWithWord","args":["apple"]}
{"op":"moveNext"}
{"op":"consult","args":["go"]})",
      R"({"op":"addDictionary","args":[null]}
{"op":"removeDictionaries"}
{"op":"useNthDic","args":[5]}
{"op":"consult","args":["a"]}
{"op":"bogus"}
not json
{"op":"useNthDic","args":["x"]})",
  };
}

void useSeedHome(const std::string& scratch) {
  const std::filesystem::path home = std::filesystem::path(scratch) / "home";
  writeSeedFolder((home / "Library" / "Lexor").string());
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);  // full-text indexes stay in scratch
}

std::vector<std::shared_ptr<Lexor>> openSeedDictionaries() {
  std::vector<std::shared_ptr<Lexor>> opened;
  size_t n = 0;
  for (const SeedDictionary& seed : seedDictionaries()) {
    const std::string path = scratch().write(std::to_string(n++) + "-" + seed.fileName, seed.bytes);
    if (std::shared_ptr<Lexor> dic = Lexor::initWithFilePath(fromUtf8(path)))
      opened.push_back(std::move(dic));
  }
  return opened;
}

}  // namespace lexor::fuzz
