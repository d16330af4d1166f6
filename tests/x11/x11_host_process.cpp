#include "x11_host_process.h"

#include "x11_test_support.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace tesk::x11test {
namespace {

// How long a line of the host may take: long enough for a sanitizer build starting
// on a loaded machine; only a host that hangs ever reaches it.
constexpr auto kLineDeadline = std::chrono::seconds(30);

} // namespace

HostProcess::HostProcess(const std::string& path, const std::vector<std::string>& arguments) {
    // A host that has died makes a failed write, not the end of the test program.
    signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        endWithParent(parent);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[1]);
        close(out[0]);
        std::vector<const char*> args = {path.c_str()};
        for (const std::string& arg : arguments)
            args.push_back(arg.c_str());
        args.push_back(nullptr);
        execv(path.c_str(), const_cast<char* const*>(args.data()));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
}

HostProcess::~HostProcess() {
    if (pid_ <= 0) return;
    close(input_);
    close(output_);
    if (!exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

::Window HostProcess::waitUntilReady() {
    const std::string line = readLine();
    unsigned long id = 0;
    if (std::sscanf(line.c_str(), "ready window=0x%lx", &id) != 1) return 0;
    return id;
}

bool HostProcess::sync() {
    return send("sync\n") && readLine() == "synced";
}

std::string HostProcess::quit(int& status) {
    status = -1;
    if (!send("quit\n")) return {};
    std::string all;
    char buffer[4096];
    for (ssize_t got; (got = read(output_, buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<std::size_t>(got));
    waitpid(pid_, &status, 0);
    exited_ = true;
    return all;
}

bool HostProcess::send(const char* line) {
    const auto size = static_cast<ssize_t>(std::strlen(line));
    return write(input_, line, static_cast<std::size_t>(size)) == size;
}

std::string HostProcess::readLine() {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + kLineDeadline;
    std::string line;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        pollfd readable{output_, POLLIN, 0};
        char c = 0;
        if (poll(&readable, 1, static_cast<int>(left.count()) + 1) <= 0 ||
            read(output_, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return line;
}

std::vector<float> Report::automated(const std::string& name) const {
    std::vector<float> out;
    for (const auto& [index, value] : automation) {
        if (index == indices.at(name)) out.push_back(value);
    }
    return out;
}

Report parseReport(const std::string& text) {
    Report report;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        char name[64] = {};
        int index = 0;
        float value = 0.0f;
        if (std::sscanf(line.c_str(), "parameter %d %63s = %f", &index, name, &value) == 3) {
            report.values[name] = value;
            report.indices[name] = index;
        } else if (std::sscanf(line.c_str(), "automation %d %f", &index, &value) == 2) {
            report.automation.emplace_back(index, value);
            report.gestures.push_back("value " + std::to_string(index));
        } else if (std::sscanf(line.c_str(), "edit %63s %d", name, &index) == 2) {
            report.gestures.push_back(std::string(name) + " " + std::to_string(index));
        }
    }
    return report;
}

} // namespace tesk::x11test
