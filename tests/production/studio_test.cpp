#include "app/services/utility.hpp"
#include "production/studio.hpp"
#include "resources/archive_writer.hpp"
#include "studio_support.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace zoetra {
namespace {

using testing::data_folder;
using testing::write_gif;
using testing::write_solid_gif;

constexpr colour red{0, 252, 2, 4};

// The picture drawn straight into the output area, one per frame; with the
// clock on GIFIN's control, frame k shows palette image k of the frames.
const char* show_effect = R"(<effect type="Standard" description="Shows the palette.">
  <description><title>Show all</title></description>
  <cpu id="clock"><out name="CONTROL.CPU" id="clock.out"></out></cpu>
  <GIFIN id="gifin"><in name="CONTROL.GIFIN" id="gifin.control" idref="clock.out"></in></GIFIN>
  <GIFOUT id="gifout"></GIFOUT>
</effect>)";

const char* still_effect = R"(<effect type="STILL" description="One frame.">
  <description><title>Still</title></description>
  <cpu></cpu><GIFIN></GIFIN><GIFOUT></GIFOUT>
</effect>)";

class studio_test : public ::testing::Test {
  protected:
    studio_test() {
        folder_.write("Effects/a_show.zoml", show_effect);
        folder_.write("Effects/b_still.zoml", still_effect);
    }

    studio& make_studio() {
        studio_ = std::make_unique<studio>();
        EXPECT_TRUE(studio_->load_effects());
        return *studio_;
    }
    void add_images(std::initializer_list<std::string> names) {
        for (const auto& name : names)
            ASSERT_TRUE(studio_->image_source().palette().add_image(
                name, studio_->image_source().palette().count()));
    }
    void set_frames(int n) { studio_->standing("CPU").number("FRAMES.CONTROL").set_value(0, n); }
    void step() { ASSERT_TRUE(studio_->step()); }
    void create_all() {
        ASSERT_TRUE(studio_->start_construction());
        for (int n = 0; n < 10000 && studio_->busy(); ++n)
            step();
        ASSERT_FALSE(studio_->busy());
    }
    std::string save_to(const std::string& name) {
        EXPECT_TRUE(studio_->save(name));
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    data_folder folder_;
    std::unique_ptr<studio> studio_;
};

TEST_F(studio_test, StartsWithAnOutputAreaAndTheFirstEffect) {
    studio& s = make_studio();
    EXPECT_EQ(s.catalogue().count(), 2);
    EXPECT_EQ(s.current_effect_index(), 0);
    rect area = s.image().output_area();
    EXPECT_EQ(area.width, 350);
    EXPECT_EQ(area.height, 250);
    EXPECT_EQ(s.status_text(), "Shows the palette.");
    EXPECT_FALSE(s.can_create()); // an empty palette creates nothing
    EXPECT_FALSE(s.start_construction());
}

TEST_F(studio_test, CropsEveryFrameToTheUnionOfTheirBoxesAndRecentres) {
    studio& s = make_studio();
    add_images(
        {write_solid_gif("wide.gif", 100, 10, red), write_solid_gif("tall.gif", 20, 40, red)});
    set_frames(2);
    create_all();
    ASSERT_EQ(s.stored_frames(), 2);
    // Centred in 350 x 250: (125, 120, 100, 10) and (165, 105, 20, 40).
    EXPECT_EQ(s.frame_box(0), (rect{125, 120, 100, 10}));
    EXPECT_EQ(s.frame_box(1), (rect{165, 105, 20, 40}));
    EXPECT_EQ(s.stored_frame(0).width(), 100);
    EXPECT_EQ(s.stored_frame(0).height(), 40);
    rect area = s.image().output_area();
    rect work = s.image().work_area();
    EXPECT_EQ(area.width, 100);
    EXPECT_EQ(area.height, 40);
    EXPECT_EQ(area.x, work.x + work.width / 2 - 50);
    EXPECT_EQ(area.y, work.y + work.height / 2 - 20);
    // The wide image's row sits 15 rows down in the cropped first frame.
    EXPECT_EQ(get_pixel(s.stored_frame(0), 0, 15), red);
    EXPECT_EQ(get_pixel(s.stored_frame(0), 0, 14).t & 1, 1);
    EXPECT_EQ(s.status_text(), "Done. Created 2 frames.");
}

TEST_F(studio_test, NothingIsCroppedWhenTheBoxesCoverTheInnerRectangle) {
    studio& s = make_studio();
    add_images({write_solid_gif("big.gif", 330, 230, red)});
    set_frames(1);
    create_all();
    EXPECT_EQ(s.frame_box(0), (rect{10, 10, 330, 230}));
    EXPECT_EQ(s.stored_frame(0).width(), 350);
    EXPECT_EQ(s.image().output_area().width, 350);
}

TEST_F(studio_test, AnEmptyFramePreventsCropping) {
    studio& s = make_studio();
    add_images(
        {write_solid_gif("dot.gif", 10, 10, red), write_gif("empty.gif", 10, 10, [](buffer&) {})});
    set_frames(2);
    create_all();
    EXPECT_EQ(s.frame_box(1), s.image().output_area());
    EXPECT_EQ(s.stored_frame(0).width(), 350);
    EXPECT_EQ(s.stored_frame(1).height(), 250);
}

TEST_F(studio_test, CancellingAfterThreeOfTenFramesKeepsNothing) {
    studio& s = make_studio();
    add_images({write_solid_gif("dot.gif", 10, 10, red)});
    set_frames(10);
    ASSERT_TRUE(s.start_construction());
    while (s.stored_frames() < 3)
        step();
    EXPECT_EQ(s.status_text(), "Creating frame 4 of 10.");
    s.cancel_construction();
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.stored_frames(), 0);
    EXPECT_EQ(s.status_text(), "Cancel frame construction.");
    EXPECT_FALSE(s.has_frames()); // saving and sizing have nothing to work on
}

