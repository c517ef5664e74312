// A flag written by one thread and polled by another (busy, stopRequested,
// listingActive). It copies by value so that the settings object holding it
// can be reset by assignment.
#pragma once

#include <atomic>

namespace quillmark::platform {

template <typename T>
class SharedFlag {
 public:
  constexpr SharedFlag(T value = T{}) noexcept : value_(value) {}  // NOLINT: implicit by design
  SharedFlag(const SharedFlag& other) noexcept : value_(other.load()) {}
  SharedFlag& operator=(const SharedFlag& other) noexcept {
    store(other.load());
    return *this;
  }
  SharedFlag& operator=(T value) noexcept {
    store(value);
    return *this;
  }
  operator T() const noexcept { return load(); }  // NOLINT: implicit by design

  T load() const noexcept { return value_.load(std::memory_order_acquire); }
  void store(T value) noexcept { value_.store(value, std::memory_order_release); }

 private:
  std::atomic<T> value_;
};

}  // namespace quillmark::platform
