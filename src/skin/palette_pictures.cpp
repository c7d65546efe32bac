#include "skin/palette_pictures.hpp"

#include "base/memory.hpp"
#include "gif/byte_stream.hpp"
#include "gif/picture.hpp"
#include "raster/resample.hpp"

#include <algorithm>
#include <cstdlib>

namespace zoetra {

std::string animated_name(const std::string& file) {
    return file + animated_mark;
}

bool is_animated_name(const std::string& name) {
    return name.ends_with(animated_mark);
}

std::string animation_frame_name(const std::string& animated, int j) {
    return picture_file(animated) + frame_mark + std::to_string(j);
}

std::string picture_file(const std::string& name) {
    if (is_animated_name(name))
        return name.substr(0, name.size() - std::char_traits<char>::length(animated_mark));
    const std::size_t mark = name.rfind(frame_mark);
    return mark == std::string::npos ? name : name.substr(0, mark);
}

int frame_of(const std::string& name) {
    const std::size_t mark = name.rfind(frame_mark);
    if (mark == std::string::npos || mark + 1 >= name.size())
        return -1;
    return std::atoi(name.c_str() + mark + 1);
}

palette_pictures::palette_pictures(skin_cache& skins)
    : skins_(skins),
      // With the skin images: the animation is decoded again when next drawn.
      memory_source_(register_memory_source(1, [this] {
          if (animation_ == nullptr)
              return false;
          animation_.reset();
          animation_file_.clear();
          return true;
      })) {}

palette_pictures::~palette_pictures() {
    unregister_memory_source(memory_source_);
}

void palette_pictures::set_slot(int k, int count) {
    slots_ = std::max(count, 1);
    slot_ = std::clamp(k, 0, slots_ - 1);
}

std::string palette_pictures::name_in_slot(const std::string& name, int frames) const {
    if (!is_animated_name(name) || frames < 1)
        return name;
    const int j = int(std::int64_t(slot_) * frames / slots_);
    return animation_frame_name(name, std::min(j, frames - 1));
}

void palette_pictures::set_frame(gif_size frame, bool enlarge) {
    frame_ = frame;
    enlarge_ = enlarge;
}

gif_size palette_pictures::own_size(const std::string& name) const {
    return name.empty() ? gif_size{} : skins_.probe(picture_file(name));
}

gif_size palette_pictures::size_of(const std::string& name) const {
    return fit_inside(own_size(name), frame_, enlarge_);
}

namespace {

// Fitted pictures are cached under the picture's name, a line break (no
// name holds one) and the size.
std::string fitted_key(const std::string& name, gif_size size) {
    return name + "\n" + std::to_string(size.width) + "x" + std::to_string(size.height);
}

} // namespace

void palette_pictures::forget(const std::string& name) {
    const std::string file = picture_file(name);
    skins_.forget(file + "\n");
    skins_.forget(file + frame_mark);
    if (file == animation_file_) {
        animation_.reset();
        animation_file_.clear();
    }
}

std::optional<file_bytes> palette_pictures::read_from_folder(const std::string& name) const {
    file_ptr file = skins_.folder().open(name, "rb");
    if (!file)
        return std::nullopt;
    return read_whole_file(file.get());
}

std::unique_ptr<buffer> palette_pictures::make_fitted(const std::string& name, gif_size size) {
    if (frame_of(name) >= 0)
        return make_fitted_frame(picture_file(name), frame_of(name), size);
    ++made_;
    std::optional<file_bytes> bytes = read_from_folder(name);
    if (!bytes)
        return nullptr;
    result<std::unique_ptr<buffer>> decoded = decode_picture(std::move(*bytes), size);
    if (!decoded)
        return nullptr;
    buffer& picture = *decoded.value();
    if (picture.width() == size.width && picture.height() == size.height)
        return std::move(decoded.value());
    buffer_lock hold(picture);
    return resample(picture, size.width, size.height);
}

const animation* palette_pictures::decoded_animation(const std::string& file) {
    if (animation_ != nullptr && animation_file_ == file)
        return animation_.get();
    animation_.reset();
    animation_file_.clear();
    std::optional<file_bytes> bytes = read_from_folder(file);
    if (!bytes)
        return nullptr;
    result<animation> decoded = decode_animation(std::move(*bytes));
    if (!decoded)
        return nullptr;
    animation_ = std::make_unique<animation>(std::move(decoded.value()));
    animation_file_ = file;
    return animation_.get();
}

std::unique_ptr<buffer> palette_pictures::make_fitted_frame(const std::string& file, int j,
                                                            gif_size size) {
    ++made_;
    const animation* decoded = decoded_animation(file);
    if (decoded == nullptr || decoded->frames.empty())
        return nullptr;
    const std::size_t k = std::min<std::size_t>(std::size_t(j), decoded->frames.size() - 1);
    buffer& picture = *decoded->frames[k].picture;
    buffer_lock hold(picture);
    if (picture.width() != size.width || picture.height() != size.height)
        return resample(picture, size.width, size.height);
    return picture.copy();
}

bool palette_pictures::draw_at(buffer& target, const std::string& given, gif_size size, int x,
                               int y, int width, int height, int mode, const rect& clip) {
    // An animated entry drawn as one picture shows its first frame.
    const std::string name = is_animated_name(given) ? animation_frame_name(given, 0) : given;
    if (name.empty() || size.width == 0 || size.height == 0)
        return false;
    // A picture at its own size is drawn as it always was, from the file; a
    // frame is made from the animation whatever its size.
    if (size == own_size(name) && frame_of(name) < 0)
        return skins_.draw(target, name, x, y, width, height, mode, clip);
    return skins_.draw(
        target, fitted_key(name, size), [&] { return make_fitted(name, size); }, x, y, width,
        height, mode, clip);
}

bool palette_pictures::draw(buffer& target, const std::string& name, int x, int y, int width,
                            int height, int mode) {
    return draw_at(target, name, size_of(name), x, y, width, height, mode, target.window());
}

bool palette_pictures::draw_thumbnail(buffer& target, const std::string& name, const rect& box,
                                      const rect& clip) {
    const gif_size own = own_size(name);
    const bool fits = own.width <= box.width && own.height <= box.height;
    // A small frame is made at its own size and stretched as a skin image is.
    if (fits && (is_animated_name(name) || frame_of(name) >= 0))
        return draw_at(target, name, own, box.x, box.y, box.width, box.height, 0, clip);
    if (fits)
        return skins_.draw(target, name, box.x, box.y, box.width, box.height, 0, clip);
    return draw_at(target, name, gif_size{box.width, box.height}, box.x, box.y, box.width,
                   box.height, 0, clip);
}

} // namespace zoetra
