#pragma once
// The conditions the program cannot go on from (memory exhausted after every
// freeing step, a full handle table, no effect files) end it through one
// handler that the program installs: the window shows a message box
// captioned "Error" and ends with status -1, the renderer writes the message
// and ends with its own status. Without one installed, the message goes to
// standard error and the process ends with status -1.
#include <functional>
#include <string>

namespace zoetra {

// The handler must not return; if it does, the process ends anyway.
using fatal_handler = std::function<void(const std::string& message)>;
// Installs handler (an empty one puts the default back).
void set_fatal_handler(fatal_handler handler);
[[noreturn]] void fatal(const std::string& message);

} // namespace zoetra
