#include "clap_fixture.h"

#include <stdexcept>

namespace tesk::test {

const claphost::Module& clapModule() {
    static std::unique_ptr<claphost::Module> loaded = [] {
        std::string error;
        auto m = claphost::Module::load(TESK_CLAP_MODULE_PATH, error);
        if (!m) throw std::runtime_error(error);
        return m;
    }();
    return *loaded;
}

ClapPlugin::ClapPlugin(const std::function<void(claphost::HostState&)>& configure)
    : host_(std::make_unique<claphost::HostState>()) {
    if (configure) configure(*host_);
    std::string error;
    instance_ = claphost::Instance::create(clapModule(), *host_, "", error);
    if (!instance_) throw std::runtime_error(error);
}

void ClapPlugin::set(std::initializer_list<std::pair<clap_id, double>> values) const {
    claphost::InputEvents events;
    for (auto [id, value] : values)
        events.addParam(0, id, value);
    instance_->flush(events);
}

Outputs ClapPlugin::render(const std::vector<float>& left, const std::vector<float>& right,
                           int block, double tempo, const EventsFor& eventsFor) const {
    const int frames = static_cast<int>(left.size());
    Outputs out;
    for (auto& channel : out)
        channel.assign(left.size(), 0.0f);
    std::vector<float> inL = left, inR = right;
    const clap_event_transport_t transport = claphost::playingTransport(tempo);
    claphost::InputEvents events;
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        std::vector<float*> inputs{inL.data() + start, inR.data() + start};
        std::vector<float*> outputs;
        for (auto& channel : out)
            outputs.push_back(channel.data() + start);
        events.clear();
        if (eventsFor) eventsFor(start, n, events);
        const auto status = instance_->process(inputs, outputs, static_cast<std::uint32_t>(n),
                                               events, tempo > 0.0 ? &transport : nullptr);
        EXPECT_EQ(status, CLAP_PROCESS_CONTINUE);
    }
    return out;
}

} // namespace tesk::test
