// teskdelay under a session manager of the NSM kind (New Session Manager,
// Non Session Manager, RaySession, Agordejo): the OSC conversation over UDP in
// which the manager says where the session's files are and when to save them,
// and teskdelay says whether it holds unsaved changes; the manager may also
// show and hide the editor's window.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tesk::standalone {

/// The variable a session manager sets to the OSC URL it listens at.
inline constexpr const char* kNsmUrlVariable = "NSM_URL";

/// The error codes the session manager knows.
enum class NsmError : int {
    general = -1,
    noSessionOpen = -6,
};

class NsmClient {
  public:
    /// What a request came to: `ok`, or the error code; `message` for the manager's user.
    struct Answer {
        bool ok = true;
        std::string message;
        NsmError error = NsmError::general;
    };
    /// What teskdelay does at the manager's requests (called from `receive`).
    struct Handlers {
        /// Open the session's files at `path` (a prefix: teskdelay adds its
        /// suffix) as JACK client `clientId`.
        std::function<Answer(const std::string& path, const std::string& displayName,
                             const std::string& clientId)>
            open;
        /// Save the state where `open` said.
        std::function<Answer()> save;
        /// Show the editor's window (true) or hide it; none where there is no
        /// editor, and the manager is not offered the choice.
        std::function<void(bool show)> showGui;
    };

    /// Makes a UDP socket of its own and announces teskdelay to the manager at
    /// `url`; null, with a sentence in `error`, when `url` is not an OSC URL or
    /// no socket can be had (main thread).
    static std::unique_ptr<NsmClient> announce(const std::string& url, Handlers handlers,
                                               std::string& error);
    /// Closes the socket (main thread).
    ~NsmClient();
    NsmClient(const NsmClient&) = delete;
    NsmClient& operator=(const NsmClient&) = delete;

    /// The socket: readable when a message waits for `receive` (any thread).
    int descriptor() const;
    /// Handles every message waiting, answering the manager (main thread).
    void receive();
    /// Tells the manager that there are unsaved changes, or none, when that
    /// differs from what it was told last (main thread).
    void setDirty(bool dirty);
    /// Tells the manager whether the editor's window shows (main thread).
    void setGuiShown(bool shown);
    /// The manager's refusal of the announce, empty while it has refused nothing (main thread).
    const std::string& refusal() const { return refusal_; }
    /// Whether the manager has answered the announce, or opened a session (main thread).
    bool answered() const { return answered_; }

  private:
    struct Osc;
    NsmClient(std::unique_ptr<Osc> osc, Handlers handlers);
    /// Sends `/reply` or `/error` for the request `request` as `answer` says.
    void answer(const char* request, const Answer& answer);

    std::unique_ptr<Osc> osc_;
    Handlers handlers_;
    bool dirty_ = false;
    bool answered_ = false;
    std::string refusal_;
};

} // namespace tesk::standalone
