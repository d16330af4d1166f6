#include "nsm_client.h"

#include <lo/lo.h>

#include <cstdio>

#include <unistd.h>

namespace tesk::standalone {

namespace {

constexpr int kApiMajor = 1;
constexpr int kApiMinor = 2;

/// A message of strings and 32-bit integers, built in order.
class Message {
  public:
    Message() : message_(lo_message_new()) {}
    ~Message() { lo_message_free(message_); }
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    Message& add(const std::string& text) {
        lo_message_add_string(message_, text.c_str());
        return *this;
    }
    Message& add(int number) {
        lo_message_add_int32(message_, number);
        return *this;
    }
    lo_message get() const { return message_; }

  private:
    lo_message message_;
};

// liblo hands the arguments out where they lie in the packet, often off the
// alignment its lo_arg union claims: they are read as the bytes they are,
// never through the union's members.
std::string stringArgument(lo_arg** argv, int i) {
    return std::string(reinterpret_cast<const char*>(argv[i]));
}

// liblo reports a socket it cannot read here; the main loop goes on without it.
void reportOscError(int number, const char* message, const char* where) {
    std::fprintf(stderr, "teskdelay: session manager: OSC error %d: %s%s%s\n", number,
                 message != nullptr ? message : "", where != nullptr ? " at " : "",
                 where != nullptr ? where : "");
}

} // namespace

struct NsmClient::Osc {
    lo_server server = nullptr;
    lo_address manager = nullptr;

    ~Osc() {
        if (manager != nullptr) lo_address_free(manager);
        if (server != nullptr) lo_server_free(server);
    }
    void send(const char* path, const Message& message) {
        // From our own socket: the manager answers to where a message came from.
        lo_send_message_from(manager, server, path, message.get());
    }

    static int open(const char*, const char*, lo_arg** argv, int, lo_message, void* data) {
        auto* self = static_cast<NsmClient*>(data);
        self->answered_ = true;
        const Answer answer = self->handlers_.open(stringArgument(argv, 0), stringArgument(argv, 1),
                                                   stringArgument(argv, 2));
        self->answer("/nsm/client/open", answer);
        return 0;
    }
    static int save(const char*, const char*, lo_arg**, int, lo_message, void* data) {
        auto* self = static_cast<NsmClient*>(data);
        self->answer("/nsm/client/save", self->handlers_.save());
        return 0;
    }
    static int showGui(const char*, const char*, lo_arg**, int, lo_message, void* data) {
        static_cast<NsmClient*>(data)->handlers_.showGui(true);
        return 0;
    }
    static int hideGui(const char*, const char*, lo_arg**, int, lo_message, void* data) {
        static_cast<NsmClient*>(data)->handlers_.showGui(false);
        return 0;
    }
    /// The manager's welcome, answering the announce.
    static int reply(const char*, const char* types, lo_arg** argv, int argc, lo_message,
                     void* data) {
        auto* self = static_cast<NsmClient*>(data);
        if (argc >= 1 && types[0] == 's' && stringArgument(argv, 0) == "/nsm/server/announce")
            self->answered_ = true;
        return 0;
    }
    /// The manager's error answering the announce: it will not have us.
    static int error(const char*, const char* types, lo_arg** argv, int argc, lo_message,
                     void* data) {
        auto* self = static_cast<NsmClient*>(data);
        if (argc >= 3 && types[0] == 's' && types[2] == 's' &&
            stringArgument(argv, 0) == "/nsm/server/announce") {
            self->answered_ = true;
            self->refusal_ = stringArgument(argv, 2);
        }
        return 0;
    }
};

NsmClient::NsmClient(std::unique_ptr<Osc> osc, Handlers handlers)
    : osc_(std::move(osc)), handlers_(std::move(handlers)) {}

NsmClient::~NsmClient() = default;

std::unique_ptr<NsmClient> NsmClient::announce(const std::string& url, Handlers handlers,
                                               std::string& error) {
    auto osc = std::make_unique<Osc>();
    osc->manager = lo_address_new_from_url(url.c_str());
    if (osc->manager == nullptr || lo_address_get_protocol(osc->manager) != LO_UDP) {
        error = std::string(kNsmUrlVariable) + " is '" + url +
                "', not the OSC URL of a session manager (osc.udp://HOST:PORT/); "
                "unset it to run teskdelay on its own";
        return nullptr;
    }
    osc->server = lo_server_new_with_proto(nullptr, LO_UDP, &reportOscError);
    if (osc->server == nullptr) {
        error = "no UDP socket could be had to talk to the session manager";
        return nullptr;
    }
    std::unique_ptr<NsmClient> self(new NsmClient(std::move(osc), std::move(handlers)));
    lo_server_add_method(self->osc_->server, "/nsm/client/open", "sss", &Osc::open, self.get());
    lo_server_add_method(self->osc_->server, "/nsm/client/save", "", &Osc::save, self.get());
    lo_server_add_method(self->osc_->server, "/reply", nullptr, &Osc::reply, self.get());
    lo_server_add_method(self->osc_->server, "/error", nullptr, &Osc::error, self.get());
    const bool optionalGui = static_cast<bool>(self->handlers_.showGui);
    if (optionalGui) {
        lo_server_add_method(self->osc_->server, "/nsm/client/show_optional_gui", "", &Osc::showGui,
                             self.get());
        lo_server_add_method(self->osc_->server, "/nsm/client/hide_optional_gui", "", &Osc::hideGui,
                             self.get());
    }
    Message message;
    message.add("TeskDelay")
        .add(optionalGui ? ":dirty:optional-gui:" : ":dirty:")
        .add("teskdelay")
        .add(kApiMajor)
        .add(kApiMinor)
        .add(static_cast<int>(getpid()));
    self->osc_->send("/nsm/server/announce", message);
    return self;
}

int NsmClient::descriptor() const {
    return lo_server_get_socket_fd(osc_->server);
}

void NsmClient::receive() {
    while (lo_server_recv_noblock(osc_->server, 0) > 0) {
    }
}

void NsmClient::setDirty(bool dirty) {
    if (dirty == dirty_) return;
    dirty_ = dirty;
    osc_->send(dirty ? "/nsm/client/is_dirty" : "/nsm/client/is_clean", Message());
}

void NsmClient::setGuiShown(bool shown) {
    osc_->send(shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", Message());
}

void NsmClient::answer(const char* request, const Answer& answer) {
    Message message;
    if (answer.ok) {
        message.add(request).add(answer.message);
        osc_->send("/reply", message);
    } else {
        message.add(request).add(static_cast<int>(answer.error)).add(answer.message);
        osc_->send("/error", message);
    }
}

} // namespace tesk::standalone
