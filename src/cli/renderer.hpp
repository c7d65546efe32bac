#pragma once
// The headless renderer: drives the production studio through the headless
// platform, so the same settings give the same bytes as the window.
#include <string>
#include <vector>

namespace zoetra::cli {

enum exit_status { success = 0, usage_error = 1, bad_input = 2, effect_failed = 3 };

int render_main(const std::vector<std::string>& args);

} // namespace zoetra::cli
