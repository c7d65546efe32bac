#pragma once
// The editor of a number setting: one slider per value (a dial for settings
// made with the dial flag), or, for a setting made with the text flag, one
// text field in which the number is typed and taken on Enter or on a click.
#include "engine/config.hpp"
#include "ui/editors.hpp"
#include "ui/slider.hpp"
#include "ui/text_field.hpp"

#include <memory>
#include <vector>

namespace zoetra {

// Where row i's control and title lie in the setting's rectangle.
struct number_row {
    rect control;
    rect title;
};
std::vector<number_row> number_editor_layout(const rect& area, int count, bool text_field,
                                             bool dial);

class number_editor : public setting_editor {
  public:
    explicit number_editor(cfg_FP64& setting);
    void draw() override;

    slider_control& slider(int i) { return *sliders_[std::size_t(i)]; }
    text_control* field() { return field_.get(); }

  protected:
    void on_idle(int x, int y) override;
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_key(int ch, int x, int y) override;
    void on_activate() override;
    void on_deactivate() override;
    void changed() override;

  private:
    // Takes the field's text as value 0 and writes the value back into it.
    void commit();
    void show_value_in_field();
    void sync_controls();
    // Places the controls in the setting's rectangle as it stands now.
    void lay_out();
    // Where the controls may draw: the rectangle, and room for the slider labels.
    rect bounds() const;

    cfg_FP64& setting_;
    std::vector<std::unique_ptr<slider_control>> sliders_;
    std::unique_ptr<text_control> field_;
};

} // namespace zoetra
