// Pictures reduced and enlarged with the filter, and the fit of a picture in
// a frame.
#include "raster/resample.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace zoetra {
namespace {

// The factor of the fit is the box's side over the picture's on the side
// that limits, or 1 / 1 where the picture is left as it is.
TEST(FitInside, KeepsTheAspectWithinTheBoxAndLeavesPicturesThatFit) {
    const struct {
        gif_size picture, box;
        bool enlarge;
        gif_size fitted;
        std::uint64_t over, under;
    } cases[] = {
        {{4032, 3024}, {350, 250}, false, {333, 250}, 250, 3024},
        {{3013, 1561}, {350, 250}, false, {350, 181}, 350, 3013},
        {{1, 4000}, {350, 250}, false, {1, 250}, 250, 4000},
        {{4000, 1}, {350, 250}, false, {350, 1}, 350, 4000},
        {{351, 100}, {350, 250}, false, {350, 100}, 350, 351},
        {{1400, 1000}, {350, 250}, false, {350, 250}, 350, 1400},
        {{32, 32}, {350, 250}, false, {32, 32}, 1, 1},
        {{32, 32}, {350, 250}, true, {250, 250}, 250, 32},
        {{350, 250}, {350, 250}, true, {350, 250}, 350, 350},
        {{0, 0}, {350, 250}, true, {0, 0}, 1, 1},
        {{100, 100}, {0, 0}, true, {100, 100}, 1, 1},
        {{65535, 65535}, {17, 31}, false, {17, 17}, 17, 65535},
    };
    for (const auto& c : cases) {
        const gif_size fitted = fit_inside(c.picture, c.box, c.enlarge);
        const fit_fraction factor = fit_scale(c.picture, c.box, c.enlarge);
        EXPECT_EQ(fitted, c.fitted) << c.picture.width << "x" << c.picture.height << " in "
                                    << c.box.width << "x" << c.box.height;
        EXPECT_EQ(std::pair(factor.over, factor.under), std::pair(c.over, c.under))
            << c.picture.width << "x" << c.picture.height << " in " << c.box.width << "x"
            << c.box.height;
    }
}

std::unique_ptr<buffer> picture(int width, int height, const std::function<pixel(int, int)>& at) {
    auto made = std::make_unique<buffer>(std::uint16_t(width), std::uint16_t(height), colour{});
    buffer_lock hold(*made);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            made->pixels()[std::size_t(y) * width + x] = at(x, y);
    return made;
}

std::unique_ptr<buffer> resampled(buffer& source, int width, int height) {
    buffer_lock hold(source);
    return resample(source, std::uint16_t(width), std::uint16_t(height));
}

pixel at(buffer& b, int x, int y) {
    buffer_lock hold(b);
    return b.pixels()[std::size_t(y) * b.width() + x];
}

int channel_distance(pixel a, pixel b) {
    int most = 0;
    for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

TEST(Resample, FlatColoursStayAndFineDetailAveragesInsteadOfAliasing) {
    auto flat = picture(1000, 700, [](int, int) { return pixel(0x3366CC); });
    auto reduced = resampled(*flat, 333, 233);
    ASSERT_EQ(reduced->width(), 333);
    ASSERT_EQ(reduced->height(), 233);
    for (auto [x, y] : {std::pair{0, 0}, {332, 232}, {166, 116}})
        EXPECT_EQ(at(*reduced, x, y), pixel(0x3366CC));

    // One-pixel black and white stripes: every twelfth column would be all
    // black or all white; an average is grey everywhere.
    auto stripes = picture(1200, 60, [](int x, int) { return x % 2 ? pixel(0xFFFFFF) : 0u; });
    auto grey = resampled(*stripes, 100, 5);
    for (int x = 0; x < 100; x += 9)
        EXPECT_LE(channel_distance(at(*grey, x, 2), 0x808080), 3) << x;
}

TEST(Resample, TransparentPixelsWeighNothingAndHalfCoveredOnesAreOpaque) {
    // The left half transparent (its colour never shows), the right red.
    auto half = picture(400, 100, [](int x, int) {
        return x < 200 ? transparent_flag | 0x00FF00 : pixel(0xFF0000);
    });
    auto reduced = resampled(*half, 40, 10);
    EXPECT_FALSE(is_visible(at(*reduced, 5, 5)));
    EXPECT_EQ(at(*reduced, 35, 5), pixel(0xFF0000));
    // At the border the red keeps its colour: no green bleeds in, and no
    // darkening from the transparent side.
    for (int x = 18; x <= 22; ++x) {
        const pixel p = at(*reduced, x, 5);
        if (is_visible(p)) {
            EXPECT_LE(channel_distance(p, 0xFF0000), 2) << x;
        }
    }
    EXPECT_FALSE(is_visible(at(*reduced, 19, 5)));
    EXPECT_TRUE(is_visible(at(*reduced, 20, 5)));
}

TEST(Resample, EnlargingKeepsColoursAndTinyTargetsWork) {
    auto two = picture(2, 1, [](int x, int) { return x ? pixel(0x0000FF) : pixel(0xFF0000); });
    auto wide = resampled(*two, 64, 32);
    EXPECT_LE(channel_distance(at(*wide, 0, 0), 0xFF0000), 8);
    EXPECT_LE(channel_distance(at(*wide, 63, 31), 0x0000FF), 8);
    auto one = resampled(*two, 1, 1);
    ASSERT_EQ(one->width(), 1);
    EXPECT_TRUE(is_visible(at(*one, 0, 0)));
    auto thin = picture(1, 4000, [](int, int y) { return y < 2000 ? pixel(0xFF0000) : 0u; });
    auto short_one = resampled(*thin, 1, 250);
    EXPECT_EQ(at(*short_one, 0, 10), pixel(0xFF0000));
    EXPECT_EQ(at(*short_one, 0, 240), pixel(0));
}

} // namespace
} // namespace zoetra
