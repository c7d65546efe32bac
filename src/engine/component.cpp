#include "engine/component.hpp"

#include "base/utility.hpp"
#include "engine/context.hpp"

#include <stdexcept>

namespace zoetra {

component::component(int kind, std::string name, double version) {
    static const char* const class_words[] = {"INPUT", "PROCESS", "OUTPUT", "ENVIRON"};
    description_.type = "COMPONENT";
    description_.name = name;
    description_.id = std::move(name);
    if (kind >= 0 && kind <= 3)
        description_.class_name = class_words[kind];
    description_.version = version;
}

// Ports go first: they refer to the configs.
component::~component() {
    ports_.clear();
    configs_.clear();
}

outcome component::preprepare() {
    preprepared_ = true;
    return outcome::success();
}

outcome component::prepare() {
    prepared_ = true;
    return outcome::success();
}

void component::reset() {
    preprepared_ = prepared_ = fired_ = false;
    for (auto& p : ports_)
        p->release();
}

config* component::config_named(std::string_view name) const {
    for (const auto& c : configs_)
        if (same_name(c->name(), name))
            return c.get();
    return nullptr;
}

port* component::port_named(std::string_view name) const {
    for (const auto& p : ports_)
        if (same_name(p->name(), name))
            return p.get();
    return nullptr;
}

diagnostics& component::diagnostics_sink() const {
    context* owner = program();
    return owner != nullptr ? owner->diagnostics_sink() : standard_streams();
}

bool component::ready() const {
    if (fired_)
        return false;
    for (const auto& p : ports_)
        if (p->is_input() && p->connected() && !p->holds_matrix())
            return false;
    return true;
}

outcome component::finish_fire(outcome so_far) {
    for (auto& p : ports_) {
        if (so_far && !p->is_input())
            so_far = p->send();
        p->release();
    }
    if (so_far)
        fired_ = true;
    return so_far;
}

void component::copy_configs_from(const component& other) {
    for (int i = 0; i < config_count() && i < other.config_count(); ++i)
        configs_[i]->copy_from(*other.configs_[i]);
}

void component::bind_configs() {
    for (auto& c : configs_)
        if (config* partner = c->bound_partner())
            c->copy_from(*partner);
}

void component::read_element() {
    if (element_ == nullptr)
        return;
    for (auto& c : configs_)
        c->read(c->name(), *element_);
    for (auto& p : ports_)
        p->read(*element_);
}

cfg_FP64& component::add_number(std::string name, bool shown, double value, double minimum,
                                double maximum, double step) {
    return add_config<cfg_FP64>(std::move(name), shown, value, minimum, maximum, step);
}

cfg_FP64& component::add_size(std::string name, const double initial[3], const double minimum[3],
                              const double maximum[3]) {
    std::vector<cfg_FP64::number> numbers;
    for (int i = 0; i < 3; ++i)
        numbers.push_back({initial[i], minimum[i], maximum[i], 1});
    return add_config<cfg_FP64>(std::move(name), false, version(), std::move(numbers));
}

cfg_menu& component::add_menu(std::string name, bool shown, std::vector<std::string> items,
                              int selected, bool switch_mode) {
    return add_config<cfg_menu>(std::move(name), shown, version(), std::move(items), selected,
                                switch_mode);
}

// Every component registers a fixed set of configs and ports, well within
// the limits: going past one is a mistake in the program, not in its input.
port& component::add_port(port::direction dir, cfg_FP64& value, cfg_FP64& size, cfg_menu& type,
                          std::string name) {
    if (port_count() >= max_ports)
        throw std::logic_error(format("too many ports in \"%s\"", description_.name.c_str()));
    ports_.push_back(
        std::make_unique<port>(this, dir, value, size, type, std::move(name), version()));
    return *ports_.back();
}

void component::append_config(std::unique_ptr<config> c) {
    if (config_count() >= max_configs)
        throw std::logic_error(format("too many configs in \"%s\"", description_.name.c_str()));
    configs_.push_back(std::move(c));
}

} // namespace zoetra
