#include "components/basic/common.hpp"

namespace zoetra::basic {

void value_range_follows_type(cfg_FP64& value, const cfg_menu& type) {
    const std::string& selected = type.selected_name();
    if (selected == uint16_type) {
        value.set_maximum(0, 65535);
        value.set_minimum(0, 0);
    } else if (selected == uint8_type) {
        value.set_maximum(0, 255);
        value.set_minimum(0, 0);
    }
}

} // namespace zoetra::basic
