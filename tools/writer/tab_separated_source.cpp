// Entries from a UTF-8 text file, one per line:
//
//   head word TAB translation [TAB pronunciation [TAB example [TAB level]]]
//
// Blank lines are skipped and a CR before the line feed is dropped. In the translation and the
// example, the escapes \n (a line break, stored as CR LF, the format's line break), \t (a tab)
// and \\ (a backslash) are expanded; any other backslash stays as it is. An empty pronunciation or
// example field means none. The level is a number from 0 to 15 (empty: 0).
#include <charconv>
#include <fstream>
#include <sstream>

#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

constexpr int kMaxLevel = kLevelMask;

std::string expandEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[i + 1];
      if (next == 'n') {
        out += "\r\n";
        ++i;
        continue;
      }
      if (next == 't' || next == '\\') {
        out.push_back(next == 't' ? '\t' : '\\');
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::optional<Entry> parseLine(std::string_view line, std::string* problem) {
  std::vector<std::string_view> fields = splitTabs(line);
  if (fields.size() < 2) {
    *problem = "expected a head word, a tab and a translation";
    return std::nullopt;
  }
  if (fields.size() > 5) {
    *problem = "more than 5 fields";
    return std::nullopt;
  }
  Entry entry;
  entry.headWord = fromUtf8(fields[0]);
  entry.translation = fromUtf8(expandEscapes(fields[1]));
  if (fields.size() > 2 && !fields[2].empty()) entry.pronunciation = fromUtf8(fields[2]);
  if (fields.size() > 3 && !fields[3].empty()) entry.example = fromUtf8(expandEscapes(fields[3]));
  if (fields.size() > 4 && !fields[4].empty()) {
    std::string_view text = fields[4];
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), entry.level);
    if (ec != std::errc() || end != text.data() + text.size() || entry.level < 0 ||
        entry.level > kMaxLevel) {
      *problem = "the level must be a number from 0 to 15";
      return std::nullopt;
    }
  }
  return entry;
}

}  // namespace

std::optional<std::vector<Entry>> readTabSeparated(const std::string& path, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return std::nullopt;
  }
  std::vector<Entry> entries;
  std::string line;
  size_t lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::string problem;
    std::optional<Entry> entry = parseLine(line, &problem);
    if (!entry) {
      *error = path + ":" + std::to_string(lineNumber) + ": " + problem;
      return std::nullopt;
    }
    entries.push_back(std::move(*entry));
  }
  if (in.bad()) {
    *error = "cannot read " + path;
    return std::nullopt;
  }
  return entries;
}

}  // namespace lexor::writer
