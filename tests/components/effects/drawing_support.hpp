#pragma once
// Helpers for the camera and renderer tests: planes made from a formula, a
// feeder whose outputs connect to a component's inputs, and a frame image
// installed for the renderers to draw into.
#include "app/services/utility.hpp"
#include "engine/component.hpp"
#include "raster/draw.hpp"
#include "raster/frame_image.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zoetra::testing_support {

using plane_formula = std::function<unsigned(int c, int r)>;

inline matrix_ptr make_plane(int width, int height, bool wide, const plane_formula& value) {
    const std::uint16_t sizes[3] = {std::uint16_t(width), std::uint16_t(height), 1};
    auto m = std::make_unique<matrix>(3, sizes, wide ? 2 : 1, wide ? uint16_type : uint8_type);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            if (wide)
                m->u16(std::uint16_t(c), std::uint16_t(r)) = std::uint16_t(value(c, r));
            else
                m->u8(std::uint16_t(c), std::uint16_t(r)) = std::uint8_t(value(c, r));
        }
    return m;
}
inline matrix_ptr u8_plane(int width, int height, const plane_formula& value) {
    return make_plane(width, height, false, value);
}
inline matrix_ptr u16_plane(int width, int height, const plane_formula& value) {
    return make_plane(width, height, true, value);
}
inline plane_formula constant_value(unsigned v) {
    return [v](int, int) { return v; };
}

// A component whose outputs are connected to inputs of others, so that those
// inputs count as connected; the matrices are handed straight to the inputs.
class feeder : public component {
  public:
    feeder() : component(kind_input, "FEEDER", 1.0) {
        const double one[3] = {1, 1, 1};
        const double big[3] = {2048, 2048, 1};
        add_number("VALUE", false, 0, 0, 65535, 1);
        add_size("SIZE", one, one, big);
        add_menu("TYPE", false, {"UINT8", "UINT16"});
    }
    bool fire(std::string& error) override { return finish_fire(error, true); }

    void connect(component& target, const std::string& input) {
        port& out = add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "OUT." + input);
        std::string error;
        ASSERT_TRUE(port::connect(out, target.find_port(input), &error)) << error;
    }
    // Hands a matrix to an input, which audits it.
    static void give(component& target, const std::string& input, matrix_ptr m) {
        std::string error;
        ASSERT_TRUE(target.find_port(input).hold(m, error)) << input << ": " << error;
    }
};

// Sets the three sizes of a component's size config.
inline void set_size(component& c, int width, int height, const char* name = "SIZE") {
    cfg_FP64& size = c.number(name);
    size.set_value(0, width);
    size.set_value(1, height);
}

// A 400 x 400 frame image with a 350 x 250 output area, installed as the
// current one; the random generator starts from a known seed.
class frame_test : public testing::Test {
  protected:
    void SetUp() override {
        install_frame_image(&frame);
        frame.set_output_size(350, 250);
        seed_random(12345);
    }
    void TearDown() override { install_frame_image(nullptr); }

    rect area() const { return frame.output_area(); }
    buffer& image() { return frame.image(); }

    // Drawn pixels are visible; the background keeps the transparent flag.
    bool drawn(int x, int y) {
        buffer_lock hold(image());
        return is_visible(image().pixels()[std::size_t(y) * image().width() + x]);
    }
    colour at(int x, int y) {
        buffer_lock hold(image());
        return get_pixel(image(), std::int16_t(x), std::int16_t(y));
    }
    // Every drawn pixel, visited row by row.
    void for_each_drawn(const std::function<void(int x, int y)>& visit) {
        buffer_lock hold(image());
        const pixel* p = image().pixels();
        for (int y = 0; y < image().height(); ++y)
            for (int x = 0; x < image().width(); ++x)
                if (is_visible(p[std::size_t(y) * image().width() + x]))
                    visit(x, y);
    }
    int drawn_count() {
        int n = 0;
        for_each_drawn([&](int, int) { ++n; });
        return n;
    }
    // Drawn pixels outside r grown by `margin` on the right and bottom.
    int drawn_outside(const rect& r, int margin = 0) {
        int n = 0;
        for_each_drawn([&](int x, int y) {
            if (x < r.x || y < r.y || x >= r.x + r.width + margin || y >= r.y + r.height + margin)
                ++n;
        });
        return n;
    }
    void clear() {
        buffer_lock hold(image());
        fast_fill(image(), colour{0, 0, 128, 128});
    }

    static void run(component& c) {
        std::string error;
        ASSERT_TRUE(c.prepare(error)) << error;
        ASSERT_TRUE(c.fire(error)) << error;
    }

    frame_image frame{400, 400};
};

inline constexpr colour red{0, 255, 0, 0};
inline constexpr colour green{0, 0, 255, 0};
inline constexpr colour blue{0, 0, 0, 255};

} // namespace zoetra::testing_support
