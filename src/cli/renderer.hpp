#pragma once
// The headless renderer: drives the production studio through the headless
// platform, so the same settings give the same bytes as the window.
#include <string>
#include <vector>

namespace zoetra::cli {

enum exit_status {
    success = 0,
    usage_error = 1,
    bad_input = 2,
    effect_failed = 3,
    // The program could not go on: no effect files at all, or memory
    // exhausted after every freeing step.
    cannot_go_on = 4,
    // Nothing fits under the size limit: nothing was written.
    does_not_fit = 5,
};

int render_main(const std::vector<std::string>& args);

} // namespace zoetra::cli
