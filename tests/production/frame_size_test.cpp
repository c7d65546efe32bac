// The frame: pictures larger than it fitted before the effect sees them, the
// size a person chooses, presets that follow the picture's aspect.
#include "gif/picture.hpp"
#include "production/frame_size.hpp"
#include "production/studio.hpp"
#include "skin/palette_pictures.hpp"
#include "studio_support.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using testing::data_folder;
using testing::show_effect;
using testing::write_gif;

// A colour as it comes back from a GIF of it: what a flat area of the
// picture shows, reduced or not.
colour after_a_round_trip(colour c) {
    write_gif("colour.gif", 1, 1, [&](buffer& b) { draw_rectangle(b, 0, 0, 1, 1, c, true, c); });
    std::unique_ptr<buffer> image = load_picture("colour.gif");
    buffer_lock hold(*image);
    return get_pixel(*image, 0, 0);
}

TEST(FrameSize, ParsesSizesAndPresetsAndRefusesTheRest) {
    EXPECT_EQ(parse_size_choice("640x480").value(), (size_choice{640, 480}));
    EXPECT_EQ(parse_size_choice("16X1080").value(), (size_choice{16, 1080}));
    EXPECT_EQ(parse_size_choice("Emoji").value(), (size_choice{128, 128}));
    EXPECT_EQ(parse_size_choice("chat").value(), (size_choice{480, 0}));
    for (const char* bad : {"15x20", "1921x20", "20x1081", "x", "640x", "big", "-5x20", "6e2x20"})
        EXPECT_FALSE(parse_size_choice(bad)) << bad;
    EXPECT_EQ(size_choice_text({320, 320}), "sticker");
    EXPECT_EQ(size_choice_text({17, 31}), "17x31");
    EXPECT_EQ(size_choice_text({}), "");
}

TEST(FrameSize, AMissingSideFollowsThePicturesAspectWithinTheLimits) {
    const struct {
        size_choice choice;
        gif_size picture, frame;
    } cases[] = {
        {{480, 0}, {4032, 3024}, {480, 360}}, {{800, 0}, {3013, 1561}, {800, 414}},
        {{480, 0}, {1, 4000}, {480, 1080}}, // a tall picture stops at the highest frame
        {{480, 0}, {4000, 1}, {480, 16}},   // a wide one at the lowest
        {{480, 0}, {0, 0}, {480, 480}},     // no picture: square
        {{0, 200}, {300, 100}, {600, 200}},   {{128, 128}, {4032, 3024}, {128, 128}},
        {{}, {4032, 3024}, {0, 0}},
    };
    for (const auto& c : cases) {
        const gif_size frame = resolve_frame(c.choice, c.picture);
        EXPECT_EQ(frame.width, c.frame.width) << c.picture.width << "x" << c.picture.height;
        EXPECT_EQ(frame.height, c.frame.height) << c.picture.width << "x" << c.picture.height;
    }
}

// A studio showing one picture through the plain show effect.
class FrameOfAStudio : public ::testing::Test {
  protected:
    FrameOfAStudio() { folder_.write("Effects/a_show.zoml", show_effect); }

    bool transparent(int frame, int x, int y) { return at(frame, x, y).t != 0; }
    // Opaque and within a few levels of c: the filter may round a flat
    // area's colour by a level or two.
    ::testing::AssertionResult shows(int frame, int x, int y, colour c) {
        const colour found = at(frame, x, y);
        const int off =
            std::max({std::abs(found.r - c.r), std::abs(found.g - c.g), std::abs(found.b - c.b)});
        if (found.t == 0 && off <= 2)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "at (" << x << ", " << y << "): " << int(found.t) << " " << int(found.r) << " "
               << int(found.g) << " " << int(found.b);
    }

    studio& make_studio(const std::string& picture, int frames = 1) {
        studio_ = std::make_unique<studio>();
        EXPECT_TRUE(studio_->load_effects());
        EXPECT_TRUE(studio_->image_source().palette().add_image(picture, 0));
        studio_->frame_clock().frames().set_value(0, frames);
        return *studio_;
    }
    void create_all() {
        ASSERT_TRUE(studio_->start_construction());
        for (int n = 0; n < 10000 && studio_->busy(); ++n)
            ASSERT_TRUE(studio_->step());
        ASSERT_FALSE(studio_->busy());
    }
    colour at(int frame, int x, int y) {
        buffer& image = studio_->stored_frame(frame);
        buffer_lock hold(image);
        return get_pixel(image, std::int16_t(x), std::int16_t(y));
    }

    data_folder folder_;
    std::unique_ptr<studio> studio_;
    const colour blue = after_a_round_trip({0, 4, 2, 252});
    const colour green = after_a_round_trip({0, 4, 252, 2});
};

// 1200 x 600, blue on the left half and green on the right.
std::string two_halves(const std::string& path) {
    return write_gif(path, 1200, 600, [](buffer& b) {
        const colour blue{0, 4, 2, 252}, green{0, 4, 252, 2};
        draw_rectangle(b, 0, 0, 600, 600, blue, true, blue);
        draw_rectangle(b, 600, 0, 600, 600, green, true, green);
    });
}

