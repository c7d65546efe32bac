#include "app/application.hpp"
#include "app/panels.hpp"
#include "app/services/utility.hpp"
#include "skin/skin_images.hpp"
#include "ui/canvas.hpp"
#include "ui/event.hpp"

namespace zoetra {
namespace {

// A standing component's setting, with the title this panel gives it.
config& titled(component& owner, const char* name, const char* title = nullptr) {
    config& setting = owner.find_config(name);
    if (title != nullptr)
        setting.desc().title = title;
    return setting;
}

void place(config& setting, const rect& body, int x, int y, int w, int h) {
    setting.set_area(rect{std::int16_t(body.x + x), std::int16_t(body.y + y), std::uint16_t(w),
                          std::uint16_t(std::max(0, h))});
}

} // namespace

create_save_panel::create_save_panel(application& app, const rect& body)
    : panel(&app.frame().image(), body, "CREATE & SAVE"), app_(app),
      delay_(titled(app.production().standing("GIFOUT"), "DELAY", "DELAY")),
      loop_(titled(app.production().standing("GIFOUT"), "LOOP", "LOOP")),
      frames_(titled(app.production().standing("CPU"), "FRAMES.CONTROL", "FRAMES")),
      direction_(titled(app.production().standing("CPU"), "LOOP", "DIRECTION")),
      size_(titled(app.production().standing("GIFIN"), "MODE.SIZE", "GIF89 SIZE")) {
    place(delay_, body, 13, 9, 180, 18);
    place(loop_, body, 13, 29, 180, 18);
    place(frames_, body, 13, 49, 180, 18);
    place(direction_, body, 217, 2, 70, body.height - 4);
    place(size_, body, 311, 1, 68, body.height - 2);
    for (config* setting : {&delay_, &loop_, &frames_, &direction_, &size_})
        add(*setting);
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
    for (int i = 0; i < effect->component_count(); ++i) {
        const component& c = effect->component_at(i);
        if (same_name(c.name(), "CPU") &&
            c.find_config("FRAMES.CONTROL").bound_partner() != nullptr)
            frames_bound = true;
    }
    auto show = [](config& setting, bool shown) {
        if (shown)
            setting.activate();
        else
            setting.deactivate();
    };
    show(size_, !one_size);
    show(delay_, !still);
    show(loop_, !still);
    show(frames_, !still && !frames_bound);
    show(direction_, !still && !constant_frames);
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
        canvas c(*target(), area());
        c.bevel(rect{std::int16_t(area().x + 8), std::int16_t(area().y + 6), 189, 64}, ui_highlight,
                ui_dark);
    }
    draw_buttons();
}

void create_save_panel::draw_buttons() {
    canvas c(*target(), area());
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
