#pragma once
// The panel host: the five panels with their tabs across the top of the
// window, the active one showing in the panel body.
#include "app/panels.hpp"

#include <array>
#include <memory>

namespace zoetra {

class application;

class panel_host {
  public:
    static constexpr int choose_gif = 0, select_effect = 1, settings = 2, create_save = 3, help = 4,
                         panel_count = 5;

    explicit panel_host(application& app);

    // Every panel hears every event; each acts only while active, except on commands.
    void idle(int x, int y);
    // A press on a tab selects its panel.
    void mouse_down(int x, int y, int button);
    void mouse_up(int x, int y, int button);
    // Tab and Shift+Tab select the next and the previous panel, wrapping;
    // every other key goes to every panel.
    void key(int ch, int x, int y);
    void command(const std::string& category, const std::string& name);

    // Deactivates the active panel, activates panel i and redraws it and the
    // tabs (the active tab last, over its neighbours). Selecting the active
    // panel again redraws it.
    void select(int i);
    int active() const { return active_; }
    panel& at(int i) const { return *panels_[std::size_t(i)]; }
    panel& active_panel() const { return at(active_); }
    select_effect_panel& effects() const;
    rect tab(int i) const;
    // The tab as drawn: the active one wider, the others narrower and lower.
    rect drawn_tab(int i) const;
    std::string tab_label(int i) const;
    void redraw_active();
    void draw_tabs();

  private:
    void draw_tab(int i);

    application& app_;
    std::array<std::unique_ptr<panel>, panel_count> panels_;
    int active_ = 0;
};

} // namespace zoetra
