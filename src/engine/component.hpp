#pragma once
// One node of an effect network. The base owns the component's configs and
// ports (in registration order, which is the order of look-ups, reading,
// binding, copying and release), keeps the per-run flags and implements the
// common end of every fire.
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

    virtual bool preprepare(std::string& error);
    virtual bool prepare(std::string& error);
    virtual bool fire(std::string& error) = 0;
    // Clears the flags and releases every held matrix.
    virtual void reset();

    description& desc() { return description_; }
    const description& desc() const { return description_; }
    const std::string& name() const { return description_.name; }

    int config_count() const { return static_cast<int>(configs_.size()); }
    config& config_at(int i) const { return *configs_[i]; }
    int port_count() const { return static_cast<int>(ports_.size()); }
    port& port_at(int i) const { return *ports_[i]; }

    // The first config (port) whose name equals name ignoring case; none is a
    // fatal error, since only the program's own code looks names up.
    config& find_config(std::string_view name) const;
    port& find_port(std::string_view name) const;
    // Checked casts of find_config; a config of another kind is fatal too.
    cfg_FP64& number(std::string_view name) const;
    cfg_menu& menu(std::string_view name) const;

    bool preprepared() const { return preprepared_; }
    bool prepared() const { return prepared_; }
    bool fired() const { return fired_; }
    void clear_fired() { fired_ = false; }
    void mark_fired() { fired_ = true; }

    // False once fired; otherwise true unless a connected input holds nothing.
    bool ready() const;
    // Sends every output, then releases every port; sets fired when all went well.
    bool finish_fire(std::string& error, bool ok);

    // Config i takes the settings of the other's config i.
    void copy_configs_from(const component& other);
    // Every config with a bound partner copies the partner's settings.
    void bind_configs();
    void store_element(const element* e) { element_ = e; }

    // What the running network reaches; a component outside a network has none.
    void set_context(const run_context* context) { context_ = context; }
    // The frame image the network draws into, or none.
    frame_image* frame() const { return context_ != nullptr ? context_->frame : nullptr; }
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
    // A port named after three configs of this component, found by name.
    port& add_port(port::direction dir, std::string_view value, std::string_view size,
                   std::string_view type, std::string name);
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
