#include "engine/component.hpp"

#include "app/services/messages.hpp"
#include "app/services/utility.hpp"

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

bool component::preprepare(std::string&) {
    preprepared_ = true;
    return true;
}

bool component::prepare(std::string&) {
    prepared_ = true;
    return true;
}

void component::reset() {
    preprepared_ = prepared_ = fired_ = false;
    for (auto& p : ports_)
        p->release();
}

config& component::find_config(std::string_view name) const {
    for (const auto& c : configs_)
        if (same_name(c->name(), name))
            return *c;
    fatal_error(format("Could not find \"%.*s\" config in \"%s\".", int(name.size()), name.data(),
                       description_.name.c_str()));
}

port& component::find_port(std::string_view name) const {
    for (const auto& p : ports_)
        if (same_name(p->name(), name))
            return *p;
    fatal_error(format("Could not find \"%.*s\" port in \"%s\"", int(name.size()), name.data(),
                       description_.name.c_str()));
}

namespace {
template <class C> C& checked_kind(config& c, std::string_view name, const std::string& owner) {
    if (auto* typed = dynamic_cast<C*>(c.as_kind(C::kind)))
        return *typed;
    fatal_error(format("Could not find \"%.*s\" config in \"%s\".", int(name.size()), name.data(),
                       owner.c_str()));
}
} // namespace

cfg_FP64& component::number(std::string_view name) const {
    return checked_kind<cfg_FP64>(find_config(name), name, description_.name);
}

cfg_menu& component::menu(std::string_view name) const {
    return checked_kind<cfg_menu>(find_config(name), name, description_.name);
}

bool component::ready() const {
    if (fired_)
        return false;
    for (const auto& p : ports_)
        if (p->is_input() && p->connected() && !p->holds_matrix())
            return false;
    return true;
}

bool component::finish_fire(std::string& error, bool ok) {
    for (auto& p : ports_) {
        if (ok && !p->is_input())
            ok = p->send(error);
        p->release();
    }
    if (ok)
        fired_ = true;
    return ok;
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

port& component::add_port(port::direction dir, std::string_view value, std::string_view size,
                          std::string_view type, std::string name) {
    if (port_count() >= max_ports)
        fatal_error(format("Too many ports in \"%s\".", description_.name.c_str()));
    ports_.push_back(std::make_unique<port>(this, dir, number(value), number(size), menu(type),
                                            std::move(name), version()));
    return *ports_.back();
}

void component::append_config(std::unique_ptr<config> c) {
    if (config_count() >= max_configs)
        fatal_error(format("Too many configs in \"%s\".", description_.name.c_str()));
    configs_.push_back(std::move(c));
}

} // namespace zoetra
