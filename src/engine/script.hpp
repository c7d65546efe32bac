#pragma once
// One effect: the network of components read from one effect file, with its
// wiring, start-up and the scheduling of runs (one run per frame).
#include "engine/component.hpp"
#include "engine/description.hpp"
#include "engine/factory.hpp"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

// The stem of an effect file name: the part after the last separator, up to
// the first ".", without "*" characters ("Effects\wave.zoml" gives "wave").
std::string file_stem(std::string_view file_name);

// A place in an effect file that the loader passed over without a word, as
// it must: the network still loads and runs, only without what that place
// asked for. Kept so that a person who writes effects can be told.
struct load_note {
    enum class kind {
        // An input names its source, but port::connect refused the pair.
        refused_connection,
        // A setting's idref names no setting id of the network.
        unmatched_config_idref,
        // An <in> or <out> element names no port of its component.
        unmatched_port_element,
        // A setting element names no setting of its component (or one of another kind).
        unmatched_setting_element,
        // An input that nothing feeds: it gives its fill value. Often meant.
        unconnected_input,
    };
    kind what;
    std::string element; // the component element, as <TAG id="ID">
    std::string id;      // the port's or setting's id, or the name the element gives
    std::string reason;
    // Every kind but an unconnected input is a mistake in the file.
    bool problem() const { return what != kind::unconnected_input; }
};

class script {
  public:
    static constexpr int max_components = 128;
    static constexpr int max_configs = 512;
    static constexpr int max_ports = 512;

    explicit script(std::string file_name, double version = 1.0,
                    const component_factory& factory = standard_factory());
    ~script();
    script(const script&) = delete;
    script& operator=(const script&) = delete;

    // Reads the effect file (through the resource archives for names that
    // begin with "*"), creates and wires its components. A file that cannot
    // be read as an effect leaves the script empty and gives the reason.
    bool load(std::string& error);
    // Creates a component through the factory and appends it with its
    // configs and ports; none when the type is unknown or the script is full.
    component* add_component(std::string_view type);

    // preprepare, config binding, prepare; a failure resets every component.
    bool start(std::string& error);
    // Fires ready components in file order, the sink "GIFOUT" last; in
    // single-step mode one component per call. A failure resets everything.
    bool run(std::string& error, bool single_step);
    void reset();

    int component_count() const { return static_cast<int>(components_.size()); }
    component& component_at(int i) const { return *components_[i]; }
    const std::vector<config*>& configs() const { return configs_; }
    const std::vector<port*>& ports() const { return ports_; }
    // What the last load passed over, in file order within each kind.
    const std::vector<load_note>& load_notes() const { return notes_; }
    description& desc() { return description_; }
    const description& desc() const { return description_; }
    const std::string& file_name() const { return file_name_; }
    int fired_count() const { return fired_count_; }
    // The frame image that the network's components draw into (none: they draw nothing).
    void set_frame_image(frame_image* frame) { context_.frame = frame; }

    // Look-ups by id ignoring case; none is a fatal error.
    component& find_component(std::string_view id) const;
    port& find_port(std::string_view id) const;
    // The same look-ups that report a miss instead.
    component* component_with_id(std::string_view id) const;
    port* port_with_id(std::string_view id) const;
    bool connect(std::string_view input_id, std::string_view output_id, std::string& error);

    // Hooks for production: a run begins (no component fired yet), a
    // component fired (fired so far, components in the network), and a run
    // completed.
    std::function<void()> on_run_begin;
    std::function<void(int fired, int count)> on_progress;
    std::function<void()> on_frame_done;

  private:
    bool build_from(const element& root, std::string& error);
    bool add_component_element(const element& e, std::string& error);
    void bind_configs_by_idref();
    bool connect_ports(std::string& error);
    bool check_port_sizes(std::string& error) const;
    void note_unmatched_elements(const component& c, const element& e);
    void note_unconnected_inputs();
    void note(load_note::kind what, const component* owner, std::string id, std::string reason);
    void clear();

    std::string file_name_;
    const component_factory& factory_;
    std::vector<std::unique_ptr<component>> components_;
    std::vector<config*> configs_;
    std::vector<port*> ports_;
    description description_;
    std::vector<load_note> notes_;
    run_context context_;
    int fired_count_ = 0;
};

} // namespace zoetra
