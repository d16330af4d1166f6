// Parameter news the editor has for the host (gesture begin, value, gesture
// end), handed from the main thread to whichever call next talks to the host:
// process on the audio thread, or flush. One producer and one consumer at a
// time, no lock and no allocation.
#pragma once

#include "clap_api.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace tesk::clapfmt {

struct HostEvent {
    std::uint16_t type; ///< CLAP_EVENT_PARAM_VALUE or a gesture event
    clap_id id;
    double value;
};

class HostEventQueue {
  public:
    static constexpr std::uint32_t kCapacity = 1024;

    /// Adds `event` (main thread); false when the queue is full and it was dropped.
    bool push(const HostEvent& event) {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kCapacity) return false;
        slots_[tail % kCapacity] = event;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    /// Takes the oldest event into `event`; false when there is none.
    bool pop(HostEvent& event) {
        const std::uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        event = slots_[head % kCapacity];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

  private:
    std::array<HostEvent, kCapacity> slots_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
};

} // namespace tesk::clapfmt
