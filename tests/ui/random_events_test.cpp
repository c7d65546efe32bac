// Tens of thousands of random events to every control and editor: presses,
// drags far outside the window, keys, hides and shows, extreme values. Nothing
// may be drawn outside the area a control owns, no presented area may lie
// outside it, and nothing may crash.
#include "components/io/image_palette.hpp"
#include "engine/text_settings.hpp"
#include "ui/editors.hpp"
#include "ui/menu.hpp"
#include "ui/slider.hpp"
#include "ui/text_field.hpp"
#include "ui_support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

namespace zoetra {
namespace {

constexpr colour sentinel{0, 1, 2, 3};

class RandomEvents : public testing::ui_test {
  protected:
    RandomEvents() : ui_test(700, 160) {}

    void paint_sentinel() {
        buffer_lock hold(image());
        for (int y = 0; y < image().height(); ++y)
            for (int x = 0; x < image().width(); ++x)
                put_pixel(image(), std::int16_t(x), std::int16_t(y), sentinel);
        presented.clear();
    }

    int coordinate(int near, int extent) {
        switch (random_() % 8) {
        case 0:
            return int(random_() % 80000) - 40000; // far outside, either way
        case 1:
            return 60000 + int(random_() % 5000); // as the window reports left of it
        default:
            return near - 30 + int(random_() % unsigned(extent + 60));
        }
    }
    int key() {
        static const int keys[] = {',', '.', '2', '8', '4', '6', 'z', 'a', 13,  8,
                                   127, 28,  29,  30,  31,  5,   9,   250, 'x', '1'};
        return random_() % 4 == 0 ? int(random_() % 256) : keys[random_() % std::size(keys)];
    }
    double extreme() {
        const double values[] = {
            std::nan(""), 1e300, -1e300, std::numeric_limits<double>::infinity(), -3, 0.5, 70000};
        return values[random_() % std::size(values)];
    }

    // Sends events to the subject through send (a mouse event, a key, or
    // toggle for hide/show), checking after every batch that the sentinel
    // outside `owned` is untouched and every presented area lies inside it.
    void run(const rect& owned, const std::function<void(input_event)>& send,
             const std::function<void(bool)>& toggle, const std::function<void()>& extra = {}) {
        paint_sentinel();
        bool on = true;
        for (int batch = 0; batch < 80; ++batch) {
            for (int i = 0; i < 50; ++i) {
                const unsigned what = random_() % 20;
                if (what < 12) {
                    const auto kind = static_cast<input_event::kind>(random_() % 3);
                    send(input_event::mouse(kind, coordinate(owned.x, owned.width),
                                            coordinate(owned.y, owned.height)));
                } else if (what < 17) {
                    input_event e = input_event::typed(std::string(1, char(key())));
                    e.x = coordinate(owned.x, owned.width);
                    e.y = coordinate(owned.y, owned.height);
                    send(e);
                } else if (what < 19 && extra) {
                    extra();
                } else {
                    toggle(on = !on);
                }
            }
            check(owned, batch);
            if (HasFatalFailure())
                return;
        }
    }

    void check(const rect& owned, int batch) {
        for (const rect& r : presented)
            ASSERT_EQ(intersection(r, owned), r) << "presented outside, batch " << batch;
        presented.clear();
        buffer_lock hold(image());
        for (int y = 0; y < image().height(); ++y) {
            for (int x = 0; x < image().width(); ++x) {
                if (!owned.contains(x, y)) {
                    ASSERT_EQ(at(x, y), sentinel)
                        << "drawn at " << x << "," << y << ", batch " << batch;
                }
            }
        }
    }

    // A control's or a setting's events, as its panel would send them.
    template <class Target> static void send_to(Target& c, const input_event& e) {
        switch (e.type) {
        case input_event::kind::mouse_down:
            c.mouse_down(e.x, e.y, 1);
            break;
        case input_event::kind::mouse_up:
            c.mouse_up(e.x, e.y, 1);
            break;
        case input_event::kind::mouse_move:
            c.idle(e.x, e.y);
            break;
        case input_event::kind::key:
            c.key(key_character(e), e.x, e.y);
            break;
        }
        if (e.type != input_event::kind::key && e.x % 7 == 0)
            c.refresh();
    }

