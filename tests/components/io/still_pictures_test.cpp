// PNG and JPEG stills in the palette and in GIFIN: added or refused with the
// palette's message, measured, handed on as planes and drawn straight into the
// output area, all through the same readers as GIFs.
#include "../../gif/still_files.hpp"
#include "../../production/studio_support.hpp"
#include "../basic/network.hpp"
#include "components/io/image_source.hpp"
#include "engine/lookup.hpp"
#include "raster/output_canvas.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace zoetra {
namespace {

using testing::component_rig;
using testing::data_folder;

constexpr colour red{0, 252, 2, 4};
constexpr colour grey{0, 90, 90, 90}; // a flat JPEG of this grey decodes to it exactly

// 40 x 30: the left half transparent (its colour 9, 9, 9), the right half red.
std::string half_transparent_png(const std::string& name) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool left = x < 20;
            rgba.insert(rgba.end(), {left ? std::uint8_t(9) : red.r, left ? std::uint8_t(9) : red.g,
                                     left ? std::uint8_t(9) : red.b,
                                     left ? std::uint8_t(0) : std::uint8_t(255)});
        }
    return test::write_png(name, 40, 30, rgba);
}

// 50 x 20, flat grey.
std::string grey_jpeg(const std::string& name) {
    return test::write_jpeg(name, 50, 20, std::vector<std::uint8_t>(50 * 20 * 3, grey.r));
}

class StillPictures : public ::testing::Test {
  protected:
    StillPictures() : canvas_(320, 200, colour{0, 0, 128, 128}) {
        canvas_.set_output_size(300, 180);
    }

    void start_component(component& c, bool fire = false) {
        c.set_context(&network_);
        ASSERT_TRUE(c.preprepare() && c.prepare() && (!fire || c.fire()));
    }
    static std::pair<double, double> size(component& c, const char* name) {
        return {number_named(c, name).value(0), number_named(c, name).value(1)};
    }

    data_folder folder_;
    context program_;
    output_canvas canvas_;
    const run_context network_{&program_, &canvas_};
};

TEST_F(StillPictures, ThePaletteTakesReadableStillsAndGifinMeasuresThem) {
    io::GIFIN gifin;
    cfg_image_in& palette = gifin.palette();
    const std::string png = half_transparent_png("half.png");
    std::ifstream in(png, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    std::ofstream("truncated.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    test::write_jpeg("cmyk.jpg", 8, 8, std::vector<std::uint8_t>(8 * 8 * 4, 30), JCS_CMYK);
    EXPECT_EQ(palette.add_image("truncated.png", 0).message(),
              "\"truncated.png\" is damaged: the file ends early");
    EXPECT_EQ(palette.add_image("cmyk.jpg", 0).message(),
              "\"cmyk.jpg\" cannot be used: CMYK and YCCK JPEG images are not read");
    ASSERT_TRUE(palette.add_image(png, 0));
    ASSERT_TRUE(palette.add_image(grey_jpeg("grey.jpg"), 1));
    EXPECT_EQ(palette.count(), 2);

    menu_named(gifin, "MODE.SIZE").select(0);
    start_component(gifin);
    EXPECT_EQ(size(gifin, "SIZE"), std::pair(40.0, 30.0));
    EXPECT_EQ(size(gifin, "SIZE.MAX"), std::pair(50.0, 30.0)); // each side's largest
    gifin.reset();
    palette.set_selected(1);
    start_component(gifin);
    EXPECT_EQ(size(gifin, "SIZE"), std::pair(50.0, 20.0));
    EXPECT_EQ(size(gifin, "SIZE.EFFECT"), std::pair(50.0, 20.0));
}

TEST_F(StillPictures, PlanesCarryPngAlphaAsTheTransparentFlag) {
    component_rig<io::GIFIN> rig;
    ASSERT_TRUE(rig.subject.palette().add_image(half_transparent_png("half.png"), 0));
    rig.watch("RED.OUT", 1);
    rig.watch("ALPHA.OUT", 2);
    start_component(rig.subject);
    rig.tap.adopt_shape(port_of(rig.subject, "RED.OUT"));
    rig.fire_once();
    const std::vector<unsigned> reds = rig.values(1), alpha = rig.values(2);
    ASSERT_EQ(reds.size(), 1200u);
    auto at = [&](int x, int y) { return std::pair(reds[y * 40 + x], alpha[y * 40 + x]); };
    EXPECT_EQ(at(0, 0), std::pair(9u, 1u)); // transparent: its colour kept, flagged
    EXPECT_EQ(at(19, 29), std::pair(9u, 1u));
    EXPECT_EQ(at(20, 0), std::pair(252u, 0u));
    EXPECT_EQ(at(39, 29), std::pair(252u, 0u));
}

TEST_F(StillPictures, DrawsStillsStraightIntoTheOutputAreaLeavingTransparentPixels) {
    buffer& image = canvas_.image();
    const int middle_x = image.width() / 2, middle_y = image.height() / 2;
    io::GIFIN gifin;
    ASSERT_TRUE(gifin.palette().add_image(half_transparent_png("half.png"), 0));
    ASSERT_TRUE(gifin.palette().add_image(grey_jpeg("grey.jpg"), 1));
    {
        buffer_lock lock(image);
        fast_fill(image, colour{0, 7, 7, 7});
    }
    start_component(gifin, true);
    EXPECT_EQ(get_pixel(image, middle_x - 10, middle_y), (colour{1, 7, 7, 7}));
    EXPECT_EQ(get_pixel(image, middle_x + 10, middle_y), red);

    gifin.reset();
    gifin.palette().set_selected(1);
    start_component(gifin, true);
    EXPECT_EQ(get_pixel(image, middle_x - 24, middle_y - 9), grey);
    EXPECT_EQ(get_pixel(image, middle_x + 24, middle_y + 9), grey);
    // Beside the grey and the earlier picture's red: as it was.
    EXPECT_EQ(get_pixel(image, middle_x - 22, middle_y - 11), (colour{1, 7, 7, 7}));
}

} // namespace
} // namespace zoetra
