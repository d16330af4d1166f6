// A value that one thread writes while another reads it, with no ordering
// promise beyond the value itself: a plain load or store on x86, and free of
// data races for the compiler and ThreadSanitizer.
#pragma once

#include <atomic>

namespace tesk {

template <typename T> class Relaxed {
  public:
    constexpr Relaxed(T value = T{}) noexcept : value_(value) {}
    Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
    Relaxed& operator=(const Relaxed& other) noexcept {
        store(other.load());
        return *this;
    }
    Relaxed& operator=(T value) noexcept {
        store(value);
        return *this;
    }
    operator T() const noexcept { return load(); }

    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }
    /// Stores `desired` if the value is still `expected`; otherwise `expected`
    /// gets the value found. True when it stored.
    bool compareExchange(T& expected, T desired) noexcept {
        return value_.compare_exchange_strong(expected, desired, std::memory_order_relaxed);
    }

  private:
    std::atomic<T> value_;
};

} // namespace tesk
