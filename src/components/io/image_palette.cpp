#include "components/io/image_palette.hpp"

#include "skin/palette_pictures.hpp"

#include "base/utility.hpp"
#include "engine/component.hpp"
#include "engine/context.hpp"
#include "gif/animation_reader.hpp"
#include "gif/picture.hpp"

#include <algorithm>

namespace zoetra {

cfg_image_in::cfg_image_in(component* owner, std::string name, bool shown, double version,
                           const std::vector<std::string>& initial_names)
    : config(owner, kind, std::move(name), shown, version) {
    // Each initial name goes to position 0, so the list ends up reversed.
    for (const auto& initial : initial_names)
        if (count() < max_images && initial.size() <= max_name)
            names_.insert(names_.begin(), initial);
}

std::optional<outcome> cfg_image_in::before_insertion(const std::string& name, int position) const {
    if (position < 0 || position > 64)
        return outcome::success();
    if (count() >= max_images)
        return outcome::failure(palette_full_message);
    if (name.empty())
        return outcome::success();
    // A cut name would name another file, or none.
    if (name.size() > max_name)
        return outcome::failure(format("\"%s\" cannot be added: the palette takes paths of at "
                                       "most %zu bytes",
                                       name.c_str(), max_name));
    return std::nullopt;
}

outcome cfg_image_in::add_image(const std::string& name, int position) {
    if (std::optional<outcome> settled = before_insertion(name, position))
        return std::move(*settled);
    // A check only: the picture is decoded for use when the frame is known.
    if (auto picture = open_picture(path_of(name), gif_size{1, 1}); !picture)
        return outcome::failure(picture.message());
    insert_name(name, position);
    return outcome::success();
}

void cfg_image_in::insert_name(const std::string& name, int position) {
    // The file may have changed since it was last fitted to a frame.
    forget_fitted(name);
    // A position past the last image would leave a hole: append instead.
    position = std::min(position, count());
    names_.insert(names_.begin() + position, name);
    changed();
}

outcome cfg_image_in::add_animation(const std::string& name, int position) {
    if (std::optional<outcome> settled = before_insertion(name, position))
        return std::move(*settled);
    // Read whole: the frame count and the delays are the frames kept.
    result<animation> read = read_animation(path_of(name), max_animation_frames);
    if (!read)
        return outcome::failure(read.message());
    if (read.value().frames.size() < 2)
        return outcome::failure(
            format("\"%s\" holds one frame: there is no animation to take", name.c_str()));
    animation_facts facts;
    for (const animation_frame& frame : read.value().frames)
        facts.delays.push_back(frame.delay);
    facts.warning = read.value().warning;
    const std::string marked = animated_name(name);
    animations_[marked] = std::move(facts);
    insert_name(marked, position);
    return outcome::success();
}

const cfg_image_in::animation_facts* cfg_image_in::facts_at(int i) const {
    const auto found = animations_.find(name_at(i));
    return found != animations_.end() ? &found->second : nullptr;
}

bool cfg_image_in::animated_at(int i) const {
    return facts_at(i) != nullptr;
}

int cfg_image_in::frames_at(int i) const {
    if (i < 0 || i >= count())
        return 0;
    const animation_facts* facts = facts_at(i);
    return facts != nullptr ? static_cast<int>(facts->delays.size()) : 1;
}

std::vector<std::uint16_t> cfg_image_in::delays_at(int i) const {
    const animation_facts* facts = facts_at(i);
    return facts != nullptr ? facts->delays : std::vector<std::uint16_t>{};
}

std::string cfg_image_in::warning_at(int i) const {
    const animation_facts* facts = facts_at(i);
    return facts != nullptr ? facts->warning : std::string();
}

void cfg_image_in::forget_fitted(const std::string& name) const {
    context* program = owner() != nullptr ? owner()->program() : nullptr;
    if (program != nullptr)
        program->pictures().forget(name);
}

void cfg_image_in::remove_image(int position) {
    if (position < 0 || position >= count())
        return;
    const std::string removed = names_[position];
    names_.erase(names_.begin() + position);
    if (std::find(names_.begin(), names_.end(), removed) == names_.end()) {
        forget_fitted(removed);
        animations_.erase(removed);
    }
    if (selected_ > count())
        selected_ = count();
    changed();
}

void cfg_image_in::set_selected(int position) {
    position = std::clamp(position, 0, count());
    if (position != selected_) {
        selected_ = position;
        changed();
    }
}

std::string cfg_image_in::path_of(const std::string& name) const {
    // Inside a program, names are taken as every resource name is: a
    // relative one from the data folder.
    const context* program = owner() != nullptr ? owner()->program() : nullptr;
    if (program != nullptr)
        return program->resources().disk_path(name).string();
    // Names use "\\" between folders, as every resource name does.
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

const std::string& cfg_image_in::name_at(int i) const {
    static const std::string empty;
    return i >= 0 && i < count() ? names_[i] : empty;
}

gif_size cfg_image_in::size_at(int i) const {
    const std::string& name = name_at(i);
    if (name.empty())
        return {};
    // Inside a program, pictures are as the effects see them: fitted to the
    // frame. Sizes come from the headers; nothing is decoded.
    context* program = owner() != nullptr ? owner()->program() : nullptr;
    if (program != nullptr)
        return program->pictures().size_of(name);
    return probe_picture_size(path_of(picture_file(name)));
}

gif_size cfg_image_in::own_size_at(int i) const {
    const std::string& name = name_at(i);
    if (name.empty())
        return {};
    context* program = owner() != nullptr ? owner()->program() : nullptr;
    if (program != nullptr)
        return program->pictures().own_size(name);
    return probe_picture_size(path_of(picture_file(name)));
}

gif_size cfg_image_in::largest_size() const {
    gif_size largest;
    for (int i = 0; i < count(); ++i) {
        gif_size size = size_at(i);
        largest.width = std::max(largest.width, size.width);
        largest.height = std::max(largest.height, size.height);
    }
    return largest;
}

gif_size cfg_image_in::selected_size() const {
    return size_at(selected_);
}

bool cfg_image_in::equals(const config& other) const {
    const auto* that = dynamic_cast<const cfg_image_in*>(other.as_kind(kind));
    return that != nullptr && that->count() == count() && that->selected_ == selected_ &&
           that->animations_ == animations_;
}

void cfg_image_in::copy_from(const config& other) {
    const auto* that = dynamic_cast<const cfg_image_in*>(other.as_kind(kind));
    if (that == nullptr || that == this)
        return;
    if (names_ != that->names_ || selected_ != that->selected_ ||
        animations_ != that->animations_) {
        names_ = that->names_;
        animations_ = that->animations_;
        selected_ = that->selected_;
        changed(false);
    }
}

void cfg_image_in::read_value(int k, const element& value) {
    std::string name = value.text;
    std::replace(name.begin(), name.end(), '/', '\\');
    // An effect file's name that is not a readable picture is left out quietly.
    static_cast<void>(add_image(name, k));
}

} // namespace zoetra
