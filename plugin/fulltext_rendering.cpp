// Full-text search for the page: the current choice's dictionaries searched through the shared
// search service, matches rendered as the page renders a record, with the hits marked.
#include "plugin/lexor_peek.h"
#include "search/fulltext_query.h"
#include "search/fulltext_service.h"
#include "search/fulltext_text.h"

namespace lexor {

std::optional<LexorPeek::TextSearchAnswer> LexorPeek::_searchText(const UString& query,
                                                                  int32_t limit,
                                                                  std::string* error) {
  if (limit < 1 || limit > kMaxTextSearchLimit) {
    *error = "the limit must be from 1 to " + std::to_string(kMaxTextSearchLimit);
    return std::nullopt;
  }
  // The suite's side is the one whose translations are in the query's script: Japanese
  // characters search the English-Japanese side.
  const int side = _amboraMode && !search::holdsCjk(query) ? 1 : 0;
  std::vector<UString> paths;
  if (_rs[side]) {
    for (size_t i = 0; i < _rs[side]->dicCount(); ++i) {
      if (std::shared_ptr<Lexor> dic = _rs[side]->dicAt(i)) paths.push_back(dic->path());
    }
  }
  std::optional<search::FulltextService::Answer> found =
      search::FulltextService::shared().search(paths, query, static_cast<size_t>(limit), error);
  if (!found) return std::nullopt;
  TextSearchAnswer answer;
  answer.building = found->building;
  for (Record& record : found->records) {
    if (record.jword) record.jword = search::markHits(*record.jword, found->query);
    if (record.example) record.example = search::markHits(*record.example, found->query);
    answer.fragments.push_back(recordAsHTML(record));
  }
  return answer;
}

std::optional<std::pair<uint64_t, uint64_t>> LexorPeek::_searchProgress() {
  return search::FulltextService::shared().progress();
}

}  // namespace lexor
