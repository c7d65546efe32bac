#include "../support/animations.hpp"
#include "base/utility.hpp"
#include "components/io/register.hpp"
#include "engine/lookup.hpp"
#include "production/studio.hpp"
#include "resources/archive_writer.hpp"
#include "studio_support.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using testing::data_folder;
using testing::write_gif;
using testing::write_solid_gif;

using testing::red;

using testing::show_effect;

const char* still_effect = R"(<effect type="STILL" description="One frame.">
  <description><title>Still</title></description>
  <cpu></cpu><GIFIN></GIFIN><GIFOUT></GIFOUT>
</effect>)";

class StudioRun : public ::testing::Test {
  protected:
    StudioRun() {
        folder_.write("Effects/a_show.zoml", show_effect);
        folder_.write("Effects/b_still.zoml", still_effect);
    }

    // A studio on the first effect with the pictures in its palette and n frames to make.
    studio& make_studio(const std::vector<std::string>& pictures = {}, int frames = 1) {
        studio_ = std::make_unique<studio>();
        EXPECT_TRUE(studio_->load_effects());
        for (const auto& name : pictures)
            EXPECT_TRUE(studio_->image_source().palette().add_image(
                name, studio_->image_source().palette().count()));
        set_frames(frames);
        return *studio_;
    }
    void set_frames(int n) { studio_->frame_clock().frames().set_value(0, n); }
    void step() { ASSERT_TRUE(studio_->step()); }
    // Steps until the frames are made, or for at most `steps` steps.
    void run(int steps = 10000) {
        for (int n = 0; n < steps && studio_->busy(); ++n)
            step();
    }
    void create_all() {
        ASSERT_TRUE(studio_->start_construction());
        run();
        ASSERT_FALSE(studio_->busy());
    }

    data_folder folder_;
    std::unique_ptr<studio> studio_;
};

