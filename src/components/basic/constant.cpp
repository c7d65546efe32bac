#include "components/basic/constant.hpp"

#include "components/basic/common.hpp"

namespace zoetra::basic {

constant::constant(double value) : component(kind_input, "INTEGER", 1.0) {
    cfg_FP64& shared_value = add_number("VALUE", false, value, 0, 65535, 1);
    cfg_FP64& size = add_size("SIZE", size_one, size_minimum, size_maximum);
    cfg_menu& type = add_menu("TYPE", false, element_types, select_uint8);
    add_port(port::direction::out, shared_value, size, type, "OUT.integer");
}

} // namespace zoetra::basic
