#pragma once
// One node of an effect network. The base owns the component's configs and
// ports (in registration order, which is the order of look-ups, reading,
// binding, copying and release), keeps the per-run flags and implements the
// common end of every fire.
#include "base/diagnostics.hpp"
#include "engine/config.hpp"
#include "engine/description.hpp"
#include "engine/element.hpp"
#include "engine/port.hpp"
#include "engine/run_context.hpp"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

enum component_kind { kind_input = 0, kind_process = 1, kind_output = 2, kind_environ = 3 };

class component {
  public:
    static constexpr int max_configs = 32;
    static constexpr int max_ports = 32;

    component(int kind, std::string name, double version);
    virtual ~component();
    component(const component&) = delete;
    component& operator=(const component&) = delete;

    virtual outcome preprepare();
    virtual outcome prepare();
    virtual outcome fire() = 0;
    // Clears the flags and releases every held matrix.
    virtual void reset();

    description& desc() { return description_; }
    const description& desc() const { return description_; }
    const std::string& name() const { return description_.name; }

    int config_count() const { return static_cast<int>(configs_.size()); }
    config& config_at(int i) const { return *configs_[i]; }
    int port_count() const { return static_cast<int>(ports_.size()); }
    port& port_at(int i) const { return *ports_[i]; }

    // The first config (port) whose name equals name ignoring case, or
    // none. The program's own code keeps references from registration; only
    // those who know just a name (an effect file, a person's --set, the
    // tests) look names up (engine/lookup.hpp).
    config* config_named(std::string_view name) const;
    port* port_named(std::string_view name) const;

    bool preprepared() const { return preprepared_; }
    bool prepared() const { return prepared_; }
    bool fired() const { return fired_; }
    void clear_fired() { fired_ = false; }
    void mark_fired() { fired_ = true; }

    // False once fired; otherwise true unless a connected input holds nothing.
    bool ready() const;
    // Sends every output, then releases every port; sets fired when all
    // went well. A fire that failed already (so_far) only releases them.
    outcome finish_fire(outcome so_far = outcome::success());

    // Config i takes the settings of the other's config i.
    void copy_configs_from(const component& other);
    // Every config with a bound partner copies the partner's settings.
    void bind_configs();
    void store_element(const element* e) { element_ = e; }

    // What the running network reaches; a component outside a network has none.
    void set_context(const run_context* context) { context_ = context; }
    // The canvas the network draws on, or none.
    output_canvas* canvas() const { return context_ != nullptr ? context_->canvas : nullptr; }
    // The context of the program whose network this is, or none.
    context* program() const { return context_ != nullptr ? context_->program : nullptr; }
    // Where the component's diagnostic lines go: its program's sink, or the
    // standard streams outside a network.
    diagnostics& diagnostics_sink() const;
    // Configs, then ports, read their settings from the stored element.
    void read_element();

  protected:
    template <class C, class... Args> C& add_config(Args&&... args) {
        auto made = std::make_unique<C>(this, std::forward<Args>(args)...);
        C& ref = *made;
        append_config(std::move(made));
        return ref;
    }
    // A one-value number setting (the short form).
    cfg_FP64& add_number(std::string name, bool shown, double value, double minimum, double maximum,
                         double step);
    // A three-value size setting with per-axis limits and step 1.
    cfg_FP64& add_size(std::string name, const double initial[3], const double minimum[3],
                       const double maximum[3]);
    cfg_menu& add_menu(std::string name, bool shown, std::vector<std::string> items,
                       int selected = 0, bool switch_mode = false);
    // A port whose value range and fill, sizes and element type are three
    // configs of this component.
    port& add_port(port::direction dir, cfg_FP64& value, cfg_FP64& size, cfg_menu& type,
                   std::string name);
    void append_config(std::unique_ptr<config> c);

    double version() const { return description_.version; }

  private:
    std::vector<std::unique_ptr<config>> configs_;
    std::vector<std::unique_ptr<port>> ports_;
    bool preprepared_ = false;
    bool prepared_ = false;
    bool fired_ = false;
    const element* element_ = nullptr;
    const run_context* context_ = nullptr;
    description description_;
};

} // namespace zoetra