    void control_run(control& c) {
        c.set_target(where());
        c.show();
        run(
            c.extent(), [&](input_event e) { send_to(c, e); },
            [&](bool on) {
                on ? c.show() : c.hide();
                c.draw();
            });
    }
    // A setting may draw in its rectangle and, for slider labels, in `beyond`
    // pixels to its right.
    void setting_run(config& c, const rect& area, int beyond = 0) {
        setting_editor& editor = place(c, area);
        const rect owned = rect_between(area.x, area.y, area.right() + beyond, area.bottom());
        run(
            owned, [&](input_event e) { send_to(editor, e); },
            [&](bool on) {
                on ? editor.activate() : editor.deactivate();
                editor.refresh();
            },
            [&] { // the platform's answers for the dialogs a release may open
                const char* answers[] = {"a.gif", "not.gif", "out.gif"};
                if (random_() % 2)
                    platform.queue_file_choice(std::string(answers[random_() % 3]));
                else
                    platform.queue_file_choice(std::nullopt);
            });
    }

    std::mt19937 random_{20261207};
};

TEST_F(RandomEvents, Sliders) {
    slider_control horizontal(rect{60, 20, 80, 14}, surface{}, 5, 0, 10, 0.5);
    control_run(horizontal);
    slider_control vertical(rect{200, 10, 20, 100}, surface{}, 5, -3, 3, 0);
    control_run(vertical);
    slider_control dial(rect{300, 20, 35, 23}, surface{}, 5, 0, 360, 0.1, true);
    control_run(dial);
    slider_control tiny(rect{400, 30, 3, 2}, surface{}, 5, 0, 1e9, 1e-9);
    tiny.set_value(extreme());
    control_run(tiny);
}

TEST_F(RandomEvents, TextFieldsAndMenus) {
    text_control text(rect{20, 20, 100, 16}, surface{}, "hello", 10);
    control_run(text);
    menu_control list(rect{150, 10, 70, 90}, surface{}, {"A", "B", "C", "D", "E"}, 2);
    control_run(list);
    menu_control flip(rect{250, 10, 40, 40}, surface{}, {"OFF", "ON"}, 0, true);
    control_run(flip);
}

TEST_F(RandomEvents, NumberTextAndMenuSettings) {
    cfg_FP64 size(nullptr, "SIZE", true, 1.0, {{1, 0, 9, 1}, {2, -5, 5, 0.1}, {3, 0, 100, 0}});
    setting_run(size, rect{10, 20, 212, 60}, 30);
    cfg_FP64 typed(nullptr, "FRAMES", true, 1.0, {{8, 1, 32, 1}}, false, true);
    setting_run(typed, rect{240, 20, 180, 18});
    cfg_FP64 dial(nullptr, "ANGLE", true, 1.0, {{0, 0.1, 360, 0.1}}, true);
    setting_run(dial, rect{440, 20, 140, 25}, 30);
    cfg_FP64 cramped(nullptr, "CRAMPED", true, 1.0, {{0, 0, 9, 1}, {0, 0, 9, 1}});
    setting_run(cramped, rect{600, 20, 20, 9}, 30);
    cfg_menu menu(nullptr, "LOOP", true, 1.0, {"ONE", "TWO", "THREE", "FOUR"});
    setting_run(menu, rect{10, 90, 70, 60});
    cfg_text lines(nullptr, "TEXT", true, 1.0, {"a", "b", "c"});
    setting_run(lines, rect{100, 90, 200, 45});
    cfg_image_out out(nullptr, "OUT", true, 1.0, "my.gif");
    setting_run(out, rect{320, 90, 120, 40});
}

TEST_F(RandomEvents, ThePalette) {
    testing::write_solid_gif("a.gif", 30, 20, colour{0, 252, 2, 4});
    folder.write("not.gif", "no");
    cfg_image_in images(nullptr, "GIFIN", true, 1.0);
    for (int i = 0; i < 14; ++i)
        ASSERT_TRUE(images.add_image("a.gif", i));
    setting_run(images, rect{3, 33, 645, 60});
    EXPECT_LE(images.count(), cfg_image_in::max_images);
}

} // namespace
} // namespace zoetra
