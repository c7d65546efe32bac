#pragma once
// The application shell: it starts the system in order, owns the production
// studio (and through it the frame image) and the panel host, draws the
// window's own parts, keeps the menu bar's model, routes input events in the
// editing and construction modes, and runs the idle work when the platform
// ticks it. It never reads a clock or the keyboard itself: events and the
// time come from the caller, and pixels and damaged rectangles go out
// through the frame image.
#include "app/frame_image.hpp"
#include "app/menus.hpp"
#include "app/services/messages.hpp"
#include "production/studio.hpp"
#include "ui/event.hpp"
#include "ui/surface.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

class panel_host;

// The paths in the text of files dropped on the window: one per line, as
// "file://" addresses (with %XX escapes) or plain paths.
std::vector<std::string> dropped_paths(std::string_view text);

// What the platform should do after a tick: tick again soon (there is work),
// or not before the given time (none: nothing is due).
struct wake_request {
    bool busy = false;
    std::optional<double> at;
};

class application : public shell, public studio_listener {
  public:
    static constexpr int mode_editing = 0;
    static constexpr int mode_creating = 1;
    static constexpr const char* title = "Zoetra 1.0";
    // The window's size: a work area of the canvas's standard size, with the
    // tab row and panel body above it and the status line below.
    static constexpr std::uint16_t default_width = 650;
    static constexpr std::uint16_t default_height = 465;

    // The window of a studio working in the data folder.
    explicit application(std::filesystem::path data_folder = ".",
                         std::uint16_t width = default_width,
                         std::uint16_t height = default_height);
    ~application() override;
    application(const application&) = delete;
    application& operator=(const application&) = delete;

    // The start-up steps after the frame image exists: welcome text and
    // splash, the catalogue and the Effects menu, the panels, effect 0 and
    // the work area. A failure (no effect files) is one the program cannot
    // go on from.
    outcome start();

    void handle(const input_event& e);
    // Idle work at time now (seconds): one step of frame construction, or
    // the panels' idle and a step of the preview when the mouse rests.
    wake_request tick(double now);
    // A menu command (command_id), as the menu bar or an accelerator gives it.
    void menu_command(int id);
    // The File menu's commands by name: "insert", "remove", "create",
    // "calculate", "save"; every panel hears them first.
    void file_command(const std::string& name);
    // The menu bar as it should show now: the Effects menu filled, the
    // current effect checked, the File menu greyed by its rules.
    menu_bar menus() const;
    // Files given on the command line or dropped on the window, inserted at
    // the selected position as Insert would (refusals are shown).
    void insert_files(const std::vector<std::string>& paths);
    // Exit or closing the window: true when the program may end. Frames
    // that were never saved are discarded only when the person agrees.
    bool may_exit();

    int mode() const { return production_.busy() ? mode_creating : mode_editing; }
    studio& production() { return production_; }
    const studio& production() const { return production_; }
    frame_image& frame() { return frame_; }
    // Where the panels draw: the frame image, with the program's skin images.
    surface window_surface() {
        return surface{&frame_.image(), &production_.program().skins(),
                       &production_.program().pictures()};
    }
    // Where the studio's canvas shows in the frame image: its output area,
    // in the work area.
    rect output_rect() const;
    panel_host& panels() { return *host_; }
    const std::string& status_text() const { return status_; }

    // Makes effect index current: the status line, the type menu, the panels.
    void choose_effect(int index);
    void redraw_work_area();
    // Called after a status line was drawn, so that the window can show it
    // at once (a long save shows its progress).
    std::function<void()> on_status_drawn;
    // Called when Exit was chosen and may_exit agreed.
    std::function<void()> on_exit;

    // The shell services.
    void present_area(const rect& area) override;
    void show_status(const std::string& text) override;

    // What the studio reports.
    void status(const std::string& text) override;
    void effect_left_out(const std::string& reason) override;
    void construction_started() override;
    void construction_ended() override;
    void run_progress(int k, int fired, int count) override;
    void frame_captured(int k, buffer& frame) override;
    void canvas_changed() override;
    void output_area_changed() override;

  private:
    void mouse_down(int x, int y, int button);
    void mouse_up(int x, int y, int button);
    void mouse_moved(int x, int y);
    void key(int ch);
    // The panels' idle, and a step of the preview when the mouse rests.
    void idle(int x, int y, std::optional<double> now);
    bool background_step();
    std::string fit_summary() const;
    void show_figures();
    void redraw_construction_screen();
    void create();
    void calculate();
    void save();
    bool remove_allowed() const;
    // A failure the person must see: a message box captioned "Error".
    void show_failure(const outcome& o);

    studio production_;
    frame_image frame_;
    std::unique_ptr<panel_host> host_;
    std::string status_;
    bool ready_ = false;
    // The splash stays in the work area until the first frames are made.
    bool splash_showing_ = false;
    bool mouse_held_ = false;
    bool cancel_pressed_ = false;
    int last_x_ = -1;
    int last_y_ = -1;
    int idle_x_ = -1;
    int idle_y_ = -1;
};

} // namespace zoetra
