#include "app/services/messages.hpp"

#include "app/services/process_state.hpp"

#include <cstdio>
#include <cstdlib>

namespace zoetra {
namespace {

void write_to_stderr(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s", caption.c_str(), text.c_str());
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

void show_box(const std::string& caption, const std::string& text, platform::icon kind) {
    if (platform* p = process().installed_platform)
        p->message_box(caption, text, kind);
    else
        write_to_stderr(caption, text);
}

} // namespace

void install_platform(platform* p) {
    process().installed_platform = p;
}
platform* installed_platform() {
    return process().installed_platform;
}
void install_shell(shell* s) {
    process().installed_shell = s;
}

void fatal_error(const std::string& text) {
    write_to_stderr("Error", text);
    if (platform* p = process().installed_platform)
        p->message_box("Error", text, platform::icon::exclamation);
    std::exit(process().fatal_exit_status);
}

void set_fatal_exit_status(int status) {
    process().fatal_exit_status = status;
}

void error_box(const std::string& text) {
    show_box("Error", text, platform::icon::exclamation);
}

void info_box(const std::string& caption, const std::string& text) {
    show_box(caption, text, platform::icon::information);
}

void set_status(const std::string& text) {
    std::string& shown = process().shown_status;
    if (text == shown)
        return;
    shown = text;
    if (shell* s = process().installed_shell)
        s->show_status(text);
}

const std::string& current_status() {
    return process().shown_status;
}

void present_area(const rect& area) {
    if (shell* s = process().installed_shell)
        s->present_area(area);
}

void mark_settings_changed() {
    if (shell* s = process().installed_shell)
        s->settings_changed();
}

std::optional<std::string> choose_file_to_open(const std::string& title,
                                               const std::string& pattern) {
    if (platform* p = process().installed_platform)
        return p->choose_file_to_open(title, pattern);
    return std::nullopt;
}

std::optional<std::string> choose_file_to_save(const std::string& title,
                                               const std::string& default_name) {
    if (platform* p = process().installed_platform)
        return p->choose_file_to_save(title, default_name);
    return std::nullopt;
}

} // namespace zoetra
