#pragma once

#include <pthread.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>

#include "listening/engine/FirstOutcome.h"
#include "listening/engine/ListenFailure.h"

// "it didn’t start within <whole seconds> seconds": the failure of a start that ran out of time.
inline std::string startLimitText(double seconds) {
  return "it didn\u2019t start within " + std::to_string(static_cast<long long>(std::floor(seconds))) +
         " seconds";
}

// Runs the operation on a thread of its own and returns its result, or rethrows its failure,
// unless the time limit passes first: then throws ListenFailure(startLimitText). The operation is
// never cancelled; a result or failure that comes after the limit is dropped.
template <class Operation>
auto within(std::chrono::duration<double> limit, Operation operation) -> decltype(operation()) {
  using T = decltype(operation());
  auto first = std::make_shared<FirstOutcome<T>>();
  auto outcome = first->outcome();
  std::thread([first, operation = std::move(operation)]() mutable {
    pthread_setname_np(pthread_self(), "vesk.within");
    try {
      first->settle(operation());
    } catch (...) {
      first->fail(std::current_exception());
    }
  }).detach();
  if (outcome.wait_for(limit) != std::future_status::ready) {
    first->fail(std::make_exception_ptr(ListenFailure(startLimitText(limit.count()))));
  }
  return outcome.get();
}
