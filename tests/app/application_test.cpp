// The application: start-up, creating, cancelling, saving and the preview's
// timing, driven by events and explicit times.
#include "../support/animations.hpp"
#include "app/window_parts.hpp"
#include "app_support.hpp"
#include "engine/lookup.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace zoetra {
namespace {

const char* failing_effect = R"(<effect type="Standard" description="Never starts.">
  <cpu></cpu><GIFIN></GIFIN><TEST_FAIL_PREPARE></TEST_FAIL_PREPARE><GIFOUT></GIFOUT>
</effect>)";

class Application : public testing::application_test {
  protected:
    Application() {
        folder_.write("Effects/a_show.zoml", testing::show_effect);
        folder_.write("Effects/b_failing.zoml", failing_effect);
    }
    void set_frames(int n) {
        number_named(app_->production().standing("CPU"), "FRAMES.CONTROL").set_value(0, n);
    }
};

TEST_F(Application, StartsWithTheWholeWindowDamagedAndTheEffectsLoaded) {
    application& app = start();
    EXPECT_EQ(app.frame().take_damage(), (std::vector<rect>{{0, 0, 650, 465}}));
    EXPECT_EQ(app.production().catalogue().count(), 2);
    EXPECT_EQ(app.status_text(), "Shows the palette.");
    // A new status line damages the status line only.
    set_status("Something else.");
    EXPECT_EQ(app.frame().take_damage(), (std::vector<rect>{app.frame().status_line()}));
}

TEST_F(Application, ControlGCreatesAndBackspaceCancels) {
    application& app = start();
    add_image();
    set_frames(3);
    key(keys::ctrl_g);
    EXPECT_EQ(app.mode(), application::mode_creating);
    EXPECT_TRUE(app.tick(now_).busy);
    key(keys::backspace);
    EXPECT_EQ(app.mode(), application::mode_editing);
    EXPECT_EQ(app.status_text(), "Cancel frame construction.");
    key(keys::ctrl_g);
    run_construction();
    EXPECT_EQ(app.production().stored_frames(), 3);
    EXPECT_EQ(app.status_text(), "Done. Created 3 frames.");
}

TEST_F(Application, TheCancelButtonCancelsOnlyWhenReleasedOnIt) {
    application& app = start();
    add_image();
    set_frames(5);
    key(keys::ctrl_g);
    const rect b = cancel_button;
    press(b.x + 2, b.y + 2);
    release(b.x - 20, b.y + 2);
    EXPECT_EQ(app.mode(), application::mode_creating);
    press(b.x + 2, b.y + 2);
    release(b.x + 3, b.y + 3);
    EXPECT_EQ(app.mode(), application::mode_editing);
    EXPECT_EQ(app.production().stored_frames(), 0);
}

TEST_F(Application, SaveAsksForTheFileAndCalculateReportsTheSize) {
    application& app = start();
    add_image();
    set_frames(2);
    key(keys::ctrl_s); // no frames yet: no dialog
    EXPECT_TRUE(platform_.dialog_titles().empty());
    key(keys::ctrl_g);
    run_construction();

    key(keys::ctrl_c);
    ASSERT_EQ(platform_.messages().size(), 1u);
    EXPECT_EQ(platform_.messages()[0].caption, "GIF89 file size");
    const std::uint32_t size = app.production().size().value();
    EXPECT_EQ(platform_.messages()[0].text, size_report(size));

    key(keys::ctrl_s); // cancelled: nothing written, nothing said
    EXPECT_EQ(platform_.dialog_titles().back(), "Please tell me where to save");
    EXPECT_EQ(platform_.messages().size(), 1u);
    platform_.queue_file_choice("k.gif");
    app.file_command("save");
    EXPECT_EQ(std::filesystem::file_size("k.gif"), size);
    platform_.queue_file_choice("no/such/folder/x.gif");
    key(keys::ctrl_s);
    const std::string path = (std::filesystem::current_path() / "no/such/folder/x.gif").string();
    EXPECT_EQ(platform_.messages().back().text,
              "FAILED saving GIF89 to \"" + path + "\".\n\"" + path +
                  "\" cannot be created: " + "no such file or directory");
}

TEST_F(Application, AnEffectThatFailsToStartSaysWhyAndStaysInEditing) {
    application& app = start();
    add_image();
    app.production().select_effect(1);
    key(keys::ctrl_g);
    EXPECT_EQ(app.mode(), application::mode_editing);
    ASSERT_EQ(platform_.messages().size(), 1u);
    EXPECT_EQ(platform_.messages()[0].caption, "Error");
    EXPECT_EQ(platform_.messages()[0].text.rfind("Script failed to startup because", 0), 0u);
}

TEST_F(Application, ThePreviewWakesWhenItsNextFrameIsDueAndOnlyWhileTheMouseRests) {
    application& app = start();
    add_image();
    set_frames(2);
    number_named(app.production().standing("GIFOUT"), "DELAY").set_value(0, 0.25);
    EXPECT_EQ(app.tick(now_).at, std::nullopt); // no frames: nothing to wake for
    key(keys::ctrl_g);
    run_construction();
    app.tick(now_ = 200); // the mouse rested: the preview notes the time
    EXPECT_EQ(app.tick(now_).at, 200.25);
    app.handle(input_event::mouse(input_event::kind::mouse_move, 5, 5));
    // The mouse moved since the last tick: no preview step.
    EXPECT_EQ(app.tick(now_ = 201).at, 200.25);
    EXPECT_EQ(app.tick(now_).at, 201.25); // resting again
}

// A dropped animated GIF asks which frames to take; a still one asks nothing.
TEST_F(Application, ADroppedAnimationIsTakenAsItsFirstFrameOrEveryFrameAsChosen) {
    application& app = start();
    const std::string moving = testing::write_animation(
        "moving.gif", 6, 5, {testing::red, colour{0, 4, 2, 252}}, {10, 20});
    const std::string still = testing::write_solid_gif("still.gif", 4, 4, testing::red);
    platform_.queue_choice(1);
    app.insert_files({moving, still, moving}); // the second answer: none left, the first frame
    EXPECT_EQ(platform_.questions().size(), 2u);
    ASSERT_EQ(palette().count(), 3);
    EXPECT_EQ(
        std::tuple(palette().animated_at(0), palette().animated_at(1), palette().animated_at(2)),
        std::tuple(true, false, false));
    EXPECT_EQ(app.production().frame_count(), 2);
    EXPECT_TRUE(platform_.messages().empty());
}

TEST(DroppedFiles, AddressesAndPathsOneALine) {
    EXPECT_EQ(dropped_paths("file:///home/a%20b/x.gif\r\n/tmp/y.gif\n\nfile:///z%2.gif"),
              (std::vector<std::string>{"/home/a b/x.gif", "/tmp/y.gif", "/z%2.gif"}));
    EXPECT_TRUE(dropped_paths("").empty());
}

} // namespace
} // namespace zoetra
