#include "skin/skin_images.hpp"

#include "app/services/memory.hpp"
#include "app/services/process_state.hpp"
#include "gif/picture.hpp"
#include "raster/draw.hpp"
#include "resources/resource.hpp"

#include <algorithm>
#include <list>
#include <memory>
#include <set>

namespace zoetra {
namespace {

struct prepared_image {
    std::string name;
    int width;
    int height;
    std::unique_ptr<buffer> image;
};

// Newest first.
std::list<prepared_image>& cache() {
    static std::list<prepared_image> entries;
    return entries;
}

void register_with_memory_handler() {
    static bool registered = false;
    if (!registered) {
        registered = true;
        // After the buffer ring, which moves buffers to disk first.
        register_memory_source(1, [] { return empty_skin_cache(); });
        on_process_reset([] { empty_skin_cache(); });
    }
}

// Skin images (starred names) found in no archive and not on disk: the
// interface asks for them at every drawing and draws its plain stand-in.
// Forgotten with the cache, so Ctrl+B looks for them again.
std::set<std::string>& missing_skins() {
    static std::set<std::string> names;
    return names;
}

buffer* find_or_prepare(const std::string& name, int width, int height) {
    for (auto& entry : cache())
        if (entry.width == width && entry.height == height && entry.name == name)
            return entry.image.get();
    const bool skin = !name.empty() && name.front() == '*';
    if (skin && missing_skins().contains(name))
        return nullptr;
    std::unique_ptr<buffer> loaded = load_picture(name);
    if (!loaded) {
        if (skin)
            missing_skins().insert(name);
        return nullptr;
    }
    auto scaled = std::make_unique<buffer>(static_cast<std::uint16_t>(width),
                                           static_cast<std::uint16_t>(height), colour{});
    stretch_copy(*loaded, *scaled, 0, 0, loaded->width(), loaded->height(), 0, 0,
                 static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    loaded.reset();
    cache().push_front(prepared_image{name, width, height, std::move(scaled)});
    return cache().front().image.get();
}

} // namespace

std::string skin_image_name(const std::string& file_name) {
    return "*Resources\\" + file_name;
}

bool draw_skin_image(buffer& target, const std::string& name, int x, int y, int width, int height,
                     int mode) {
    return draw_skin_image(target, name, x, y, width, height, mode, target.window());
}

bool draw_skin_image(buffer& target, const std::string& name, int x, int y, int width, int height,
                     int mode, const rect& clip) {
    register_with_memory_handler();
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
        return false;
    buffer* prepared = find_or_prepare(name, width, height);
    if (prepared == nullptr)
        return false;
    buffer_lock source_lock(*prepared);
    buffer_lock target_lock(target);
    const rect visible = intersection(clip, target.window());
    const pixel* from = prepared->pixels();
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
    return true;
}

bool draw_skin_image_centred(buffer& target, const std::string& name, const rect& box) {
    register_with_memory_handler();
    const gif_size size = probe_picture_size(name);
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

bool empty_skin_cache() {
    missing_skins().clear();
    if (cache().empty())
        return false;
    cache().clear();
    return true;
}

int skin_cache_size() {
    return static_cast<int>(cache().size());
}

} // namespace zoetra
