#include "components/basic/common.hpp"

#include <algorithm>

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

double frame_scale(int width, int height) {
    if (width <= 0 || height <= 0)
        return 1;
    return std::min(double(width) / scale_one_width, double(height) / scale_one_height);
}

double scale_of(const cfg_FP64& scale) {
    return std::clamp(scale.value(0), 0.0, scale_maximum);
}

} // namespace zoetra::basic
