// Test support: a host's audio thread, running one block after another until
// it goes and counting them, so that a test can wait until whole blocks have
// run after a change it made on its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace tesk::test {

class BlockThread {
  public:
    /// Starts calling `block` on a new thread, again and again.
    explicit BlockThread(std::function<void()> block)
        : block_(std::move(block)), thread_([this] { run(); }) {}
    /// Lets the block running finish, then ends the thread.
    ~BlockThread() { stop(); }
    BlockThread(const BlockThread&) = delete;
    BlockThread& operator=(const BlockThread&) = delete;

    void stop() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }
    /// Waits until `more` blocks have finished after the call: with two, at least
    /// one ran from start to end after it. False when the deadline passes first.
    bool waitForBlocks(int more) const {
        const int target = finished_.load() + more;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (finished_.load() < target) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }

  private:
    void run() {
        while (!stopping_.load()) {
            block_();
            ++finished_;
        }
    }

    std::function<void()> block_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> finished_{0};
    std::thread thread_; ///< last: starts once everything it uses is there
};

} // namespace tesk::test
