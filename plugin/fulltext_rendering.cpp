// Full-text search for the page: the current choice's dictionaries searched through the shared
// search service, matches rendered as the page renders a record, with the hits marked.
#include "plugin/lexor_peek.h"
#include "search/fulltext_query.h"
#include "search/fulltext_service.h"
#include "search/fulltext_text.h"

namespace lexor {

LexorPeek::TextSearchAnswer LexorPeek::_searchText(const UString& query, int32_t limit) {
  TextSearchAnswer answer;
  if (limit < 1 || limit > kMaxTextSearchLimit) {
    answer.error = "the limit must be from 1 to " + std::to_string(kMaxTextSearchLimit);
    return answer;
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
  search::FulltextService::Answer found =
      search::FulltextService::shared().search(paths, query, static_cast<size_t>(limit));
  switch (found.status) {
    case search::FulltextService::Status::kBuilding:
      answer.error = kIndexBuilding;
      return answer;
    case search::FulltextService::Status::kBadQuery:
      answer.error = found.error;
      return answer;
    case search::FulltextService::Status::kFound:
      break;
  }
  for (Record& record : found.records) {
    if (record.jword) record.jword = search::markHits(*record.jword, found.query);
    if (record.example) record.example = search::markHits(*record.example, found.query);
    answer.fragments.push_back(recordAsHTML(record));
  }
  return answer;
}

std::optional<std::pair<uint64_t, uint64_t>> LexorPeek::_searchProgress() {
  return search::FulltextService::shared().progress();
}

}  // namespace lexor
