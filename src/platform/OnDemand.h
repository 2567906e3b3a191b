#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

// One platform service, made the first time it is used and kept for the life of the process.
// The real platform gives each slot a maker that loads the service's backend module; tests put a
// fake in it directly with reset().
// Any thread may use a slot; mutex_ guards service_ and make_ until the service exists.
template <class T>
class OnDemand {
 public:
  using Maker = std::function<std::unique_ptr<T>()>;

  OnDemand() = default;
  OnDemand(const OnDemand&) = delete;
  OnDemand& operator=(const OnDemand&) = delete;
  // Moves happen only while the platform is built, before any thread uses it.
  OnDemand(OnDemand&& other) noexcept
      : service_(std::move(other.service_)), make_(std::move(other.make_)) {}
  OnDemand& operator=(OnDemand&& other) noexcept {
    service_ = std::move(other.service_);
    make_ = std::move(other.make_);
    return *this;
  }

  // The service is made by `make` when it is first used.
  void makeWith(Maker make) {
    std::lock_guard lock(mutex_);
    make_ = std::move(make);
  }

  // Puts a ready service in the slot (tests, and benchmarks that link a backend directly).
  void reset(T* service) {
    std::lock_guard lock(mutex_);
    service_.reset(service);
  }

  template <class U>
  OnDemand& operator=(std::unique_ptr<U> service) {
    reset(service.release());
    return *this;
  }

  T& operator*() { return get(); }
  T* operator->() { return &get(); }

 private:
  T& get() {
    std::lock_guard lock(mutex_);
    if (!service_) {
      if (!make_) throw std::logic_error("a platform service was used that nothing provides");
      service_ = make_();
      if (!service_) throw std::logic_error("a platform service could not be made");
    }
    return *service_;
  }

  std::mutex mutex_;
  std::unique_ptr<T> service_;
  Maker make_;
};
