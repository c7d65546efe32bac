// Draws every control and setting editor in each of its states into one GIF,
// once without skin images and once with simple skin images of its own, so
// that a person can look at the whole toolkit at a glance. Usage:
//   zoetra-ui-gallery OUTPUT.gif
#include "app/frame_image.hpp"
#include "app/services/interface_colours.hpp"
#include "components/io/image_palette.hpp"
#include "engine/text_settings.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"
#include "resources/resource.hpp"
#include "save_gif.hpp"
#include "skin/skin_images.hpp"
#include "ui/editors.hpp"
#include "ui/menu.hpp"
#include "ui/slider.hpp"
#include "ui/text_field.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zoetra;
namespace fs = std::filesystem;

namespace {

constexpr int cell_width = 300, cell_height = 96, columns = 4;
constexpr int page_width = columns * cell_width;

// Where the next exhibit goes: a caption and a cell below it.
class gallery {
  public:
    gallery(buffer& page, int top) : page_(page), top_(top) {}

    // The rectangle of the next cell (below its caption); rows wrap after `columns`.
    rect next(const std::string& caption, int width = cell_width - 20) {
        const int column = count_ % columns, row = count_ / columns;
        ++count_;
        const int x = column * cell_width + 10, y = top_ + row * cell_height;
        draw_text_at(page_, caption, std::int16_t(x), std::int16_t(y + 12), ui_text);
        return rect{std::int16_t(x), std::int16_t(y + 18), std::uint16_t(width), 64};
    }
    // Starts a new row for wide exhibits.
    void new_row() { count_ = (count_ + columns - 1) / columns * columns; }
    int bottom() const { return top_ + (count_ + columns - 1) / columns * cell_height; }

