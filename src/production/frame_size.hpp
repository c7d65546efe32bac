#pragma once
// The frame size a person chooses for the animation: width and height in
// pixels, or a named size for a place GIFs go ("emoji" is 128 x 128). A
// choice may give one side only; the other then follows the picture's
// aspect. A chosen size is the canvas: the file is exactly that size, the
// picture fitted inside it.
#include "base/geometry.hpp"
#include "base/outcome.hpp"

#include <span>
#include <string>
#include <string_view>

namespace zoetra {

inline constexpr int min_frame_side = 16;
inline constexpr int max_frame_width = 1920;
inline constexpr int max_frame_height = 1080;

struct size_choice {
    // 0 for a side that follows the picture's aspect; both 0: nothing chosen.
    int width = 0;
    int height = 0;
    bool chosen() const { return width > 0 || height > 0; }
    friend bool operator==(const size_choice&, const size_choice&) = default;
};

struct size_preset {
    const char* name;
    size_choice size;
    const char* place;
};

// The named sizes, in the order they are offered.
std::span<const size_preset> size_presets();

// "WxH" (each side from 16, at most 1920 x 1080) or a preset's name, any case.
result<size_choice> parse_size_choice(std::string_view text);
// The choice as its preset's name, or as "WxH"; "" when nothing is chosen.
std::string size_choice_text(const size_choice& choice);

// The frame for a picture of the given size: a given side as it is, a
// missing one from the picture's aspect (rounded, kept within 16 and the
// largest frame); a picture of no size counts as square.
gif_size resolve_frame(const size_choice& choice, gif_size picture);

} // namespace zoetra
