#include "search/fulltext_service.h"

#include <algorithm>

#include "platform/log.h"

namespace lexor::search {

FulltextService& FulltextService::shared() {
  // Never destroyed: a detached builder may still be running when the process ends.
  static FulltextService* service = new FulltextService();
  return *service;
}

std::optional<FulltextService::Answer> FulltextService::search(const std::vector<UString>& paths,
                                                               const UString& text, size_t limit,
                                                               std::string* error) {
  std::optional<FulltextQuery> query = parseQuery(text, error);
  if (!query) return std::nullopt;
  Answer answer;
  answer.query = std::move(*query);

  std::unique_lock lock(_mutex);
  // First make sure every index is there; a query never waits for a build.
  bool missing = false;
  for (const UString& path : paths) {
    auto known = _indexes.find(path);
    if (known != _indexes.end() && !known->second->isCurrent()) {
      _indexes.erase(known);
      _failed.erase(path);
      known = _indexes.end();
    }
    if (known != _indexes.end() || _failed.count(path)) continue;
    if (std::unique_ptr<FulltextIndex> cached = FulltextIndex::openCached(path)) {
      _indexes.emplace(path, std::move(cached));
      continue;
    }
    missing = true;
    if (std::find(_queue.begin(), _queue.end(), path) != _queue.end()) continue;
    _queue.push_back(path);
    if (std::shared_ptr<Lexor> dic = Lexor::initWithFilePath(path)) {
      _all += static_cast<uint64_t>(std::max(dic->nWord(), 0));
    }
  }
  if (missing) {
    if (!_building) {
      _building = true;
      std::thread([this] { build(); }).detach();
    }
    answer.building = true;
    return answer;
  }

  for (const UString& path : paths) {
    auto known = _indexes.find(path);
    if (known == _indexes.end()) continue;
    FulltextIndex& index = *known->second;
    const size_t wanted = limit == 0 ? 0 : limit - answer.records.size();
    for (int64_t entry : index.search(answer.query, wanted)) {
      if (std::optional<Record> record = index.record(entry))
        answer.records.push_back(std::move(*record));
    }
    if (limit != 0 && answer.records.size() >= limit) break;
  }
  return answer;
}

void FulltextService::build() {
  std::unique_lock lock(_mutex);
  while (!_queue.empty()) {
    const UString path = _queue.front();
    _done = 0;
    lock.unlock();
    std::string error;
    std::unique_ptr<FulltextIndex> index = FulltextIndex::open(
        path,
        [this](uint64_t done, uint64_t) {
          std::lock_guard guard(_mutex);
          _done = done;
        },
        &error);
    lock.lock();
    _queue.pop_front();
    if (index) {
      _doneBefore += index->entries();
      _indexes[path] = std::move(index);
    } else {
      logFormat("full-text index: %s\n", error.c_str());
      _failed[path] = error;
    }
    _done = 0;
  }
  _building = false;
  _doneBefore = 0;
  _all = 0;
  _idle.notify_all();
}

std::optional<std::pair<uint64_t, uint64_t>> FulltextService::progress() {
  std::lock_guard lock(_mutex);
  if (!_building) return std::nullopt;
  const uint64_t done = _doneBefore + _done;
  return std::make_pair(done, std::max(done, _all));
}

void FulltextService::waitForBuilds() {
  std::unique_lock lock(_mutex);
  _idle.wait(lock, [this] { return !_building; });
}

}  // namespace lexor::search
