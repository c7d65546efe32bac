#pragma once
// A choice among up to eight items: a list of rows, or, for a two-item menu
// made as a switch, one disc that a click flips (a tick box where the
// rectangle is too small for the disc and its label).
#include "ui/control.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

class menu_control : public control {
  public:
    static constexpr int max_items = 8;
    // A switch drawn in a smaller square than this is a tick box.
    static constexpr int disc_side = 20;

    // The labels start as copies of the names; switch mode needs two items.
    menu_control(const rect& area, const surface& target, const std::vector<std::string>& names,
                 int selected = 0, bool switch_mode = false);

    // 255 (one below 0) selects the last item and an index at or past the
    // count the first, so stepping wraps both ways. A change draws and
    // tells on_change.
    void select(int index);
    // Selects the last item whose name equals s ignoring case; false when none does.
    bool select_by_name(std::string_view s);
    // Takes a selection from elsewhere, without drawing or telling anyone.
    void assign(int index);
    int selected() const { return selected_; }
    const std::string& selected_name() const { return items_[selected_].name; }
    int count() const { return static_cast<int>(items_.size()); }
    const std::string& label(int i) const { return items_[i].label; }
    void set_label(int i, std::string text);
    bool switch_mode() const { return switch_mode_; }
    // Rows are this high (the rectangle's height over the item count unless set).
    void set_row_height(int height) { row_height_ = height; }
    int row_height() const;

    // The row of each item, in list mode.
    rect row(int i) const;

    std::function<void(int)> on_change;

  protected:
    void on_idle(int x, int y) override;
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_key(int ch, int x, int y) override;
    void on_draw(buffer& target) override;

  private:
    struct item {
        std::string name;
        std::string label;
    };
    void select_row_at(int y);
    void draw_switch(class canvas& c);

    std::vector<item> items_;
    int selected_ = 0;
    int row_height_ = 0;
    bool switch_mode_;
};

} // namespace zoetra
