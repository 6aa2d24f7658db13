// The workers that run what requests ask for, off the network thread. Work of one lane runs one
// at a time in the order it was posted; lanes and lane-less work share the workers first come,
// first served, so one busy lane holds at most one worker.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <stop_token>

namespace lexor::net {

class WorkPool {
 public:
  explicit WorkPool(size_t workers);
  // Stops, waiting for running work however long it takes: a host that cannot wait ends the
  // process before (see stop).
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  void post(const void* lane, std::function<void(std::stop_token)> task);

  // Asks running work to stop, drops what has not started, and waits up to `grace` for the
  // workers. True when they all ended; false when work still runs (an index build, say): the
  // workers are left to it and the caller must end the process without tearing down what the work
  // uses. May be called again.
  bool stop(std::chrono::milliseconds grace);

 private:
  struct Shared;
  std::shared_ptr<Shared> _shared;  // the workers hold it too
};

}  // namespace lexor::net