TEST_F(FrameOfAStudio, ALargePictureIsReducedToTheEffectsFrameWhole) {
    studio& s = make_studio(two_halves("halves.gif"));
    create_all();
    // The picture fits the 350 x 250 frame as 350 x 175; the frame is cropped to it.
    ASSERT_EQ(s.stored_frame(0).width(), 350);
    ASSERT_EQ(s.stored_frame(0).height(), 175);
    EXPECT_TRUE(shows(0, 0, 0, blue));
    EXPECT_TRUE(shows(0, 349, 174, green));
    EXPECT_TRUE(shows(0, 170, 87, blue));
    EXPECT_TRUE(shows(0, 180, 87, green));
}

TEST_F(FrameOfAStudio, AChosenSizeIsTheFileWithThePictureFittedInside) {
    const struct {
        size_choice choice;
        int width, height;                        // of the frame
        int left, top, shown_width, shown_height; // of the picture inside it
    } cases[] = {
        {{128, 128}, 128, 128, 0, 32, 128, 64},
        {{16, 16}, 16, 16, 0, 4, 16, 8},
        {{17, 31}, 17, 31, 0, 11, 17, 9},            // 17 x 8.5 rounds up; centred by whole halves
        {{1280, 720}, 1280, 720, 40, 60, 1200, 600}, // it fits: left as it is
    };
    const std::string picture = two_halves("halves.gif");
    for (const auto& c : cases) {
        SCOPED_TRACE(size_choice_text(c.choice));
        studio& s = make_studio(picture);
        s.set_size_choice(c.choice);
        create_all();
        ASSERT_EQ(s.stored_frame(0).width(), c.width);
        ASSERT_EQ(s.stored_frame(0).height(), c.height);
        const int right = c.left + c.shown_width - 1, bottom = c.top + c.shown_height - 1;
        EXPECT_TRUE(transparent(0, c.left, c.top - 1)); // a transparent margin
        EXPECT_TRUE(shows(0, c.left, c.top, blue));
        EXPECT_TRUE(shows(0, right, bottom, green));
        EXPECT_TRUE(transparent(0, right, bottom + 1));
        ASSERT_TRUE(s.save("chosen.gif"));
        const gif_size saved = probe_picture_size("chosen.gif");
        EXPECT_EQ(saved.width, c.width);
        EXPECT_EQ(saved.height, c.height);
    }
}

TEST_F(FrameOfAStudio, SmallPicturesAreEnlargedOnlyWhenAsked) {
    const std::string picture = write_gif("small.gif", 32, 16, [](buffer& b) {
        draw_rectangle(b, 0, 0, b.width(), b.height(), colour{0, 4, 2, 252}, true,
                       colour{0, 4, 2, 252});
    });
    studio& s = make_studio(picture);
    s.set_size_choice({128, 128});
    create_all();
    EXPECT_TRUE(shows(0, 64, 64, blue));
    EXPECT_TRUE(transparent(0, 10, 64)); // 32 wide, centred
    s.set_enlarge(true);
    create_all();
    EXPECT_TRUE(shows(0, 10, 64, blue)); // 128 x 64 now
    EXPECT_TRUE(transparent(0, 10, 20));
}

TEST_F(FrameOfAStudio, APictureOneWideStaysOneWide) {
    const std::string picture = write_gif("thin.gif", 1, 4000, [](buffer& b) {
        draw_rectangle(b, 0, 0, b.width(), b.height(), colour{0, 4, 2, 252}, true,
                       colour{0, 4, 2, 252});
    });
    studio& s = make_studio(picture);
    create_all();
    EXPECT_EQ(s.stored_frame(0).width(), 1);
    EXPECT_EQ(s.stored_frame(0).height(), 250);
    EXPECT_TRUE(shows(0, 0, 125, blue));
}

// The reduced picture is made once and used for every frame; the palette
// forgets it when the picture leaves and comes in again (the file may have
// changed).
TEST_F(FrameOfAStudio, TheReducedPictureIsMadeOnceAndForgottenWithItsEntry) {
    studio& s = make_studio(two_halves("halves.gif"), 8);
    const palette_pictures& pictures = s.program().pictures();
    create_all();
    EXPECT_EQ(s.stored_frames(), 8);
    EXPECT_EQ(pictures.fitted_made(), 1);
    create_all();
    EXPECT_EQ(pictures.fitted_made(), 1);
    cfg_image_in& palette = s.image_source().palette();
    palette.remove_image(0);
    write_gif("halves.gif", 600, 1200, [](buffer& b) {
        draw_rectangle(b, 0, 0, b.width(), b.height(), colour{0, 4, 252, 2}, true,
                       colour{0, 4, 252, 2});
    });
    ASSERT_TRUE(palette.add_image("halves.gif", 0));
    palette.set_selected(0);
    create_all();
    EXPECT_EQ(pictures.fitted_made(), 2);
    EXPECT_EQ(s.stored_frame(0).width(), 125);
    EXPECT_TRUE(shows(0, 60, 120, green));
}

} // namespace
} // namespace zoetra
