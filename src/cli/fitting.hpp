#pragma once
// --max-bytes and --for: the frames made once more for each variant the
// person allows, every candidate measured, and the studio left with the
// frames and the coding of the best one under the limit.
#include "base/outcome.hpp"
#include "cli/options.hpp"
#include "production/fit.hpp"

#include <functional>
#include <optional>
#include <string>

namespace zoetra {
class studio;
}

namespace zoetra::cli {

// The limit the options ask for, if any: --max-bytes, or the place's.
result<std::optional<std::uint32_t>> size_limit(const options& o);

struct fit_report {
    bool fits = false;
    // The lines for standard error: the choice, or why nothing fits.
    std::string text;
};

// Searches, with the frames as made now as the reference; create makes the
// frames again after the studio's settings changed. On success the studio
// holds the chosen frames and coding, ready to save.
result<fit_report> fit_studio(studio& s, std::uint32_t limit, const options& o,
                              const std::function<outcome()>& create,
                              const std::function<void(const std::string&)>& progress);

} // namespace zoetra::cli
