#include "components/basic/test_component.hpp"

#include "components/basic/common.hpp"

#include <cstdio>

namespace zoetra::basic {

test_component::test_component(mode m) : component(kind_input, "TEST", 1.0), mode_(m) {
    static constexpr double small[3] = {2, 1, 1};
    static constexpr double big[3] = {7, 4, 1};
    static constexpr double limit[3] = {1000, 1000, 1};
    add_number("VALUE", false, 127, 0, 255, 1);
    add_size("SIZE.small", small, size_minimum, limit);
    add_size("SIZE.big", big, size_minimum, limit);
    add_menu("TYPE", false, element_types, select_uint8);
    add_port(port::direction::out, "VALUE", "SIZE.small", "TYPE", "OUT.small");
    add_port(port::direction::out, "VALUE", "SIZE.big", "TYPE", "OUT.big");
    add_port(port::direction::in, "VALUE", "SIZE.small", "TYPE", "IN.small");
    add_port(port::direction::in, "VALUE", "SIZE.big", "TYPE", "IN.big");
}

bool test_component::preprepare(std::string& error) {
    if (mode_ == fail_preprepare) {
        error = "com_test failed preprepare";
        return false;
    }
    return component::preprepare(error);
}

bool test_component::prepare(std::string& error) {
    if (mode_ == fail_prepare) {
        error = "com_test failed prepare";
        return false;
    }
    return component::prepare(error);
}

bool test_component::fire(std::string& error) {
    if (mode_ == fail_fire) {
        error = "com_test failed fire";
        std::printf("NOT exporting!\n");
        return finish_fire(error, false);
    }
    if (mode_ == doesnt_export) {
        std::printf("NOT exporting!\n");
        return finish_fire(error, true);
    }
    std::printf("exporting!\n");
    for (const char* name : {"OUT.small", "OUT.big"}) {
        port& out = find_port(name);
        matrix_ptr filled = out.make_matrix(true);
        out.hold(filled, error);
    }
    return finish_fire(error, true);
}

} // namespace zoetra::basic
