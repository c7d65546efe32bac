#pragma once
// The application shell: it starts the system in order, owns the production
// studio (and through it the frame image), draws the window's own parts,
// routes input events in the editing and construction modes, and runs the
// idle work when the platform ticks it. It never reads a clock or the
// keyboard itself: events and the time come from the caller, and pixels and
// damaged rectangles go out through the frame image.
#include "app/services/messages.hpp"
#include "production/studio.hpp"
#include "ui/event.hpp"

#include <optional>
#include <string>

namespace zoetra {

// What the platform should do after a tick: tick again soon (there is work),
// or not before the given time (none: only for hover, at its own slow pace).
struct wake_request {
    bool busy = false;
    std::optional<double> at;
};

class application : public shell, public studio_listener {
  public:
    static constexpr int mode_editing = 0;
    static constexpr int mode_creating = 1;

    explicit application(std::uint16_t width = studio::default_width,
                         std::uint16_t height = studio::default_height);
    ~application() override;
    application(const application&) = delete;
    application& operator=(const application&) = delete;

    // The start-up steps after the frame image exists: welcome text and
    // splash, the standing components, the catalogue, effect 0 and the work
    // area. A failure (no effect files) is one the program cannot go on from.
    outcome start();

    void handle(const input_event& e);
    // Idle work at time now (seconds): one step of frame construction, or
    // of the preview when the mouse rests.
    wake_request tick(double now);
    // The File menu's commands: "insert", "remove", "create", "calculate", "save".
    void file_command(const std::string& name);

    int mode() const { return production_.busy() ? mode_creating : mode_editing; }
    studio& production() { return production_; }
    frame_image& frame() { return production_.image(); }
    const std::string& status_text() const { return status_; }

    // The shell services.
    void present_area(const rect& area) override;
    void show_status(const std::string& text) override;
    void settings_changed() override { production_.mark_settings_changed(); }

    // What the studio reports.
    void status(const std::string& text) override;
    void effect_left_out(const std::string& reason) override;
    void construction_started() override;
    void construction_ended() override;
    void run_progress(int k, int fired, int count) override;
    void frame_captured(int k, buffer& frame) override;

  private:
    void mouse_down(int x, int y, int button);
    void mouse_up(int x, int y, int button);
    void mouse_moved(int x, int y);
    void key(int ch);
    void idle(int x, int y, double now);
    void redraw_work_area();
    void redraw_construction_screen();
    void create();
    void calculate();
    void save();
    // A failure the person must see: a message box captioned "Error".
    void show_failure(const outcome& o);

    studio production_;
    std::string status_;
    bool ready_ = false;
    bool mouse_held_ = false;
    bool cancel_pressed_ = false;
    int last_x_ = -1;
    int last_y_ = -1;
    int idle_x_ = -1;
    int idle_y_ = -1;
};

} // namespace zoetra
