#include "app/application.hpp"

#include "app/licence_text.hpp"
#include "app/panel_host.hpp"
#include "app/window_parts.hpp"
#include "base/utility.hpp"
#include "raster/draw.hpp"
#include "raster/resample.hpp"
#include "skin/skin_images.hpp"
#include "ui/palette_editor.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace zoetra {

std::vector<std::string> dropped_paths(std::string_view text) {
    std::vector<std::string> paths;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        const bool address = line.substr(0, 7) == "file://";
        if (address)
            line.remove_prefix(7);
        std::string path;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto hex = [&](std::size_t at) {
                return at < line.size() && std::isxdigit(static_cast<unsigned char>(line[at]));
            };
            if (address && line[i] == '%' && hex(i + 1) && hex(i + 2)) {
                path += char(std::stoi(std::string(line.substr(i + 1, 2)), nullptr, 16));
                i += 2;
            } else {
                path += line[i];
            }
        }
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

application::application(std::filesystem::path data_folder, std::uint16_t width,
                         std::uint16_t height)
    : production_(std::move(data_folder)), frame_(width, height) {
    install_shell(this);
    production_.set_listener(this);
    set_memory_report([](const std::string& text) { set_status(text); });
}

// The panels and their editors go first, then the studio (scripts, frames,
// standing components, the context with its skin image cache).
application::~application() {
    host_.reset();
    set_memory_report(nullptr);
    production_.set_listener(nullptr);
    install_shell(nullptr);
}

rect application::output_rect() const {
    const rect work = frame_.work_area();
    const rect area = production_.canvas().output_area();
    if (area.width <= work.width && area.height <= work.height)
        return rect{std::int16_t(work.x + area.x), std::int16_t(work.y + area.y), area.width,
                    area.height};
    // A frame larger than the work area is previewed scaled down to fit,
    // centred; the file keeps the full size.
    const gif_size shown =
        fit_inside(gif_size{area.width, area.height}, gif_size{work.width, work.height}, false);
    return rect{std::int16_t(work.x + (work.width - shown.width) / 2),
                std::int16_t(work.y + (work.height - shown.height) / 2), shown.width, shown.height};
}

void application::canvas_changed() {
    const rect shown = output_rect();
    buffer& canvas_image = production_.canvas().image();
    stretch_copy(canvas_image, frame_.image(), 0, 0, canvas_image.width(), canvas_image.height(),
                 shown.x, shown.y, shown.width, shown.height);
    present_area(shown);
}

void application::output_area_changed() {
    if (ready_)
        redraw_work_area();
}

outcome application::start() {
    present_area(rect{});
    set_status("Welcome to Zoetra.");
    draw_splash(frame(), production_.program().skins());
    if (outcome loaded = production_.load_effects(); !loaded)
        return loaded;
    host_ = std::make_unique<panel_host>(*this);
    splash_showing_ = true;
    choose_effect(0);
    redraw_work_area();
    present_area(rect{});
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
    if (on_status_drawn)
        on_status_drawn();
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
    splash_showing_ = false;
    if (host_)
        host_->active_panel().deactivate();
    redraw_work_area();
}

void application::construction_ended() {
    cancel_pressed_ = false;
    redraw_work_area();
    if (host_) {
        host_->active_panel().activate();
        host_->redraw_active();
        host_->draw_tabs();
    }
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
        draw_work_area_background(frame(), production_.program().skins(), false);
        redraw_construction_screen();
        return;
    }
    const bool help = host_ && host_->active() == panel_host::help;
    if (help) {
        host_->redraw_active();
        return;
    }
    // The preview shows the frames; without them the background image, or
    // the splash until the first frames are made.
    if (splash_showing_ && !production_.has_frames()) {
        draw_work_area_background(frame(), production_.program().skins(), false);
        draw_splash(frame(), production_.program().skins());
    } else {
        draw_work_area_background(frame(), production_.program().skins(),
                                  !production_.has_frames());
    }
    production_.show_preview_frame();
    // The help pages cover the status line too.
    draw_status_line(frame(), status_);
    if (host_)
        host_->redraw_active();
}

void application::redraw_construction_screen() {
    draw_construction_screen(frame(), production_.frame_count());
    for (int k = 0; k < production_.stored_frames(); ++k)
        draw_frame_in_slot(frame(), k, production_.stored_frame(k));
    draw_cancel_button(frame(), production_.program().skins(), cancel_pressed_);
}

// ---- effects and menus ----------------------------------------------------

