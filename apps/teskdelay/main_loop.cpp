#include "main_loop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tesk::standalone {

void MainLoop::watch(int fd, std::function<void()> ready) {
    watches_.push_back({fd, std::move(ready)});
}

void MainLoop::unwatch(int fd) {
    std::erase_if(watches_, [fd](const Watch& w) { return w.fd == fd; });
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
            if (fds[i].revents != 0) call(fds[i].fd);
        if (running_ && idle_) idle_();
    }
    return true;
}

void MainLoop::call(int fd) {
    // Looked up again: an earlier callback may have added or removed watches.
    const auto found =
        std::find_if(watches_.begin(), watches_.end(), [fd](const Watch& w) { return w.fd == fd; });
    if (found == watches_.end()) return;
    // A copy: the callback may change the watches, which moves them.
    const std::function<void()> ready = found->ready;
    ready();
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
