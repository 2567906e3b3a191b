#pragma once

#include <pthread.h>

#include <future>
#include <thread>
#include <utility>

// Runs the work on a thread of its own, named name (at most 15 characters), detached: for jobs
// that may wait for seconds, which the shared pool's few threads must not. The future holds its
// result, or what it threw.
template <class Work>
auto launch(const char* name, Work work) -> std::shared_future<decltype(work())> {
  std::packaged_task<decltype(work())()> task(std::move(work));
  auto result = task.get_future().share();
  std::thread([name, task = std::move(task)]() mutable {
    pthread_setname_np(pthread_self(), name);
    task();
  }).detach();
  return result;
}
