#pragma once
// The on-screen editors of the config kinds. An editor holds the config it
// shows, hears of its changes, and has the rectangle, the surface and the
// visibility the config itself knows nothing of. A panel that shows a config
// makes its editor and forwards the events to it.
#include "engine/config.hpp"
#include "ui/surface.hpp"

#include <memory>
#include <string>

namespace zoetra {

class setting_editor {
  public:
    virtual ~setting_editor();
    setting_editor(const setting_editor&) = delete;
    setting_editor& operator=(const setting_editor&) = delete;

    config& setting() const { return setting_; }
    const rect& area() const { return area_; }
    void set_area(const rect& r) { area_ = r; }
    buffer* target() const { return surface_.image; }
    skin_cache* skins() const { return surface_.skins; }
    const surface& where() const { return surface_; }
    void set_surface(const surface& where) { surface_ = where; }
    bool visible() const { return visible_; }

    // Events, acted on only while the editor is shown, except commands.
    void idle(int x, int y);
    void mouse_down(int x, int y, int button);
    void mouse_up(int x, int y, int button);
    void key(int ch, int x, int y);
    void command(const std::string& category, const std::string& name) {
        on_command(category, name);
    }
    // Draws when shown and placed.
    void refresh();
    virtual void draw() = 0;
    // Shows the editor; deactivate hides it.
    void activate();
    void deactivate();

  protected:
    explicit setting_editor(config& setting);
    virtual void on_idle(int, int) {}
    virtual void on_mouse_down(int, int, int) {}
    virtual void on_mouse_up(int, int, int) {}
    virtual void on_key(int, int, int) {}
    virtual void on_command(const std::string&, const std::string&) {}
    virtual void on_activate() {}
    virtual void on_deactivate() {}
    // The config changed, from here or from elsewhere (a network's start,
    // another editor).
    virtual void changed() {}
    // Whether there is anything to draw on: shown, placed and with a surface.
    bool drawable() const { return visible_ && !area_.is_null() && surface_.image != nullptr; }

  private:
    config& setting_;
    config::observation observer_;
    rect area_{};
    surface surface_;
    bool visible_ = false;
};

// The editor of the config's kind (none for a kind without one).
std::unique_ptr<setting_editor> make_editor(config& setting);

} // namespace zoetra
