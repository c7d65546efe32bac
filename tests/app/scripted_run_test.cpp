// The program driven as a person drives it, without a window: a sample
// inserted through the open dialog, an effect picked on the SELECT EFFECT
// panel, Ctrl+G, Ctrl+C and Ctrl+S through the save dialog. The file must be
// the very file the renderer writes with the same settings.
#include "../cli/run_command.hpp"
#include "app/panel_host.hpp"
#include "app_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace zoetra {
namespace {

namespace fs = std::filesystem;

using ScriptedRun = testing::application_test;

TEST_F(ScriptedRun, SavesTheFileTheRendererWrites) {
    const fs::path folder = fs::path(ZOETRA_BINARY_DIR) / "test-tmp" / "scripted-run";
    fs::create_directories(folder);
    const std::string sample = std::string(ZOETRA_SOURCE_DIR) + "/samples/photo.gif";
    const std::string saved = (folder / "window.gif").string();

    start(fs::path(ZOETRA_BINARY_DIR) / "share" / "zoetra"); // the build's, as the window's
    platform_.queue_file_choice(sample);
    app_->menu_command(command_id::insert_image);
    ASSERT_EQ(app_->production().image_source().palette().count(), 1);

    // SELECT EFFECT, the ART type, its first effect.
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
    run_construction();
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
