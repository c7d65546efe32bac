#include "components/io/image_palette.hpp"
#include "engine/text_settings.hpp"
#include "ui/editors.hpp"
#include "ui/number_editor.hpp"
#include "ui/palette_editor.hpp"
#include "ui/setting_editors.hpp"
#include "ui_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace zoetra {
namespace {

using testing::ui_test;
using testing::write_solid_gif;

class Editors : public ui_test {
  protected:
    void type(config& setting, const std::string& text, int x, int y) {
        for (char ch : text)
            editor_of(setting).key(ch, x, y);
    }
};

TEST_F(Editors, TheNumberFieldTakesTypedTextOnEnterAndOnAClick) {
    cfg_FP64 frames(nullptr, "FRAMES", true, 1.0, {{8, 1, 32, 1}}, false, true);
    place(frames, rect{0, 0, 200, 20});
    text_control& field = *view_of<number_editor>(frames).field();
    EXPECT_EQ(field.text(), "8");
    editor_of(frames).draw();
    const rect box = field.area();
    EXPECT_EQ(box, (rect{150, 2, 46, 16}));
    editor_of(frames).mouse_down(box.x + 2, box.y + 2, 1);
    type(frames, "12abc", 0, 0);
    editor_of(frames).key(13, 0, 0);
    EXPECT_EQ(frames.value(0), 12);
    EXPECT_EQ(field.text(), "12");
    EXPECT_FALSE(field.editing());
    editor_of(frames).mouse_down(box.x + 2, box.y + 2, 1);
    type(frames, "abc", 0, 0);
    editor_of(frames).mouse_down(300, 300, 1); // a click commits too
    EXPECT_EQ(frames.value(0), 1);             // no number: 0, kept to the minimum
    EXPECT_EQ(field.text(), "1");
    frames.set_value(0, 30);       // a value set elsewhere shows in the field
    EXPECT_EQ(field.text(), "30"); // (written as a slider's label is)
}

TEST_F(Editors, NumberSettingsGetARowPerValue) {
    const rect area{10, 20, 212, 60};
    const auto three = number_editor_layout(area, 3, false, false);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0].control, (rect{139, 21, 80, 18}));
    EXPECT_EQ(three[1].title, (rect{10, 40, 120, 20}));

    // Sliders move with the layout; each row repeats the title.
    cfg_FP64 size(nullptr, "SIZE", true, 1.0, {{1, 0, 9, 1}, {2, 0, 9, 1}, {3, 0, 9, 1}});
    place(size, area).draw();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(view_of<number_editor>(size).slider(i).area(), three[std::size_t(i)].control);
    // Dragging slider 1 sets value 1.
    slider_control& middle = view_of<number_editor>(size).slider(1);
    editor_of(size).mouse_down(middle.area().x + 1, middle.area().y + 2, 1);
    editor_of(size).idle(middle.area().x + 40, middle.area().y + 2);
    editor_of(size).mouse_up(0, 0, 1);
    EXPECT_EQ(size.value(1), 9);
    EXPECT_EQ(size.value(0), 1);
}

TEST_F(Editors, MenusTakeKeysOnlyUnderTheMouseExceptTheEffectType) {
    cfg_menu loop(nullptr, "LOOP", true, 1.0, {"A", "B", "C"}, 2);
    place(loop, rect{10, 10, 70, 60});
    editor_of(loop).key('2', 300, 300);
    EXPECT_EQ(loop.selected(), 2);
    editor_of(loop).key('2', 20, 30);
    EXPECT_EQ(loop.selected(), 0); // from the last to the first
    cfg_menu type(nullptr, "TYPE", true, 1.0, {"STANDARD", "WAVE", "ART", "STILL"}, 1);
    type.desc().title = "EFFECT TYPE";
    place(type, rect{100, 10, 83, 72});
    editor_of(type).key('2', 300, 300);
    EXPECT_EQ(type.selected(), 2);
    // A press on a row (of 15, under the title) selects it; the setting follows
    // the menu and the other way round.
    editor_of(type).mouse_down(110, 22 + 15 * 3 + 2, 1);
    EXPECT_EQ(type.selected(), 3);
    type.select(0);
    EXPECT_EQ(view_of<menu_editor>(type).menu().selected(), 0);
}

