#include "gif/frame_planner.hpp"

#include <algorithm>

namespace zoetra {

frame_planner::frame_planner(int width, int height) : width_(width), height_(height) {}

frame_step frame_planner::plan(const std::uint8_t* opaque, const std::uint8_t* same,
                               const std::uint8_t* next_opaque, std::uint8_t* need) const {
    int left = width_, top = height_, right = -1, bottom = -1;
    bool clears = false;
    for (int y = 0; y < height_; ++y) {
        const std::size_t row = std::size_t(y) * width_;
        for (int x = 0; x < width_; ++x) {
            const std::size_t p = row + x;
            // The canvas this frame finds: the previous picture, transparent
            // where the previous frame cleared (everywhere before the first).
            const bool was_cleared = first_ || cleared_.contains(x, y);
            const bool draw = must_draw(was_cleared, opaque[p] != 0, !first_ && same[p] != 0);
            // A colour the next picture no longer has must be cleared.
            const bool vanishes = opaque[p] != 0 && next_opaque[p] == 0;
            need[p] = draw ? 1 : 0;
            if (draw || vanishes) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
            clears = clears || vanishes;
        }
    }
    frame_step step;
    step.disposal = clears ? frame_disposal::clear : frame_disposal::keep;
    if (first_)
        step.rect = screen();
    else if (right < 0)
        step.rect = {0, 0, std::min(width_, 1), std::min(height_, 1)};
    else
        step.rect = {left, top, right - left + 1, bottom - top + 1};
    return step;
}

void frame_planner::drawn(frame_rect rect, frame_disposal disposal) {
    first_ = false;
    cleared_ = disposal == frame_disposal::clear ? rect : frame_rect{};
}

} // namespace zoetra
