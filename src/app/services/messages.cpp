#include "app/services/messages.hpp"

#include <cstdio>
#include <cstdlib>

namespace zoetra {
namespace {

platform* the_platform = nullptr;
shell* the_shell = nullptr;
std::string shown_status;

void write_box_to_stderr(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s", caption.c_str(), text.c_str());
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

void show_box(const std::string& caption, const std::string& text, platform::icon kind) {
    if (the_platform != nullptr)
        the_platform->message_box(caption, text, kind);
    else
        write_box_to_stderr(caption, text);
}

} // namespace

void install_platform(platform* p) {
    the_platform = p;
}
platform* installed_platform() {
    return the_platform;
}
void install_shell(shell* s) {
    the_shell = s;
}

void fatal_error(const std::string& text) {
    show_box("Error", text, platform::icon::exclamation);
    std::exit(-1);
}

void error_box(const std::string& text) {
    show_box("Error", text, platform::icon::exclamation);
}

void info_box(const std::string& caption, const std::string& text) {
    show_box(caption, text, platform::icon::information);
}

void set_status(const std::string& text) {
    if (text == shown_status)
        return;
    shown_status = text;
    if (the_shell != nullptr)
        the_shell->show_status(text);
    if (the_platform != nullptr)
        the_platform->show_status(text);
}

const std::string& current_status() {
    return shown_status;
}

void present_area(const rect& area) {
    if (the_shell != nullptr)
        the_shell->present_area(area);
}

void mark_settings_changed() {
    if (the_shell != nullptr)
        the_shell->settings_changed();
}

std::optional<std::string> choose_file_to_open(const std::string& title,
                                               const std::string& pattern) {
    if (the_platform == nullptr)
        return std::nullopt;
    return the_platform->choose_file_to_open(title, pattern);
}

std::optional<std::string> choose_file_to_save(const std::string& title,
                                               const std::string& default_name) {
    if (the_platform == nullptr)
        return std::nullopt;
    return the_platform->choose_file_to_save(title, default_name);
}

} // namespace zoetra
