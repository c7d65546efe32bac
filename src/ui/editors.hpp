#pragma once
// The on-screen editors of the config kinds. A panel that shows a config
// gives it its editor; the config's event operations then forward to it.
#include "engine/config.hpp"

namespace zoetra {

// Attaches the editor of the config's kind, unless it has one already.
void attach_editor(config& setting);

} // namespace zoetra
