#include "production/catalogue.hpp"

#include "base/utility.hpp"
#include "resources/resource.hpp"

#include <algorithm>

namespace zoetra {

std::vector<std::string> effect_catalogue::build(context& program,
                                                 const component_factory& factory) {
    std::vector<std::string> left_out;
    string_list names = program.resources().list("Effects", ".zoml", 3);
    for (const std::string& name : names) {
        if (count() >= max_effects)
            break;
        auto effect = std::make_unique<script>(name, program, factory);
        if (outcome loaded = effect->load(); loaded)
            effects_.push_back(std::move(effect));
        else
            left_out.push_back(loaded.message());
    }
    return left_out;
}

namespace {
// Titles written on their own lines keep their line breaks and indentation.
std::string_view trimmed(std::string_view text) {
    const char* blanks = " \t\r\n\v\f";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}
} // namespace

std::string effect_title(const script& s) {
    return std::string(trimmed(s.desc().title));
}

std::optional<int> effect_catalogue::find(const std::string& name) const {
    for (int i = 0; i < count(); ++i) {
        const script& s = *effects_[i];
        if (same_name(trimmed(s.desc().title), name) || same_name(s.desc().name, name) ||
            same_name(s.file_name(), name))
            return i;
    }
    return std::nullopt;
}

result<int> effect_catalogue::add_file(const std::string& path, context& program,
                                       const component_factory& factory) {
    if (count() >= max_effects)
        return outcome::failure("the catalogue is full");
    auto effect = std::make_unique<script>(path, program, factory);
    if (outcome loaded = effect->load(); !loaded)
        return loaded;
    effects_.push_back(std::move(effect));
    return count() - 1;
}

bool effect_has_class(const script& s, std::string_view word) {
    std::string_view words = s.desc().class_name;
    const char* blanks = " \t\r\n\v\f";
    while (!words.empty()) {
        const auto start = words.find_first_not_of(blanks);
        if (start == std::string_view::npos)
            break;
        words.remove_prefix(start);
        const auto end = std::min(words.find_first_of(blanks), words.size());
        if (same_name(words.substr(0, end), word))
            return true;
        words.remove_prefix(end);
    }
    return false;
}

bool is_still_effect(const script& s) {
    return same_name(s.desc().type, "still");
}

bool reads_effect_size(const script& e) {
    for (const config* c : e.configs()) {
        const config* partner = c->bound_partner();
        if (partner != nullptr && partner->owner() != nullptr &&
            same_name(partner->owner()->name(), "GIFIN") &&
            (same_name(partner->name(), "SIZE.EFFECT") ||
             same_name(partner->name(), "VALUE.SPACE")))
            return true;
    }
    return false;
}

} // namespace zoetra
