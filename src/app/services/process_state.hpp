#pragma once
// Everything the program keeps for the whole process, gathered in one place so
// that a test can put it back as a fresh process has it.
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
    // The exit status of a fatal error (the window's -1; the renderer documents its own).
    int fatal_exit_status = -1;
    // The pseudo-random generator's state.
    unsigned long random_state = 1;
    // The phase that every WAVE component shares; it only ever grows.
    double wave_phase = 0;
};

process_state& process();

// Caches kept above the services (the skin image cache, the archive list)
// register how they are emptied; reset_process_state empties them too.
void on_process_reset(std::function<void()> reset);
void reset_process_state();

} // namespace zoetra
