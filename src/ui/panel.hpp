#pragma once
// A panel: a rectangle of the window that shows settings and forwards the
// events to their editors. Panels own the editors, not the settings.
#include "engine/config.hpp"
#include "engine/description.hpp"
#include "ui/editors.hpp"
#include "ui/event.hpp"

#include <memory>
#include <string>
#include <vector>

namespace zoetra {

class panel {
  public:
    panel(const surface& target, const rect& area, std::string title);
    virtual ~panel() = default;
    panel(const panel&) = delete;
    panel& operator=(const panel&) = delete;

    // Forwarding: idle and keys reach the children only while the panel is
    // active; presses and releases set and clear the mouse-held flag first;
    // commands reach the children whether or not the panel is active.
    virtual void idle(int x, int y);
    virtual void mouse_down(int x, int y, int button);
    virtual void mouse_up(int x, int y, int button);
    virtual void key(int ch, int x, int y);
    virtual void command(const std::string& category, const std::string& name);
    // When active: ui_mid over the panel, every child refreshed, the
    // panel's own contents, the groove along its bottom, and presented.
    virtual void redraw();
    // Shows every child; deactivate hides them.
    virtual void activate();
    virtual void deactivate();

    // Shows the setting in area, with an editor of its kind made for it (a
    // kind without one is not shown).
    void add(config& setting, const rect& area);
    setting_editor& child(int i) const { return *children_[std::size_t(i)]; }
    int count() const { return static_cast<int>(children_.size()); }
    // Forgets every editor; the settings stay.
    void clear() { children_.clear(); }

    bool active() const { return active_; }
    bool mouse_held() const { return mouse_held_; }
    const rect& area() const { return area_; }
    buffer* target() const { return target_.image; }
    const surface& where() const { return target_; }
    description& desc() { return description_; }
    const description& desc() const { return description_; }
    const std::string& title() const { return description_.title; }

  protected:
    // What the panel draws besides its children.
    virtual void draw_contents() = 0;

  private:
    surface target_;
    rect area_;
    bool active_ = false;
    bool mouse_held_ = false;
    description description_;
    std::vector<std::unique_ptr<setting_editor>> children_;
};

} // namespace zoetra