// Frames are cropped to the union of their boxes, and the output area is
// recentred, unless the union covers the area but for a twentieth at each
// side, or a frame is empty (its box is the whole output area).
TEST_F(StudioRun, CropsEveryFrameToTheUnionOfTheirBoxes) {
    // The size of the stored frames and the output area, and where frame 0's
    // box begins in its stored frame.
    const struct {
        const char* name;
        std::vector<std::string> pictures;
        std::vector<rect> boxes;
        std::pair<int, int> size, at;
    } cases[] = {
        {"wide and tall",
         {write_solid_gif("wide.gif", 100, 10, red), write_solid_gif("tall.gif", 20, 40, red)},
         {{125, 120, 100, 10}, {165, 105, 20, 40}},
         {100, 40},
         {0, 15}},
        {"the inner rectangle covered",
         {write_solid_gif("big.gif", 330, 230, red)},
         {{10, 10, 330, 230}},
         {350, 250},
         {10, 10}},
        {"an empty frame",
         {write_solid_gif("dot.gif", 10, 10, red), write_gif("empty.gif", 10, 10, [](buffer&) {})},
         {{170, 120, 10, 10}, {0, 0, 350, 250}},
         {350, 250},
         {170, 120}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        studio& s = make_studio(c.pictures, int(c.boxes.size()));
        create_all();
        ASSERT_EQ(s.stored_frames(), int(c.boxes.size()));
        for (int i = 0; i < s.stored_frames(); ++i) {
            EXPECT_EQ(s.frame_box(i), c.boxes[std::size_t(i)]);
            EXPECT_EQ(s.stored_frame(i).width(), c.size.first);
            EXPECT_EQ(s.stored_frame(i).height(), c.size.second);
        }
        const rect area = s.canvas().output_area(), work = s.canvas().work_area();
        const auto [width, height] = c.size;
        const auto [x, y] = c.at;
        EXPECT_EQ(area, (rect{std::int16_t(work.x + work.width / 2 - width / 2),
                              std::int16_t(work.y + work.height / 2 - height / 2),
                              std::uint16_t(width), std::uint16_t(height)}));
        EXPECT_EQ(get_pixel(s.stored_frame(0), x, y), red);
        EXPECT_EQ(get_pixel(s.stored_frame(0), x, y - 1).t & 1, 1);
        EXPECT_EQ(s.status_text(), "Done. Created " + std::to_string(c.boxes.size()) + " frames.");
    }
}

TEST_F(StudioRun, CancellingAfterThreeOfTenFramesKeepsNothing) {
    studio& s = make_studio({write_solid_gif("dot.gif", 10, 10, red)}, 10);
    ASSERT_TRUE(s.start_construction());
    while (s.stored_frames() < 3)
        step();
    EXPECT_EQ(s.status_text(), "Creating frame 4 of 10.");
    s.cancel_construction();
    EXPECT_EQ(s.status_text(), "Cancel frame construction.");
    EXPECT_FALSE(s.busy() || s.has_frames()); // saving and sizing have nothing to work on
}

TEST_F(StudioRun, ChangedSettingsRestartTheNetwork) {
    studio& s = make_studio({write_solid_gif("dot.gif", 10, 10, red)}, 4);
    ASSERT_TRUE(s.start_construction());
    EXPECT_FALSE(s.settings_changed_flag());
    step();
    ASSERT_EQ(s.current_effect()->fired_count(), 1);
    s.image_source().size_mode().select(4); // a standing component's setting
    EXPECT_TRUE(s.settings_changed_flag());
    step();                                  // restarts instead of stepping
    EXPECT_FALSE(s.settings_changed_flag()); // its own copying in and out is no change
    EXPECT_EQ(s.current_effect()->fired_count(), 0);
    EXPECT_TRUE(s.busy());
    // The network took the new setting.
    component& gifin = *s.current_effect()->component_with_id("gifin");
    EXPECT_EQ(menu_named(gifin, "MODE.SIZE").selected(), 4);
    // A setting of the network itself restarts it too.
    step();
    menu_named(gifin, "MODE").select(1);
    EXPECT_TRUE(s.settings_changed_flag());
    step();
    EXPECT_EQ(s.current_effect()->fired_count(), 0);
}

TEST_F(StudioRun, FineColoursAndSmallerFilesSaveTheSizeTheyTell) {
    studio& s = make_studio({write_solid_gif("a.gif", 30, 20, red),
                             write_solid_gif("b.gif", 40, 20, colour{0, 4, 2, 252})},
                            3);
    create_all();
    const std::uint32_t standard = s.size().value();
    s.set_fine_colours(true);
    EXPECT_TRUE(s.fine_colours());
    const std::uint32_t fine = s.size().value();
    EXPECT_TRUE(s.save("fine.gif"));
    EXPECT_EQ(std::filesystem::file_size("fine.gif"), fine);
    s.set_encode_options({colour_mode::standard, true});
    EXPECT_FALSE(s.fine_colours());
    const std::uint32_t optimized = s.size().value();
    EXPECT_TRUE(s.save("optimized.gif"));
    EXPECT_EQ(std::filesystem::file_size("optimized.gif"), optimized);
    EXPECT_LE(optimized, standard);
    // Back to the default, the size is the default file's again.
    s.set_encode_options({});
    EXPECT_EQ(s.size().value(), standard);
    EXPECT_TRUE(s.save("standard.gif"));
    EXPECT_EQ(std::filesystem::file_size("standard.gif"), standard);
}

std::vector<std::vector<pixel>> pixels_of_frames(const studio& s) {
    std::vector<std::vector<pixel>> all;
    for (int i = 0; i < s.stored_frames(); ++i) {
        buffer& frame = s.stored_frame(i);
        buffer_lock hold(frame);
        all.emplace_back(frame.pixels(),
                         frame.pixels() + std::size_t(frame.width()) * frame.height());
    }
    return all;
}

TEST_F(StudioRun, CaptionsGoOnEveryFrameAndComeOffLeavingThemAsMade) {
    if (!caption_font_available())
        GTEST_SKIP() << "no bold sans-serif font";
    studio& s = make_studio({write_solid_gif("a.gif", 160, 120, red)}, 3);
    create_all();
    const auto made = pixels_of_frames(s);
    ASSERT_TRUE(s.size());
    ASSERT_TRUE(s.set_captions("HELLO", "THERE"));
    EXPECT_FALSE(s.known_size()) << "the file changed";
    const auto captioned = pixels_of_frames(s);
    const pixel white = 0xFFFFFF;
    for (std::size_t i = 0; i < made.size(); ++i) {
        EXPECT_NE(captioned[i], made[i]);
        EXPECT_NE(std::count(captioned[i].begin(), captioned[i].end(), white), 0);
    }
    EXPECT_EQ(s.set_captions("A CAPTION FAR TOO LONG FOR SO SMALL A FRAME TO HOLD IN TWO LINES "
                             "EVEN AT THE SMALLEST SIZE THERE IS",
                             "")
                  .message()
                  .rfind("the caption", 0),
              0u);
    EXPECT_EQ(pixels_of_frames(s), made) << "a refused caption leaves none";
    ASSERT_TRUE(s.set_captions("", ""));
    EXPECT_EQ(pixels_of_frames(s), made);
    // New frames take the captions again.
    ASSERT_TRUE(s.set_captions("AGAIN", ""));
    create_all();
    EXPECT_NE(pixels_of_frames(s), made);
}

TEST_F(StudioRun, HoldsLengthenTheFirstFrameAndTheLastOrTheTurn) {
    studio& s = make_studio({write_solid_gif("a.gif", 30, 20, red)}, 6);
    s.animation_settings().delay().set_value(0, 0.1);
    create_all();
    using delays = std::vector<std::uint16_t>;
    EXPECT_EQ(s.frame_delays(), delays(6, 10));
    s.set_holds(1.5, 2);
    EXPECT_EQ(s.frame_delays(), (delays{150, 10, 10, 10, 10, 200}));
    s.frame_clock().loop().select(basic::CPU::forward_and_back);
    EXPECT_EQ(s.frame_delays(), (delays{150, 10, 10, 200, 10, 10}));
    s.set_holds(-1, 1e9);
    EXPECT_EQ(s.frame_delays(), (delays{10, 10, 10, 6000, 10, 10}));
    // The file holds them, and the size told is its size.
    const std::uint32_t told = s.size().value();
    ASSERT_TRUE(s.save("held.gif"));
    EXPECT_EQ(std::filesystem::file_size("held.gif"), told);
}

TEST_F(StudioRun, PreviewsAndSavesTheFramesAndKnowsTheExactSizeBeforehand) {
    studio& s = make_studio({write_solid_gif("a.gif", 30, 20, red),
                             write_solid_gif("b.gif", 30, 20, colour{0, 4, 2, 252})},
                            2);
    s.animation_settings().delay().set_value(0, 0.5);
    create_all();
    // The preview shows the next frame only when the delay has passed.
    auto shown = [&] { return get_pixel(s.canvas().image(), 1, 1); };
    EXPECT_EQ(s.next_preview_time(), 0.0);
    EXPECT_FALSE(s.preview_step(10.0)); // the first step notes the time
    EXPECT_EQ(s.next_preview_time(), 10.5);
    EXPECT_FALSE(s.preview_step(10.5)); // not more than the delay yet
    EXPECT_TRUE(s.preview_step(10.51));
    EXPECT_EQ(shown(), red);
    EXPECT_TRUE(s.preview_step(11.1));
    EXPECT_EQ(shown(), (colour{0, 4, 2, 252}));
    EXPECT_TRUE(s.preview_step(11.7)); // after the last frame comes the first
    EXPECT_EQ(shown(), red);

    EXPECT_FALSE(s.save("no/such/folder/x.gif")); // (the application's tests read the message)
    EXPECT_FALSE(s.saved());
    std::uint32_t estimate = s.size().value();
    EXPECT_TRUE(s.save("out.gif"));
    EXPECT_EQ(std::filesystem::file_size("out.gif"), estimate);
    EXPECT_EQ(s.status_text(), "Completed save of 2 frames to \"out.gif\".\n");
    EXPECT_TRUE(s.saved());
    // A change of the loop count changes the size at once: no loop
    // extension for a single play.
    s.animation_settings().loop().set_value(0, 1);
    EXPECT_EQ(s.size().value(), estimate - 19);
    EXPECT_EQ(size_report(1536), "Your GIF89 file size will be 1.5KB (1536 bytes).");

    // Measured in the background, a frame a slice: the same size, and
    // measured again after the colours change.
    s.animation_settings().loop().set_value(0, 0);
    int slices = 0;
    std::optional<std::uint32_t> measured;
    while (!(measured = s.measure_size_step(std::chrono::steady_clock::duration::zero())))
        ++slices;
    EXPECT_EQ(*measured, estimate);
    EXPECT_GE(slices, 2) << "one slice a frame";
    s.set_fine_colours(true);
    EXPECT_FALSE(s.known_size());
    EXPECT_FALSE(s.measure_size_step(std::chrono::steady_clock::duration::zero()));
    const std::uint32_t fine = s.size().value(); // ends the measuring under way
    EXPECT_EQ(s.known_size(), fine);
    EXPECT_TRUE(s.save("fine.gif"));
    EXPECT_EQ(std::filesystem::file_size("fine.gif"), fine);
}

TEST_F(StudioRun, AStillEffectForcesOneFrame) {
    studio& s = make_studio({write_solid_gif("a.gif", 30, 20, red)}, 12);
    s.select_effect(1);
    EXPECT_EQ(s.frame_count(), 1);
    s.select_effect(0);
    EXPECT_EQ(s.frame_count(), 1);
    s.select_effect(1);
    create_all();
    EXPECT_EQ(s.stored_frames(), 1);
}

pixel middle_of(buffer& b) {
    buffer_lock hold(b);
    return b.pixels()[std::size_t(b.height() / 2) * b.width() + b.width() / 2];
}

// Three solid frames shown for 10, 20 and 30 hundredths, taken whole: the
// frame count and the delays follow the picture, in a still effect too;
// more frames than it has repeat its frames and share their delays.
TEST_F(StudioRun, AnAnimatedPictureMakesItsOwnFramesWithItsOwnDelays) {
    const std::string file = testing::write_animation(
        "three.gif", 40, 30, {red, colour{0, 4, 2, 252}, colour{0, 2, 250, 4}}, {10, 20, 30});
    const testing::frames_read source = testing::read_frames(file);
    ASSERT_EQ(source.middles.size(), 3u);
    studio& s = make_studio({}, 8);
    cfg_image_in& palette = s.image_source().palette();
    ASSERT_TRUE(palette.add_animation(file, 0));
    palette.set_selected(0);
    EXPECT_EQ(s.frame_count(), 3);
    auto shown = [&] {
        std::vector<pixel> out;
        for (int i = 0; i < s.stored_frames(); ++i)
            out.push_back(middle_of(s.stored_frame(i)));
        return out;
    };
    using delays = std::vector<std::uint16_t>;
    const auto [a, b, c] = std::tuple(source.middles[0], source.middles[1], source.middles[2]);
    create_all();
    EXPECT_EQ(shown(), (std::vector<pixel>{a, b, c}));
    EXPECT_EQ(s.frame_delays(), (delays{10, 20, 30}));
    EXPECT_DOUBLE_EQ(s.next_preview_time().value_or(-1), 0.0);
    s.preview_step(1.0);
    EXPECT_DOUBLE_EQ(s.next_preview_time().value_or(-1), 1.3); // the last frame's 30

    set_frames(6);
    create_all();
    EXPECT_EQ(shown(), (std::vector<pixel>{a, a, b, b, c, c}));
    EXPECT_EQ(s.frame_delays(), (delays{5, 5, 10, 10, 15, 15}));
    s.set_holds(2, 0);
    EXPECT_EQ(s.frame_delays(), (delays{200, 5, 10, 10, 15, 15}));
    s.set_holds(0, 0);
    s.set_source_delays(false);
    s.animation_settings().delay().set_value(0, 0.25);
    EXPECT_EQ(s.frame_delays(), delays(6, 25));
    s.set_source_delays(true);

    s.select_effect(1); // still: the picture's frame count all the same
    EXPECT_EQ(s.frame_count(), 3);
    create_all();
    EXPECT_EQ(shown(), (std::vector<pixel>{a, b, c}));
    const std::uint32_t told = s.size().value();
    ASSERT_TRUE(s.save("again.gif"));
    EXPECT_EQ(std::filesystem::file_size("again.gif"), told);
    EXPECT_EQ(testing::read_frames("again.gif").delays, (delays{10, 20, 30}));

    // A still picture selected makes frames as before, timed by DELAY.
    ASSERT_TRUE(palette.add_image(write_solid_gif("still.gif", 40, 30, red), 1));
    palette.set_selected(1);
    s.select_effect(0);
    set_frames(2);
    create_all();
    EXPECT_EQ(s.frame_delays(), delays(2, 25));
}

TEST(FrameDelays, ResampledFramesKeepTheTotalTime) {
    using delays = std::vector<std::uint16_t>;
    const struct {
        const char* name;
        delays source;
        int count;
        delays made;
    } cases[] = {
        {"as many", {10, 20, 30}, 3, {10, 20, 30}},
        {"half as many sum pairs", {10, 20, 30, 40}, 2, {30, 70}},
        {"three of four", {10, 20, 30, 40}, 3, {10, 20, 70}},
        {"twice as many split", {10, 20, 30}, 6, {5, 5, 10, 10, 15, 15}},
        {"a remainder goes first", {7, 1}, 5, {3, 2, 2, 1, 0}},
        {"no frames", {10}, 0, {}},
        {"a sum beyond the field", {60000, 60000}, 1, {65535}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resample_delays(c.source, c.count), c.made) << c.name;
}

TEST_F(StudioRun, WhileFramesAreMadeEffectChoicesWaitAndALowerFrameCountEnds) {
    studio& s = make_studio({write_solid_gif("a.gif", 30, 20, red)}, 3);
    ASSERT_TRUE(s.start_construction());
    step();
    s.select_effect(1); // the still effect would force one frame
    EXPECT_EQ(s.current_effect_index(), 0);
    run(100);
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.stored_frames(), 3);
    // A frame count lowered below the frames made so far ends construction.
    set_frames(6);
    ASSERT_TRUE(s.start_construction());
    while (s.stored_frames() < 3)
        step();
    set_frames(2);
    run(1000);
    EXPECT_FALSE(s.busy());
}

// Points placed at random: every frame depends on the program's generator.
const char* scattered_effect = R"(<effect type="Standard" description="Random dots.">
  <cpu></cpu><GIFIN></GIFIN>
  <RANDOM><valuelist name=VALUE><v max=65535>65535</v></valuelist>
    <valuelist name=SIZE><v>4</v><v>4</v></valuelist><out name=OUT id=x.out></out></RANDOM>
  <RANDOM><valuelist name=VALUE><v max=65535>65535</v></valuelist>
    <valuelist name=SIZE><v>4</v><v>4</v></valuelist><out name=OUT id=y.out></out></RANDOM>
  <DOT><valuelist name=SIZE><v>4</v><v>4</v></valuelist>
    <in name=X idref=x.out></in><in name=Y idref=y.out></in></DOT>
  <GIFOUT></GIFOUT>
</effect>)";

