#include "app/services/utility.hpp"
#include "production/studio.hpp"
#include "resources/archive_writer.hpp"
#include "studio_support.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

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
        return *studio_;
    }
    void add_images(std::initializer_list<std::string> names) {
        for (const auto& name : names)
            ASSERT_TRUE(studio_->image_source().palette().add_image(
                name, studio_->image_source().palette().count()));
    }
    void set_frames(int n) { studio_->standing("CPU").number("FRAMES.CONTROL").set_value(0, n); }
    void create_all() {
        ASSERT_TRUE(studio_->start_construction());
        for (int step = 0; step < 10000 && studio_->busy(); ++step)
            studio_->idle(0, 0);
        ASSERT_FALSE(studio_->busy());
    }
    std::string save_to(const std::string& name) {
        platform_.queue_file_choice(name);
        EXPECT_TRUE(studio_->save());
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    data_folder folder_;
    testing::quiet_platform platform_;
    std::unique_ptr<studio> studio_;
};

TEST_F(studio_test, StartsWithTheWelcomeAnOutputAreaAndTheFirstEffect) {
    studio& s = make_studio();
    EXPECT_EQ(s.catalogue().count(), 2);
    EXPECT_EQ(s.current_effect_index(), 0);
    rect area = s.image().output_area();
    EXPECT_EQ(area.width, 350);
    EXPECT_EQ(area.height, 250);
    EXPECT_EQ(platform_.status_lines().front(), "Welcome to Zoetra.");
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
        s.idle(0, 0);
    EXPECT_EQ(s.status_text(), "Creating frame 4 of 10.");
    s.key(8, 0, 0);
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.stored_frames(), 0);
    EXPECT_EQ(s.status_text(), "Cancel frame construction.");
    // Saving and sizing have nothing to work on.
    s.key(19, 0, 0);
    EXPECT_TRUE(platform_.dialog_titles().empty());
}

TEST_F(studio_test, TheCancelButtonCancelsOnlyWhenReleasedOnIt) {
    studio& s = make_studio();
    add_images({write_solid_gif("dot.gif", 10, 10, red)});
    set_frames(5);
    ASSERT_TRUE(s.start_construction());
    rect b = studio::cancel_button;
    s.mouse_down(b.x + 2, b.y + 2, 1);
    s.mouse_up(b.x - 20, b.y + 2, 1);
    EXPECT_TRUE(s.busy());
    s.mouse_down(b.x + 2, b.y + 2, 1);
    s.mouse_up(b.x + 3, b.y + 3, 1);
    EXPECT_FALSE(s.busy());
}

TEST_F(studio_test, ChangedSettingsRestartTheNetwork) {
    studio& s = make_studio();
    add_images({write_solid_gif("dot.gif", 10, 10, red)});
    set_frames(4);
    ASSERT_TRUE(s.start_construction());
    EXPECT_FALSE(s.settings_changed_flag());
    s.idle(0, 0);
    ASSERT_EQ(s.current_effect()->fired_count(), 1);
    s.standing("GIFIN").menu("MODE.SIZE").select(4);
    EXPECT_TRUE(s.settings_changed_flag());
    s.idle(0, 0); // restarts instead of stepping
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
    std::uint32_t estimate = s.size();
    std::string file = save_to("out.gif");
    EXPECT_EQ(file.size(), estimate);
    EXPECT_EQ(file.substr(0, 6), "GIF89a");
    EXPECT_EQ(file.back(), '\x3B');
    EXPECT_EQ(platform_.dialog_titles().back(), "Please tell me where to save");
    EXPECT_EQ(s.status_text(), "Completed save of 2 frames to \"out.gif\".\n");
    EXPECT_TRUE(s.saved());

    // The size stays cached, even when the delay changes, until the next Create.
    s.standing("GIFOUT").number("LOOP").set_value(0, 1);
    EXPECT_EQ(s.size(), estimate);
    s.show_size();
    EXPECT_EQ(platform_.messages().back().caption, "GIF89 file size");
    EXPECT_EQ(platform_.messages().back().text, size_report(estimate));
    EXPECT_EQ(size_report(1536), "Your GIF89 file size will be 1.5KB (1536 bytes).");
    create_all();
    EXPECT_EQ(s.size(), estimate - 19); // no loop extension for a single play
}

