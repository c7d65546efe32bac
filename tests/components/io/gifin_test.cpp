// The image source and its palette: pictures (GIF, PNG and JPEG stills
// alike, through the same readers) measured, handed on as planes or drawn
// straight into the output area, and refused with their reasons.
#include "../../gif/still_files.hpp"
#include "../../production/studio_support.hpp"
#include "../../support/animations.hpp"
#include "../basic/network.hpp"
#include "base/utility.hpp"
#include "components/io/image_source.hpp"
#include "components/io/register.hpp"
#include "engine/script.hpp"
#include "raster/output_canvas.hpp"
#include "raster/text.hpp"
#include "skin/palette_pictures.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace zoetra {
namespace {

using testing::component_rig;
using testing::data_folder;
using testing::write_gif;
using testing::write_solid_gif;

// Colours at the centres of the quantizer's cells survive a GIF round trip unchanged.
constexpr colour red{0, 252, 2, 4};
constexpr colour green{0, 4, 250, 4};
constexpr colour blue{0, 4, 2, 252};
constexpr colour grey{0, 92, 90, 92};

// 40 x 30: the left half transparent (its colour 9, 9, 9), the right half red.
std::string half_transparent_png(const std::string& name) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            rgba.insert(rgba.end(),
                        {x < 20 ? std::uint8_t(9) : red.r, x < 20 ? std::uint8_t(9) : red.g,
                         x < 20 ? std::uint8_t(9) : red.b, std::uint8_t(x < 20 ? 0 : 255)});
    return test::write_png(name, 40, 30, rgba);
}

// A canvas whose work area is 320 x 200, for components as if of a network.
class ImageSourceNetwork : public ::testing::Test {
  protected:
    ImageSourceNetwork() : canvas_(320, 200, colour{0, 0, 128, 128}) {
        canvas_.set_output_size(300, 180);
    }

    void start_component(component& c, bool fire = false) {
        c.set_context(&network_);
        ASSERT_TRUE(c.preprepare() && c.prepare() && (!fire || c.fire()));
    }
    // A solid picture at the end of the palette.
    void add(io::GIFIN& gifin, const char* name, int width, int height, colour c) {
        ASSERT_TRUE(gifin.palette().add_image(write_solid_gif(name, width, height, c),
                                              gifin.palette().count()));
    }
    // A setting's first two values.
    static std::pair<double, double> size(component& c, const char* name) {
        return {number_named(c, name).value(0), number_named(c, name).value(1)};
    }
    colour at_centre() {
        buffer& image = canvas_.image();
        return get_pixel(image, image.width() / 2, image.height() / 2);
    }

    data_folder folder_;
    context program_;
    output_canvas canvas_;
    const run_context network_{&program_, &canvas_};
};

TEST_F(ImageSourceNetwork, PublishesSizesForEverySizeModeTheLargestImageAndText) {
    io::GIFIN gifin;
    add(gifin, "a.gif", 40, 30, colour{0, 9, 9, 9});
    const struct {
        int mode;
        double x, y, space;
    } cases[] = {
        {0, 40, 30, 1}, {1, 80, 60, 2}, {2, 160, 120, 4}, {3, 320, 200, 8}, {4, 320, 200, 8}};
    for (const auto& e : cases) {
        menu_named(gifin, "MODE.SIZE").select(e.mode);
        start_component(gifin);
        EXPECT_EQ(size(gifin, "SIZE.EFFECT"), std::pair(e.x, e.y)) << e.mode;
        EXPECT_EQ(number_named(gifin, "VALUE.SPACE").value(0), e.space) << e.mode;
        EXPECT_EQ(size(gifin, "SIZE"), std::pair(40.0, 30.0));
        gifin.reset();
    }
    // Squares of the larger side and of the diagonal, counts, and the largest
    // width and height, each clamped to the 320 x 200 work area.
    menu_named(gifin, "MODE.SIZE").select(0);
    add(gifin, "tall.gif", 30, 40, colour{0, 1, 2, 3});
    gifin.palette().remove_image(0);
    start_component(gifin);
    EXPECT_EQ(size(gifin, "SIZE.MAXPECT"), std::pair(40.0, 40.0));
    EXPECT_EQ(size(gifin, "SIZE.ROTATE"), std::pair(50.0, 50.0));
    EXPECT_EQ(number_named(gifin, "FRAMES").value(0), 1);
    EXPECT_EQ(number_named(gifin, "FRAME.TRANSITIONS").value(0), 1);
    add(gifin, "wide.gif", 500, 20, colour{0, 1, 2, 3});
    ASSERT_TRUE(gifin.palette().add_image("tall.gif", 2));
    gifin.reset();
    start_component(gifin);
    EXPECT_EQ(number_named(gifin, "FRAMES").value(0), 3);
    EXPECT_EQ(number_named(gifin, "FRAME.TRANSITIONS").value(0), 2);
    EXPECT_EQ(size(gifin, "SIZE.MAX"), std::pair(320.0, 40.0));

    // A picture that can no longer be measured leaves every size as it was.
    folder_.write("tall.gif", "no longer a picture");
    folder_.write("wide.gif", "no longer a picture");
    for (const char* name : {"SIZE", "SIZE.MAXPECT", "SIZE.ROTATE", "SIZE.EFFECT"})
        testing::set_size(gifin, name, 7, 9);
    gifin.reset();
    start_component(gifin);
    for (const char* name : {"SIZE", "SIZE.MAXPECT", "SIZE.ROTATE", "SIZE.EFFECT"})
        EXPECT_EQ(size(gifin, name), std::pair(7.0, 9.0)) << name;

    // Text mode measures the text.
    menu_named(gifin, "MODE.INPUT").select(1);
    gifin.reset();
    start_component(gifin);
    EXPECT_EQ(
        size(gifin, "SIZE"),
        std::pair(measure_text(io::GIFIN::sample_text, text_size::points_12).width + 1.0, 19.0));
}

