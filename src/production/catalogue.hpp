#pragma once
// The effect catalogue: every effect file of the directory "Effects" and of
// the resource archives, loaded into a script at start-up, in listing order.
#include "engine/script.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zoetra {

inline constexpr const char* no_effects_message =
    "I was unable to locate Effects for Zoetra.\n"
    "Please reinstall Zoetra, or set ZOETRA_DATA_DIR to the folder that holds its Effects.";

class effect_catalogue {
  public:
    static constexpr int max_effects = 128;

    // Loads every effect file listed in the program's data folder; a file
    // that fails to load is left out. Returns the reasons of the files left out.
    std::vector<std::string> build(context& program, const component_factory& factory);

    int count() const { return static_cast<int>(effects_.size()); }
    script& effect(int i) const { return *effects_[i]; }
    // The index of the effect whose title, stem or file name is name
    // (ignoring case), if one is.
    std::optional<int> find(const std::string& name) const;
    // Appends an effect loaded from a file of the user's (the command-line
    // renderer's path option); its index, or why it failed to load.
    result<int> add_file(const std::string& path, context& program,
                         const component_factory& factory);
    void clear() { effects_.clear(); }

  private:
    std::vector<std::unique_ptr<script>> effects_;
};

// The effect's title without the white space around it.
std::string effect_title(const script& s);
// True when word is one of the blank-separated words of the effect's class
// (ignoring case): "one_size" (the GIF89 size setting does not apply),
// "constant_frames" (the direction setting does not apply).
bool effect_has_class(const script& s, std::string_view word);
// True when the effect's type is "still" (ignoring case).
bool is_still_effect(const script& s);
// Whether a setting of the effect takes its value from the image source's
// working size (SIZE.EFFECT, VALUE.SPACE), which GIF89 SIZE sets.
bool reads_effect_size(const script& e);

} // namespace zoetra
