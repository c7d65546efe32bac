#include "app/frame_image.hpp"

#include "app/services/interface_colours.hpp"

#include <algorithm>
#include <utility>

namespace zoetra {
namespace {

std::uint16_t at_least_zero(int size) {
    return std::uint16_t(std::clamp(size, 0, 0xFFFF));
}

// Above the work area: the tab row and the panel body (96 rows); below it:
// the status line and the window's last row (18 rows).
constexpr int work_area_top = 96;
constexpr int rows_outside_work_area = 114;

} // namespace

frame_image::frame_image(std::uint16_t width, std::uint16_t height)
    : image_(width, height, ui_mid) {}

rect frame_image::tab_row() const {
    return rect{0, 0, width(), 20};
}

rect frame_image::panel_body() const {
    return rect{0, 20, width(), 76};
}

rect frame_image::work_area() const {
    return rect{0, work_area_top, width(), at_least_zero(height() - rows_outside_work_area)};
}

rect frame_image::status_line() const {
    return rect{0, std::int16_t(height() - 18), width(), 17};
}

rect frame_image::help_body() const {
    return rect{0, 20, width(), at_least_zero(height() - 20)};
}

void frame_image::mark_damaged(const rect& area) {
    const rect whole = image_.window();
    const rect clipped = area.is_null() ? whole : intersection(area, whole);
    if (clipped.width == 0 || clipped.height == 0)
        return;
    // Merge with every rectangle it touches, until it touches none.
    rect merged = clipped;
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = damage_.begin(); it != damage_.end(); ++it) {
            if (overlap_or_touch(*it, merged)) {
                merged = bounding_box(*it, merged);
                damage_.erase(it);
                grew = true;
                break;
            }
        }
    }
    damage_.push_back(merged);
    constexpr std::size_t most_rectangles = 8;
    if (damage_.size() > most_rectangles) {
        rect all = damage_.front();
        for (const rect& r : damage_)
            all = bounding_box(all, r);
        damage_.assign(1, all);
    }
}

std::vector<rect> frame_image::take_damage() {
    return std::exchange(damage_, {});
}

} // namespace zoetra