TEST_F(ImageSourceNetwork, TheControlPicksTheImageAndClampsTheIndexOrLeavesIt) {
    component_rig<io::GIFIN> rig;
    rig.subject.set_context(&network_);
    const colour colours[] = {red, green, blue, grey};
    for (int i = 0; i < 4; ++i)
        add(rig.subject, format("c%d.gif", i).c_str(), 20, 20, colours[i]);
    rig.listen("CONTROL.GIFIN");
    rig.begin("RED.OUT");
    // 255 gives truncate(4 x 1.01) = 4, clamped to the last image.
    for (auto [control, shown] : {std::pair{255u, 3}, {0u, 0}, {128u, 2}}) {
        rig.give("CONTROL.GIFIN", testing::plane("UINT8", 1, 1, {control}));
        rig.fire_once();
        EXPECT_EQ(at_centre(), colours[shown]) << control;
    }

    // A control without elements (a size bound from an effect file may reach
    // 0) leaves the selected image.
    component_rig<io::GIFIN> empty;
    empty.subject.set_context(&network_);
    add(empty.subject, "a.gif", 20, 20, red);
    add(empty.subject, "b.gif", 20, 20, green);
    empty.subject.palette().set_selected(1);
    number_named(empty.subject, "SIZE.CONTROL").set_minimum(0, 0);
    number_named(empty.subject, "SIZE.CONTROL").set_value(0, 0);
    empty.listen("CONTROL.GIFIN");
    empty.begin("RED.OUT");
    empty.give("CONTROL.GIFIN", testing::plane("UINT8", 0, 1, {}));
    empty.fire_once();
    EXPECT_EQ(at_centre(), green);
}

