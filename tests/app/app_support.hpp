#pragma once
// Test support for the application: the window's program on a private data
// folder (or another one), driven by events and explicit times, with a quiet
// headless platform answering its dialogs.
#include "../production/studio_support.hpp"
#include "app/application.hpp"
#include "app/services/process_state.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace zoetra::testing {

class application_test : public ::testing::Test {
  protected:
    application_test() {
        reset_process_state();
        install_platform(&platform_); // the fixture's platform, installed again after the reset
    }

    application& start(const std::filesystem::path& data = ".") {
        app_ = std::make_unique<application>(data);
        EXPECT_TRUE(app_->start());
        return *app_;
    }
    void key(int ch) { app_->handle(input_event::typed(std::string(1, char(ch)))); }
    void press(int x, int y) {
        app_->handle(input_event::mouse(input_event::kind::mouse_down, x, y));
    }
    void release(int x, int y) {
        app_->handle(input_event::mouse(input_event::kind::mouse_up, x, y));
    }
    void click(int x, int y) {
        press(x, y);
        release(x, y);
    }
    // Ticks until construction is over; the clock advances a millisecond a tick.
    void run_construction() {
        for (int n = 0; n < 1000000 && app_->tick(now_ += 0.001).busy; ++n) {
        }
        ASSERT_EQ(app_->mode(), application::mode_editing);
    }
    cfg_image_in& palette() { return app_->production().image_source().palette(); }
    // A solid red picture at the end of the palette.
    void add_image() {
        ASSERT_TRUE(palette().add_image(write_solid_gif("a.gif", 30, 20, red), palette().count()));
    }

    data_folder folder_;
    quiet_platform platform_;
    std::unique_ptr<application> app_;
    double now_ = 100;
};

} // namespace zoetra::testing
