#include "app/services/messages.hpp"

#include "app/services/process_state.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

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

void error_box(const std::string& text) {
    show_box("Error", text, platform::icon::exclamation);
}

void info_box(const std::string& caption, const std::string& text) {
    show_box(caption, text, platform::icon::information);
}

int choose_between(const std::string& caption, const std::string& question,
                   const std::string& first, const std::string& second) {
    platform* p = process().installed_platform;
    return p != nullptr ? p->choose(caption, question, first, second) : 0;
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

namespace {

// Runs a dialog that starts in the remembered folder, puts the current
// directory back, and remembers the chosen file's folder.
template <class Dialog>
std::optional<std::string> with_remembered_folder(std::string& remembered, Dialog dialog) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path here = fs::current_path(ignored);
    if (remembered.empty())
        remembered =
            process().first_dialog_folder.empty() ? here.string() : process().first_dialog_folder;
    std::optional<std::string> chosen = dialog(remembered);
    if (chosen) {
        fs::path path = fs::absolute(*chosen, ignored).lexically_normal();
        remembered = path.parent_path().string();
        chosen = path.string();
    }
    fs::current_path(here, ignored);
    return chosen;
}

} // namespace

std::optional<std::string> choose_file_to_open(const std::string& title,
                                               const std::string& pattern) {
    platform* p = process().installed_platform;
    if (p == nullptr)
        return std::nullopt;
    return with_remembered_folder(process().open_folder, [&](const std::string& folder) {
        return p->choose_file_to_open(title, pattern, folder);
    });
}

std::optional<std::string> choose_file_to_save(const std::string& title,
                                               const std::string& default_name) {
    platform* p = process().installed_platform;
    if (p == nullptr)
        return std::nullopt;
    return with_remembered_folder(process().save_folder, [&](const std::string& folder) {
        return p->choose_file_to_save(title, default_name, folder);
    });
}

void set_first_dialog_folder(const std::string& folder) {
    process().first_dialog_folder = folder;
}

} // namespace zoetra