void application::choose_effect(int index) {
    if (mode() == mode_creating || index < 0 || index >= production_.catalogue().count())
        return;
    const bool changed = index != production_.current_effect_index();
    production_.select_effect(index);
    if (!host_)
        return;
    host_->effects().command("type", production_.current_effect()->desc().type);
    if (changed && host_->active() != panel_host::help) {
        // The settings panel shows the new effect's settings.
        host_->active_panel().deactivate();
        host_->active_panel().activate();
    }
    host_->redraw_active();
    host_->draw_tabs();
}

bool application::remove_allowed() const {
    const cfg_image_in& palette = production_.image_source().palette();
    return palette.count() > 0 && host_ && host_->active() == panel_host::choose_gif &&
           palette.selected() < palette.count();
}

menu_bar application::menus() const {
    using accel = accelerator;
    menu_item file = make_item(0, "&File");
    file.items = {
        make_item(command_id::insert_image, "&Insert Image\tInsert", accel{accel::key::insert}),
        make_item(command_id::remove_image, "&Remove image\tDelete", {}, remove_allowed()),
        make_item(command_id::create, "&Create Animation\tCtrl+G", accel{accel::key::letter, 'g'},
                  production_.can_create()),
        make_item(command_id::calculate, "&Calculate Animation Size\tCtrl+C",
                  accel{accel::key::letter, 'c'}),
        make_item(command_id::save, "&Save Animation\tCtrl+S", accel{accel::key::letter, 's'},
                  production_.has_frames()),
        make_item(command_id::fine_colours, "&Fine Colours"),
        make_item(command_id::exit, "E&xit"),
    };
    menu_item& fine = file.items[file.items.size() - 2];
    fine.checkable = true;
    fine.checked = production_.fine_colours();
    menu_item effects = make_item(0, "&Effects");
    for (const char* type : effect_types)
        effects.items.push_back(make_item(0, type));
    const effect_catalogue& catalogue = production_.catalogue();
    for (int i = 0; i < catalogue.count(); ++i) {
        const script& effect = catalogue.effect(i);
        for (int t = 0; t < 4; ++t) {
            if (!same_name(effect.desc().type, effect_types[t]))
                continue;
            menu_item item = make_item(command_id::first_effect + i, effect_title(effect));
            item.checkable = true;
            item.checked = i == production_.current_effect_index();
            effects.items[std::size_t(t)].items.push_back(item);
        }
    }
    for (int t = 0; t < 4; ++t) {
        auto& submenu = effects.items[std::size_t(t)].items;
        if (submenu.empty())
            submenu.push_back(
                make_item(command_id::none_available + t, "None available", {}, false));
    }
    menu_item help = make_item(0, "&Help");
    help.items = {make_item(command_id::licence, "&License Agreement"),
                  make_item(command_id::about, "&About Zoetra")};
    menu_bar bar;
    bar.menus = {file, effects, help};
    return bar;
}

void application::menu_command(int id) {
    switch (id) {
    case command_id::insert_image:
        file_command("insert");
        if (host_)
            host_->redraw_active();
        return;
    case command_id::remove_image:
        file_command("remove");
        return;
    case command_id::create:
        file_command("create");
        return;
    case command_id::calculate:
        file_command("calculate");
        return;
    case command_id::save:
        file_command("save");
        return;
    case command_id::fine_colours:
        production_.set_fine_colours(!production_.fine_colours());
        return;
    case command_id::exit:
        if (may_exit() && on_exit)
            on_exit();
        return;
    case command_id::licence:
        if (platform* p = installed_platform())
            p->show_text("License Agreement", licence_notice());
        return;
    case command_id::about:
        if (platform* p = installed_platform())
            p->show_text("About Zoetra", about_text());
        return;
    default:
        if (id >= command_id::first_effect && id <= command_id::last_effect)
            choose_effect(id - command_id::first_effect);
        return;
    }
}

void application::file_command(const std::string& name) {
    if (host_)
        host_->command("file", name);
    if (mode() != mode_editing || production_.current_effect() == nullptr)
        return;
    if (name == "create" && production_.can_create())
        create();
    else if (name == "calculate" && production_.has_frames())
        calculate();
    else if (name == "save" && production_.has_frames())
        save();
}

void application::insert_files(const std::vector<std::string>& paths) {
    // In the order given, from the selected position on; the selection stays
    // on the first of them.
    cfg_image_in& palette = production_.image_source().palette();
    int position = palette.selected();
    for (const std::string& path : paths) {
        std::error_code ignored;
        const std::string absolute = std::filesystem::absolute(path, ignored).lexically_normal();
        const int before = palette.count();
        show_failure(insert_picture(palette, absolute, position));
        position += palette.count() - before;
    }
    if (host_)
        host_->redraw_active();
}

