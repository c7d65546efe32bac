#pragma once
// What the shell services keep for the whole process (the installed platform
// and shell, the dialogs' folders, the status line shown), gathered in one
// place so that a test can put it back as a fresh process has it. What a
// program's work needs is in its context, not here.
#include <functional>
#include <string>

namespace zoetra {

class platform;
class shell;

struct process_state {
    // Where message boxes and file dialogs go (none: standard error, cancelled).
    platform* installed_platform = nullptr;
    // Where drawing is presented, status lines shown and setting changes noted.
    shell* installed_shell = nullptr;
    // The folders the file dialogs start in: the first one's, and the last
    // ones chosen in the open and the save dialog.
    std::string first_dialog_folder;
    std::string open_folder;
    std::string save_folder;
    // The status line last shown.
    std::string shown_status;
};

process_state& process();

void reset_process_state();

} // namespace zoetra
