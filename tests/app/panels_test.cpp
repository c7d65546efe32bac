// The window's shell: its menus, tabs and panels, driven by events.
#include "app/panel_host.hpp"
#include "app_support.hpp"
#include "base/utility.hpp"
#include "raster/draw.hpp"
#include "ui/number_editor.hpp"
#include "ui/setting_editors.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace zoetra {
namespace {

std::string effect(const std::string& type, const std::string& title, const std::string& body = "",
                   const std::string& class_words = "") {
    return "<effect type=\"" + type + "\" class=\"" + class_words + "\" description=\"" + title +
           " effect.\"><description><title>" + title + "</title></description>" +
           "<cpu></cpu><GIFIN></GIFIN>" + body + "<GIFOUT></GIFOUT></effect>";
}

class Shell : public testing::application_test {
  protected:
    const menu_item& effects_menu() {
        menus_ = app_->menus();
        return menus_.menus[1];
    }
    const menu_item& file_item(int id) {
        menus_ = app_->menus();
        for (const menu_item& item : menus_.menus[0].items)
            if (item.id == id)
                return item;
        throw std::runtime_error("no such item");
    }

    menu_bar menus_;
};

TEST_F(Shell, TheEffectsMenuFillsTheSubmenusByTypeIgnoringCase) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    folder_.write("Effects/b.zoml", effect("wave", "Two"));
    folder_.write("Effects/c.zoml", effect("Sideways", "Three"));
    start();
    const menu_item& effects = effects_menu();
    ASSERT_EQ(effects.items.size(), 4u);
    EXPECT_EQ(effects.items[0].items.size(), 1u);
    EXPECT_EQ(effects.items[0].items[0].text, "One");
    EXPECT_EQ(effects.items[0].items[0].id, 1);
    EXPECT_TRUE(effects.items[0].items[0].checked);
    EXPECT_EQ(effects.items[1].items[0].id, 2);
    for (int t : {2, 3}) {
        ASSERT_EQ(effects.items[std::size_t(t)].items.size(), 1u);
        EXPECT_EQ(effects.items[std::size_t(t)].items[0].text, "None available");
        EXPECT_EQ(effects.items[std::size_t(t)].items[0].id, command_id::none_available + t);
        EXPECT_FALSE(effects.items[std::size_t(t)].items[0].enabled);
    }
    app_->menu_command(2);
    EXPECT_EQ(app_->production().current_effect_index(), 1);
    EXPECT_TRUE(effects_menu().items[1].items[0].checked);
    EXPECT_FALSE(effects_menu().items[0].items[0].checked);
}

TEST_F(Shell, OnlyTheFirstSixtyFourEffectsAreReachableFromTheMenu) {
    for (int i = 1; i <= 70; ++i)
        folder_.write(format("Effects/e%02d.zoml", i), effect("Standard", format("E%d", i)));
    start();
    EXPECT_EQ(effects_menu().items[0].items.size(), 70u);
    app_->menu_command(64);
    EXPECT_EQ(app_->production().current_effect_index(), 63);
    for (int id = 65; id <= 70; ++id)
        app_->menu_command(id);
    EXPECT_EQ(app_->production().current_effect_index(), 63);
}

TEST_F(Shell, TheFileMenuGreysWhatCannotBeDone) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    EXPECT_FALSE(file_item(command_id::remove_image).enabled);
    EXPECT_FALSE(file_item(command_id::create).enabled);
    EXPECT_FALSE(file_item(command_id::save).enabled);
    add_image();
    EXPECT_TRUE(file_item(command_id::remove_image).enabled);
    palette().set_selected(1); // the empty slot
    EXPECT_FALSE(file_item(command_id::remove_image).enabled);
    EXPECT_FALSE(file_item(command_id::create).enabled);
    palette().set_selected(0);
    EXPECT_TRUE(file_item(command_id::create).enabled);
    app_->handle(input_event::named_key(key_name::tab)); // Remove needs the palette's panel
    EXPECT_FALSE(file_item(command_id::remove_image).enabled);
    key(keys::ctrl_g);
    run_construction();
    EXPECT_TRUE(file_item(command_id::save).enabled);
    EXPECT_EQ(file_item(command_id::create).keys, (accelerator{accelerator::key::letter, 'g'}));
    // Fine Colours is checked when on (the studio's tests save what it makes).
    EXPECT_FALSE(file_item(command_id::fine_colours).checked);
    app_->menu_command(command_id::fine_colours);
    EXPECT_TRUE(file_item(command_id::fine_colours).checked);
    EXPECT_TRUE(app_->production().fine_colours());
    app_->menu_command(command_id::fine_colours);
    EXPECT_FALSE(app_->production().fine_colours());
}

