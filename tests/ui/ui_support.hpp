#pragma once
// Test support for the toolkit: a window image that the test shows as the
// shell would (presented areas recorded), the skin images of a private data
// folder (none unless a test writes some), a headless platform for dialogs
// and message boxes, and settings placed with their editors as a panel does.
#include "../production/studio_support.hpp"
#include "app/services/interface_colours.hpp"
#include "app/services/messages.hpp"
#include "app/services/process_state.hpp"
#include "skin/skin_images.hpp"
#include "ui/editors.hpp"
#include "ui/event.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace zoetra::testing {

class ui_test : public ::testing::Test, public shell {
  protected:
    explicit ui_test(std::uint16_t width = 650, std::uint16_t height = 465)
        : window(width, height, ui_mid) {
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

    buffer& image() { return window; }
    // Where controls and editors draw: the frame image, with the skins.
    surface where() { return surface{&window, &skins}; }

    // Shows the setting in area with the editor of its kind, as a panel does.
    setting_editor& place(config& setting, const rect& area) {
        auto& editor = editors_[&setting];
        editor = make_editor(setting);
        editor->set_surface(where());
        editor->set_area(area);
        editor->activate();
        return *editor;
    }
    setting_editor& editor_of(const config& setting) { return *editors_.at(&setting); }
    template <class V> V& view_of(const config& setting) {
        return dynamic_cast<V&>(editor_of(setting));
    }
    colour at(int x, int y) {
        buffer_lock hold(window);
        return get_pixel(window, std::int16_t(x), std::int16_t(y));
    }
    // The colour without the transparency byte: what the window shows.
    colour shown(int x, int y) {
        colour c = at(x, y);
        c.t = 0;
        return c;
    }

    data_folder folder;
    resource_folder resources{"."};
    skin_cache skins{resources};
    headless_platform platform;
    // The window as the toolkit sees it: an image to draw on.
    buffer window;
    std::vector<rect> presented;

  private:
    std::map<const config*, std::unique_ptr<setting_editor>> editors_;
};

} // namespace zoetra::testing
