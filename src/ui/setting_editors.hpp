#pragma once
// The editors of the text, menu and output-file settings.
#include "engine/config.hpp"
#include "engine/text_settings.hpp"
#include "ui/editors.hpp"
#include "ui/menu.hpp"
#include "ui/text_field.hpp"

#include <memory>
#include <vector>

namespace zoetra {

// Lines of text: the rectangle cut into one row per line, each a raised
// frame with its text field one pixel inside.
class text_editor : public setting_editor {
  public:
    explicit text_editor(cfg_text& setting);
    void draw() override;

    text_control& field(int i) { return *fields_[std::size_t(i)]; }
    // Row i's frame in the setting's rectangle.
    static rect row(const rect& area, int count, int i);

  protected:
    void on_idle(int x, int y) override;
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_key(int ch, int x, int y) override;
    void on_activate() override;
    void on_deactivate() override;
    void changed() override;

  private:
    // Places the fields in the setting's rectangle as it stands now.
    void lay_out();
    cfg_text& setting_;
    std::vector<std::unique_ptr<text_control>> fields_;
};

// A choice: a sunken frame with the title on top and the menu below it; a
// switch in a rectangle lower than one_row_height is one row, the title at
// the left and a tick box at the right. Keys reach the menu only while the mouse is over the
// setting, except for the effect type menu ("EFFECT TYPE"), which takes every key.
class menu_editor : public setting_editor {
  public:
    explicit menu_editor(cfg_menu& setting);
    void draw() override;

    menu_control& menu() { return menu_; }
    // Where the menu lies in the setting's rectangle: below the 12-pixel title.
    static rect menu_area(const rect& area);
    static constexpr int one_row_height = 24;

  protected:
    void on_idle(int x, int y) override;
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_key(int ch, int x, int y) override;
    void on_activate() override { menu_.show(); }
    void on_deactivate() override { menu_.hide(); }
    void changed() override;

  private:
    // Places the menu in the setting's rectangle as it stands now.
    void lay_out();
    bool in_one_row() const;
    cfg_menu& setting_;
    menu_control menu_;
};

// The output file: a button showing the file name; releasing a press on it
// asks where to save.
class output_file_editor : public setting_editor {
  public:
    explicit output_file_editor(cfg_image_out& setting);
    void draw() override;

    bool held() const { return held_; }
    // The button: the rectangle inset by 2 pixels, less 12 at the top.
    static rect button(const rect& area);

  protected:
    void on_idle(int x, int y) override;
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_command(const std::string& category, const std::string& name) override;
    void changed() override { draw(); }

  private:
    void ask_for_name();
    cfg_image_out& setting_;
    bool held_ = false;
};

} // namespace zoetra
