#pragma once
#include "base/outcome.hpp"
// The command line of the headless renderer.
#include <optional>
#include <string>
#include <vector>

namespace zoetra::cli {

struct setting_assignment {
    std::string name;   // a config name or title, optionally "ID:NAME"
    std::string values; // one value, or values separated by commas
};

struct options {
    std::vector<std::string> images;
    // An animated GIF whose every frame is the first palette entry.
    std::optional<std::string> frames_from;
    std::optional<std::string> effect;
    std::string output = "zoetra.gif";
    std::optional<int> frames;
    std::optional<double> delay;
    std::optional<int> loop;
    std::optional<std::string> direction;
    std::optional<std::string> size;
    std::optional<int> select;
    std::vector<setting_assignment> settings;
    std::optional<std::string> colours;
    std::optional<std::string> frames_to;
    bool enlarge = false;
    // Words over every frame, at the top and at the bottom.
    std::optional<std::string> caption;
    std::optional<std::string> caption_bottom;
    // Seconds the first and the last frame are shown.
    std::optional<double> hold_first;
    std::optional<double> hold_last;
    // --max-bytes and --for: fit the file under a limit.
    std::optional<std::string> max_bytes;
    std::optional<std::string> fit_for;
    bool fit_may_shrink = false;
    bool fit_may_drop_frames = false;
    bool optimize = false;
    bool no_dither = false;
    std::optional<int> lossy;
    std::optional<int> colours_max;
    bool estimate = false;
    bool list = false;
    std::optional<std::string> describe;
    std::optional<std::string> check;
    bool quiet = false;
    bool version = false;
    bool help = false;
};

// Parses argv; on a usage error returns none with the reason in error.
result<options> parse_options(const std::vector<std::string>& args);

extern const char* const usage_text;

} // namespace zoetra::cli