TEST_F(Shell, TabsWrapBothWaysAndAClickOnTheActiveTabKeepsIt) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    panel_host& host = app_->panels();
    app_->handle(input_event::named_key(key_name::tab, true));
    EXPECT_EQ(host.active(), panel_host::help);
    app_->handle(input_event::named_key(key_name::tab));
    EXPECT_EQ(host.active(), panel_host::choose_gif);
    const rect tab = host.tab(panel_host::create_save);
    click(tab.x + 3, 5);
    EXPECT_EQ(host.active(), panel_host::create_save);
    click(tab.x + 3, 5);
    EXPECT_TRUE(host.active_panel().active());
    EXPECT_EQ(host.drawn_tab(panel_host::create_save), (rect{388, 0, 134, 20}));
    EXPECT_EQ(host.drawn_tab(panel_host::choose_gif), (rect{0, 1, 129, 19}));
    EXPECT_EQ(host.tab_label(panel_host::settings), "ONE"); // the current effect's title
}

TEST_F(Shell, DeleteRemovesTheSelectedImageOnThePalettePanel) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    add_image();
    add_image();
    palette().set_selected(1);
    app_->handle(input_event::named_key(key_name::delete_key));
    EXPECT_EQ(palette().count(), 1);
    app_->menu_command(command_id::remove_image);
    EXPECT_EQ(palette().count(), 1); // the selection is the empty slot now
}

TEST_F(Shell, SevenPublicSlidersFillTwoColumnsAndNoneSaySo) {
    std::string seven; // public number settings: the value of seven constants
    for (int i = 0; i < 7; ++i)
        seven += format("<INTEGER1><valuelist name=\"VALUE\" scope=\"public\" title=\"V%d\">"
                        "<v>1</v></valuelist></INTEGER1>",
                        i);
    folder_.write("Effects/a.zoml", effect("Standard", "Seven", seven));
    folder_.write("Effects/b.zoml", effect("Standard", "None"));
    start();
    app_->panels().select(panel_host::settings);
    panel& settings = app_->panels().active_panel();
    ASSERT_EQ(settings.count(), 7);
    const rect body = app_->frame().panel_body();
    for (int k = 0; k < 7; ++k) {
        const rect expected{std::int16_t(body.x + 5 + (k / 5) * 212),
                            std::int16_t(body.y + 3 + (k % 5) * 14), 212, 14};
        EXPECT_EQ(settings.child(k).area(), expected) << k;
    }
    app_->menu_command(2); // an effect without public settings says so in the body
    EXPECT_EQ(settings.count(), 0);
    buffer_lock hold(app_->frame().image());
    bool text = false;
    for (int x = body.x + 200; x < body.x + 450; ++x)
        text = text || get_pixel(app_->frame().image(), std::int16_t(x),
                                 std::int16_t(body.y + 38)) == colour{0, 0, 0, 0};
    EXPECT_TRUE(text);
}

