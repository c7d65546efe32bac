#include "raster/output_canvas.hpp"

#include <algorithm>

namespace zoetra {

output_canvas::output_canvas(std::uint16_t work_width, std::uint16_t work_height, colour background)
    : work_width_(work_width), work_height_(work_height), background_(background),
      image_(std::make_unique<buffer>(0, 0, background)) {}

void output_canvas::set_output_size(int w, int h) {
    const int width = std::clamp(w, 0, int(work_width_));
    const int height = std::clamp(h, 0, int(work_height_));
    const rect area{std::int16_t(work_width_ / 2 - width / 2),
                    std::int16_t(work_height_ / 2 - height / 2), std::uint16_t(width),
                    std::uint16_t(height)};
    if (area == output_area_)
        return;
    if (area.width != image_->width() || area.height != image_->height()) {
        image_.reset();
        image_ = std::make_unique<buffer>(area.width, area.height, background_);
    }
    output_area_ = area;
    if (changed_)
        changed_(output_area_);
}

void output_canvas::set_work_size(std::uint16_t width, std::uint16_t height) {
    if (width == work_width_ && height == work_height_)
        return;
    work_width_ = width;
    work_height_ = height;
    const rect before = output_area_;
    if (before.is_null())
        return;
    output_area_ = rect{}; // so that the same size still moves to the new centre
    set_output_size(before.width, before.height);
}

} // namespace zoetra