TEST_F(studio_test, ChangedSettingsRestartTheNetwork) {
    studio& s = make_studio();
    add_images({write_solid_gif("dot.gif", 10, 10, red)});
    set_frames(4);
    ASSERT_TRUE(s.start_construction());
    EXPECT_FALSE(s.settings_changed_flag());
    step();
    ASSERT_EQ(s.current_effect()->fired_count(), 1);
    s.standing("GIFIN").menu("MODE.SIZE").select(4);
    s.mark_settings_changed();
    step(); // restarts instead of stepping
    EXPECT_FALSE(s.settings_changed_flag());
    EXPECT_EQ(s.current_effect()->fired_count(), 0);
    EXPECT_TRUE(s.busy());
    // The network took the new setting.
    EXPECT_EQ(s.current_effect()->find_component("gifin").menu("MODE.SIZE").selected(), 4);
}

TEST_F(studio_test, SavesTheFramesAndKnowsTheExactSizeBeforehand) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red),
                write_solid_gif("b.gif", 30, 20, colour{0, 4, 2, 252})});
    set_frames(2);
    create_all();
    std::uint32_t estimate = s.size().value();
    std::string file = save_to("out.gif");
    EXPECT_EQ(file.size(), estimate);
    EXPECT_EQ(file.substr(0, 6), "GIF89a");
    EXPECT_EQ(file.back(), '\x3B');
    EXPECT_EQ(s.status_text(), "Completed save of 2 frames to \"out.gif\".\n");
    EXPECT_TRUE(s.saved());

    // The size stays cached, even when the delay changes, until the next Create.
    s.standing("GIFOUT").number("LOOP").set_value(0, 1);
    EXPECT_EQ(s.size().value(), estimate);
    EXPECT_EQ(size_report(1536), "Your GIF89 file size will be 1.5KB (1536 bytes).");
    create_all();
    EXPECT_EQ(s.size().value(), estimate - 19); // no loop extension for a single play
}