bool application::may_exit() {
    if (!production_.has_frames() || production_.saved())
        return true;
    platform* p = installed_platform();
    return p == nullptr ||
           p->confirm("Zoetra",
                      "The frames you created have not been saved. Discard them and exit?");
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

void application::mouse_down(int x, int y, int button) {
    last_x_ = x;
    last_y_ = y;
    if (mode() == mode_creating) {
        if (cancel_button.contains(x, y)) {
            cancel_pressed_ = true;
            draw_cancel_button(frame(), production_.program().skins(), true);
        }
        return;
    }
    mouse_held_ = true;
    if (host_)
        host_->mouse_down(x, y, button);
    idle(x, y, std::nullopt);
}

void application::mouse_up(int x, int y, int button) {
    last_x_ = x;
    last_y_ = y;
    if (mode() == mode_creating) {
        if (cancel_pressed_ && cancel_button.contains(x, y)) {
            production_.cancel_construction();
        } else if (cancel_pressed_) {
            cancel_pressed_ = false;
            draw_cancel_button(frame(), production_.program().skins(), false);
        }
        return;
    }
    if (host_)
        host_->mouse_up(x, y, button);
    mouse_held_ = false;
}

void application::mouse_moved(int x, int y) {
    last_x_ = x;
    last_y_ = y;
    if (mode() == mode_creating) {
        if (cancel_pressed_ && !cancel_button.contains(x, y)) {
            cancel_pressed_ = false;
            draw_cancel_button(frame(), production_.program().skins(), false);
        }
        return;
    }
    // Drags and hovering answer at once; the preview waits for a tick.
    if (host_)
        host_->idle(x, y);
}

void application::key(int ch) {
    if (mode() == mode_creating) {
        if (ch == keys::backspace)
            production_.cancel_construction();
        return;
    }
    if (ch == keys::ctrl_b)
        production_.program().skins().empty();
    if (ch == keys::ctrl_g && production_.can_create())
        create();
    else if (ch == keys::ctrl_s && production_.has_frames())
        save();
    else if (ch == keys::ctrl_c && production_.has_frames())
        calculate();
    else if (host_)
        host_->key(ch, last_x_, last_y_);
}

wake_request application::tick(double now) {
    if (mode() == mode_creating) {
        show_failure(production_.step());
        return wake_request{production_.busy(), std::nullopt};
    }
    idle(last_x_, last_y_, now);
    const bool working = background_step();
    const bool previewing = !host_ || host_->active() != panel_host::help;
    return wake_request{working, previewing ? production_.next_preview_time() : std::nullopt};
}

// The studio's background work, a slice a tick: the fit under a limit first,
// then the exact size. True while there is more to do.
bool application::background_step() {
    constexpr auto slice = std::chrono::milliseconds(15);
    if (production_.fit_wanted()) {
        if (!production_.fit_step(slice)) {
            set_status(production_.fit_progress());
            return true;
        }
        set_status(fit_summary());
        show_figures();
        return false;
    }
    if (production_.size_wanted()) {
        if (!production_.measure_size_step(slice))
            return true;
        show_figures();
    }
    return false;
}

std::string application::fit_summary() const {
    const std::optional<fit_outcome>& fit = production_.fit_result();
    const double limit = production_.fit_limit() / 1024.0;
    if (!fit)
        return production_.fit_progress();
    if (!fit->fits)
        return format("Nothing fits under %.0f KB: the smallest file these frames give is %.1f KB.",
                      limit, fit->smallest / 1024.0);
    const gif_encode_options& c = fit->chosen.coding;
    return format("Fitted under %.0f KB: %.1f KB, PSNR %.1f dB (%s colours, at most %d, lossy %d).",
                  limit, fit->measure.bytes / 1024.0, fit->measure.psnr,
                  c.colours != colour_mode::fine ? "standard"
                  : c.dither                     ? "fine"
                                                 : "fine undithered",
                  c.colours_max, c.lossy);
}

void application::show_figures() {
    if (host_ && host_->active() == panel_host::create_save)
        static_cast<create_save_panel&>(host_->active_panel()).draw_figures();
}

// An idle tick in the editing mode: the panels hear the mouse, and the
// preview plays while the mouse rests, no button is held and the help pages
// are not showing.
void application::idle(int x, int y, std::optional<double> now) {
    if (host_)
        host_->idle(x, y);
    const bool help = host_ && host_->active() == panel_host::help;
    if (now && !mouse_held_ && !help && x == idle_x_ && y == idle_y_)
        production_.preview_step(*now);
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
    if (host_)
        host_->redraw_active();
}

void application::show_failure(const outcome& o) {
    if (!o)
        error_box(o.message());
}

} // namespace zoetra
