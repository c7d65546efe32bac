#pragma once
// The number slider: horizontal (a 40-pixel track with arrows either side and
// the value written after it), vertical, or a dial (a circle with a needle).
#include "ui/control.hpp"

#include <functional>
#include <string>

namespace zoetra {

// Where every part of a slider lies; computed from its rectangle and value.
struct slider_layout {
    rect track;
    rect thumb;       // empty when max <= min
    rect left_arrow;  // horizontal sliders only
    rect right_arrow; // horizontal sliders only
    rect label;       // the box behind the value label; empty for vertical sliders
    std::string label_text;
    rect dial;        // the dial's square
    int needle_x = 0; // the needle's end; the dial's centre when max <= min
    int needle_y = 0;
};

class slider_control : public control {
  public:
    slider_control(const rect& area, const surface& target, double value, double minimum,
                   double maximum, double step, bool dial = false, bool vertical = false);

    // Rounds to the step (halves away from zero), keeps to max then min;
    // when the value changed: draws and tells on_change.
    void set_value(double v);
    // Takes value and limits from elsewhere, without drawing or telling anyone.
    void assign(double value, double minimum, double maximum, double step);
    double value() const { return value_; }
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    double step() const { return step_; }
    void set_minimum(double v) { minimum_ = v; }
    void set_maximum(double v) { maximum_ = v; }
    void set_step(double v) { step_ = v; }
    bool dial() const { return dial_; }
    bool vertical() const { return vertical_; }
    bool horizontal() const { return !dial_ && !vertical_; }
    bool left_arrow_held() const { return left_held_; }
    bool right_arrow_held() const { return right_held_; }

    slider_layout layout() const;
    rect extent() const override;

    std::function<void(double)> on_change;

  protected:
    void on_idle(int x, int y) override;
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_key(int ch, int x, int y) override;
    void on_draw(buffer& target) override;

  private:
    void follow_mouse(int x, int y);
    void draw_arrow(class canvas& c, const rect& box, bool left, bool held);

    double value_;
    double minimum_;
    double maximum_;
    double step_;
    bool dial_;
    bool vertical_;
    bool left_held_ = false;
    bool right_held_ = false;
    rect drawn_thumb_{};
    rect drawn_label_{};
};

} // namespace zoetra
