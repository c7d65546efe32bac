#include "skin/palette_pictures.hpp"

#include "gif/byte_stream.hpp"
#include "gif/picture.hpp"
#include "raster/resample.hpp"

#include <algorithm>

namespace zoetra {

void palette_pictures::set_frame(gif_size frame, bool enlarge) {
    frame_ = frame;
    enlarge_ = enlarge;
}

gif_size palette_pictures::own_size(const std::string& name) const {
    return name.empty() ? gif_size{} : skins_.probe(name);
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
    skins_.forget(name + "\n");
}

std::unique_ptr<buffer> palette_pictures::make_fitted(const std::string& name, gif_size size) {
    ++made_;
    file_ptr file = skins_.folder().open(name, "rb");
    if (!file)
        return nullptr;
    std::optional<file_bytes> bytes = read_whole_file(file.get());
    file.reset();
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

bool palette_pictures::draw_at(buffer& target, const std::string& name, gif_size size, int x, int y,
                               int width, int height, int mode, const rect& clip) {
    if (name.empty() || size.width == 0 || size.height == 0)
        return false;
    // A picture at its own size is drawn as it always was, from the file.
    if (size == own_size(name))
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
    if (own.width <= box.width && own.height <= box.height)
        return skins_.draw(target, name, box.x, box.y, box.width, box.height, 0, clip);
    return draw_at(target, name, gif_size{box.width, box.height}, box.x, box.y, box.width,
                   box.height, 0, clip);
}

} // namespace zoetra
