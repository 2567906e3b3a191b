#include "base/SerialQueue.h"

#include <pthread.h>

SerialQueue::SerialQueue(const std::string& threadName, Start start)
    : io_(std::make_shared<asio::io_context>()),
      keepRunning_(asio::make_work_guard(*io_)),
      threadName_(threadName.substr(0, 15)) {
  if (start == Start::Running) resume();
}

void SerialQueue::resume() {
  if (thread_.joinable()) return;
  thread_ = std::thread([io = io_, name = threadName_] {
    pthread_setname_np(pthread_self(), name.c_str());
    io->run();
  });
}

SerialQueue::~SerialQueue() {
  keepRunning_.reset();
  io_->stop();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void SerialQueue::post(std::function<void()> work) {
  // The work may end the queue's owner, and with it this queue, before asio::post() has finished
  // waking the thread: the context stays alive until the call returns.
  auto io = io_;
  asio::post(*io, std::move(work));
}

bool SerialQueue::onQueue() const { return io_->get_executor().running_in_this_thread(); }
