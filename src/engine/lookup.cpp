#include "engine/lookup.hpp"

namespace zoetra {
namespace {

[[noreturn]] void missing(const component& c, const char* what, std::string_view name) {
    throw std::logic_error(std::string(what) + " \"" + std::string(name) + "\" is not in \"" +
                           c.name() + "\"");
}

template <class C> C& of_kind(const component& c, std::string_view name) {
    if (config* found = c.config_named(name))
        if (auto* typed = dynamic_cast<C*>(found->as_kind(C::kind)))
            return *typed;
    missing(c, C::kind, name);
}

} // namespace

config& setting_named(const component& c, std::string_view name) {
    if (config* found = c.config_named(name))
        return *found;
    missing(c, "setting", name);
}

cfg_FP64& number_named(const component& c, std::string_view name) {
    return of_kind<cfg_FP64>(c, name);
}

cfg_menu& menu_named(const component& c, std::string_view name) {
    return of_kind<cfg_menu>(c, name);
}

port& port_of(const component& c, std::string_view name) {
    if (port* found = c.port_named(name))
        return *found;
    missing(c, "port", name);
}

} // namespace zoetra
