#pragma once
// The editor of the GIF palette: a strip of thumbnails with a scroll bar and
// its arrows, the insert and remove buttons, and the selected image's size.
#include "components/io/image_palette.hpp"
#include "ui/editors.hpp"

#include <string>
#include <vector>

namespace zoetra {

// Inserts the picture at path into the palette at position, as Insert and
// dropped files do: of an animated GIF the person chooses the first frame
// (a still picture) or every frame (one animated entry).
outcome insert_picture(cfg_image_in& palette, const std::string& path, int position);

// The title of the dialog that Insert opens.
inline constexpr const char* open_dialog_title =
    "Please select your input picture (GIF, PNG or JPEG)";

// Where every part of the palette editor lies, from its rectangle, the image
// count and the scroll fraction.
struct palette_layout {
    int cell = 0; // cell height
    rect strip;   // the thumbnail strip
    rect insert_button;
    rect remove_button;
    int visible_slots = 0; // slots that fit the strip
    int slot_width = 0;
    int shown_slots = 0;   // slots drawn: all that fit, or the images and the empty slot
    int first_visible = 0; // the palette position of the first slot shown
    rect scroll_bar;       // between the arrows when there are any
    rect left_arrow;       // empty when every slot fits
    rect right_arrow;
    rect size_label;
    // Shown slot i (0 is the first visible position).
    rect slot(int i) const;
};
palette_layout layout_palette(const rect& area, int image_count, double fraction);

class palette_editor : public setting_editor {
  public:
    explicit palette_editor(cfg_image_in& palette);
    void draw() override;

    palette_layout layout() const;
    double fraction() const { return fraction_; }
    bool insert_held() const { return insert_held_; }
    bool remove_held() const { return remove_held_; }
    bool scroll_dragged() const { return scroll_dragged_; }

  protected:
    void on_idle(int x, int y) override;
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_key(int ch, int x, int y) override;
    void on_command(const std::string& category, const std::string& name) override;
    void changed() override { draw(); }

  private:
    // Asks for a file and inserts it at the selected position; a refusal is shown.
    void insert();
    void remove_selected();
    void scroll_by(int direction);
    void draw_button(class canvas& c, const rect& box, const char* skin, const char* label,
                     bool held);
    std::string size_text();
    // The picture in the slot's box: reduced with the filter when it is larger.
    void draw_thumbnail(class canvas& c, const std::string& name, const rect& box);

    cfg_image_in& palette_;
    double fraction_ = 0;
    bool insert_held_ = false;
    bool remove_held_ = false;
    bool scroll_dragged_ = false;
    // The selected image's size, measured once per name.
    std::string measured_name_;
    gif_size measured_size_;
};

} // namespace zoetra