  private:
    buffer& page_;
    int top_;
    int count_ = 0;
};

// A rectangle of the given size at the cell's corner.
rect rect_from(const rect& cell, int width, int height) {
    return rect{cell.x, cell.y, std::uint16_t(width), std::uint16_t(height)};
}

// Controls are shown, drawn, then put into a state.
template <class C> C& keep(std::vector<std::unique_ptr<control>>& kept, C* c) {
    kept.emplace_back(c);
    c->show();
    c->draw();
    return *c;
}

// A setting shown by its editor: both live as long as the gallery.
struct shown_setting {
    std::unique_ptr<config> setting;
    std::unique_ptr<setting_editor> editor;
};

template <class C>
setting_editor& keep(std::vector<shown_setting>& kept, C* c, const surface& where,
                     const rect& area) {
    shown_setting& shown = kept.emplace_back(shown_setting{std::unique_ptr<config>(c), {}});
    shown.editor = make_editor(*c);
    shown.editor->set_surface(where);
    shown.editor->set_area(area);
    shown.editor->activate();
    shown.editor->draw();
    return *shown.editor;
}

void draw_controls(const surface& where, gallery& g,
                   std::vector<std::unique_ptr<control>>& controls) {
    auto slider = [&](const char* caption, double value, bool dial = false, bool vertical = false) {
        rect r = g.next(caption);
        r.x = std::int16_t(r.x + 14);
        r.width = 120;
        r.height = vertical ? 64 : dial ? 40 : 16;
        if (vertical)
            r.width = 24;
        return &keep(controls, new slider_control(r, where, value, 0, 10, 0.5, dial, vertical));
    };
    slider("slider", 2.5);
    slider_control* dragging = slider("slider, dragging", 2.5);
    dragging->mouse_down(dragging->area().x + 5, dragging->area().y + 5, 1);
    dragging->idle(dragging->area().x + 30, dragging->area().y + 5);
    slider_control* left = slider("slider, left arrow held", 5);
    left->mouse_down(left->area().x - 8, left->area().y + 5, 1);
    slider_control* right = slider("slider, right arrow held", 5);
    right->mouse_down(right->area().x + 45, right->area().y + 5, 1);
    slider("vertical slider", 7, false, true);
    slider("dial", 2.5, true);
    rect hidden_area = g.next("slider, hidden: ignores a click, draws nothing");
    hidden_area.x = std::int16_t(hidden_area.x + 14);
    hidden_area.height = 16;
    auto* hidden = new slider_control(hidden_area, where, 5, 0, 10, 0.5);
    controls.emplace_back(hidden);
    hidden->mouse_down(hidden_area.x + 45, hidden_area.y + 5, 1);
    hidden->draw();

    auto field = [&](const char* caption, const char* text) {
        rect r = g.next(caption);
        r.height = 18;
        r.width = 160;
        return &keep(controls, new text_control(r, where, text, 20));
    };
    field("text field", "some text");
    text_control* editing = field("text field, editing", "some text");
    editing->mouse_down(editing->area().x + 2, editing->area().y + 2, 1);
    for (char ch : std::string("typed"))
        editing->key(ch, 0, 0);
    text_control* replacing = field("text field, clicked (first key replaces)", "some text");
    replacing->mouse_down(replacing->area().x + 2, replacing->area().y + 2, 1);

    rect list_area = g.next("menu, item 2 selected");
    list_area.width = 90;
    keep(controls, new menu_control(list_area, where, {"ONE", "TWO", "THREE", "FOUR"}, 1));
    rect pressed_area = g.next("menu, pressed on item 4");
    pressed_area.width = 90;
    menu_control& pressed =
        keep(controls, new menu_control(pressed_area, where, {"ONE", "TWO", "THREE", "FOUR"}));
    pressed.mouse_down(pressed_area.x + 5, pressed_area.y + 60, 1);
    for (int selected = 0; selected < 2; ++selected) {
        rect r = g.next(selected ? "switch, on" : "switch, off");
        r.width = 64;
        keep(controls, new menu_control(r, where, {"OFF", "ON"}, selected, true));
    }
}

void draw_editors(const surface& page, gallery& g, std::vector<shown_setting>& settings,
                  const std::string& picture) {
    g.new_row();
    keep(settings,
         new cfg_FP64(nullptr, "SIZE", true, 1.0, {{3, 0, 9, 1}, {6, 0, 9, 1}, {9, 0, 9, 1}}), page,
         rect_from(g.next("number setting, three values"), 212, 42));
    keep(settings, new cfg_FP64(nullptr, "FRAMES", true, 1.0, {{8, 1, 32, 1}}, false, true), page,
         rect_from(g.next("number setting, typed"), 180, 18));
    auto& angle = keep(
        settings, new cfg_FP64(nullptr, "MOTION ANGLE", true, 1.0, {{60, 0.1, 360, 0.1}}, true),
        page, rect_from(g.next("number setting, dial"), 140, 25));
    angle.setting().desc().title = "MOTION ANGLE";
    angle.draw();
    auto& loop =
        keep(settings,
             new cfg_menu(nullptr, "LOOP", true, 1.0,
                          {"FORWARD", "BACKWARD", "FORWARD_AND_BACK", "BACK_AND_FORTH"}, 2),
             page, rect_from(g.next("menu setting"), 70, 64));
    loop.setting().desc().title = "DIRECTION";
    loop.draw();
    keep(settings, new cfg_text(nullptr, "TEXTIN", true, 1.0, {"first line", "second line"}), page,
         rect_from(g.next("text setting"), 200, 40));
    keep(settings, new cfg_image_out(nullptr, "GIFOUT", true, 1.0, "my.gif"), page,
         rect_from(g.next("output file"), 150, 40));
    auto& held = keep(settings, new cfg_image_out(nullptr, "GIFOUT", true, 1.0, "my.gif"), page,
                      rect_from(g.next("output file, held"), 150, 40));
    const rect held_button = held.area();
    held.mouse_down(held_button.x + 10, held_button.y + 20, 1);

    auto palette = [&](const char* caption, int images, int selected) -> setting_editor& {
        g.new_row();
        rect r = g.next(caption, 645);
        r.height = 60;
        auto* p = new cfg_image_in(nullptr, "GIFIN", true, 1.0);
        setting_editor& editor = keep(settings, p, page, r);
        for (int i = 0; i < images; ++i)
            static_cast<void>(p->add_image(picture, i));
        p->set_selected(selected);
        editor.draw();
        g.new_row();
        return editor;
    };
    palette("palette, three images, the second selected", 3, 1);
    palette("palette, full (32 images)", 32, 32);
    setting_editor& scrolled = palette("palette, 20 images scrolled once, insert held", 20, 7);
    const rect area = scrolled.area();
    scrolled.mouse_down(area.x + 134 + 480 - 5, area.y + 42, 1); // the right arrow
    scrolled.mouse_up(0, 0, 1);
    scrolled.mouse_down(area.x + 25, area.y + 5, 1); // the insert button
}

// Simple skin images: coloured arrows, buttons and menu items.
void write_test_skins(const fs::path& folder) {
    fs::create_directories(folder);
    auto picture = [&](const char* name, std::uint16_t w, std::uint16_t h,
                       const std::function<void(buffer&)>& paint) {
        buffer b(w, h, colour{1, 0, 0, 0});
        {
            buffer_lock lock(b);
            paint(b);
        }
        tools::save_gif(b, (folder / name).string());
    };
    const colour orange{0, 240, 140, 20}, navy{0, 20, 40, 120}, white{0, 250, 250, 250};
    for (bool left : {true, false})
        picture(left ? "__left_arrow.gif" : "__right_arrow.gif", 9, 16, [&](buffer& b) {
            draw_rectangle(b, 0, 0, 9, 16, navy, true, navy);
            for (int i = 0; i < 4; ++i)
                draw_line(b, std::int16_t(left ? 2 + i : 6 - i), std::int16_t(8 - i),
                          std::int16_t(left ? 2 + i : 6 - i), std::int16_t(8 + i), orange);
        });
    for (const char* name : {"__insert.gif", "__delete.gif"})
        picture(name, 90, 22, [&](buffer& b) {
            draw_rectangle(b, 0, 0, 90, 22, orange, true, navy);
            draw_text_at(b, name[2] == 'i' ? "INSERT" : "DELETE", 20, 15, navy);
        });
    for (const char* item : {"ONE", "TWO", "THREE", "FOUR"})
        for (bool on : {true, false})
            picture(("__menu." + std::string(item) + (on ? ".on.gif" : ".off.gif")).c_str(), 90, 16,
                    [&](buffer& b) {
                        const colour face = on ? orange : navy;
                        draw_rectangle(b, 0, 0, 90, 16, face, true, white);
                        draw_text_at(b, item, 6, 12, on ? navy : white);
                    });
}

std::string write_picture(const fs::path& folder) {
    const std::string path = (folder / "picture.gif").string();
    buffer b(40, 30, colour{1, 0, 0, 0});
    {
        buffer_lock lock(b);
        draw_rectangle(b, 0, 0, 40, 30, colour{0, 252, 2, 4}, true, colour{0, 4, 2, 252});
        draw_circle(b, 10, 5, 2, 20, colour{0, 4, 250, 4}, true, colour{0, 252, 250, 4});
    }
    tools::save_gif(b, path);
    return path;
}

// One half of the page: every exhibit, drawn with whatever skins exist now.
void draw_half(const surface& page, int top, const char* title, const std::string& picture) {
    draw_text_at(*page.image, title, 10, std::int16_t(top + 14), ui_text, text_size::points_12);
    gallery g(*page.image, top + 24);
    std::vector<std::unique_ptr<control>> controls;
    std::vector<shown_setting> settings;
    draw_controls(page, g, controls);
    draw_editors(page, g, settings, picture);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zoetra-ui-gallery OUTPUT.gif\n");
        return 1;
    }
    const fs::path output = fs::absolute(argv[1]);
    char pattern[] = "/tmp/zoetra-gallery-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    const fs::path scratch = pattern;
    const std::string picture = write_picture(scratch);
    // The skin images come from the scratch folder: none at first, then the
    // test skins.
    resource_folder folder(scratch);
    skin_cache skins(folder);

    constexpr int half_height = 1180;
    frame_image page(page_width, 2 * half_height);
    const surface where{&page.image(), &skins};
    draw_half(where, 0, "Without skin images", picture);
    write_test_skins(scratch / "Resources");
    skins.empty();
    draw_half(where, half_height, "With test skin images", picture);
    // The window shows background pixels as they are; a GIF would make them transparent.
    {
        buffer_lock lock(page.image());
        pixel* p = page.image().pixels();
        for (std::size_t i = 0; i < std::size_t(page.width()) * page.height(); ++i)
            p[i] &= ~transparency_mask;
    }
    const bool written = tools::save_gif(page.image(), output.string());
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
