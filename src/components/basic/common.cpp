#include "components/basic/common.hpp"

#include "raster/resample.hpp"

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

double picture_scale(gif_size own, gif_size box, bool enlarge) {
    const fit_fraction now = fit_scale(own, box, enlarge);
    const fit_fraction then =
        fit_scale(own, gif_size{scale_one_width, scale_one_height}, /*enlarge=*/false);
    // One division of exact products: equal factors give exactly 1.
    const double grown = double(now.over * then.under) / double(now.under * then.over);
    return std::min(grown, scale_maximum);
}

double mark_scale(double frame, double picture) {
    return std::clamp(frame / std::max(picture, 1.0), 0.0, scale_maximum);
}

double scale_of(const cfg_FP64& scale) {
    return std::clamp(scale.value(0), 0.0, scale_maximum);
}

} // namespace zoetra::basic
