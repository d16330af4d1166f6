// tesk-x11host driven from outside, as the X11 host tests and the click table do:
// the process with its standard input and output piped, and what it reports.
#pragma once

#include <X11/Xlib.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tesk::x11test {

/// tesk-x11host running in a child process, its standard input and output piped.
class HostProcess {
  public:
    /// Starts the host at `path` with `arguments`.
    HostProcess(const std::string& path, const std::vector<std::string>& arguments);
    /// Kills the host unless it has quit.
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    /// The host window named by the "ready" line, or 0 when none came.
    ::Window waitUntilReady();
    /// Asks the host to idle once more and waits for its answer: true once the editor
    /// has handled every input event that reached the display before the call.
    bool sync();
    /// Asks the host to quit and returns all it printed afterwards; `status` is its
    /// exit status.
    std::string quit(int& status);

  private:
    bool send(const char* line);
    std::string readLine();

    int pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    bool exited_ = false;
};

/// What the host printed on exit.
struct Report {
    std::map<std::string, float> values;
    std::map<std::string, int> indices;
    std::vector<std::pair<int, float>> automation;
    std::vector<std::string> gestures; ///< "begin I", "value I", "end I" in order

    /// The automation calls of one parameter, by name.
    std::vector<float> automated(const std::string& name) const;
};

/// Reads the parameter, automation and gesture lines of the host's exit report.
Report parseReport(const std::string& text);

} // namespace tesk::x11test
