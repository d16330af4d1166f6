#include "main_loop.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tesk::standalone {

void MainLoop::watch(int fd, std::function<void()> ready) {
    watches_.push_back({fd, std::move(ready)});
}

void MainLoop::setIdle(std::chrono::milliseconds period, std::function<void()> step) {
    period_ = period;
    idle_ = std::move(step);
}

bool MainLoop::run() {
    running_ = true;
    std::vector<pollfd> fds;
    while (running_) {
        fds.clear();
        for (const Watch& w : watches_)
            fds.push_back({w.fd, POLLIN, 0});
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(period_.count()));
        if (ready < 0 && errno != EINTR) return false;
        for (std::size_t i = 0; i < fds.size() && running_; ++i)
            if (fds[i].revents != 0) {
                // A copy: the callback may add a watch, which moves the others.
                const std::function<void()> ready = watches_[i].ready;
                ready();
            }
        if (running_ && idle_) idle_();
    }
    return true;
}

int takeQuitSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // The terminal going away (a desktop launcher's window closed) ends the
    // program as Ctrl-C does, the state saved, rather than killing it.
    sigaddset(&signals, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
    return signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

int readQuitSignal(int fd) {
    int last = 0;
    signalfd_siginfo info;
    while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        last = static_cast<int>(info.ssi_signo);
    return last;
}

} // namespace tesk::standalone