TEST_F(ImageSourceNetwork, PlanesHoldTheImageSqueezedAndCentredOrNothing) {
    component_rig<io::GIFIN> rig;
    add(rig.subject, "wide.gif", 100, 50, red);
    rig.wire({}, {"RED.OUT", "ALPHA.OUT"});
    start_component(rig.subject);
    testing::set_size(rig.subject, "SIZE", 60, 60);
    rig.tap.adopt_shape(port_of(rig.subject, "RED.OUT"));
    rig.fire_once();
    const std::vector<unsigned> reds = rig.values(1), alpha = rig.values(2);
    ASSERT_EQ(reds.size(), 3600u);
    // Squeezed to 60 x 50 and placed at (0, 5): rows 0-4 and 55-59 stay background.
    auto at = [&](int x, int y) { return std::pair(reds[y * 60 + x], alpha[y * 60 + x]); };
    EXPECT_EQ(at(30, 4), std::pair(0u, 1u));
    EXPECT_EQ(at(0, 5), std::pair(252u, 0u));
    EXPECT_EQ(at(59, 54), std::pair(252u, 0u));
    EXPECT_EQ(at(59, 55), std::pair(0u, 1u));

    // Later frames get the same planes, whatever the network did to the
    // ones it received, and another picture once the selection moves.
    matrix& received = rig.tap.at(1).get_matrix();
    std::fill_n(received.data(), received.byte_size(), std::uint8_t{7});
    rig.fire_once();
    EXPECT_EQ(rig.values(1), reds);
    EXPECT_EQ(rig.values(2), alpha);
    add(rig.subject, "green.gif", 100, 50, green);
    rig.subject.palette().set_selected(1);
    rig.fire_once();
    EXPECT_EQ(rig.values(1)[30 * 60 + 30], 4u);

    // A PNG's alpha becomes the transparent flag; a transparent pixel keeps its colour.
    component_rig<io::GIFIN> png;
    ASSERT_TRUE(png.subject.palette().add_image(half_transparent_png("half.png"), 0));
    png.wire({}, {"RED.OUT", "ALPHA.OUT"});
    start_component(png.subject);
    png.tap.adopt_shape(port_of(png.subject, "RED.OUT"));
    png.fire_once();
    EXPECT_EQ(std::pair(png.values(1)[29 * 40 + 19], png.values(2)[29 * 40 + 19]),
              std::pair(9u, 1u));
    EXPECT_EQ(std::pair(png.values(1)[20], png.values(2)[20]), std::pair(252u, 0u));

    // An empty palette gives empty planes.
    component_rig<io::GIFIN> none;
    none.wire({"CONTROL.GIFIN"}, {"GREY.OUT"});
    none.begin("GREY.OUT");
    none.give("CONTROL.GIFIN", testing::plane("UINT8", 1, 1, {255}));
    none.fire_once();
    EXPECT_EQ(none.values(1), std::vector<unsigned>(none.values(1).size(), 0u));
}

// Without a connected plane the picture is drawn centred into the output
// area; its transparent pixels leave the canvas alone.
TEST_F(ImageSourceNetwork, DrawsStraightIntoTheOutputAreaWhenNoPlaneIsConnected) {
    io::GIFIN gifin;
    cfg_image_in& palette = gifin.palette();
    ASSERT_TRUE(palette.add_image(
        write_gif("ring.gif", 10, 10,
                  [](buffer& b) { draw_rectangle(b, 2, 2, 6, 6, blue, true, blue); }),
        0));
    ASSERT_TRUE(palette.add_image(half_transparent_png("half.png"), 1));
    const std::vector<std::uint8_t> flat(50 * 20 * 3, 90); // a flat JPEG decodes exactly
    ASSERT_TRUE(palette.add_image(test::write_jpeg("grey.jpg", 50, 20, flat), 2));
    buffer& image = canvas_.image();
    const int x = image.width() / 2, y = image.height() / 2;
    const colour untouched{1, 7, 7, 7};
    {
        buffer_lock lock(image);
        fast_fill(image, colour{0, 7, 7, 7});
    }
    start_component(gifin, true);
    EXPECT_EQ(get_pixel(image, x - 3, y - 3), blue);
    EXPECT_EQ(get_pixel(image, x - 5, y - 5), untouched);

    palette.set_selected(1);
    gifin.reset();
    start_component(gifin, true);
    EXPECT_EQ(get_pixel(image, x - 10, y), untouched);
    EXPECT_EQ(get_pixel(image, x + 10, y), red);
    EXPECT_EQ(size(gifin, "SIZE"), std::pair(40.0, 30.0));
    EXPECT_EQ(size(gifin, "SIZE.MAX"), std::pair(50.0, 30.0)); // each side's largest

    palette.set_selected(2);
    gifin.reset();
    start_component(gifin, true);
    EXPECT_EQ(get_pixel(image, x - 24, y - 9), (colour{0, 90, 90, 90}));
    EXPECT_EQ(get_pixel(image, x + 24, y + 9), (colour{0, 90, 90, 90}));
    EXPECT_EQ(get_pixel(image, x - 22, y - 11), untouched); // beside it: as it was
    EXPECT_EQ(size(gifin, "SIZE"), std::pair(50.0, 20.0));
}

