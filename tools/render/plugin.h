// One plug-in instance made from a module, set up the way the command line asks.
#pragma once

#include "options.h"
#include "vst_host.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesk::render {

/// What the host tells the plug-in about the session.
struct HostSetup {
    double tempo;
    double rate;
    std::int32_t blockSize;
    bool verbose;
    /// How the user lists programs and parameters, for messages: the tools
    /// without a listing of their own point to tesk-render's.
    std::string listCommand = "--list";
};

/// A program: the name the plug-in stores and the name it shows once the program is selected.
struct ProgramEntry {
    int index;
    std::string storedName;
    std::string shownName;
};

/// One parameter as a host sees it.
struct ParameterEntry {
    int index;
    std::string name;
    float value;
    std::string display;
    std::string label;
};

/// A module, one instance of it and the host state that answers its callback.
class Plugin {
  public:
    /// Loads the module at `path` and makes an instance; throws RenderError (plugin) on failure.
    static std::unique_ptr<Plugin> load(const std::string& path, const HostSetup& setup);
    /// Makes an instance of a module already at hand; throws RenderError (plugin) on failure.
    static std::unique_ptr<Plugin> fromModule(std::unique_ptr<vsthost::Module> module,
                                              const HostSetup& setup);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    /// Opens the instance at the session's rate and block size and switches it on.
    void start();
    /// Switches the instance off and closes it (effMainsChanged 0, effClose).
    void finish();

    /// Selects a program by number or by name; throws RenderError (unknownProgram).
    void selectProgram(const std::string& numberOrName);
    /// Sets one parameter; throws RenderError for an unknown name or a value out of range.
    void apply(const Setting& setting);

    /// Puts the transport back to its start, as a host does when playback starts again.
    void restartTransport() { host_.setTransport(setup_.tempo, setup_.rate); }
    /// Runs one block through the instance and moves the transport on.
    void process(float** inputBuffers, float** outputBuffers, std::int32_t frames);

    /// The instance, for requests beyond rendering (the editor).
    vsthost::Instance& instance() const { return *instance_; }
    int inputs() const { return instance_->effect()->numInputs; }
    int outputs() const { return instance_->effect()->numOutputs; }
    /// The plug-in's own name, else its product string, else the module's file name.
    std::string name() const;
    /// The vendor string the plug-in reports (may be empty).
    std::string vendor() const;
    /// Every program; selects each in turn to read the shown name, then the current one again.
    std::vector<ProgramEntry> programs() const;
    /// The index of the current program.
    int currentProgram() const;
    /// Every parameter with its value and texts.
    std::vector<ParameterEntry> parameters() const;

  private:
    Plugin(std::unique_ptr<vsthost::Module> module, const HostSetup& setup);
    /// The numbers a parameter shows at 0 and at 1, lower first.
    struct ShownRange {
        double least;
        double most;
    };
    void applyValue(const Setting& setting);
    /// The range `index` shows over 0 to 1, when it shows numbers that differ;
    /// probes the parameter, so it is left changed.
    std::optional<ShownRange> shownRange(int index);
    /// True when `value`, just set, is a value of the plug-in's own unit that it
    /// takes as given; leaves the parameter at `value`.
    bool takenAsShown(int index, float value);
    /// What `index` takes, for messages; probes the parameter, so it is left changed.
    std::string acceptedValues(int index);
    bool displayShows(int index, float value) const;
    std::string displayWithLabel(int index) const;
    int parameterIndex(const std::string& name) const;
    int programIndex(const std::string& numberOrName) const;

    std::unique_ptr<vsthost::Module> module_;
    vsthost::HostState host_;
    std::unique_ptr<vsthost::Instance> instance_;
    HostSetup setup_;
};

/// The TeskDelay module to load when none is named: the first found where
/// vsthost::findModule looks; throws RenderError (plugin) when there is none.
std::string defaultPluginPath();

} // namespace tesk::render
