// The desktop program: `zoetra [IMAGE ...]` opens the window with the
// images already in the GIF palette.
#include "app/application.hpp"
#include "app/services/messages.hpp"
#include "base/fatal.hpp"
#include "platform/fltk_platform.hpp"
#include "platform/main_window.hpp"
#include "production/data_directory.hpp"
#include "raster/text.hpp"
#include "skin/skin_images.hpp"

#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/x.H>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace zoetra;
namespace fs = std::filesystem;

namespace {

// Twice the size on a screen of about twice the usual density: ZOETRA_SCALE,
// or an Xft.dpi of 168 or more.
int window_scale() {
    if (const char* asked = std::getenv("ZOETRA_SCALE"); asked != nullptr && *asked)
        return std::atoi(asked) >= 2 ? 2 : 1;
    const char* dpi = XGetDefault(fl_display, "Xft", "dpi");
    return dpi != nullptr && std::atof(dpi) >= 168 ? 2 : 1;
}

// The window's icon, from the skin images.
std::unique_ptr<Fl_RGB_Image> window_icon(application& app, std::vector<unsigned char>& rgba) {
    std::unique_ptr<buffer> icon =
        app.production().program().skins().load(skin_image_name("__icon.gif"));
    if (!icon)
        return nullptr;
    buffer_lock lock(*icon);
    const std::size_t count = std::size_t(icon->width()) * icon->height();
    rgba.resize(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const pixel p = icon->pixels()[i];
        rgba[i * 4] = (p >> 16) & 0xFF;
        rgba[i * 4 + 1] = (p >> 8) & 0xFF;
        rgba[i * 4 + 2] = p & 0xFF;
        rgba[i * 4 + 3] = is_visible(p) ? 255 : 0;
    }
    return std::make_unique<Fl_RGB_Image>(rgba.data(), icon->width(), icon->height(), 4);
}

// A test asks for a snapshot of the frame image with SIGUSR1; the window
// writes it to ZOETRA_TEST_SNAPSHOT at its next quiet moment.
std::atomic<bool> snapshot_wanted{false};
void want_snapshot(int) {
    snapshot_wanted = true;
}

void watch_for_snapshots(void* window) {
    const char* path = std::getenv("ZOETRA_TEST_SNAPSHOT");
    if (snapshot_wanted.exchange(false) && path != nullptr)
        static_cast<main_window*>(window)->write_snapshot(path);
    Fl::repeat_timeout(0.1, watch_for_snapshots, window);
}

int usage() {
    std::printf("Usage: zoetra [IMAGE ...]\n"
                "Opens the Zoetra window with the images (GIF, PNG or JPEG stills) in the GIF\n"
                "palette.\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const double started =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    std::vector<std::string> images;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0)
            return usage();
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zoetra 1.0\n");
            return 0;
        }
        std::error_code ignored;
        images.push_back(fs::absolute(argv[i], ignored).lexically_normal().string());
    }
    // The first open dialog starts where the person started the program.
    std::error_code ignored;
    set_first_dialog_folder(fs::current_path(ignored).string());
    const std::optional<fs::path> data = find_data_directory();
    if (!data) {
        std::fprintf(stderr, "zoetra: cannot find the folder that holds Zoetra's Effects; set "
                             "ZOETRA_DATA_DIR\n");
        return 2;
    }

    fl_open_display();
    Fl::scheme("gtk+");
    // ZOETRA_PLAIN_DIALOGS=1: FLTK's own file chooser even where a desktop one exists.
    if (const char* plain = std::getenv("ZOETRA_PLAIN_DIALOGS"); plain != nullptr && *plain == '1')
        Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    const int scale = window_scale();
    fltk_platform platform;
    platform.set_scale(scale);
    install_platform(&platform);
    // The conditions the program cannot go on from: the message in a box
    // (and on standard error), then the end.
    set_fatal_handler([](const std::string& message) {
        std::fprintf(stderr, "Error: %s%s", message.c_str(),
                     !message.empty() && message.back() == '\n' ? "" : "\n");
        if (zoetra::platform* shown = installed_platform())
            shown->message_box("Error", message, zoetra::platform::icon::exclamation);
        std::exit(-1);
    });

    if (!text_font_available())
        std::fprintf(stderr, "No sans-serif font found; text will not be drawn.\n");
    application app(*data);
    if (outcome started = app.start(); !started)
        fatal(started.message());
    main_window window(app, platform, scale, started);
    std::vector<unsigned char> icon_pixels;
    std::unique_ptr<Fl_RGB_Image> icon = window_icon(app, icon_pixels);
    if (icon)
        window.icon(icon.get());
    window.show(1, argv);
    app.insert_files(images);
    if (const char* trace = std::getenv("ZOETRA_TRACE"); trace != nullptr && *trace != 0) {
        const cfg_image_in& palette = app.production().image_source().palette();
        std::string names;
        for (int i = 0; i < palette.count(); ++i)
            names += (i == 0 ? " " : ", ") + palette.name_at(i);
        std::fprintf(stderr, "zoetra: the palette holds %d pictures:%s\n", palette.count(),
                     names.c_str());
    }

    std::signal(SIGUSR1, want_snapshot);
    Fl::add_timeout(0.1, watch_for_snapshots, &window);
    window.wake();
    const int status = Fl::run();
    Fl::remove_timeout(watch_for_snapshots, &window);
    install_platform(nullptr);
    return status;
}
