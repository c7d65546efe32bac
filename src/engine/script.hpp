#pragma once
// One effect: the network of components read from one effect file, with its
// wiring, start-up and the scheduling of runs (one run per frame).
#include "engine/component.hpp"
#include "engine/context.hpp"
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

    // A network of the program whose context is given: its components reach
    // the context, and the file is read from its data folder.
    script(std::string file_name, context& program, const component_factory& factory,
           double version = 1.0);
    ~script();
    script(const script&) = delete;
    script& operator=(const script&) = delete;

    // Reads the effect file (through the resource archives for names that
    // begin with "*"), creates and wires its components. A file that cannot
    // be read as an effect leaves the script empty and gives the reason.
    outcome load();
    // Creates a component through the factory and appends it with its
    // configs and ports; none when the type is unknown or the script is full.
    component* add_component(std::string_view type);

    // preprepare, config binding, prepare; a failure resets every component.
    outcome start();
    // Fires ready components in file order, the sink "GIFOUT" last; in
    // single-step mode one component per call. A failure resets everything.
    outcome run(bool single_step);
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
    // The canvas that the network's components draw on (none: they draw nothing).
    void set_canvas(output_canvas* canvas) { context_.canvas = canvas; }
    context& program() const { return *context_.program; }

    // Look-ups by id ignoring case; none when nothing has the id.
    component* component_with_id(std::string_view id) const;
    port* port_with_id(std::string_view id) const;
    // Connects the ports with these ids, or says why not.
    outcome connect(std::string_view input_id, std::string_view output_id);

    // Hooks for production: a run begins (no component fired yet), a
    // component fired (fired so far, components in the network), and a run
    // completed.
    std::function<void()> on_run_begin;
    std::function<void(int fired, int count)> on_progress;
    std::function<void()> on_frame_done;
    // A setting of the network changed, other than by the network's own
    // start (whose components settle their sizes and counts).
    std::function<void()> on_settings_changed;

  private:
    outcome start_components();
    outcome build_from(const element& root);
    outcome add_component_element(const element& e);
    void bind_configs_by_idref();
    outcome connect_ports();
    outcome check_port_sizes() const;
    void note_unmatched_elements(const component& c, const element& e);
    void note_unconnected_inputs();
    void note(load_note::kind what, const component* owner, std::string id, std::string reason);
    void clear();

    std::string file_name_;
    const component_factory& factory_;
    std::vector<std::unique_ptr<component>> components_;
    std::vector<config::observation> observations_;
    std::vector<config*> configs_;
    std::vector<port*> ports_;
    description description_;
    std::vector<load_note> notes_;
    run_context context_;
    int fired_count_ = 0;
    bool starting_ = false;
};

} // namespace zoetra
