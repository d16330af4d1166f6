// The program's main loop: it waits on file descriptors (the signals, the JACK
// server's news, a session manager's socket, the editor window's X connections)
// and runs an idle step between them at a steady pace.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace tesk::standalone {

class MainLoop {
  public:
    /// Calls `ready` whenever `fd` can be read, until the loop ends; also from
    /// within a callback (main thread).
    void watch(int fd, std::function<void()> ready);
    /// Stops watching `fd`; also from within a callback (main thread).
    void unwatch(int fd);
    /// Calls `step` at least every `period` while the loop runs (main thread).
    void setIdle(std::chrono::milliseconds period, std::function<void()> step);
    /// Runs until `quit`; false when waiting itself failed (main thread).
    bool run();
    /// Ends `run` after the callback that asks (main thread).
    void quit() { running_ = false; }

  private:
    struct Watch {
        int fd;
        std::function<void()> ready;
    };
    /// Calls the callback watching `fd`, if any still does.
    void call(int fd);
    std::vector<Watch> watches_;
    std::chrono::milliseconds period_{100};
    std::function<void()> idle_;
    bool running_ = false;
};

/// A descriptor that becomes readable when SIGINT, SIGTERM or SIGHUP arrives; they are
/// blocked in every thread made afterwards, so that no thread is stopped by them
/// and the main loop alone takes them. -1 when it cannot be had (main thread,
/// before any other thread is made).
int takeQuitSignals();
/// Reads the signals waiting on `fd`; the last one's number, 0 for none (main thread).
int readQuitSignal(int fd);

} // namespace tesk::standalone
