#pragma once
// Bench support for components run outside a network: the rest of the
// network as one component whose outputs give the measured component's
// inputs a peer and whose inputs receive (and audit) what it sends.
#include "engine/component.hpp"
#include "engine/lookup.hpp"

#include <stdexcept>
#include <string>

namespace zoetra::bench {

// The bench's wiring and firing cannot fail; if they do, the numbers would
// mean nothing.
inline void must(const outcome& done) {
    if (!done)
        throw std::runtime_error(done.message());
}

class plane_ends : public component {
  public:
    plane_ends(const char* type, std::uint16_t width, std::uint16_t height)
        : component(kind_input, "PLANES", 1.0) {
        const double size[3] = {double(width), double(height), 1};
        const double one[3] = {1, 1, 1};
        const double big[3] = {2048, 2048, 1};
        value_ = &add_number("VALUE", false, 0, 0, 65535, 1);
        size_ = &add_size("SIZE", size, one, big);
        type_ = &add_menu("TYPE", false, {"UINT8", "UINT16"});
        type_->select_by_name(type);
    }
    outcome fire() override { return finish_fire(); }
    void feed(component& target, const std::string& input) {
        port& out = add_port(port::direction::out, *value_, *size_, *type_, "TO." + input);
        must(port::connect(out, port_of(target, input)));
    }
    void take(component& target, const std::string& output) {
        port& in = add_port(port::direction::in, *value_, *size_, *type_, "FROM." + output);
        must(port::connect(in, port_of(target, output)));
    }

  private:
    cfg_FP64* value_;
    cfg_FP64* size_;
    cfg_menu* type_;
};

} // namespace zoetra::bench
