// The queues between a CLAP instance's threads: parameter news for the host
// (gesture begin, value, gesture end) and commands for the engine, handed from
// the main thread to whichever call next runs the engine (process on the audio
// thread, or flush); and the outbox that keeps news the host's own queue had no
// room for. No lock and no allocation.
#pragma once

#include "clap_api.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tesk::clapfmt {

/// A single-producer, single-consumer ring. A batch pushed at once becomes
/// visible to the consumer at once, never in part.
template <typename T, std::uint32_t Capacity> class SpscRing {
  public:
    /// Adds `count` items (producer); false, with nothing added, when they do not fit.
    bool push(const T* items, std::uint32_t count) {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (Capacity - (tail - head_.load(std::memory_order_acquire)) < count) return false;
        for (std::uint32_t i = 0; i < count; ++i)
            slots_[(tail + i) % Capacity] = items[i];
        tail_.store(tail + count, std::memory_order_release);
        return true;
    }
    bool push(const T& item) { return push(&item, 1); }

    /// Takes the oldest item into `item` (consumer); false when there is none.
    bool pop(T& item) {
        const std::uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        item = slots_[head % Capacity];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

  private:
    std::array<T, Capacity> slots_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
};

/// One piece of news for the host.
struct HostEvent {
    std::uint16_t type; ///< CLAP_EVENT_PARAM_VALUE or a gesture event
    clap_id id;
    double value;
};

/// News for the host in the order it arose, kept until the host's queue takes
/// it. Used by one thread at a time: whichever runs process or flush.
class Outbox {
  public:
    static constexpr std::uint32_t kCapacity = 2048;

    /// Appends `event`; false when the outbox is full (the caller then resends
    /// every value once there is room again).
    bool add(const HostEvent& event) {
        if (count_ == kCapacity) return false;
        events_[(first_ + count_) % kCapacity] = event;
        ++count_;
        return true;
    }
    /// Hands the oldest events to `send` until it refuses one, which stays first.
    template <typename Send> void sendWhile(Send&& send) {
        while (count_ > 0 && send(events_[first_])) {
            first_ = (first_ + 1) % kCapacity;
            --count_;
        }
    }
    bool empty() const { return count_ == 0; }

  private:
    std::array<HostEvent, kCapacity> events_{};
    std::uint32_t first_ = 0;
    std::uint32_t count_ = 0;
};

/// What the main thread asks of the engine while it may be processing.
struct EngineCommand {
    enum Kind : std::uint8_t {
        SetValue,     ///< `index` takes interface value `value`
        LoadProgram,  ///< program `index` becomes current and loads
        SetBypass,    ///< the bypass crosses over to on (`index` 1) or off (0)
        StateApplied, ///< ends a loaded state: the host rescans the values
    };
    Kind kind;
    std::int32_t index;
    float value;
    std::uint32_t sequence; ///< counts the commands, so the main thread knows what is applied
};

using HostEventQueue = SpscRing<HostEvent, 1024>;
using EngineCommandQueue = SpscRing<EngineCommand, 4096>;

} // namespace tesk::clapfmt
