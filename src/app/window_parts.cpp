#include "app/window_parts.hpp"

#include "app/services/interface_colours.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"
#include "resources/resource.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"

#include <algorithm>

namespace zoetra {
namespace {

constexpr int slot_size = 30;

} // namespace

rect frame_slot(int k) {
    return rect{static_cast<std::int16_t>(8 + 40 * (k % 16)),
                static_cast<std::int16_t>(22 + 40 * (k / 16)), slot_size, slot_size};
}

void draw_status_line(frame_image& frame, const std::string& text) {
    const rect line = frame.status_line();
    buffer& image = frame.image();
    buffer_lock lock(image);
    fast_fill(image, ui_mid, line);
    const auto right = std::int16_t(line.x + line.width - 1);
    draw_line(image, line.x, line.y, right, line.y, ui_dark);
    draw_line(image, line.x, std::int16_t(line.y + 1), right, std::int16_t(line.y + 1), ui_light);
    // Status texts may end with a line break; the line shows only the text,
    // kept to the line (descenders included).
    std::string shown = text.substr(0, text.find('\n'));
    draw_text_clipped(image, shown, std::int16_t(line.x + 4), std::int16_t(line.y + 13), ui_text,
                      line);
    frame.mark_damaged(line);
}

void draw_splash(frame_image& frame, skin_cache& skins) {
    buffer_lock lock(frame.image());
    skins.draw_centred(frame.image(), skin_image_name("__splash.gif"), frame.work_area());
    frame.mark_damaged(frame.work_area());
}

void draw_work_area_background(frame_image& frame, skin_cache& skins, bool with_background) {
    const rect work = frame.work_area();
    buffer_lock lock(frame.image());
    fast_fill(frame.image(), ui_mid, work);
    if (with_background)
        skins.draw_centred(frame.image(), skin_image_name("__background.gif"), work);
    frame.mark_damaged(work);
}

void draw_construction_screen(frame_image& frame, int slots_in_use) {
    buffer& image = frame.image();
    buffer_lock lock(image);
    const rect top{0, 0, frame.width(), static_cast<std::uint16_t>(frame.work_area().y)};
    fast_fill(image, ui_mid, top);
    draw_text_in_box(image, 50, 0, static_cast<std::uint16_t>(std::max(0, frame.width() - 100)), 24,
                     "I am now creating your gif89 frames...", ui_text, text_size::points_12);
    for (int k = 0; k < std::clamp(slots_in_use, 0, 32); ++k) {
        const rect slot = frame_slot(k);
        canvas(image, image.window()).bevel(inset(slot, -1), ui_dark, ui_light);
    }
    frame.mark_damaged(top);
}

void draw_cancel_button(frame_image& frame, skin_cache& skins, bool pressed) {
    buffer& image = frame.image();
    buffer_lock lock(image);
    const rect& b = cancel_button;
    draw_rectangle(image, b.x, b.y, b.width, b.height, ui_light, true, ui_light);
    canvas(image, b).bevel(b, pressed ? ui_dark : ui_highlight, pressed ? ui_highlight : ui_dark);
    if (!skins.draw(image, skin_image_name("__cancel.gif"), b.x + 2, b.y + 2, b.width - 4,
                    b.height - 4, 0))
        draw_text_at(image, "Cancel(backspace)", std::int16_t(b.x + 6), std::int16_t(b.y + 12),
                     ui_text);
    frame.mark_damaged(b);
}

void draw_frame_in_slot(frame_image& frame, int k, buffer& captured) {
    const rect slot = frame_slot(k);
    stretch_copy(captured, frame.image(), 0, 0, captured.width(), captured.height(), slot.x, slot.y,
                 slot.width, slot.height);
    frame.mark_damaged(slot);
}

void draw_slot_progress(frame_image& frame, int k, int fired, int count) {
    const rect slot = frame_slot(k);
    const int height = count > 0 ? slot.height * std::clamp(fired, 0, count) / count : 0;
    if (height <= 0)
        return;
    buffer_lock lock(frame.image());
    draw_rectangle(frame.image(), slot.x, slot.y, slot.width, std::uint16_t(height), colour{}, true,
                   colour{});
    frame.mark_damaged(slot);
}

} // namespace zoetra
