#pragma once

#include <asio/thread_pool.hpp>
#include <chrono>
#include <functional>

// The process's pool for timers and short jobs that need no queue of their own (tick and level
// timers, retries). Never destroyed: its threads may still run while the process ends.
asio::thread_pool& sharedPool();

// Runs the work on the pool once the time has passed.
void runAfter(std::chrono::duration<double> delay, std::function<void()> work);