// Each studio has a context of its own: two of them, stepped in turn, make
// the frames each makes alone.
TEST(Studios, TwoInOneProcessWorkApart) {
    data_folder folder;
    folder.write("Effects/dots.zoml", scattered_effect);
    const std::string picture = write_solid_gif("a.gif", 8, 8, red);
    auto made = [&] {
        auto s = std::make_unique<studio>();
        EXPECT_TRUE(s->load_effects());
        EXPECT_TRUE(s->image_source().palette().add_image(picture, 0));
        s->frame_clock().frames().set_value(0, 4);
        return s;
    };
    auto all_pixels = [](buffer& image) {
        buffer_lock hold(image);
        return std::vector<pixel>(image.pixels(),
                                  image.pixels() + std::size_t(image.width()) * image.height());
    };
    auto first = made(), second = made(), alone = made();
    ASSERT_TRUE(first->start_construction() && second->start_construction());
    while (first->busy() || second->busy()) {
        for (studio* s : {first.get(), second.get()}) {
            if (s->busy()) {
                ASSERT_TRUE(s->step());
            }
        }
    }
    ASSERT_TRUE(alone->start_construction());
    while (alone->busy()) {
        ASSERT_TRUE(alone->step());
    }
    ASSERT_EQ(first->stored_frames(), 4);
    for (studio* s : {second.get(), alone.get()})
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(all_pixels(s->stored_frame(i)), all_pixels(first->stored_frame(i))) << i;
}