// A click on another effect type must show that type's buttons at once, not
// at the next full redraw (they once waited for the mouse to move).
TEST_F(Shell, ClickingAnotherTypeShowsThatTypesButtonsAtOnce) {
    folder_.write("Effects/a.zoml", effect("Standard", "Alpha"));
    folder_.write("Effects/b.zoml", effect("Wave", "Bravo"));
    folder_.write("Effects/c.zoml", effect("Art", "Charlie"));
    start();
    panel_host& host = app_->panels();
    host.select(panel_host::select_effect);
    select_effect_panel& effects = host.effects();
    const rect row = rect_between(effects.area().x + 115, effects.area().y + 14,
                                  effects.area().right(), effects.area().y + 64);
    auto shown = [&] {
        buffer& image = app_->frame().image();
        buffer_lock hold(image);
        std::vector<colour> found;
        for (int y = row.y; y < row.bottom(); ++y)
            for (int x = row.x; x < row.right(); ++x)
                found.push_back(get_pixel(image, std::int16_t(x), std::int16_t(y)));
        return found;
    };
    const rect menu = menu_editor::menu_area(effects.child(0).area());
    const int row_height = menu.height / 4;
    for (int type : {1, 0, 2, 3, 0}) {
        click(menu.x + 10, menu.y + row_height * type + row_height / 2);
        ASSERT_EQ(effects.type_menu().selected(), type);
        const std::vector<colour> after_the_click = shown();
        effects.redraw();
        EXPECT_EQ(after_the_click, shown()) << "type " << type;
    }
}

TEST_F(Shell, AStillEffectHidesTheAnimationSettings) {
    folder_.write("Effects/a.zoml", effect("Standard", "Moving"));
    folder_.write("Effects/b.zoml", effect("Still", "Still", "", "one_size"));
    folder_.write("Effects/c.zoml", effect("Standard", "Constant", "", "constant_frames"));
    folder_.write("Effects/d.zoml", effect("Art", "Both", "", " one_size\tCONSTANT_FRAMES"));
    start();
    panel_host& host = app_->panels();
    host.select(panel_host::create_save);
    panel& create = host.active_panel();
    auto shown = [&] {
        std::string titles;
        for (int i = 0; i < create.count(); ++i)
            if (create.child(i).visible())
                titles += create.child(i).setting().desc().title + ";";
        return titles;
    };
    // GIF89 SIZE shows only for effects that read the working size, which
    // none of these does: the caption stands in its place.
    const std::string frame = "FRAME;WIDTH;HEIGHT;ENLARGE;FIT UNDER;KB;";
    const std::string holds = "HOLD FIRST;HOLD LAST;", caption = "CAPTION;";
    EXPECT_EQ(shown(), "DELAY;LOOP;FRAMES;DIRECTION;" + frame + holds + caption);
    app_->menu_command(2);
    EXPECT_EQ(shown(), frame + caption);
    app_->menu_command(3);
    EXPECT_EQ(shown(), "DELAY;LOOP;FRAMES;" + frame + holds + caption);
    // A class holds several words, each of which hides its setting.
    app_->menu_command(4);
    EXPECT_EQ(shown(), "DELAY;LOOP;FRAMES;" + frame + holds + caption);
    app_->menu_command(3);
    // The type menu followed the effect's type.
    EXPECT_EQ(host.effects().type_menu().selected_name(), "STANDARD");
    app_->menu_command(2);
    EXPECT_EQ(host.effects().type_menu().selected_name(), "STILL");
    host.select(panel_host::select_effect);
    ASSERT_EQ(host.effects().buttons().size(), 1u);
    EXPECT_EQ(host.effects().buttons()[0].effect, 1);
}

TEST_F(Shell, TheEleventhEffectOfATypeDoesNotFitAndIsReported) {
    for (int i = 0; i < 11; ++i)
        folder_.write(format("Effects/w%d.zoml", 10 + i), effect("Wave", format("W%d", i)));
    start();
    ::testing::internal::CaptureStderr();
    app_->panels().select(panel_host::select_effect);
    auto buttons = app_->panels().effects().buttons();
    const std::string warning = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(buttons.size(), 10u);
    EXPECT_EQ(buttons[9].area, (rect{565, 34, 50, 50}));
    EXPECT_EQ(warning, "WARNING: Could not fit script \"w20\"\n");
    ::testing::internal::CaptureStderr();
    app_->panels().effects().buttons(); // said once
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    // Keys step through the type's effects, stopping at the ends.
    key('.');
    EXPECT_EQ(app_->production().current_effect_index(), 1);
    for (int i = 0; i < 3; ++i)
        key(',');
    EXPECT_EQ(app_->production().current_effect_index(), 0);
}

