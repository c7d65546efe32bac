#include "components/basic/common.hpp"

namespace zoetra::basic {

void value_range_follows_type(component& c, const char* value, const char* type) {
    const std::string& selected = c.menu(type).selected_name();
    cfg_FP64& range = c.number(value);
    if (selected == uint16_type) {
        range.set_maximum(0, 65535);
        range.set_minimum(0, 0);
    } else if (selected == uint8_type) {
        range.set_maximum(0, 255);
        range.set_minimum(0, 0);
    }
}

} // namespace zoetra::basic