TEST_F(studio_test, FineColoursAndSmallerFilesSaveTheSizeTheyTell) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red),
                write_solid_gif("b.gif", 40, 20, colour{0, 4, 2, 252})});
    set_frames(3);
    create_all();
    const std::uint32_t standard = s.size().value();
    s.set_fine_colours(true);
    EXPECT_TRUE(s.fine_colours());
    const std::uint32_t fine = s.size().value();
    EXPECT_EQ(save_to("fine.gif").size(), fine);
    s.set_encode_options({colour_mode::standard, true});
    EXPECT_FALSE(s.fine_colours());
    const std::uint32_t optimized = s.size().value();
    EXPECT_EQ(save_to("optimized.gif").size(), optimized);
    EXPECT_LE(optimized, standard);
    // Back to the default, the size is the default file's again.
    s.set_encode_options({});
    EXPECT_EQ(s.size().value(), standard);
    EXPECT_EQ(save_to("standard.gif").size(), standard);
}

TEST_F(studio_test, AnUnwritableFileSaysSo) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(1);
    create_all();
    outcome saved = s.save("no/such/folder/x.gif");
    EXPECT_EQ(saved.message(), "FAILED saving GIF89 to \"no/such/folder/x.gif\".\n");
    EXPECT_FALSE(s.saved());
}

TEST_F(studio_test, ChoosingAnotherEffectWhileBusyLeavesTheRunningOneAlone) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(3);
    ASSERT_TRUE(s.start_construction());
    step();
    s.select_effect(1); // the still effect would force one frame
    EXPECT_EQ(s.current_effect_index(), 0);
    for (int n = 0; n < 100 && s.busy(); ++n)
        step();
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.stored_frames(), 3);
}

TEST_F(studio_test, LoweringTheFrameCountWhileBusyEndsConstruction) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(6);
    ASSERT_TRUE(s.start_construction());
    while (s.stored_frames() < 3)
        step();
    set_frames(2);
    for (int n = 0; n < 1000 && s.busy(); ++n)
        step();
    EXPECT_FALSE(s.busy());
}

TEST_F(studio_test, AStillEffectForcesOneFrame) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(12);
    s.select_effect(1);
    EXPECT_EQ(s.frame_count(), 1);
    s.select_effect(0);
    EXPECT_EQ(s.frame_count(), 1);
    s.select_effect(1);
    create_all();
    EXPECT_EQ(s.stored_frames(), 1);
}

TEST_F(studio_test, ThePreviewShowsTheNextFrameOnlyWhenTheDelayHasPassed) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red),
                write_solid_gif("b.gif", 30, 20, colour{0, 4, 2, 252})});
    set_frames(2);
    s.standing("GIFOUT").number("DELAY").set_value(0, 0.5);
    create_all();
    rect area = s.image().output_area();
    auto shown = [&] { return get_pixel(s.image().image(), area.x + 1, area.y + 1); };
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
}

TEST(Catalogue, ListsDirectoryFilesBeforeArchiveEntriesAndSkipsBrokenFiles) {
    data_folder folder;
    folder.write("Effects/one.zoml", still_effect);
    folder.write("Effects/two.zoml", show_effect);
    folder.write("Effects/broken.zoml", "<effect><NOPE></NOPE></effect>");
    std::string error;
    std::string text = still_effect;
    ASSERT_TRUE(write_archive("Effects/more.rez",
                              {archive_entry{"three.zoml", {text.begin(), text.end()}}}, error))
        << error;
    effect_catalogue catalogue;
    std::vector<std::string> left_out = catalogue.build(program_factory());
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

TEST(Catalogue, NoEffectAtAllIsAFailureThatSaysWhy) {
    data_folder folder;
    studio s;
    outcome loaded = s.load_effects();
    EXPECT_NE(loaded.message().find("I was unable to locate Effects for Zoetra."),
              std::string::npos);
}

} // namespace
} // namespace zoetra
