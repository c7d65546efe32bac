#pragma once
// Helpers for the camera and renderer tests: a renderer rig and a 400 x 400
// frame image with a 350 x 250 output area installed for them to draw into.
#include "../basic/network.hpp"
#include "app/services/utility.hpp"
#include "raster/draw.hpp"
#include "raster/frame_image.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {

inline formula constant(unsigned v) {
    return [v](int, int) { return v; };
}

// Prepares and fires c; with a context, c draws into its frame image.
inline void run(component& c, const run_context* context = nullptr) {
    c.set_context(context);
    std::string error;
    ASSERT_TRUE(c.prepare(error) && c.fire(error)) << error;
}

// A component of w x h points whose inputs named in `fed` have a peer.
template <class R> struct rig : component_rig<R> {
    rig(int w, int h, std::initializer_list<const char*> fed = {}) {
        set_size(this->subject, "SIZE", w, h);
        for (const char* input : fed)
            this->listen(input);
    }
};

class frame_test : public ::testing::Test {
  protected:
    explicit frame_test(int width = 400, int height = 400) : frame(width, height) {}
    void SetUp() override {
        frame.set_output_size(350, 250);
        seed_random(12345);
    }
    // Prepares and fires c as a component of a network drawing into the frame image.
    void run(component& c) { testing::run(c, &context); }

    rect area() const { return frame.output_area(); }
    colour at(int x, int y) {
        buffer_lock hold(frame.image());
        return get_pixel(frame.image(), std::int16_t(x), std::int16_t(y));
    }
    // Drawn pixels are visible; the background keeps the transparent flag.
    bool drawn(int x, int y) { return (at(x, y).t & 1) == 0; }
    // Every drawn pixel, visited row by row.
    void for_each_drawn(const std::function<void(int x, int y)>& visit) {
        buffer& b = frame.image();
        buffer_lock hold(b);
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                if (is_visible(b.pixels()[std::size_t(y) * b.width() + x]))
                    visit(x, y);
    }
    int drawn_count() {
        int n = 0;
        for_each_drawn([&](int, int) { ++n; });
        return n;
    }
    // Drawn pixels outside r grown by `before` on the left and top and by
    // `after` on the right and bottom.
    int drawn_outside(const rect& r, int before, int after) {
        int n = 0;
        for_each_drawn([&](int x, int y) {
            n += x < r.x - before || y < r.y - before || x >= r.x + r.width + after ||
                 y >= r.y + r.height + after;
        });
        return n;
    }
    void clear() {
        buffer_lock hold(frame.image());
        fast_fill(frame.image(), colour{0, 0, 128, 128});
    }

    frame_image frame;
    run_context context{&frame};
};

inline constexpr colour red{0, 255, 0, 0};
inline constexpr colour green{0, 0, 255, 0};
inline constexpr colour blue{0, 0, 0, 255};

} // namespace zoetra::testing