// Both scales reach the settings bound to them before they are prepared.
// "SCALE.PICTURE": how many times larger the picture is fitted to the frame
// than to 350 x 250; "SCALE": the frame's scale, min(W / 350, H / 250), over
// it where it is above 1. A picture smaller than the frame keeps its size,
// so its marks grow with the frame; one fitted to a larger frame keeps
// marks of its own size.
TEST(ImageSource, PublishesTheScalesToTheSettingsBoundToThem) {
    data_folder folder;
    context program;
    folder.write("scaled.zoml", R"(<effect type="Art">
  <GIFIN id="gifin">
    <valuelist name="SCALE" id="gifin.scale"></valuelist>
    <valuelist name="SCALE.PICTURE" id="gifin.picture.scale"></valuelist>
  </GIFIN>
  <shape id="dots"><valuelist name="SCALE" idref="gifin.scale"></valuelist></shape>
  <CRYSTALIZE id="tiles"><valuelist name="SCALE" idref="gifin.picture.scale"></valuelist></CRYSTALIZE>
</effect>)");
    script network("scaled.zoml", program, program_factory());
    ASSERT_TRUE(network.load());
    auto& gifin = dynamic_cast<io::GIFIN&>(*network.component_with_id("gifin"));
    ASSERT_TRUE(gifin.palette().add_image(write_solid_gif("small.gif", 100, 50, red), 0));
    ASSERT_TRUE(gifin.palette().add_image(write_solid_gif("large.gif", 1400, 1000, red), 1));
    output_canvas canvas(1920, 1080, colour{0, 0, 0, 0});
    // The scales at a frame, as the studio fits the palette to it.
    auto scales = [&](int width, int height, int selected, bool enlarge = false) {
        canvas.set_output_size(width, height);
        program.pictures().set_frame(gif_size{std::uint16_t(width), std::uint16_t(height)},
                                     enlarge);
        gifin.palette().set_selected(selected);
        network.set_canvas(&canvas);
        network.reset();
        EXPECT_TRUE(network.start());
        const double mark = number_named(gifin, "SCALE").value(0);
        const double picture = number_named(gifin, "SCALE.PICTURE").value(0);
        EXPECT_EQ(number_named(*network.component_with_id("dots"), "SCALE").value(0), mark);
        EXPECT_EQ(number_named(*network.component_with_id("tiles"), "SCALE").value(0), picture);
        return std::pair(mark, picture);
    };
    const struct {
        int width, height, selected;
        double mark, picture;
    } frames[] = {
        // Exactly 1 at the own frame, whatever the picture.
        {350, 250, 0, 1, 1},
        {350, 250, 1, 1, 1},
        {700, 500, 0, 2, 1},
        {700, 500, 1, 1, 2},
        {700, 600, 0, 2, 1},
        {700, 600, 1, 1, 2},
        // Reduced below its size at 350 x 250: marks shrink with the frame.
        {175, 250, 0, 0.5, 1},
        {175, 250, 1, 0.5, 0.5},
        {1920, 1080, 0, 4.32, 1},
        // Fitted to 350 x 250, not to this frame, where it fits as it is.
        {1920, 1080, 1, 1.08, 4},
    };
    for (const auto& f : frames)
        EXPECT_EQ(scales(f.width, f.height, f.selected), std::pair(f.mark, f.picture))
            << f.selected << " at " << f.width << "x" << f.height;

    // An enlarged picture grows even at the own frame; the growth is kept to
    // the largest scale, and the mark scale is worked out from what is kept.
    EXPECT_EQ(scales(350, 250, 0, true), std::pair(1 / 3.5, 3.5));
    EXPECT_EQ(scales(1920, 1080, 0, true), std::pair(4.32 / 5, 5.0));
    // Text has its size in every frame; the empty slot keeps the frame's scale.
    menu_named(gifin, "MODE.INPUT").select(1);
    EXPECT_EQ(scales(700, 500, 1), std::pair(2.0, 1.0));
    menu_named(gifin, "MODE.INPUT").select(0);
    EXPECT_EQ(scales(700, 500, 2), std::pair(2.0, 1.0));
    // Without a canvas or a fit the planes have the picture's own size.
    network.set_canvas(nullptr);
    program.pictures().set_frame(gif_size{}, false);
    gifin.palette().set_selected(1);
    network.reset();
    ASSERT_TRUE(network.start());
    EXPECT_EQ(number_named(gifin, "SCALE.PICTURE").value(0), 4);
    EXPECT_EQ(number_named(gifin, "SCALE").value(0), 0.25);
}

