#include "app/panels.hpp"

#include "app/application.hpp"
#include "app/services/messages.hpp"
#include "base/utility.hpp"
#include "raster/text.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"
#include "ui/event.hpp"

#include <algorithm>
#include <cstdio>

namespace zoetra {

// ---- CHOOSE A GIF ---------------------------------------------------------------

choose_gif_panel::choose_gif_panel(application& app, const rect& body)
    : panel(app.window_surface(), body, "CHOOSE A GIF") {
    add(app.production().image_source().palette(),
        rect{std::int16_t(body.x + 3), std::int16_t(body.y + 13), 645, 60});
}

// ---- SELECT EFFECT --------------------------------------------------------------

namespace {

constexpr int effect_button_size = 50;

// The skin image of an effect's icon: a bare file name is looked up among the
// skin images; a starred name or a path is taken as it is.
std::string icon_name(const std::string& image_file) {
    if (image_file.empty() || image_file.front() == '*' ||
        image_file.find_first_of("/\\") != std::string::npos)
        return image_file;
    return skin_image_name(image_file);
}

} // namespace

select_effect_panel::select_effect_panel(application& app, const rect& body)
    : panel(app.window_surface(), body, "SELECT EFFECT"), app_(app),
      type_(nullptr, "TYPE", true, 1.0, {"STANDARD", "WAVE", "ART", "STILL"}, 1),
      list_(rect_between(body.x + 115, body.y + 14, body.x + 115 + body.width - 4,
                         body.y + 14 + body.height - 28)) {
    type_.desc().title = "EFFECT TYPE";
    add(type_, rect{std::int16_t(body.x + 2), std::int16_t(body.y + 2), 83,
                    std::uint16_t(std::max(0, body.height - 4))});
}

std::vector<int> select_effect_panel::effects_of_type() const {
    std::vector<int> found;
    const effect_catalogue& catalogue = app_.production().catalogue();
    for (int i = 0; i < catalogue.count(); ++i)
        if (same_name(catalogue.effect(i).desc().type, type_.selected_name()))
            found.push_back(i);
    return found;
}

std::vector<select_effect_panel::button> select_effect_panel::buttons() {
    std::vector<button> placed;
    const std::vector<int> effects = effects_of_type();
    for (std::size_t k = 0; k < effects.size(); ++k) {
        const int left = list_.x + effect_button_size * int(k);
        const rect box =
            rect_between(left, list_.y, left + effect_button_size, list_.y + effect_button_size);
        if (intersection(box, area()) == box) {
            placed.push_back(button{effects[k], box});
        } else if (reported_.insert(effects[k]).second) {
            std::fprintf(stderr, "WARNING: Could not fit script \"%s\"\n",
                         app_.production().catalogue().effect(effects[k]).desc().name.c_str());
        }
    }
    return placed;
}

void select_effect_panel::idle(int x, int y) {
    panel::idle(x, y);
    if (!active())
        return;
    for (const button& b : buttons())
        if (b.area.contains(x, y))
            set_status(
                format("%s", app_.production().catalogue().effect(b.effect).desc().text.c_str()));
}

void select_effect_panel::mouse_down(int x, int y, int button) {
    const int type_before = type_.selected();
    panel::mouse_down(x, y, button);
    if (!active())
        return;
    // The type menu draws only itself: the buttons of the new type are the
    // panel's to draw.
    if (type_.selected() != type_before) {
        redraw();
        return;
    }
    for (const auto& b : buttons()) {
        if (b.area.contains(x, y)) {
            app_.choose_effect(b.effect);
            redraw();
            return;
        }
    }
}

void select_effect_panel::key(int ch, int x, int y) {
    if (!active())
        return;
    const std::vector<int> effects = effects_of_type();
    const int current = app_.production().current_effect_index();
    const auto at = std::find(effects.begin(), effects.end(), current);
    const bool backward = ch == ',' || ch == '4' || ch == keys::left;
    const bool forward = ch == '.' || ch == '6' || ch == keys::right;
    if (!effects.empty() && (backward || forward)) {
        int next;
        if (at == effects.end())
            next = backward ? effects.back() : effects.front();
        else if (backward)
            next = at == effects.begin() ? effects.front() : *(at - 1);
        else
            next = at + 1 == effects.end() ? effects.back() : *(at + 1);
        app_.choose_effect(next);
    }
    panel::key(ch, x, y);
    redraw();
}

void select_effect_panel::command(const std::string& category, const std::string& name) {
    panel::command(category, name);
    if (category != "type")
        return;
    const int type_before = type_.selected();
    if (type_.select_by_name(name) && type_.selected() != type_before)
        redraw();
}

void select_effect_panel::draw_contents() {
    buffer& image = *target();
    const int current = app_.production().current_effect_index();
    for (const button& b : buttons()) {
        canvas c(image, b.area, where().skins);
        const bool sunken = b.effect == current;
        c.paint(b.area, ui_light);
        for (int edge = 0; edge < 3; ++edge)
            c.bevel(inset(b.area, edge), sunken ? ui_dark : ui_highlight,
                    sunken ? ui_highlight : ui_dark);
        const script& effect = app_.production().catalogue().effect(b.effect);
        const std::string& image_file = effect.desc().image_file;
        if (image_file != "no_image_file" && c.skin(icon_name(image_file), inset(b.area, 3)))
            continue;
        draw_text_in_box(image, std::int16_t(b.area.x + 4), std::int16_t(b.area.y + 5),
                         std::uint16_t(b.area.width - 8), std::uint16_t(b.area.height - 8),
                         effect.desc().name, ui_text);
    }
}

// ---- (S)ETTINGS ------------------------------------------------------------------

namespace {

struct cell_column {
    int width, height, left;
};
// Number settings go into columns of 212 x 14, dials into columns of 140 x 25.
constexpr cell_column slider_cells{212, 14, 5};
constexpr cell_column dial_cells{140, 25, 237};

} // namespace

settings_panel::settings_panel(application& app, const rect& body)
    : panel(app.window_surface(), body, "(S)ETTINGS"), app_(app) {}

void settings_panel::place_settings(script& effect) {
    const rect body = area();
    int sliders = 0, dials = 0, menus = 0;
    auto fits = [&](const rect& cell) { return intersection(cell, body) == cell; };
    auto in_column = [&](const cell_column& cells, int k) {
        const int rows = std::max(1, body.height / cells.height);
        const int x = body.x + cells.left + (k / rows) * cells.width;
        const int y = body.y + 3 + (k % rows) * cells.height;
        return rect_between(x, y, x + cells.width, y + cells.height);
    };
    for (config* setting : effect.configs()) {
        const component* owner = setting->owner();
        // The camera's settings are the standing camera's, which persist
        // from effect to effect (found by the names effect files use).
        if (owner != nullptr && same_name(owner->name(), "CUBE"))
            if (config* standing = app_.production().camera().config_named(setting->name()))
                setting = standing;
        if (!setting->shown() || owner == nullptr)
            continue;
        if (same_name(owner->name(), "GIFOUT") || same_name(owner->name(), "GIFIN") ||
            same_name(owner->name(), "CPU"))
            continue;
        rect cell;
        int* counter = nullptr;
        if (auto* number = dynamic_cast<cfg_FP64*>(setting->as_kind(cfg_FP64::kind))) {
            counter = number->dial() ? &dials : &sliders;
            cell = in_column(number->dial() ? dial_cells : slider_cells, *counter);
        } else if (setting->as_kind(cfg_menu::kind) != nullptr) {
            counter = &menus;
            const int x = body.x + 397 + 80 * menus;
            cell = rect_between(x, body.y + 3, x + 75, body.y + 3 + 42);
        } else {
            continue;
        }
        if (!fits(cell))
            continue;
        ++*counter;
        add(*setting, cell);
    }
}

void settings_panel::activate() {
    for (int i = 0; i < count(); ++i)
        child(i).deactivate();
    clear();
    if (script* effect = app_.production().current_effect())
        place_settings(*effect);
    panel::activate();
}

void settings_panel::draw_contents() {
    if (count() > 0)
        return;
    const rect body = area();
    const int w = std::min<int>(212, body.width), h = std::min<int>(14, body.height);
    const rect box =
        rect_between(body.x + (body.width - w) / 2, body.y + (body.height - h) / 2,
                     body.x + (body.width - w) / 2 + w, body.y + (body.height - h) / 2 + h);
    canvas c(*target(), box, where().skins);
    c.text_centred("No settings for this effect.", box.x + box.width / 2, centred_baseline(box));
}

} // namespace zoetra
