#pragma once
// Services that face the person: message boxes, file dialogs, the status line,
// presenting drawn areas and the settings-changed flag. Message boxes and
// dialogs go to the installed platform (the window, or a headless stand-in);
// drawing, status lines and setting changes go to the installed shell, which
// owns the frame image. Without either they do nothing (message boxes are
// then written to standard error, and dialogs count as cancelled).
#include "base/geometry.hpp"

#include <optional>
#include <string>

namespace zoetra {

class platform {
  public:
    virtual ~platform() = default;
    enum class icon { exclamation, information };
    virtual void message_box(const std::string& caption, const std::string& text, icon kind) = 0;
    // The chosen path, or none when cancelled. The dialog starts in folder.
    virtual std::optional<std::string> choose_file_to_open(const std::string& title,
                                                           const std::string& pattern,
                                                           const std::string& folder) = 0;
    virtual std::optional<std::string> choose_file_to_save(const std::string& title,
                                                           const std::string& default_name,
                                                           const std::string& folder) = 0;
    // A question with a yes and a no answer; true for yes.
    virtual bool confirm(const std::string& caption, const std::string& question) = 0;
    // A question answered by one of two choices: 0 for first, 1 for second.
    virtual int choose(const std::string& caption, const std::string& question,
                       const std::string& first, const std::string& second) = 0;
    // A modal dialog showing a text (the About box, the licence).
    virtual void show_text(const std::string& title, const std::string& text) = 0;
};

class shell {
  public:
    virtual ~shell() = default;
    // The frame image changed inside area (null: the whole window).
    virtual void present_area(const rect& area) = 0;
    virtual void show_status(const std::string& text) = 0;
};

// Neither is owned; nullptr uninstalls.
void install_platform(platform* p);
platform* installed_platform();
void install_shell(shell* s);

void error_box(const std::string& text);
void info_box(const std::string& caption, const std::string& text);
// Asks the question with two choices; 0 (the first) without a platform.
int choose_between(const std::string& caption, const std::string& question,
                   const std::string& first, const std::string& second);
// Shows a status line; nothing happens when the text equals the one shown.
void set_status(const std::string& text);
const std::string& current_status();
void present_area(const rect& area);

// The file dialogs. Each remembers, apart from the other, the folder in which
// a file was last chosen and starts there; the first starts in the folder
// given by set_first_dialog_folder (else the current directory). Whatever a
// dialog does, the current directory is the same afterwards. The chosen path
// comes back absolute; none when cancelled.
std::optional<std::string> choose_file_to_open(const std::string& title,
                                               const std::string& pattern);
std::optional<std::string> choose_file_to_save(const std::string& title,
                                               const std::string& default_name);
void set_first_dialog_folder(const std::string& folder);

} // namespace zoetra
