#pragma once
// The five panels of the window, in tab order: the GIF palette, the effect
// selection, the current effect's settings, the output settings with the
// Create and Save buttons, and the help pages.
#include "engine/text_settings.hpp"
#include "ui/panel.hpp"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace zoetra {

class application;
class script;

// CHOOSE A GIF: the GIF palette of the standing GIFIN component.
class choose_gif_panel : public panel {
  public:
    choose_gif_panel(application& app, const rect& body);

  protected:
    void draw_contents() override {}
};

// SELECT EFFECT: the effect type menu and a row of 50 x 50 buttons, one per
// effect of the selected type.
class select_effect_panel : public panel {
  public:
    select_effect_panel(application& app, const rect& body);

    void idle(int x, int y) override;
    void mouse_down(int x, int y, int button) override;
    void key(int ch, int x, int y) override;
    void command(const std::string& category, const std::string& name) override;

    cfg_menu& type_menu() { return type_; }
    // The catalogue indices of the effects of the selected type, in order.
    std::vector<int> effects_of_type() const;
    // Effect k's button (none when it does not fit the panel body).
    struct button {
        int effect;
        rect area;
    };
    std::vector<button> buttons();

  protected:
    void draw_contents() override;

  private:
    application& app_;
    cfg_menu type_;
    rect list_;
    // Effects already reported as not fitting, so each is reported once.
    std::set<int> reported_;
};

// (S)ETTINGS: the current effect's public settings, placed anew on every activation.
class settings_panel : public panel {
  public:
    settings_panel(application& app, const rect& body);
    void activate() override;

  protected:
    void draw_contents() override;

  private:
    // The settings of the current effect that this panel shows, placed.
    void place_settings(script& effect);
    application& app_;
};

// CREATE & SAVE: the output settings and the Create and Save buttons. From
// the left: DELAY, LOOP and FRAMES; DIRECTION; GIF89 SIZE; the frame size
// (a named size or a width and height of one's own, whether smaller pictures
// are enlarged, and the frame that results); FIT UNDER with its limit, the
// exact size of the file and the fit's quality; the buttons at the right.
class create_save_panel : public panel {
  public:
    static constexpr int button_x = 566;

    create_save_panel(application& app, const rect& body);
    void redraw() override;
    void idle(int x, int y) override;
    void mouse_down(int x, int y, int button) override;
    void mouse_up(int x, int y, int button) override;
    void key(int ch, int x, int y) override;

    rect create_button() const;
    rect save_button() const;
    bool create_held() const { return create_held_; }
    bool save_held() const { return save_held_; }

    // The frame size controls: "FRAME SIZE" (a named size, or "W x H" for
    // WIDTH x HEIGHT, where a side of 0 follows the picture's aspect and two
    // leave the frame to the effect) and "ENLARGE". Each change goes to the
    // studio at once.
    cfg_menu& frame_size_menu() { return frame_size_; }
    cfg_FP64& frame_width() { return width_; }
    cfg_FP64& frame_height() { return height_; }
    cfg_menu& enlarge_switch() { return enlarge_; }
    // "FIT UNDER": off, a limit in KB, or the one typed in "KB".
    cfg_menu& fit_menu() { return fit_menu_; }
    cfg_FP64& fit_kilobytes() { return fit_kb_; }
    // The exact size and the fit's figures, as they stand now.
    void draw_figures();

  protected:
    void draw_contents() override;

  private:
    // Shows and hides the settings by the current effect's type and class.
    void apply_visibility();
    void draw_buttons();
    void draw_frame_size();
    // The menu or a typed side changed: the other follows, then the studio.
    void frame_menu_changed();
    void typed_side_changed();
    void tell_studio();
    void fit_menu_changed();
    void typed_limit_changed();
    void tell_fit_limit();
    void tell_holds();
    void tell_captions();

    application& app_;
    cfg_menu frame_size_;
    cfg_FP64 width_;
    cfg_FP64 height_;
    cfg_menu enlarge_;
    cfg_menu fit_menu_;
    cfg_FP64 fit_kb_;
    cfg_FP64 hold_first_;
    cfg_FP64 hold_last_;
    cfg_text captions_;
    std::vector<config::observation> observations_;
    // Set while the panel writes the fields itself, so that they do not echo.
    bool syncing_ = false;
    bool caption_shown_ = true;
    // DELAY as last seen.
    double shown_delay_ = 0;
    // The editors of DELAY, LOOP, FRAMES, DIRECTION and GIF89 SIZE, then
    // FRAME SIZE, WIDTH, HEIGHT, ENLARGE, FIT UNDER, KB, HOLD FIRST, HOLD
    // LAST and CAPTION, in that order.
    enum shown_setting {
        delay,
        loop,
        frames,
        direction,
        size,
        hold_first = 11,
        hold_last,
        caption,
        setting_count
    };
    setting_editor& editor(shown_setting which) { return child(which); }
    bool create_held_ = false;
    bool save_held_ = false;
};

// HELP/ABOUT: five pages over the panel body and the work area.
class help_panel : public panel {
  public:
    help_panel(application& app, const rect& body);
    void mouse_down(int x, int y, int button) override;
    void key(int ch, int x, int y) override;
    int page() const { return page_; }
    void turn(int by);

  protected:
    void draw_contents() override;

  private:
    int page_ = 1;
};

} // namespace zoetra
