#include "app/application.hpp"

#include "app/window_parts.hpp"
#include "skin/skin_images.hpp"

#include <cstdio>

namespace zoetra {

application::application(std::uint16_t width, std::uint16_t height)
    : production_(width, height) {
    install_shell(this);
    production_.set_listener(this);
    production_.image().on_output_area_changed([this](const rect&) {
        if (ready_)
            redraw_work_area();
    });
}

// The studio goes first (scripts, frames, standing components, frame image),
// after the skin image cache.
application::~application() {
    empty_skin_cache();
    production_.set_listener(nullptr);
    install_shell(nullptr);
}

outcome application::start() {
    present_area(rect{});
    set_status("Welcome to Zoetra.");
    draw_splash(frame());
    if (outcome loaded = production_.load_effects(); !loaded)
        return loaded;
    redraw_work_area();
    present_area(rect{});
    production_.clear_settings_changed();
    ready_ = true;
    return outcome::success();
}

// ---- shell services -------------------------------------------------------

void application::present_area(const rect& area) {
    frame().mark_damaged(area);
}

void application::show_status(const std::string& text) {
    status_ = text;
    draw_status_line(frame(), text);
}

// ---- what the studio reports ----------------------------------------------

void application::status(const std::string& text) {
    set_status(text);
}

void application::effect_left_out(const std::string& reason) {
    std::fprintf(stderr, "Effect left out: %s\n", reason.c_str());
}

void application::construction_started() {
    cancel_pressed_ = false;
    redraw_work_area();
}

void application::construction_ended() {
    cancel_pressed_ = false;
    redraw_work_area();
}

void application::run_progress(int k, int fired, int count) {
    draw_slot_progress(frame(), k, fired, count);
}

void application::frame_captured(int k, buffer& captured) {
    draw_frame_in_slot(frame(), k, captured);
}

// ---- drawing --------------------------------------------------------------

void application::redraw_work_area() {
    if (mode() == mode_creating) {
        draw_work_area_background(frame(), false);
        redraw_construction_screen();
        return;
    }
    // The preview shows the frames; without them the background image.
    draw_work_area_background(frame(), !production_.has_frames());
}

void application::redraw_construction_screen() {
    draw_construction_screen(frame(), production_.frame_count());
    for (int k = 0; k < production_.stored_frames(); ++k)
        draw_frame_in_slot(frame(), k, production_.stored_frame(k));
    draw_cancel_button(frame(), cancel_pressed_);
}

// ---- events ---------------------------------------------------------------

void application::handle(const input_event& e) {
    switch (e.type) {
    case input_event::kind::mouse_down:
        mouse_down(e.x, e.y, e.button);
        break;
    case input_event::kind::mouse_up:
        mouse_up(e.x, e.y, e.button);
        break;
    case input_event::kind::mouse_move:
        mouse_moved(e.x, e.y);
        break;
    case input_event::kind::key:
        if (int ch = key_character(e); ch != 0)
            key(ch);
        break;
    }
}

void application::mouse_down(int x, int y, int) {
    last_x_ = x;
    last_y_ = y;
    if (mode() == mode_creating) {
        if (cancel_button.contains(x, y)) {
            cancel_pressed_ = true;
            draw_cancel_button(frame(), true);
        }
        return;
    }
    mouse_held_ = true;
}

void application::mouse_up(int x, int y, int) {
    last_x_ = x;
    last_y_ = y;
    if (mode() == mode_creating) {
        if (cancel_pressed_ && cancel_button.contains(x, y)) {
            production_.cancel_construction();
        } else if (cancel_pressed_) {
            cancel_pressed_ = false;
            draw_cancel_button(frame(), false);
        }
        return;
    }
    mouse_held_ = false;
}

void application::mouse_moved(int x, int y) {
    last_x_ = x;
    last_y_ = y;
    if (mode() == mode_creating && cancel_pressed_ && !cancel_button.contains(x, y)) {
        cancel_pressed_ = false;
        draw_cancel_button(frame(), false);
    }
}

void application::key(int ch) {
    if (mode() == mode_creating) {
        if (ch == keys::backspace)
            production_.cancel_construction();
        return;
    }
    switch (ch) {
    case keys::ctrl_b:
        empty_skin_cache();
        break;
    case keys::ctrl_g:
        if (production_.can_create())
            create();
        break;
    case keys::ctrl_s:
        if (production_.has_frames())
            save();
        break;
    case keys::ctrl_c:
        if (production_.has_frames())
            calculate();
        break;
    default:
        break;
    }
}

void application::file_command(const std::string& name) {
    if (mode() != mode_editing || production_.current_effect() == nullptr)
        return;
    if (name == "create" && production_.can_create())
        create();
    else if (name == "calculate" && production_.has_frames())
        calculate();
    else if (name == "save" && production_.has_frames())
        save();
}

wake_request application::tick(double now) {
    if (mode() == mode_creating) {
        show_failure(production_.step());
        return wake_request{production_.busy(), std::nullopt};
    }
    idle(last_x_, last_y_, now);
    return wake_request{false, production_.next_preview_time()};
}

// An idle tick in the editing mode: the preview plays while the mouse rests
// and no button is held.
void application::idle(int x, int y, double now) {
    if (!mouse_held_ && x == idle_x_ && y == idle_y_)
        production_.preview_step(now);
    production_.clear_settings_changed();
    idle_x_ = x;
    idle_y_ = y;
}

// ---- commands -------------------------------------------------------------

void application::create() {
    show_failure(production_.start_construction());
}

void application::calculate() {
    result<std::uint32_t> bytes = production_.size();
    if (bytes)
        info_box("GIF89 file size", size_report(bytes.value()));
    else
        error_box(bytes.message());
}

void application::save() {
    std::optional<std::string> name =
        choose_file_to_save("Please tell me where to save", "your.gif");
    if (name)
        show_failure(production_.save(*name));
}

void application::show_failure(const outcome& o) {
    if (!o)
        error_box(o.message());
}

} // namespace zoetra