TEST(Catalogue, ListsDirectoryFilesBeforeArchiveEntriesAndSkipsBrokenFiles) {
    data_folder folder;
    folder.write("Effects/one.zoml", still_effect);
    folder.write("Effects/two.zoml", show_effect);
    folder.write("Effects/broken.zoml", "<effect><NOPE></NOPE></effect>");
    std::string text = still_effect;
    ASSERT_TRUE(write_archive("Effects/more.rez",
                              {archive_entry{"three.zoml", {text.begin(), text.end()}}}));
    context program;
    effect_catalogue catalogue;
    std::vector<std::string> left_out = catalogue.build(program, program_factory());
    ASSERT_EQ(catalogue.count(), 3);
    EXPECT_EQ(catalogue.effect(0).desc().name, "one");
    EXPECT_EQ(catalogue.effect(1).desc().name, "two");
    EXPECT_EQ(catalogue.effect(2).file_name(), "*three.zoml");
    ASSERT_EQ(left_out.size(), 1u);
    EXPECT_NE(left_out[0].find("broken.zoml"), std::string::npos);
    EXPECT_NE(left_out[0].find("NOPE"), std::string::npos);
    EXPECT_EQ(catalogue.find("show all"), 1);
    EXPECT_EQ(catalogue.find("THREE"), 2);
}

} // namespace
} // namespace zoetra