TEST_F(Editors, TextLinesGetEqualRowsAndTypingReachesTheSetting) {
    cfg_text lines(nullptr, "TEXTIN", true, 1.0, {"one", "two", "three"});
    place(lines, rect{10, 10, 200, 60}).draw();
    EXPECT_EQ(text_editor::row(rect{10, 10, 200, 60}, 3, 1), (rect{10, 30, 200, 20}));
    EXPECT_EQ(view_of<text_editor>(lines).field(1).area(), (rect{11, 31, 198, 18}));
    editor_of(lines).mouse_down(50, 35, 1);
    type(lines, "2", 0, 0);
    EXPECT_EQ(lines.text_at(1), "2");
    EXPECT_EQ(lines.text_at(0), "one");
    lines.set_text_at("ONE", 0);
    EXPECT_EQ(view_of<text_editor>(lines).field(0).text(), "ONE");
}

TEST_F(Editors, TheOutputFileButtonAsksWhenReleasedOnIt) {
    cfg_image_out out(nullptr, "GIFOUT", true, 1.0, "my.gif");
    const rect area{10, 10, 120, 40};
    place(out, area).draw();
    const rect b = output_file_editor::button(area);
    EXPECT_EQ(b, (rect{12, 24, 116, 24}));
    editor_of(out).mouse_down(b.x + 1, b.y + 1, 1);
    editor_of(out).idle(0, 0); // moved off: released, nothing asked
    editor_of(out).mouse_up(0, 0, 1);
    EXPECT_TRUE(platform.dialog_titles().empty());
    platform.queue_file_choice("there.gif");
    editor_of(out).mouse_down(b.x + 1, b.y + 1, 1);
    editor_of(out).mouse_up(b.x + 1, b.y + 1, 1);
    EXPECT_EQ(platform.dialog_titles().back(), "Please tell me where to save");
    EXPECT_EQ(out.file_name(), (std::filesystem::current_path() / "there.gif").string());
    editor_of(out).command("file", "save"); // cancelled: the name stays
    EXPECT_TRUE(out.name_chosen());
    EXPECT_EQ(out.file_name(), (std::filesystem::current_path() / "there.gif").string());
}

class PaletteEditor : public Editors {
  protected:
    // A colour at the centre of a cell of the writer's colour reduction, so it survives.
    static constexpr colour red{0, 252, 2, 4};
    PaletteEditor() : gif_(write_solid_gif("a.gif", 30, 20, red)) {
        place(images_, rect{3, 33, 645, 60});
    }
    palette_editor& view() { return view_of<palette_editor>(images_); }
    void fill(int n) {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(images_.add_image(gif_, images_.count()));
    }
    void click(const rect& r) {
        editor_of(images_).mouse_down(r.x + 1, r.y + 1, 1);
        editor_of(images_).mouse_up(r.x + 1, r.y + 1, 1);
    }

    std::string gif_;
    cfg_image_in images_{nullptr, "GIFIN", true, 1.0};
};

TEST_F(PaletteEditor, InsertAtTheEmptySlotAppendsAndAFullPaletteSaysSo) {
    fill(3);
    images_.set_selected(3);
    platform.queue_file_choice(gif_);
    click(view().layout().insert_button);
    EXPECT_EQ(platform.dialog_titles().back(),
              "Please select your input picture (GIF, PNG or JPEG)");
    ASSERT_EQ(images_.count(), 4);
    EXPECT_EQ(images_.name_at(3), (std::filesystem::current_path() / "a.gif").string());

    folder.write("not.gif", "nothing");
    platform.queue_file_choice("not.gif");
    editor_of(images_).command("file", "insert");
    EXPECT_EQ(platform.messages().back().text,
              "\"" + (std::filesystem::current_path() / "not.gif").string() +
                  "\" is not a GIF, PNG or JPEG picture");
    EXPECT_EQ(images_.count(), 4);

    fill(28);
    platform.queue_file_choice(gif_);
    click(view().layout().insert_button); // the dialog still opens
    EXPECT_EQ(platform.dialog_titles().size(), 3u);
    EXPECT_EQ(platform.messages().back().text, palette_full_message);
    EXPECT_EQ(images_.count(), 32);
}

TEST_F(PaletteEditor, MovingOffAPressedButtonCancelsIt) {
    fill(2);
    const rect insert = view().layout().insert_button;
    editor_of(images_).mouse_down(insert.x + 1, insert.y + 1, 1);
    EXPECT_TRUE(view().insert_held());
    editor_of(images_).idle(insert.x - 5, insert.y + 1);
    EXPECT_FALSE(view().insert_held());
    editor_of(images_).mouse_up(insert.x - 5, insert.y + 1, 1);
    EXPECT_TRUE(platform.dialog_titles().empty());
    const rect remove = view().layout().remove_button;
    editor_of(images_).mouse_down(remove.x + 1, remove.y + 1, 1);
    editor_of(images_).mouse_up(remove.x + 1, remove.y + 1, 1);
    EXPECT_EQ(images_.count(), 1);
}