TEST(Palette, ARefusalNamesTheFileAndSaysWhy) {
    data_folder folder;
    cfg_image_in palette(nullptr, "GIFIN", false, 1.0);
    const std::string gif = write_solid_gif("whole.gif", 40, 30, colour{0, 1, 1, 1});
    folder.write("cut.gif", testing::read_file(gif).substr(0, 20));
    folder.write("text.gif", "not a picture at all");
    const std::string png = testing::read_file(half_transparent_png("half.png"));
    folder.write("truncated.png", png.substr(0, png.size() / 2));
    test::write_jpeg("cmyk.jpg", 8, 8, std::vector<std::uint8_t>(8 * 8 * 4, 30), JCS_CMYK);
    std::filesystem::create_directory("folder.gif");
    // A name of exactly the limit, and the same file by a longer name.
    const std::string at_limit = std::string(cfg_image_in::max_name - 4, 'x') + ".gif";
    const std::string long_name = "./" + at_limit;
    std::filesystem::copy_file(gif, at_limit);
    const struct {
        std::string name, message;
    } refused[] = {
        {"text.gif", "\"text.gif\" is not a GIF, PNG or JPEG picture"},
        {"cut.gif", "\"cut.gif\" is damaged: the file ends inside its global colour table"},
        {"truncated.png", "\"truncated.png\" is damaged: the file ends early"},
        {"cmyk.jpg", "\"cmyk.jpg\" cannot be used: CMYK and YCCK JPEG images are not read"},
        {"missing.gif", "\"missing.gif\" does not exist"},
        {"folder.gif", "\"folder.gif\" is a folder, not a picture"},
        {long_name,
         "\"" + long_name + "\" cannot be added: the palette takes paths of at most 127 bytes"},
    };
    for (const auto& r : refused)
        EXPECT_EQ(palette.add_image(r.name, 0).message(), r.message);
    if (geteuid() != 0) { // root reads every file
        std::filesystem::copy_file(gif, "locked.gif");
        std::filesystem::permissions("locked.gif", std::filesystem::perms::none);
        EXPECT_EQ(palette.add_image("locked.gif", 0).message(),
                  "\"locked.gif\" cannot be read: permission denied");
    }
    EXPECT_EQ(palette.count(), 0);
    ASSERT_TRUE(palette.add_image(at_limit, 0));
    EXPECT_EQ(palette.name_at(0), at_limit);
}

// (Inserts at the empty slot and into a full palette: through its editor.)
TEST(Palette, InsertsBeforeAnImageOrAppendsAndRemovesOnlyImages) {
    data_folder folder;
    cfg_image_in palette(nullptr, "GIFIN", false, 1.0);
    std::string a = write_solid_gif("a.gif", 4, 4, colour{0, 1, 1, 1});
    std::string b = write_solid_gif("b.gif", 6, 3, colour{0, 2, 2, 2});
    EXPECT_TRUE(palette.add_image(a, 0));
    EXPECT_TRUE(palette.add_image(b, 0));
    EXPECT_EQ(palette.name_at(0), b);
    EXPECT_EQ(palette.largest_size().width, 6);
    EXPECT_EQ(palette.largest_size().height, 4);
    EXPECT_TRUE(palette.add_image(a, 60)); // past the end: appended, no hole
    EXPECT_EQ(palette.count(), 3);
    EXPECT_EQ(palette.name_at(9), "");

    palette.set_selected(3);
    palette.remove_image(3); // the empty slot: nothing
    EXPECT_EQ(palette.count(), 3);
    palette.remove_image(0);
    EXPECT_EQ(palette.count(), 2);
    EXPECT_EQ(palette.selected(), 2); // still the empty slot
    palette.set_selected(0);
    EXPECT_EQ(palette.selected_size().width, 4);
}

