// A short list of recently used values, newest first, bounded and safe to share between threads:
// what the caches of open files, of read indexes and of head-word tables have in common. Each
// cache says which value it wants and which values a new one replaces.
#pragma once

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace lexor {

template <typename Value>
class RecentList {
 public:
  explicit RecentList(size_t capacity) : _capacity(capacity) {}

  // The newest value that `matches` accepts, moved to the front; none when no value does.
  template <typename Matches>
  std::optional<Value> find(Matches matches) {
    return find(matches, [](const Value& value) { return value; });
  }
  // The same, giving only what `take` makes of the value: a cache hit on every read copies the
  // part its caller needs, not the key it was found by.
  template <typename Matches, typename Take>
  auto find(Matches matches, Take take)
      -> std::optional<std::decay_t<decltype(take(std::declval<const Value&>()))>> {
    std::lock_guard<std::mutex> lock(_mutex);
    for (auto it = _values.begin(); it != _values.end(); ++it) {
      if (matches(*it)) {
        _values.splice(_values.begin(), _values, it);
        return take(_values.front());
      }
    }
    return std::nullopt;
  }

  // Drops the values that `replaces` accepts, puts `value` first, and drops the oldest past the
  // capacity.
  template <typename Replaces>
  void add(Value value, Replaces replaces) {
    std::lock_guard<std::mutex> lock(_mutex);
    _values.remove_if(replaces);
    addLocked(std::move(value));
  }

  // As one step, so that callers asking at once share one value: drops the values that `stale`
  // accepts, then finds one that `matches` accepts, else adds what `make` gives.
  template <typename Stale, typename Matches, typename Make>
  Value findOrAdd(Stale stale, Matches matches, Make make) {
    std::lock_guard<std::mutex> lock(_mutex);
    _values.remove_if(stale);
    if (std::optional<Value> found = findLocked(matches)) return std::move(*found);
    addLocked(make());
    return _values.front();
  }

  void clear() {
    std::lock_guard<std::mutex> lock(_mutex);
    _values.clear();
  }

  size_t size() {
    std::lock_guard<std::mutex> lock(_mutex);
    return _values.size();
  }

 private:
  template <typename Matches>
  std::optional<Value> findLocked(Matches& matches) {
    for (auto it = _values.begin(); it != _values.end(); ++it) {
      if (matches(*it)) {
        _values.splice(_values.begin(), _values, it);
        return _values.front();
      }
    }
    return std::nullopt;
  }

  void addLocked(Value value) {
    _values.push_front(std::move(value));
    if (_values.size() > _capacity) _values.pop_back();
  }

  const size_t _capacity;
  std::mutex _mutex;
  std::list<Value> _values;
};

}  // namespace lexor