TEST_F(Shell, TheHelpPagesTurnWithTheArrowsAndKeys) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    app_->panels().select(panel_host::help);
    auto& help = static_cast<help_panel&>(app_->panels().active_panel());
    EXPECT_EQ(help.page(), 1);
    click(620, 430);
    EXPECT_EQ(help.page(), 2);
    click(25, 440);
    click(25, 440);
    EXPECT_EQ(help.page(), 5);
    key('.');
    EXPECT_EQ(help.page(), 1);
    key(',');
    EXPECT_EQ(help.page(), 5);
    click(300, 300); // elsewhere
    EXPECT_EQ(help.page(), 5);
}

TEST_F(Shell, TheCreateAndSaveButtonsFollowWhatCanBeDone) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    app_->panels().select(panel_host::create_save);
    auto& create = static_cast<create_save_panel&>(app_->panels().active_panel());
    const rect c = create.create_button(), s = create.save_button();
    EXPECT_EQ(c, (rect{566, 27, 79, 29}));
    click(c.x + 5, c.y + 5); // "(Insert GIF)": nothing to create
    EXPECT_EQ(app_->mode(), application::mode_editing);
    add_image();
    palette().set_selected(0);
    app_->handle(input_event::mouse(input_event::kind::mouse_down, c.x + 5, c.y + 5));
    EXPECT_TRUE(create.create_held());
    app_->handle(input_event::mouse(input_event::kind::mouse_move, c.x - 5, c.y + 5));
    EXPECT_FALSE(create.create_held()); // moved off: released
    app_->handle(input_event::mouse(input_event::kind::mouse_up, c.x - 5, c.y + 5));
    EXPECT_EQ(app_->mode(), application::mode_editing);
    click(s.x + 5, s.y + 5); // no frames: no Save button
    EXPECT_TRUE(platform_.dialog_titles().empty());
    click(c.x + 5, c.y + 5);
    EXPECT_EQ(app_->mode(), application::mode_creating);
    run_construction();
    ASSERT_TRUE(app_->production().has_frames());
    ASSERT_TRUE(create.active());
    click(s.x + 5, s.y + 5);
    ASSERT_FALSE(platform_.dialog_titles().empty());
    EXPECT_EQ(platform_.dialog_titles().back(), "Please tell me where to save");
}

TEST_F(Shell, TheFrameSizeControlsChooseTheFrameAndALargeOneIsPreviewedScaled) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    add_image(); // 30 x 20
    palette().set_selected(0);
    app_->panels().select(panel_host::create_save);
    auto& create = static_cast<create_save_panel&>(app_->panels().active_panel());
    studio& production = app_->production();
    EXPECT_FALSE(production.chosen_size().chosen());
    auto type_into = [&](cfg_FP64& side, const std::string& digits) {
        for (int i = 0; i < create.count(); ++i)
            if (&create.child(i).setting() == &side) {
                const rect field = static_cast<number_editor&>(create.child(i)).field()->area();
                EXPECT_GE(field.width, 32) << "four digits fit";
                click(field.x + 3, field.y + 3);
                for (char ch : digits)
                    key(ch);
                key(keys::enter);
            }
    };
    type_into(create.frame_width(), "1280");
    EXPECT_EQ(production.chosen_size(), (size_choice{1280, 0}));
    EXPECT_EQ(create.frame_size_menu().selected_name(), "W x H");
    EXPECT_EQ(production.frame_size(), (gif_size{1280, 853})); // the picture's aspect
    type_into(create.frame_height(), "720");
    EXPECT_EQ(production.frame_size(), (gif_size{1280, 720}));
    // A named size fills the fields; a side below 16 is raised to it.
    create.frame_size_menu().select(0);
    EXPECT_EQ(production.chosen_size(), (size_choice{128, 128}));
    EXPECT_EQ(create.frame_width().value(0), 128);
    type_into(create.frame_width(), "5");
    EXPECT_EQ(production.chosen_size(), (size_choice{16, 128}));
    type_into(create.frame_width(), "0");
    type_into(create.frame_height(), "0");
    EXPECT_FALSE(production.chosen_size().chosen());
    create.enlarge_switch().select(1);
    EXPECT_TRUE(production.enlarges());

    // 1280 x 720 is made whole and shown scaled to fit the 650 x 351 work area.
    type_into(create.frame_width(), "1280");
    type_into(create.frame_height(), "720");
    app_->file_command("create");
    run_construction();
    EXPECT_FALSE(production.frames_outdated());
    const rect area = production.canvas().output_area();
    EXPECT_EQ(area.width, 1280);
    EXPECT_EQ(area.height, 720);
    EXPECT_EQ(app_->output_rect(), (rect{13, 96, 624, 351}));
    EXPECT_NE(app_->status_text().find("scaled"), std::string::npos) << app_->status_text();
    // Another size marks the frames made to be created again.
    create.frame_size_menu().select(0);
    EXPECT_TRUE(production.frames_outdated());
    EXPECT_NE(app_->status_text().find("create the frames again"), std::string::npos);
}