TEST_F(PaletteEditor, TheArrowsAndTheBarScroll) {
    fill(20);
    click(view().layout().right_arrow);
    EXPECT_DOUBLE_EQ(view().fraction(), 9.0 / 21);
    EXPECT_EQ(view().layout().first_visible, 4); // (20 - 12 + 2) x 9/21, truncated
    click(view().layout().left_arrow);
    EXPECT_EQ(view().fraction(), 0);
    const rect bar = view().layout().scroll_bar;
    editor_of(images_).mouse_down(bar.x + 5, bar.y + 2, 1);
    editor_of(images_).idle(bar.right() + 50, bar.y);
    EXPECT_EQ(view().layout().first_visible, 9);
    editor_of(images_).idle(bar.x - 30, bar.y); // left of the bar: the first position shows
    EXPECT_EQ(view().layout().first_visible, 0);
    editor_of(images_).mouse_up(0, 0, 1);
    EXPECT_FALSE(view().scroll_dragged());
    // A slot press selects the position it shows.
    click(view().layout().slot(2));
    EXPECT_EQ(images_.selected(), 2);
}

TEST_F(PaletteEditor, SelectionKeysStopAtBothEndsAndDeleteRemoves) {
    fill(5);
    editor_of(images_).key(',', 0, 0);
    EXPECT_EQ(images_.selected(), 0);
    for (int i = 0; i < 7; ++i)
        editor_of(images_).key('.', 0, 0);
    EXPECT_EQ(images_.selected(), 5); // the empty slot
    EXPECT_DOUBLE_EQ(view().fraction(), 1.0);
    editor_of(images_).key(127, 0, 0); // Delete on the empty slot does nothing
    EXPECT_EQ(images_.count(), 5);
    editor_of(images_).key(28, 0, 0);
    editor_of(images_).key(127, 0, 0);
    EXPECT_EQ(images_.count(), 4); // the selection is the empty slot again
    editor_of(images_).key(28, 0, 0);
    editor_of(images_).key(8, 0, 0);
    EXPECT_EQ(images_.count(), 3);
}

TEST_F(PaletteEditor, TheOpenDialogRemembersItsFolderAndRestoresTheCurrentDirectory) {
    namespace fs = std::filesystem;
    const fs::path here = fs::current_path();
    fs::create_directories("pictures");
    const std::string inside = write_solid_gif("pictures/b.gif", 8, 8, colour{0, 1, 2, 3});
    set_first_dialog_folder((here / "pictures").string());
    platform.queue_file_choice("b.gif"); // relative to where the dialog starts
    editor_of(images_).command("file", "insert");
    EXPECT_EQ(platform.dialog_folders().back(), (here / "pictures").string());
    EXPECT_EQ(fs::current_path(), here);
    ASSERT_EQ(images_.count(), 1);
    EXPECT_EQ(images_.name_at(0), (here / "pictures" / "b.gif").string());
    platform.queue_file_choice((here / "a.gif").string());
    editor_of(images_).command("file", "insert");
    EXPECT_EQ(platform.dialog_folders().back(), (here / "pictures").string());
    EXPECT_EQ(images_.count(), 2);
    editor_of(images_).command("file", "insert"); // starts where the last file was chosen
    EXPECT_EQ(platform.dialog_folders().back(), here.string());
    EXPECT_EQ(fs::current_path(), here);
    set_first_dialog_folder("");
}

TEST_F(PaletteEditor, DrawsTheSelectedSlotSunkenAndThumbnails) {
    fill(1);
    editor_of(images_).draw();
    const rect first = view().layout().slot(0), empty = view().layout().slot(1);
    EXPECT_EQ(shown(first.x, first.y), ui_dark); // selected: sunken
    EXPECT_EQ(shown(empty.x, empty.y), ui_highlight);
    EXPECT_EQ(shown(first.x + 10, first.y + 10), red); // the thumbnail
    EXPECT_EQ(presented.back(), editor_of(images_).area());
    // The size of the selected picture is written under the strip; the empty
    // slot has none to tell.
    const rect label = view().layout().size_label;
    auto written = [&] {
        int inked = 0;
        for (int y = label.y; y < label.bottom(); ++y)
            for (int x = label.x; x < label.right(); ++x)
                inked += shown(x, y) != shown(label.x, label.y);
        return inked;
    };
    EXPECT_GT(written(), 0);
    images_.set_selected(1);
    editor_of(images_).draw();
    EXPECT_EQ(written(), 0);
}

} // namespace
} // namespace zoetra
