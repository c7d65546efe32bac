#pragma once
// Services that face the user: message boxes, the status line, presenting the
// frame image, the settings-changed flag and the file dialogs. They reach the
// window through a small platform interface; until a platform is installed,
// message boxes and status lines are written to standard error.
#include "app/services/geometry.hpp"

#include <optional>
#include <string>

namespace zoetra {

class platform {
  public:
    virtual ~platform() = default;
    enum class icon { exclamation, information };
    virtual void message_box(const std::string& caption, const std::string& text, icon kind) = 0;
    virtual std::optional<std::string> choose_file_to_open(const std::string& title,
                                                           const std::string& pattern) = 0;
    virtual std::optional<std::string> choose_file_to_save(const std::string& title,
                                                           const std::string& default_name) = 0;
    // The frame image changed inside area (null: the whole window).
    virtual void present(const rect& area) = 0;
    // A new status line (the shell has drawn it into the frame image already).
    virtual void show_status(const std::string& text) = 0;
};

// The part of the shell that owns the frame image: draws the status line,
// copies areas to the window and keeps the settings-changed flag.
class shell {
  public:
    virtual ~shell() = default;
    virtual void show_status(const std::string& text) = 0;
    virtual void present_area(const rect& area) = 0;
    virtual void settings_changed() = 0;
};

// Installs the platform (nullptr: back to standard error). Not owned.
void install_platform(platform* p);
platform* installed_platform();
// Installs the shell (nullptr before the studio exists). Not owned.
void install_shell(shell* s);

[[noreturn]] void fatal_error(const std::string& text);
void error_box(const std::string& text);
void info_box(const std::string& caption, const std::string& text);
// Shows a status line; nothing happens when the text equals the one shown.
void set_status(const std::string& text);
const std::string& current_status();
void present_area(const rect& area);
void mark_settings_changed();
std::optional<std::string> choose_file_to_open(const std::string& title,
                                               const std::string& pattern);
std::optional<std::string> choose_file_to_save(const std::string& title,
                                               const std::string& default_name);

} // namespace zoetra
