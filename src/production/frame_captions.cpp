#include "production/frame_captions.hpp"

#include <algorithm>

namespace zoetra {
namespace {

std::uint32_t rgb_of(colour c) {
    return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
}

// Calls visit(pixel&) for every pixel of the mask's block inside the frame,
// row by row.
template <class Visit> void each_pixel(buffer& frame, const caption_mask& mask, Visit&& visit) {
    if (mask.empty())
        return;
    const int first_row = std::max(0, mask.y);
    const int end_row = std::min<int>(mask.y + mask.height, frame.height());
    const int first_column = std::max(0, mask.x);
    const int end_column = std::min<int>(mask.x + mask.width, frame.width());
    pixel* const pixels = frame.pixels();
    for (int y = first_row; y < end_row; ++y)
        for (int x = first_column; x < end_column; ++x)
            visit(pixels[std::size_t(y) * frame.width() + std::size_t(x)]);
}

} // namespace

void frame_captions::set_texts(std::string top, std::string bottom) {
    top_ = std::move(top);
    bottom_ = std::move(bottom);
}

outcome frame_captions::draw_on(std::span<buffer* const> frames) {
    drawn_ = false;
    under_.clear();
    if (!any() || frames.empty())
        return outcome::success();
    result<caption_pair> laid =
        lay_out_captions(top_, bottom_, frames[0]->width(), frames[0]->height());
    if (!laid)
        return outcome::failure(laid.message());
    masks_ = std::move(laid.value());
    under_.resize(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        buffer_lock hold(*frames[i]);
        for (const caption_mask* mask : {&masks_.top, &masks_.bottom})
            each_pixel(*frames[i], *mask, [&](pixel& p) { under_[i].push_back(p); });
        draw_caption(*frames[i], masks_.top, colours);
        draw_caption(*frames[i], masks_.bottom, colours);
    }
    drawn_ = true;
    return outcome::success();
}

void frame_captions::take_off(std::span<buffer* const> frames) {
    if (!drawn_)
        return;
    for (std::size_t i = 0; i < frames.size() && i < under_.size(); ++i) {
        buffer_lock hold(*frames[i]);
        std::size_t at = 0;
        for (const caption_mask* mask : {&masks_.top, &masks_.bottom})
            each_pixel(*frames[i], *mask, [&](pixel& p) { p = under_[i][at++]; });
    }
    forget_frames();
}

void frame_captions::forget_frames() {
    drawn_ = false;
    under_.clear();
}

kept_colours frame_captions::colours_to_keep() const {
    kept_colours kept;
    if (drawn_)
        kept = kept_colours{{rgb_of(colours.fill), rgb_of(colours.outline)}, 2};
    return kept;
}

} // namespace zoetra
