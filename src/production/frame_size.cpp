#include "production/frame_size.hpp"

#include "base/utility.hpp"

#include <algorithm>
#include <array>
#include <charconv>

namespace zoetra {

namespace {

constexpr std::array presets{
    size_preset{"emoji", {128, 128}, "custom emoji in chat programs"},
    size_preset{"sticker", {320, 320}, "stickers"},
    size_preset{"chat", {480, 0}, "GIFs in a chat message"},
    size_preset{"readme", {800, 0}, "a demonstration in a project's README"},
};

// A whole number made of digits only, or -1.
int whole_number(std::string_view text) {
    int value = -1;
    if (text.empty() || text.size() > 5)
        return -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() ? value : -1;
}

} // namespace

std::span<const size_preset> size_presets() {
    return presets;
}

result<size_choice> parse_size_choice(std::string_view text) {
    for (const size_preset& preset : presets)
        if (same_name(text, preset.name))
            return preset.size;
    const std::size_t by = text.find_first_of("xX");
    if (by != std::string_view::npos) {
        const int width = whole_number(text.substr(0, by));
        const int height = whole_number(text.substr(by + 1));
        if (width >= min_frame_side && width <= max_frame_width && height >= min_frame_side &&
            height <= max_frame_height)
            return size_choice{width, height};
        if (width >= 0 && height >= 0)
            return outcome::failure(format("the frame size %s is outside %dx%d to %dx%d",
                                           std::string(text).c_str(), min_frame_side,
                                           min_frame_side, max_frame_width, max_frame_height));
    }
    std::string names;
    for (const size_preset& preset : presets)
        names += std::string(names.empty() ? "" : ", ") + preset.name;
    return outcome::failure("\"" + std::string(text) + "\" is no frame size: give WxH or one of " +
                            names);
}

std::string size_choice_text(const size_choice& choice) {
    if (!choice.chosen())
        return "";
    for (const size_preset& preset : presets)
        if (preset.size == choice)
            return preset.name;
    return std::to_string(choice.width) + "x" + std::to_string(choice.height);
}

gif_size resolve_frame(const size_choice& choice, gif_size picture) {
    const double pw = picture.width > 0 ? picture.width : 1;
    const double ph = picture.height > 0 ? picture.height : 1;
    double width = choice.width, height = choice.height;
    if (width <= 0 && height <= 0)
        return gif_size{};
    if (height <= 0)
        height = width * ph / pw;
    else if (width <= 0)
        width = height * pw / ph;
    // The aspect was followed; the sides are kept to what a frame may be.
    const auto side = [](double value, int largest) {
        return std::uint16_t(std::clamp(int(value + 0.5), min_frame_side, largest));
    };
    return gif_size{side(width, max_frame_width), side(height, max_frame_height)};
}

} // namespace zoetra
