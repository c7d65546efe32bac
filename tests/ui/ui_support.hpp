#pragma once
// Test support for the toolkit: a frame image that the test shows as the
// shell would (presented areas recorded, setting changes counted), a headless
// platform for dialogs and message boxes, and a private data folder with no
// skin images unless a test writes some.
#include "../production/studio_support.hpp"
#include "app/services/messages.hpp"
#include "app/services/process_state.hpp"
#include "raster/frame_image.hpp"
#include "raster/ui_colours.hpp"
#include "ui/event.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace zoetra::testing {

class ui_test : public ::testing::Test, public shell {
  protected:
    explicit ui_test(std::uint16_t width = 650, std::uint16_t height = 465) : frame(width, height) {
        reset_process_state();
        install_shell(this);
        platform.set_quiet(true);
        install_platform(&platform);
    }
    ~ui_test() override {
        install_shell(nullptr);
        install_platform(nullptr);
    }

    void present_area(const rect& area) override { presented.push_back(area); }
    void show_status(const std::string&) override {}
    void settings_changed() override { ++changes; }

    buffer& image() { return frame.image(); }
    colour at(int x, int y) {
        buffer_lock hold(frame.image());
        return get_pixel(frame.image(), std::int16_t(x), std::int16_t(y));
    }
    // The colour without the transparency byte: what the window shows.
    colour shown(int x, int y) {
        colour c = at(x, y);
        c.t = 0;
        return c;
    }

    data_folder folder;
    headless_platform platform;
    frame_image frame;
    std::vector<rect> presented;
    int changes = 0;
};

} // namespace zoetra::testing