TEST_F(Shell, TheExactSizeAndTheFitAreWorkedOutBetweenEventsAndSaveWritesTheFit) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    add_image();
    palette().set_selected(0);
    app_->panels().select(panel_host::create_save);
    auto& create = static_cast<create_save_panel&>(app_->panels().active_panel());
    studio& production = app_->production();
    app_->file_command("create");
    run_construction();
    // Ticks, each a short slice, until the size is known.
    while (app_->tick(now_ += 0.001).busy) {
    }
    ASSERT_TRUE(production.known_size());
    const std::uint32_t whole = *production.known_size();
    EXPECT_EQ(production.size().value(), whole);

    create.fit_menu().select(1); // 128K: the file fits as it is
    EXPECT_EQ(create.fit_kilobytes().value(0), 128);
    EXPECT_EQ(production.fit_limit(), 128u * 1024);
    while (app_->tick(now_ += 0.001).busy) {
    }
    ASSERT_TRUE(production.fit_result());
    ASSERT_TRUE(production.fit_result()->fits);
    EXPECT_NE(app_->status_text().find("Fitted under 128 KB"), std::string::npos)
        << app_->status_text();
    const std::uint32_t fitted = production.fit_result()->measure.bytes;
    EXPECT_EQ(production.known_size(), fitted);
    EXPECT_TRUE(production.save("fitted.gif"));
    EXPECT_EQ(std::filesystem::file_size("fitted.gif"), fitted);

    // A typed limit is fitted anew; turning the fit off brings the coding back.
    create.fit_kilobytes().set_value(0, 2);
    EXPECT_EQ(create.fit_menu().selected_name(), "KB");
    EXPECT_EQ(production.fit_limit(), 2048u);
    EXPECT_FALSE(production.fit_result());
    while (app_->tick(now_ += 0.001).busy) {
    }
    EXPECT_NE(app_->status_text().find("Fitted under 2 KB"), std::string::npos);
    // Fine Colours chosen meanwhile leaves the fit alone and holds after it.
    production.set_fine_colours(true);
    EXPECT_EQ(production.fit_limit(), 2048u);
    create.fit_menu().select(0);
    EXPECT_EQ(production.fit_limit(), 0u);
    gif_encode_options fine;
    fine.colours = colour_mode::fine;
    EXPECT_EQ(production.encode_options(), fine);
}

TEST_F(Shell, UnsavedFramesAreDiscardedOnlyWhenThePersonAgrees) {
    folder_.write("Effects/a.zoml", effect("Standard", "One"));
    start();
    int exits = 0;
    app_->on_exit = [&] { ++exits; };
    app_->menu_command(command_id::exit);
    EXPECT_EQ(exits, 1); // nothing to lose: no question
    add_image();
    palette().set_selected(0);
    key(keys::ctrl_g);
    run_construction();
    app_->menu_command(command_id::exit);
    EXPECT_EQ(exits, 1);
    platform_.queue_answer(true);
    app_->menu_command(command_id::exit);
    EXPECT_EQ(exits, 2);
    EXPECT_EQ(platform_.questions().size(), 2u);
    platform_.queue_file_choice("saved.gif");
    key(keys::ctrl_s);
    EXPECT_TRUE(app_->may_exit());
    app_->menu_command(command_id::about);
    app_->menu_command(command_id::licence);
    EXPECT_EQ(platform_.texts_shown(),
              (std::vector<std::string>{"About Zoetra", "License Agreement"}));
}

} // namespace
} // namespace zoetra
