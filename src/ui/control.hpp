#pragma once
// The base of every control. A control has a rectangle in window
// coordinates, a target image it draws into, a visible flag (a hidden control
// ignores every event and draws nothing) and a pressed flag (set while a
// press that began on it lasts). Each concrete control computes its layout
// in one function that both its hit-testing and its drawing use.
#include "base/geometry.hpp"
#include "raster/buffer.hpp"
#include "ui/surface.hpp"

namespace zoetra {

class control {
  public:
    explicit control(const rect& area = {}, const surface& target = {})
        : area_(area), target_(target) {}
    virtual ~control() = default;
    control(const control&) = delete;
    control& operator=(const control&) = delete;

    // The mouse position, on every idle tick and after every mouse event.
    void idle(int x, int y) {
        if (visible_)
            on_idle(x, y);
    }
    void mouse_down(int x, int y, int button) {
        if (visible_)
            on_mouse_down(x, y, button);
    }
    void mouse_up(int x, int y, int button) {
        if (visible_)
            on_mouse_up(x, y, button);
    }
    // A typed character (the toolkit's key codes) with the mouse position.
    void key(int ch, int x, int y) {
        if (visible_)
            on_key(ch, x, y);
    }
    // Redraws when visible and placed.
    void refresh() { draw(); }
    void draw() {
        if (visible_ && !area_.is_null() && target_.image != nullptr)
            on_draw(*target_.image);
    }

    void show() { visible_ = true; }
    void hide() { visible_ = false; }
    bool visible() const { return visible_; }
    bool pressed() const { return pressed_; }
    const rect& area() const { return area_; }
    void set_area(const rect& r) { area_ = r; }
    buffer* target() const { return target_.image; }
    skin_cache* skins() const { return target_.skins; }
    void set_target(const surface& target) { target_ = target; }
    // Where the control may draw: its rectangle unless it says otherwise.
    virtual rect extent() const { return area_; }
    // An outer bound for drawing, such as the setting the control belongs to
    // (null: none).
    void set_bounds(const rect& r) { bounds_ = r; }
    // The extent, kept to the bounds.
    rect drawing_area() const {
        return bounds_.is_null() ? extent() : intersection(extent(), bounds_);
    }

  protected:
    virtual void on_idle(int, int) {}
    virtual void on_mouse_down(int, int, int) {}
    virtual void on_mouse_up(int, int, int) {}
    virtual void on_key(int, int, int) {}
    virtual void on_draw(buffer& target) = 0;
    void set_pressed(bool flag) { pressed_ = flag; }

  private:
    rect area_;
    rect bounds_{};
    surface target_;
    bool visible_ = false;
    bool pressed_ = false;
};

// Mouse coordinates above 10,000 count as 0: the window system reports
// positions left of or above the window that way while the mouse is held.
inline int window_coordinate(int v) {
    return v > 10000 || v < 0 ? 0 : v;
}

// The label format of a value by its step: "%.0f" for steps of 1 or more,
// "%.1f" down to 0.1, "%.2f" below.
std::string format_for_step(double value, double step);

} // namespace zoetra
