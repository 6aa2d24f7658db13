#include "hosts/net/work_pool.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace lexor::net {

using Task = std::function<void(std::stop_token)>;

struct WorkPool::Shared {
  struct Item {
    const void* lane;
    Task task;
  };

  // Runs tasks until the pool stops.
  void work() {
    std::unique_lock lock(mutex);
    while (true) {
      ready.wait(lock, [this] { return stopping || !queue.empty(); });
      if (stopping) break;
      Item item = std::move(queue.front());
      queue.pop_front();
      lock.unlock();
      item.task(stop.get_token());
      item.task = nullptr;  // what it captured goes here, off the lock
      lock.lock();
      if (item.lane && !stopping) laneDone(item.lane);
    }
    --workers;
    ended.notify_all();
  }

  // The lane's next task, if any, joins the queue's end: a lane never jumps ahead of others.
  void laneDone(const void* lane) {
    auto it = lanes.find(lane);
    if (it->second.empty()) {
      lanes.erase(it);
      return;
    }
    queue.push_back(Item{lane, std::move(it->second.front())});
    it->second.pop_front();
    ready.notify_one();
  }

  std::mutex mutex;
  std::condition_variable ready;
  std::condition_variable ended;
  std::deque<Item> queue;
  // A lane with a task queued or running, and the tasks that wait behind it.
  std::unordered_map<const void*, std::deque<Task>> lanes;
  std::stop_source stop;
  size_t workers = 0;  // not yet ended
  bool stopping = false;
};

WorkPool::WorkPool(size_t workers) : _shared(std::make_shared<Shared>()) {
  _shared->workers = workers;
  for (size_t i = 0; i < workers; ++i) {
    std::thread([shared = _shared] { shared->work(); }).detach();
  }
}

WorkPool::~WorkPool() { stop(std::chrono::milliseconds::max()); }

void WorkPool::post(const void* lane, Task task) {
  std::lock_guard lock(_shared->mutex);
  if (_shared->stopping) return;
  if (lane) {
    auto [it, idle] = _shared->lanes.try_emplace(lane);
    if (!idle) {
      it->second.push_back(std::move(task));
      return;
    }
  }
  _shared->queue.push_back(Shared::Item{lane, std::move(task)});
  _shared->ready.notify_one();
}

bool WorkPool::stop(std::chrono::milliseconds grace) {
  std::unique_lock lock(_shared->mutex);
  _shared->stopping = true;
  _shared->stop.request_stop();
  _shared->queue.clear();
  _shared->lanes.clear();
  _shared->ready.notify_all();
  const auto allEnded = [this] { return _shared->workers == 0; };
  if (grace == std::chrono::milliseconds::max()) {
    _shared->ended.wait(lock, allEnded);
    return true;
  }
  return _shared->ended.wait_for(lock, grace, allEnded);
}

}  // namespace lexor::net
