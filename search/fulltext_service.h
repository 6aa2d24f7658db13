// Full-text search for a long-lived host (the script protocol): indexes opened once and kept,
// and missing ones built on a background thread, so that a query never waits for a build.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/record.h"
#include "search/fulltext_index.h"

namespace lexor::search {

class FulltextService {
 public:
  // The process's one service; its builder thread outlives every caller.
  static FulltextService& shared();

  struct Answer {
    // An index is missing and its build runs (or was started by this call): nothing was
    // searched, and a later call answers.
    bool building = false;
    std::vector<Record> records;  // best first, each dictionary in turn
    FulltextQuery query;          // as parsed, to mark the hits
  };

  // Searches the dictionaries in order, up to `limit` records (0: all). When one of them has no
  // usable index yet, the missing ones are queued for building and the answer is `building`.
  // A dictionary whose index cannot be made at all is passed over. std::nullopt, with the reason
  // in *error, for a query that does not parse.
  std::optional<Answer> search(const std::vector<UString>& paths, const UString& query,
                               size_t limit, std::string* error);

  // [entries indexed, entries in all] of the queued builds while one runs; std::nullopt when
  // none does.
  std::optional<std::pair<uint64_t, uint64_t>> progress();

  // Waits until the queued builds are done (tests and hosts shutting down).
  void waitForBuilds();

 private:
  FulltextService() = default;
  void build();

  std::mutex _mutex;
  std::condition_variable _idle;
  std::map<UString, std::unique_ptr<FulltextIndex>> _indexes;
  std::map<UString, std::string> _failed;  // dictionaries whose index cannot be made
  std::deque<UString> _queue;
  bool _building = false;
  uint64_t _doneBefore = 0;  // entries of the batch's finished builds
  uint64_t _done = 0;        // of the running build
  uint64_t _all = 0;         // of the batch
};

}  // namespace lexor::search