TEST_F(studio_test, ACancelledDialogSavesNothingAndAnUnwritableFileSaysSo) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(1);
    create_all();
    platform_.queue_file_choice(std::nullopt);
    EXPECT_FALSE(s.save());
    EXPECT_TRUE(platform_.messages().empty());
    platform_.queue_file_choice("no/such/folder/x.gif");
    EXPECT_FALSE(s.save());
    ASSERT_FALSE(platform_.messages().empty());
    EXPECT_EQ(platform_.messages().back().text,
              "FAILED saving GIF89 to \"no/such/folder/x.gif\".\n");
    EXPECT_FALSE(s.saved());
}

TEST_F(studio_test, ChoosingAnotherEffectWhileBusyLeavesTheRunningOneAlone) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(3);
    ASSERT_TRUE(s.start_construction());
    s.idle(0, 0);
    s.select_effect(1); // the still effect would force one frame
    EXPECT_EQ(s.current_effect_index(), 0);
    for (int step = 0; step < 100 && s.busy(); ++step)
        s.idle(0, 0);
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(s.stored_frames(), 3);
}

TEST_F(studio_test, LoweringTheFrameCountWhileBusyEndsConstruction) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(6);
    ASSERT_TRUE(s.start_construction());
    while (s.stored_frames() < 3)
        s.idle(0, 0);
    set_frames(2);
    for (int step = 0; step < 1000 && s.busy(); ++step)
        s.idle(0, 0);
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

TEST_F(studio_test, KeysAndCommandsDriveCreateSaveAndSize) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red)});
    set_frames(2);
    s.key(7, 0, 0); // Ctrl+G
    EXPECT_TRUE(s.busy());
    s.key(19, 0, 0); // ignored while busy
    while (s.busy())
        s.idle(0, 0);
    s.command("file", "calculate");
    EXPECT_EQ(platform_.messages().back().caption, "GIF89 file size");
    platform_.queue_file_choice("k.gif");
    s.key(19, 0, 0);
    EXPECT_TRUE(std::filesystem::exists("k.gif"));
}

TEST_F(studio_test, ThePreviewPlaysTheFramesWhileTheMouseRests) {
    studio& s = make_studio();
    add_images({write_solid_gif("a.gif", 30, 20, red),
                write_solid_gif("b.gif", 30, 20, colour{0, 4, 2, 252})});
    set_frames(2);
    s.standing("GIFOUT").number("DELAY").set_value(0, 0);
    create_all();
    rect area = s.image().output_area();
    auto shown = [&] { return get_pixel(s.image().image(), area.x + 1, area.y + 1); };
    s.idle(5, 5);
    s.idle(5, 5); // the first resting tick notes the time
    std::vector<colour> seen;
    for (int i = 0; i < 1000 && seen.size() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        s.idle(5, 5);
        if (seen.empty() || !(shown() == seen.back()))
            seen.push_back(shown());
    }
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], seen[2]);
    EXPECT_FALSE(seen[0] == seen[1]);
}

TEST(Catalogue, ListsDirectoryFilesBeforeArchiveEntriesAndSkipsBrokenFiles) {
    data_folder folder;
    testing::quiet_platform platform;
    folder.write("Effects/one.zoml", still_effect);
    folder.write("Effects/two.zoml", show_effect);
    folder.write("Effects/broken.zoml", "<effect><NOPE></NOPE></effect>");
    std::string error;
    std::string text = still_effect;
    ASSERT_TRUE(write_archive("Effects/more.rez",
                              {archive_entry{"three.zoml", {text.begin(), text.end()}}}, error))
        << error;
    ::testing::internal::CaptureStderr();
    effect_catalogue catalogue;
    catalogue.build(program_factory());
    std::string complaints = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(catalogue.count(), 3);
    EXPECT_EQ(catalogue.effect(0).desc().name, "one");
    EXPECT_EQ(catalogue.effect(1).desc().name, "two");
    EXPECT_EQ(catalogue.effect(2).file_name(), "*three.zoml");
    EXPECT_NE(complaints.find("broken.zoml"), std::string::npos);
    EXPECT_NE(complaints.find("NOPE"), std::string::npos);
    EXPECT_EQ(catalogue.find("show all"), 1);
    EXPECT_EQ(catalogue.find("THREE"), 2);
}

TEST(CatalogueDeathTest, NoEffectAtAllEndsTheProgram) {
    data_folder folder;
    EXPECT_EXIT(
        {
            effect_catalogue catalogue;
            catalogue.build(program_factory());
        },
        ::testing::ExitedWithCode(255), "I was unable to locate Effects for Zoetra.");
}

} // namespace
} // namespace zoetra