TEST(Palette, TakesAnAnimatedGifWholeAsOneEntryThatCopiesKeep) {
    data_folder folder;
    cfg_image_in palette(nullptr, "GIFIN", false, 1.0);
    const std::string still = write_solid_gif("still.gif", 4, 4, red);
    const std::string moving =
        testing::write_animation("moving.gif", 6, 5, {red, green, blue}, {10, 20, 30});
    const std::string png = half_transparent_png("half.png");
    EXPECT_EQ(palette.add_animation(still, 0).message(),
              "\"still.gif\" holds one frame: there is no animation to take");
    EXPECT_FALSE(palette.add_animation(png, 0));
    EXPECT_FALSE(palette.add_animation("missing.gif", 0));
    EXPECT_EQ(palette.count(), 0);

    ASSERT_TRUE(palette.add_animation(moving, 0));
    ASSERT_TRUE(palette.add_image(still, 0));
    ASSERT_TRUE(palette.add_image(moving, 2)); // the same file as a still picture
    EXPECT_EQ(std::tuple(palette.animated_at(0), palette.animated_at(1), palette.animated_at(2)),
              std::tuple(false, true, false));
    EXPECT_EQ(std::tuple(palette.frames_at(0), palette.frames_at(1), palette.frames_at(3)),
              std::tuple(1, 3, 0));
    EXPECT_EQ(palette.delays_at(1), (std::vector<std::uint16_t>{10, 20, 30}));
    EXPECT_NE(palette.name_at(1), moving);
    EXPECT_EQ(picture_file(palette.name_at(1)), moving);
    EXPECT_EQ(palette.own_size_at(1), (gif_size{6, 5}));
    EXPECT_EQ(palette.warning_at(1), "");

    cfg_image_in copy(nullptr, "GIFIN", false, 1.0);
    copy.copy_from(palette);
    EXPECT_TRUE(copy.equals(palette));
    EXPECT_EQ(std::tuple(copy.animated_at(1), copy.frames_at(1), copy.delays_at(1)),
              std::tuple(true, 3, std::vector<std::uint16_t>{10, 20, 30}));
    copy.remove_image(1);
    EXPECT_FALSE(copy.equals(palette));
    ASSERT_TRUE(copy.add_image(moving, 1));
    EXPECT_FALSE(copy.equals(palette)) << "a still picture is not the animation";

    // A long animation is sampled down, and says so.
    std::vector<colour> many(40, red);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = colour{0, std::uint8_t(i % 4 * 80), std::uint8_t(i / 4 % 4 * 80),
                         std::uint8_t(i / 16 * 80)};
    ASSERT_TRUE(palette.add_animation(
        testing::write_animation("long.gif", 2, 2, many, std::vector<std::uint16_t>(40, 5)), 0));
    EXPECT_EQ(palette.frames_at(0), cfg_image_in::max_animation_frames);
    EXPECT_NE(palette.warning_at(0), "");
}

// Frame j of an animated entry is that frame as the animation reader composes it.
TEST(PalettePictures, FramesOfAnAnimatedEntryAreDrawnFromTheAnimation) {
    data_folder folder;
    testing::write_animation("moving.gif", 6, 5, {red, green, blue}, {10, 20, 30});
    const testing::frames_read source = testing::read_frames("moving.gif");
    resource_folder resources(".");
    skin_cache skins(resources);
    palette_pictures pictures(skins);
    const std::string entry = animated_name("moving.gif");
    EXPECT_EQ(pictures.own_size(animation_frame_name(entry, 2)), (gif_size{6, 5}));
    for (int slot = 0; slot < 6; ++slot) {
        pictures.set_slot(slot, 6);
        const std::string frame = pictures.name_in_slot(entry, 3);
        EXPECT_EQ(frame_of(frame), slot / 2);
        buffer target(6, 5, colour{1, 0, 0, 0});
        ASSERT_TRUE(pictures.draw(target, frame, 0, 0, 6, 5, 0));
        buffer_lock hold(target);
        EXPECT_EQ(target.pixels()[2 * 6 + 3], source.middles[std::size_t(slot / 2)]);
    }
    EXPECT_EQ(pictures.fitted_made(), 3) << "each frame made once";
    buffer thumbnail(12, 10, colour{1, 0, 0, 0});
    ASSERT_TRUE(pictures.draw_thumbnail(thumbnail, entry, rect{0, 0, 12, 10}, thumbnail.window()));
    buffer_lock hold(thumbnail);
    EXPECT_EQ(thumbnail.pixels()[5 * 12 + 6], source.middles[0]);
}

TEST(Palette, ReadsFileNamesFromTheEffectFileAndCopiesNames) {
    data_folder folder;
    std::filesystem::create_directories("images");
    write_solid_gif("images/a.gif", 4, 4, colour{0, 1, 1, 1});
    element_tree tree =
        read_element_tree("<GIFIN><imageinput name=gifin scope=public><desc>Pictures</desc>"
                          "<f>images/a.gif</f></imageinput></GIFIN>");
    ASSERT_TRUE(tree);
    cfg_image_in palette(nullptr, "GIFIN", false, 1.0);
    palette.read("GIFIN", *tree.value());
    ASSERT_EQ(palette.count(), 1);
    EXPECT_EQ(palette.name_at(0), "images\\a.gif");
    EXPECT_TRUE(palette.shown());
    EXPECT_EQ(palette.desc().text, "Pictures");
    EXPECT_EQ(palette.selected_size().width, 4); // "\" opens as "/" on disk

    cfg_image_in copy(nullptr, "GIFIN", false, 1.0);
    EXPECT_FALSE(copy.equals(palette));
    copy.copy_from(palette);
    EXPECT_TRUE(copy.equals(palette));
    EXPECT_EQ(copy.name_at(0), "images\\a.gif");
}

} // namespace
} // namespace zoetra
