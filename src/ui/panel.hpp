#pragma once
// A panel: a rectangle of the window that holds settings and forwards the
// events to them. Panels do not own the settings they list.
#include "engine/config.hpp"
#include "engine/description.hpp"
#include "ui/event.hpp"

#include <string>
#include <vector>

namespace zoetra {

class panel {
  public:
    panel(buffer* target, const rect& area, std::string title);
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

    void add(config& child);
    config& child(int i) const { return *children_[i]; }
    int count() const { return static_cast<int>(children_.size()); }
    // Empties the list; the children are not destroyed.
    void clear() { children_.clear(); }

    bool active() const { return active_; }
    bool mouse_held() const { return mouse_held_; }
    const rect& area() const { return area_; }
    buffer* target() const { return target_; }
    description& desc() { return description_; }
    const description& desc() const { return description_; }
    const std::string& title() const { return description_.title; }

  protected:
    // What the panel draws besides its children.
    virtual void draw_contents() = 0;

  private:
    buffer* target_;
    rect area_;
    bool active_ = false;
    bool mouse_held_ = false;
    description description_;
    std::vector<config*> children_;
};

} // namespace zoetra
