#include "skin/skin_images.hpp"

#include "base/memory.hpp"
#include "gif/byte_stream.hpp"
#include "gif/picture.hpp"
#include "raster/draw.hpp"

#include <algorithm>

namespace zoetra {

std::string skin_image_name(const std::string& file_name) {
    return "*Resources\\" + file_name;
}

skin_cache::skin_cache(const resource_folder& folder)
    : folder_(folder),
      // After the buffer ring, which moves buffers to disk first.
      memory_source_(register_memory_source(1, [this] { return empty(); })) {}

skin_cache::~skin_cache() {
    unregister_memory_source(memory_source_);
}

std::unique_ptr<buffer> skin_cache::load(const std::string& name) const {
    file_ptr file = folder_.open(name, "rb");
    if (!file)
        return nullptr;
    std::optional<file_bytes> bytes = read_whole_file(file.get());
    if (!bytes)
        return nullptr;
    result<std::unique_ptr<buffer>> decoded = decode_picture(std::move(*bytes));
    return decoded ? std::move(decoded.value()) : nullptr;
}

gif_size skin_cache::probe(const std::string& name) const {
    file_ptr file = folder_.open(name, "rb");
    return file ? probe_picture_size(file.get()) : gif_size{};
}

buffer* skin_cache::find_or_prepare(const std::string& name, int width, int height) {
    const bool skin = !name.empty() && name.front() == '*';
    if (skin && missing_.contains(name))
        return nullptr;
    buffer* prepared = find_or_prepare(
        name, [&] { return load(name); }, width, height);
    if (prepared == nullptr && skin)
        missing_.insert(name);
    return prepared;
}

buffer* skin_cache::find_or_prepare(const std::string& key, const image_loader& load, int width,
                                    int height) {
    for (auto& entry : entries_)
        if (entry.width == width && entry.height == height && entry.name == key)
            return entry.image.get();
    std::unique_ptr<buffer> loaded = load();
    if (!loaded)
        return nullptr;
    auto scaled = std::make_unique<buffer>(static_cast<std::uint16_t>(width),
                                           static_cast<std::uint16_t>(height), colour{});
    stretch_copy(*loaded, *scaled, 0, 0, loaded->width(), loaded->height(), 0, 0,
                 static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    loaded.reset();
    entries_.push_front(prepared_image{key, width, height, std::move(scaled)});
    return entries_.front().image.get();
}

namespace {

// Copies the prepared image to (x, y) of target within clip; mode 1 skips
// pixels whose transparency byte is not 0.
void copy_prepared(buffer& prepared, buffer& target, int x, int y, int mode, const rect& clip) {
    buffer_lock source_lock(prepared);
    buffer_lock target_lock(target);
    const rect visible = intersection(clip, target.window());
    const int width = prepared.width(), height = prepared.height();
    const pixel* from = prepared.pixels();
    pixel* to = target.pixels();
    for (int j = 0; j < height; ++j) {
        int ty = y + j;
        if (ty < visible.y || ty >= visible.bottom())
            continue;
        for (int i = 0; i < width; ++i) {
            int tx = x + i;
            if (tx < visible.x || tx >= visible.right())
                continue;
            pixel p = from[std::size_t(j) * width + i];
            if (mode == 1 && (p & transparency_mask) != 0)
                continue;
            to[std::size_t(ty) * target.width() + tx] = p;
        }
    }
}

bool drawable_box(int width, int height) {
    return width > 0 && height > 0 && width <= 0xFFFF && height <= 0xFFFF;
}

} // namespace

bool skin_cache::draw(buffer& target, const std::string& name, int x, int y, int width, int height,
                      int mode) {
    return draw(target, name, x, y, width, height, mode, target.window());
}

bool skin_cache::draw(buffer& target, const std::string& name, int x, int y, int width, int height,
                      int mode, const rect& clip) {
    if (!drawable_box(width, height))
        return false;
    buffer* prepared = find_or_prepare(name, width, height);
    if (prepared == nullptr)
        return false;
    copy_prepared(*prepared, target, x, y, mode, clip);
    return true;
}

bool skin_cache::draw(buffer& target, const std::string& key, const image_loader& load, int x,
                      int y, int width, int height, int mode, const rect& clip) {
    if (!drawable_box(width, height))
        return false;
    buffer* prepared = find_or_prepare(key, load, width, height);
    if (prepared == nullptr)
        return false;
    copy_prepared(*prepared, target, x, y, mode, clip);
    return true;
}

bool skin_cache::draw_centred(buffer& target, const std::string& name, const rect& box) {
    const gif_size size = probe(name);
    if (size.width == 0 || size.height == 0)
        return false;
    buffer* prepared = find_or_prepare(name, size.width, size.height);
    if (prepared == nullptr)
        return false;
    const int w = std::min<int>(size.width, box.width);
    const int h = std::min<int>(size.height, box.height);
    stretch_copy(*prepared, target, std::int16_t((size.width - w) / 2),
                 std::int16_t((size.height - h) / 2), std::uint16_t(w), std::uint16_t(h),
                 std::int16_t(box.x + (box.width - w) / 2),
                 std::int16_t(box.y + (box.height - h) / 2), std::uint16_t(w), std::uint16_t(h));
    return true;
}

void skin_cache::forget(const std::string& prefix) {
    entries_.remove_if([&](const prepared_image& entry) { return entry.name.starts_with(prefix); });
}

bool skin_cache::empty() {
    missing_.clear();
    if (entries_.empty())
        return false;
    entries_.clear();
    return true;
}

} // namespace zoetra
