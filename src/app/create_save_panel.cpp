#include "app/application.hpp"
#include "app/panels.hpp"
#include "app/services/messages.hpp"
#include "base/utility.hpp"
#include "production/catalogue.hpp"
#include "production/frame_size.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"
#include "ui/event.hpp"

#include <array>
#include <cctype>

namespace zoetra {
namespace {

// A standing component's setting, with the title this panel gives it.
config& titled(config& setting, const char* title) {
    setting.desc().title = title;
    return setting;
}

rect placed(const rect& body, int x, int y, int w, int h) {
    return rect{std::int16_t(body.x + x), std::int16_t(body.y + y), std::uint16_t(w),
                std::uint16_t(std::max(0, h))};
}

// The named sizes in capitals, then "W x H" for the typed size.
std::vector<std::string> frame_size_items() {
    std::vector<std::string> items;
    for (const size_preset& preset : size_presets()) {
        std::string name = preset.name;
        for (char& ch : name)
            ch = char(std::toupper(static_cast<unsigned char>(ch)));
        items.push_back(name);
    }
    items.push_back("W x H");
    return items;
}

// Where the columns lie in the panel body, from the left: the animation's
// settings, DIRECTION, GIF89 SIZE, FRAME, the frame size's fields, FIT
// UNDER, the limit's field with the figures, the buttons.
constexpr int settings_x = 13, settings_width = 118;
// The sliders' values stand out to the right of their column.
constexpr int direction_x = 168, direction_width = 60;
constexpr int gif89_size_x = 231, frame_menu_x = 309, menu_width = 56;
constexpr int size_column_x = 367, size_column_width = 86;
constexpr int fit_menu_x = 455, fit_menu_width = 62;
constexpr int fit_column_x = 519, fit_column_width = 44;

// The settings column's five rows: DELAY, LOOP, FRAMES, HOLD FIRST, HOLD LAST.
constexpr int settings_row_height = 15;
constexpr int settings_row(int k) {
    return 1 + k * settings_row_height;
}
// The caption's lines under their title, across GIF89 SIZE's column and
// FRAME's left edge.
constexpr int caption_x = 231, caption_top = 30, caption_width = 76;

// The limits FIT UNDER offers, in KB; the last item takes the typed one.
constexpr std::array fit_presets{0, 128, 256, 512};

} // namespace

create_save_panel::create_save_panel(application& app, const rect& body)
    : panel(app.window_surface(), body, "CREATE & SAVE"), app_(app),
      frame_size_(nullptr, "FRAME SIZE", true, 1.0, frame_size_items(), int(size_presets().size())),
      width_(nullptr, "WIDTH", true, 1.0, {{0, 0, max_frame_width, 1}}, false, true),
      height_(nullptr, "HEIGHT", true, 1.0, {{0, 0, max_frame_height, 1}}, false, true),
      enlarge_(nullptr, "ENLARGE", true, 1.0, {"OFF", "ON"}, 0, true),
      fit_menu_(nullptr, "FIT UNDER", true, 1.0, {"OFF", "128K", "256K", "512K", "KB"}),
      fit_kb_(nullptr, "KB", true, 1.0, {{0, 0, 1024 * 1024, 1}}, false, true),
      hold_first_(nullptr, "HOLD FIRST", true, 1.0, {{0, 0, 60, 0.1}}, false, true),
      hold_last_(nullptr, "HOLD LAST", true, 1.0, {{0, 0, 60, 0.1}}, false, true),
      captions_(nullptr, "CAPTION", true, 1.0, {"", ""}) {
    studio& production = app.production();
    const int full = body.height - 2;
    add(titled(production.animation_settings().delay(), "DELAY"),
        placed(body, settings_x, settings_row(0), settings_width, settings_row_height));
    add(titled(production.animation_settings().loop(), "LOOP"),
        placed(body, settings_x, settings_row(1), settings_width, settings_row_height));
    add(titled(production.frame_clock().frames(), "FRAMES"),
        placed(body, settings_x, settings_row(2), settings_width, settings_row_height));
    add(titled(production.frame_clock().loop(), "DIRECTION"),
        placed(body, direction_x, 1, direction_width, full));
    add(titled(production.image_source().size_mode(), "GIF89 SIZE"),
        placed(body, gif89_size_x, 1, menu_width, full));
    add(titled(frame_size_, "FRAME"), placed(body, frame_menu_x, 1, menu_width, full));
    add(width_, placed(body, size_column_x, 3, size_column_width, 18));
    add(height_, placed(body, size_column_x, 21, size_column_width, 18));
    add(enlarge_, placed(body, size_column_x, 39, size_column_width, 18));
    add(fit_menu_, placed(body, fit_menu_x, 1, fit_menu_width, full));
    add(fit_kb_, placed(body, fit_column_x, 3, fit_column_width, 18));
    add(hold_first_,
        placed(body, settings_x, settings_row(3), settings_width, settings_row_height));
    add(hold_last_, placed(body, settings_x, settings_row(4), settings_width, settings_row_height));
    // The caption's two lines, top and bottom, where GIF89 SIZE stands for
    // the effects that read it.
    add(captions_, placed(body, caption_x, caption_top, caption_width, 2 * settings_row_height));
    // A delay the person sets replaces an animated picture's own delays.
    shown_delay_ = production.animation_settings().delay().value(0);
    observations_.push_back(
        production.animation_settings().delay().observe([this](config& delay, bool) {
            const double now = static_cast<cfg_FP64&>(delay).value(0);
            if (now != shown_delay_ && !app_.production().busy())
                app_.production().set_source_delays(false);
            shown_delay_ = now;
        }));
    observations_.push_back(hold_first_.observe([this](config&, bool) { tell_holds(); }));
    observations_.push_back(hold_last_.observe([this](config&, bool) { tell_holds(); }));
    observations_.push_back(captions_.observe([this](config&, bool) { tell_captions(); }));
    observations_.push_back(frame_size_.observe([this](config&, bool) { frame_menu_changed(); }));
    for (cfg_FP64* side : {&width_, &height_})
        observations_.push_back(side->observe([this](config&, bool) { typed_side_changed(); }));
    observations_.push_back(enlarge_.observe([this](config&, bool) { tell_studio(); }));
    observations_.push_back(fit_menu_.observe([this](config&, bool) { fit_menu_changed(); }));
    observations_.push_back(fit_kb_.observe([this](config&, bool) { typed_limit_changed(); }));
}

void create_save_panel::tell_holds() {
    app_.production().set_holds(hold_first_.value(0), hold_last_.value(0));
    if (active())
        draw_figures();
}

void create_save_panel::tell_captions() {
    outcome captioned = app_.production().set_captions(captions_.text_at(0), captions_.text_at(1));
    if (!captioned)
        set_status(format("The caption is left out: %s.", captioned.message().c_str()));
    app_.production().show_preview_frame();
    if (active())
        draw_figures();
}

void create_save_panel::fit_menu_changed() {
    if (syncing_)
        return;
    const std::size_t k = std::size_t(fit_menu_.selected());
    if (k > 0 && k < fit_presets.size()) {
        syncing_ = true;
        fit_kb_.set_value(0, fit_presets[k]);
        syncing_ = false;
    }
    tell_fit_limit();
}

void create_save_panel::typed_limit_changed() {
    if (syncing_)
        return;
    syncing_ = true;
    fit_menu_.select(fit_kb_.value(0) > 0 ? fit_menu_.count() - 1 : 0);
    syncing_ = false;
    tell_fit_limit();
}

void create_save_panel::tell_fit_limit() {
    const std::size_t k = std::size_t(fit_menu_.selected());
    const double kilobytes = k < fit_presets.size() ? fit_presets[k] : fit_kb_.value(0);
    app_.production().set_fit_limit(std::uint32_t(kilobytes) * 1024u);
    if (active())
        draw_figures();
}

void create_save_panel::frame_menu_changed() {
    if (syncing_)
        return;
    const std::size_t k = std::size_t(frame_size_.selected());
    const auto presets = size_presets();
    if (k < presets.size()) {
        // The fields show the named size, so that it can be changed from there.
        syncing_ = true;
        width_.set_value(0, presets[k].size.width);
        height_.set_value(0, presets[k].size.height);
        syncing_ = false;
    }
    tell_studio();
}

void create_save_panel::typed_side_changed() {
    if (syncing_)
        return;
    syncing_ = true;
    frame_size_.select(frame_size_.count() - 1);
    syncing_ = false;
    tell_studio();
}

void create_save_panel::tell_studio() {
    const std::size_t k = std::size_t(frame_size_.selected());
    const auto presets = size_presets();
    // A typed side below the smallest frame is raised to it; 0 follows the
    // picture's aspect, and two 0s leave the frame to the effect.
    auto side = [](double typed) {
        const int whole = int(typed);
        return whole == 0 ? 0 : std::max(whole, min_frame_side);
    };
    const size_choice choice = k < presets.size()
                                   ? presets[k].size
                                   : size_choice{side(width_.value(0)), side(height_.value(0))};
    app_.production().set_size_choice(choice);
    app_.production().set_enlarge(enlarge_.selected() == 1);
    if (app_.production().frames_outdated())
        set_status("The frame size changed: create the frames again (Ctrl+G) to see it and "
                   "save it.");
    if (active())
        draw_frame_size();
}

rect create_save_panel::create_button() const {
    return rect{button_x, std::int16_t(area().y + 7), 79, 29};
}

rect create_save_panel::save_button() const {
    return rect{button_x, std::int16_t(area().y + 41), 79, 29};
}

void create_save_panel::apply_visibility() {
    const script* effect = app_.production().current_effect();
    if (effect == nullptr)
        return;
    const bool still = same_name(effect->desc().type, "still");
    const bool one_size = effect_has_class(*effect, "one_size");
    const bool constant_frames = effect_has_class(*effect, "constant_frames");
    bool frames_bound = false;
    for (int i = 0; i < effect->component_count(); ++i)
        if (const auto* clock = dynamic_cast<const basic::CPU*>(&effect->component_at(i)))
            frames_bound = frames_bound || clock->frames().bound_partner() != nullptr;
    auto show = [this](shown_setting which, bool shown) {
        if (shown)
            editor(which).activate();
        else
            editor(which).deactivate();
    };
    show(delay, !still);
    show(loop, !still);
    show(frames, !still && !frames_bound);
    show(direction, !still && !constant_frames);
    show(hold_first, !still);
    show(hold_last, !still);
    // GIF89 SIZE only for the effects that read the working size; the
    // caption stands in its place otherwise.
    const bool working_size = !one_size && reads_effect_size(*effect);
    show(size, working_size);
    caption_shown_ = !working_size;
    show(caption, caption_shown_);
}

void create_save_panel::redraw() {
    if (!active())
        return;
    apply_visibility();
    panel::redraw();
}

void create_save_panel::draw_contents() {
    const script* effect = app_.production().current_effect();
    if (effect != nullptr && !same_name(effect->desc().type, "still")) {
        canvas c(*target(), area(), where().skins);
        c.bevel(rect{std::int16_t(area().x + settings_x - 5), std::int16_t(area().y + 1),
                     settings_width + 9, 5 * settings_row_height + 1},
                ui_highlight, ui_dark);
    }
    if (caption_shown_) {
        canvas c(*target(), area(), where().skins);
        c.text("CAPTION", area().x + caption_x + 2, area().y + caption_top - 4);
    }
    draw_frame_size();
    draw_figures();
    draw_buttons();
}

// Under the limit's field: the exact size of the file Save would write,
// and what the fit found.
void create_save_panel::draw_figures() {
    const rect size_line{std::int16_t(area().x + fit_column_x), std::int16_t(area().y + 24),
                         std::uint16_t(fit_column_width), 16};
    const rect fit_line{size_line.x, std::int16_t(area().y + 42), size_line.width, 16};
    canvas c(*target(), area(), where().skins);
    c.fill(size_line);
    c.fill(fit_line);
    const studio& production = app_.production();
    if (production.has_frames()) {
        const std::optional<std::uint32_t> bytes = production.known_size();
        c.text(bytes ? format("%.1fK", *bytes / 1024.0) : std::string("..."), size_line.x + 2,
               centred_baseline(size_line));
    }
    if (production.fit_limit() > 0 && production.has_frames()) {
        const std::optional<fit_outcome>& fit = production.fit_result();
        const std::string text = !fit         ? "..."
                                 : !fit->fits ? "NO FIT"
                                              : format("%.1fdB", fit->measure.psnr);
        c.text(text, fit_line.x + 2, centred_baseline(fit_line));
    }
    present(*target(), size_line);
    present(*target(), fit_line);
}

// The frame the next Create makes, under the size column.
void create_save_panel::draw_frame_size() {
    const rect line{std::int16_t(area().x + size_column_x), std::int16_t(area().y + 58),
                    std::uint16_t(size_column_width), 16};
    canvas c(*target(), area(), where().skins);
    c.fill(line);
    const studio& production = app_.production();
    if (production.chosen_size().chosen()) {
        const gif_size frame = production.frame_size();
        c.text(format("= %d x %d", frame.width, frame.height), line.x + 2, centred_baseline(line));
    } else {
        c.text("BY EFFECT", line.x + 2, centred_baseline(line));
    }
    present(*target(), line);
}

void create_save_panel::draw_buttons() {
    canvas c(*target(), area(), where().skins);
    auto button = [&](const rect& box, const char* skin, const char* label, bool held) {
        c.fill(box);
        c.box(box, held);
        if (!c.skin(skin_image_name(skin), inset(box, 2)))
            c.text(label, box.x + 4, centred_baseline(box));
    };
    const rect create = create_button(), save = save_button();
    if (app_.production().can_create()) {
        button(create, "__create.gif", "   Create (control-g)", create_held_);
    } else {
        c.fill(create);
        c.text("(Insert GIF)", create.x + 4, centred_baseline(create));
    }
    if (app_.production().has_frames())
        button(save, "__save.gif", "          Save", save_held_);
    else
        c.fill(save);
    present(*target(), create);
    present(*target(), save);
}

void create_save_panel::idle(int x, int y) {
    panel::idle(x, y);
    if ((create_held_ && !create_button().contains(x, y)) ||
        (save_held_ && !save_button().contains(x, y))) {
        create_held_ = save_held_ = false;
        draw_buttons();
    }
}

void create_save_panel::mouse_down(int x, int y, int button) {
    panel::mouse_down(x, y, button);
    if (!active())
        return;
    if (create_button().contains(x, y) && app_.production().can_create())
        create_held_ = true;
    else if (save_button().contains(x, y) && app_.production().has_frames())
        save_held_ = true;
    else
        return;
    draw_buttons();
}

void create_save_panel::mouse_up(int x, int y, int button) {
    panel::mouse_up(x, y, button);
    const bool create = create_held_, save = save_held_;
    create_held_ = save_held_ = false;
    if (!create && !save)
        return;
    draw_buttons();
    if (save)
        app_.file_command("save");
    else
        app_.file_command("create");
}

void create_save_panel::key(int ch, int x, int y) {
    panel::key(ch, x, y);
    if (ch == keys::insert)
        redraw();
}

} // namespace zoetra
