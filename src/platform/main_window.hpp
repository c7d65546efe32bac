#pragma once
// The program's one window: a menu bar over the frame image, which is shown
// by copying only its damaged rectangles to the screen (at twice its size on
// a dense screen). Mouse and keys become the program's input events; idle
// work runs in short slices only while there is work, and the preview wakes
// when its next frame is due.
#include "app/application.hpp"

#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Window.H>

#include <memory>
#include <string>
#include <vector>

namespace zoetra {

class fltk_platform;

class main_window : public Fl_Window {
  public:
    // started: when the program started (seconds of the steady clock), for
    // the timings that ZOETRA_TRACE=1 prints.
    main_window(application& app, fltk_platform& platform, int scale, double started);
    ~main_window() override;

    int handle(int event) override;
    void draw() override;

    // Runs idle work now and arranges the next wake-up.
    void wake();
    // Shows every damaged area of the frame image at once.
    void show_damage_now();
    int menu_height() const { return menu_height_; }
    // Writes the frame image as a binary PPM (a test's snapshot of what was drawn).
    bool write_snapshot(const std::string& path);

  private:
    static void on_timer(void* self);
    static void on_menu(Fl_Widget* menu, void* id);
    static void on_close(Fl_Widget* window, void*);
    void schedule(double delay);
    void sync_menus();
    void push_damage();
    void blit(int x, int y, int w, int h);
    bool idle_work_may_run() const;
    input_event mouse_event(input_event::kind kind) const;
    bool key_event();
    void drop_files(const char* text);

    application& app_;
    fltk_platform& platform_;
    int scale_;
    int menu_height_;
    Fl_Menu_Bar menu_;
    menu_bar shown_menus_;
    bool ticking_ = false;
    bool drawn_once_ = false;
    bool trace_;
    double started_;
    double creating_since_ = -1;
    std::vector<std::uint32_t> scaled_; // scratch for the doubled picture
};

} // namespace zoetra
