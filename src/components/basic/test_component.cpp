#include "components/basic/test_component.hpp"

#include "components/basic/common.hpp"

namespace zoetra::basic {

test_component::test_component(mode m) : component(kind_input, "TEST", 1.0), mode_(m) {
    static constexpr double small[3] = {2, 1, 1};
    static constexpr double big[3] = {7, 4, 1};
    static constexpr double limit[3] = {1000, 1000, 1};
    cfg_FP64& value = add_number("VALUE", false, 127, 0, 255, 1);
    cfg_FP64& small_size = add_size("SIZE.small", small, size_minimum, limit);
    cfg_FP64& big_size = add_size("SIZE.big", big, size_minimum, limit);
    cfg_menu& type = add_menu("TYPE", false, element_types, select_uint8);
    outputs_[0] = &add_port(port::direction::out, value, small_size, type, "OUT.small");
    outputs_[1] = &add_port(port::direction::out, value, big_size, type, "OUT.big");
    add_port(port::direction::in, value, small_size, type, "IN.small");
    add_port(port::direction::in, value, big_size, type, "IN.big");
}

outcome test_component::preprepare() {
    if (mode_ == fail_preprepare)
        return outcome::failure("com_test failed preprepare");
    return component::preprepare();
}

outcome test_component::prepare() {
    if (mode_ == fail_prepare)
        return outcome::failure("com_test failed prepare");
    return component::prepare();
}

outcome test_component::fire() {
    if (mode_ == fail_fire) {
        diagnostics_sink().out("NOT exporting!\n");
        return finish_fire(outcome::failure("com_test failed fire"));
    }
    if (mode_ == doesnt_export) {
        diagnostics_sink().out("NOT exporting!\n");
        return finish_fire();
    }
    diagnostics_sink().out("exporting!\n");
    // The hold results are not consulted: an output takes every matrix.
    for (port* out : outputs_) {
        matrix_ptr filled = out->make_matrix(true);
        static_cast<void>(out->hold(filled));
    }
    return finish_fire();
}

} // namespace zoetra::basic
