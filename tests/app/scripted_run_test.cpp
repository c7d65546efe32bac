// The program driven as a person drives it, without a window: a sample
// inserted through the open dialog, an effect picked on the SELECT EFFECT
// panel, Ctrl+G, Ctrl+C and Ctrl+S through the save dialog. The file must be
// the very file the renderer writes with the same settings.
#include "app/application.hpp"
#include "app/panel_host.hpp"
#include "app/services/process_state.hpp"
#include "production/data_directory.hpp"

#include "../cli/run_command.hpp"
#include "../production/studio_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace zoetra {
namespace {

namespace fs = std::filesystem;

class ScriptedRun : public ::testing::Test {
  protected:
    ScriptedRun() {
        reset_process_state();
        install_platform(&platform_); // the fixture's platform, installed before the reset
    }
    ~ScriptedRun() override { install_platform(nullptr); }
    void key(int ch) { app_->handle(input_event::typed(std::string(1, char(ch)))); }
    void click(int x, int y) {
        app_->handle(input_event::mouse(input_event::kind::mouse_down, x, y));
        app_->handle(input_event::mouse(input_event::kind::mouse_up, x, y));
    }

    // The build's data folder, as the window uses it.
    const fs::path data_ = fs::path(ZOETRA_BINARY_DIR) / "share" / "zoetra";
    testing::quiet_platform platform_;
    std::unique_ptr<application> app_;
};

TEST_F(ScriptedRun, SavesTheFileTheRendererWrites) {
    const fs::path folder = fs::path(ZOETRA_BINARY_DIR) / "test-tmp" / "scripted-run";
    fs::create_directories(folder);
    const std::string sample = std::string(ZOETRA_SOURCE_DIR) + "/samples/photo.gif";
    const std::string saved = (folder / "window.gif").string();

    app_ = std::make_unique<application>(data_);
    ASSERT_TRUE(app_->start());
    platform_.queue_file_choice(sample);
    app_->menu_command(command_id::insert_image);
    ASSERT_EQ(app_->production().image_source().palette().count(), 1);

    // SELECT EFFECT, the WAVE type (keys go to the type menu), its first effect.
    click(int(app_->panels().tab(panel_host::select_effect).x) + 5, 5);
    select_effect_panel& effects = app_->panels().effects();
    effects.type_menu().select_by_name("ART");
    const auto buttons = effects.buttons();
    ASSERT_FALSE(buttons.empty());
    click(buttons[0].area.x + 10, buttons[0].area.y + 10);
    const std::string effect = app_->production().current_effect()->desc().name;
    EXPECT_EQ(app_->production().current_effect_index(), buttons[0].effect);

    click(int(app_->panels().tab(panel_host::settings).x) + 5, 5);
    click(int(app_->panels().tab(panel_host::create_save).x) + 5, 5);
    key(keys::ctrl_g);
    double now = 0;
    while (app_->tick(now += 0.001).busy) {
    }
    key(keys::ctrl_c);
    ASSERT_EQ(platform_.messages().size(), 1u);
    platform_.queue_file_choice(saved);
    key(keys::ctrl_s);
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_NE(platform_.messages()[0].text.find(std::to_string(fs::file_size(saved)) + " bytes"),
              std::string::npos);

    const std::string rendered = (folder / "renderer.gif").string();
    const auto r =
        testing::run(testing::renderer() + " -q -e " + effect + " -o " + rendered + " " + sample);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing::read_file(saved), testing::read_file(rendered)) << effect;
}

} // namespace
} // namespace zoetra
