#pragma once
// Skin images: pictures (GIF, PNG or JPEG files; the skins themselves are
// GIFs, the palette's images may be any of the three), by name, drawn scaled
// into a box of a target image. Names are taken from the data folder: a
// starred name is looked up in its archives first. Prepared (scaled) images
// are cached by name and box size, newest first; the cache is emptied when
// memory runs short and on Ctrl+B.
#include "raster/buffer.hpp"
#include "resources/resource.hpp"

#include <functional>
#include <list>
#include <memory>
#include <set>
#include <string>

namespace zoetra {

// The name of a skin image: "*Resources\" followed by the file name, so the
// archive entry is the file name and the disk fallback is in "Resources".
std::string skin_image_name(const std::string& file_name);

class skin_cache {
  public:
    explicit skin_cache(const resource_folder& folder);
    ~skin_cache();
    skin_cache(const skin_cache&) = delete;
    skin_cache& operator=(const skin_cache&) = delete;

    // Draws the image called name into the box (x, y, width, height) of
    // target, scaled to the box by nearest neighbour. Mode 0 copies every
    // pixel, mode 1 only pixels whose transparency byte is 0. False (nothing
    // drawn) when the image cannot be loaded. Pixels outside the target are
    // skipped.
    bool draw(buffer& target, const std::string& name, int x, int y, int width, int height,
              int mode);
    // The same, drawing only the part of the box inside clip.
    bool draw(buffer& target, const std::string& name, int x, int y, int width, int height,
              int mode, const rect& clip);
    // The same for an image that load makes, cached under key: pictures
    // prepared another way (reduced to a frame) share the cache and its
    // memory handling with the skin images.
    using image_loader = std::function<std::unique_ptr<buffer>()>;
    bool draw(buffer& target, const std::string& key, const image_loader& load, int x, int y,
              int width, int height, int mode, const rect& clip);
    // Draws the image called name at its own size, centred in box and cut to
    // the box (the middle of a larger image shows), every pixel copied.
    // False when the image cannot be loaded.
    bool draw_centred(buffer& target, const std::string& name, const rect& box);

    // The picture called name as a new buffer, or none.
    std::unique_ptr<buffer> load(const std::string& name) const;
    // Its size from its header, or (0, 0).
    gif_size probe(const std::string& name) const;

    // Frees every prepared image; false when the cache held nothing.
    bool empty();
    // Frees the prepared images whose key begins with prefix.
    void forget(const std::string& prefix);
    int size() const { return static_cast<int>(entries_.size()); }
    const resource_folder& folder() const { return folder_; }

  private:
    struct prepared_image {
        std::string name;
        int width;
        int height;
        std::unique_ptr<buffer> image;
    };
    buffer* find_or_prepare(const std::string& name, int width, int height);
    buffer* find_or_prepare(const std::string& key, const image_loader& load, int width,
                            int height);

    const resource_folder& folder_;
    // Newest first.
    std::list<prepared_image> entries_;
    // Skin images (starred names) found in no archive and not on disk: the
    // interface asks for them at every drawing and draws its plain stand-in.
    // Forgotten with the cache, so Ctrl+B looks for them again.
    std::set<std::string> missing_;
    int memory_source_;
};

} // namespace zoetra
